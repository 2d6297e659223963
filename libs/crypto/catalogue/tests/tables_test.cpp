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

TEST(Stores, MapKeysToSystemNamesAndWindows1251Phrases) {
    const auto ca = catalogue::findStore("ca");
    ASSERT_TRUE(ca);
    EXPECT_EQ("CertificateAuthority", ca->systemName);
    EXPECT_EQ(cp1251(u8"промежуточных центров сертификации"), ca->phrase);
    const auto authroot = catalogue::findStore("authroot");
    ASSERT_TRUE(authroot);
    EXPECT_EQ(cp1251(u8"сторонних центров сертификации (ЦС)"), authroot->phrase);
    EXPECT_FALSE(catalogue::findStore("My"));

    ASSERT_EQ(8u, catalogue::storeKeys().size());
    for (const std::string& key : catalogue::storeKeys()) {
        EXPECT_TRUE(catalogue::findStore(key)) << key;
    }
    EXPECT_EQ((std::vector<std::string>{"root", "authroot", "trustedpeople", "trustedpublisher"}),
              catalogue::trustedStoreKeys());
}

TEST(KeyUsages, KeepX509BitOrder) {
    const auto& usages = catalogue::keyUsages();
    ASSERT_EQ(9u, usages.size());
    EXPECT_EQ("digitalsignature", usages.front().first);
    EXPECT_EQ(0x8000, usages.back().second);
    EXPECT_EQ(std::uint16_t{0x02}, catalogue::keyUsageBit("crlsign"));
    EXPECT_FALSE(catalogue::keyUsageBit("digitalSignature"));
}

TEST(SignatureFormats, RussianNamesAreWindows1251) {
    EXPECT_EQ(cp1251(u8"отсоединенная"), catalogue::signatureFormatName("detached"));
    EXPECT_EQ(cp1251(u8"присоединенная"), catalogue::signatureFormatName("attached"));
    EXPECT_FALSE(catalogue::signatureFormatName("cades"));
}
