#include <gtest/gtest.h>

#include <boost/locale/encoding.hpp>
#include <boost/optional/optional_io.hpp>

#include "catalogue/key_usages.h"
#include "catalogue/signature_formats.h"
#include "catalogue/stores.h"

namespace catalogue = kelvo::plugin::crypto::catalogue;

namespace {

std::string cp1251(const std::string& utf8) {
    return boost::locale::conv::from_utf(utf8, "CP1251");
}

}  // namespace

TEST(Stores, KeysAreFoundWithTheirWindows1251PhraseAndCaseMatters) {
    EXPECT_EQ(cp1251(u8"промежуточных центров сертификации"), catalogue::findStore("ca")->phrase);
    EXPECT_FALSE(catalogue::findStore("My"));
}

TEST(KeyUsages, BitsByFoldedNameOnly) {
    EXPECT_EQ(std::uint16_t{0x02}, catalogue::keyUsageBit("crlsign"));
    EXPECT_FALSE(catalogue::keyUsageBit("digitalSignature"));
    EXPECT_EQ(cp1251(u8"отсоединенная"), catalogue::signatureFormatName("detached"));
    EXPECT_FALSE(catalogue::signatureFormatName("cades"));
}
