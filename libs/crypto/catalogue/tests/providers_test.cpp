#include <gtest/gtest.h>

#include <boost/locale/encoding.hpp>

#include "catalogue/algorithms.h"
#include "catalogue/providers.h"
#include "catalogue/settings.h"

namespace catalogue = kelvo::plugin::crypto::catalogue;

namespace {

class EditionGuard {
public:
    explicit EditionGuard(const std::string& group) : saved_(catalogue::settingsGroup()) {
        catalogue::setSettingsGroup(group);
    }
    ~EditionGuard() { catalogue::setSettingsGroup(saved_); }

private:
    std::string saved_;
};

std::size_t indexOf(const catalogue::ProviderRecord& record) {
    const auto& all = catalogue::allProviders();
    return std::find(all.begin(), all.end(), record) - all.begin();
}

}  // namespace

TEST(ProviderCatalogue, HoldsTwentySevenRecordsWithTheirIdentity) {
    const auto& all = catalogue::allProviders();
    ASSERT_EQ(27u, all.size());
    EXPECT_EQ(L"Quintera Cryptographic Service Provider", all[0]->name);
    EXPECT_EQ(2u, all[0]->providerType);
    EXPECT_EQ(3u, all[0]->family);
    EXPECT_EQ(L"Crypto-Pro GOST R 34.10-2012 KC1 Strong CSP", all[9]->legacyName);
    EXPECT_EQ(L"GOST R 34.10-2012 (256) Signature with Diffie-Hellman Key Exchange",
              all[8]->typeName);
    EXPECT_TRUE(all[2]->algorithms.empty());
    EXPECT_TRUE(all[3]->keyAlgorithms.empty());
    EXPECT_EQ(u8"ZOLVEX Token ГОСТ на базе отечественной микросхемы QTR83LV90KP2",
              all[15]->product);
    EXPECT_EQ((std::set<std::wstring>{L"Signal-COM", L"Крипто-КОМ"}), all[10]->keywords);
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(i >= 12 && i <= 15 ? 1u : 0u, all[i]->isToken) << "row " << i;
        EXPECT_FALSE(all[i]->code.empty()) << "row " << i;
    }
}

TEST(ProviderCatalogue, AlgorithmSetsFollowTheirGroups) {
    const auto& all = catalogue::allProviders();
    // The legacy block is 19 entries; with GOST 2012 (7) and the ciphers (4): 30 in all.
    EXPECT_EQ(23u, all[16]->algorithms.size());
    EXPECT_EQ(all[16]->algorithms, all[20]->algorithms);
    EXPECT_EQ(30u, all[17]->algorithms.size());
    EXPECT_EQ(12u, all[17]->keyAlgorithms.size());
    EXPECT_EQ(11u, all[19]->keyAlgorithms.size());
    for (std::size_t i : {21, 22, 23, 24, 25, 26}) {
        EXPECT_EQ(all[19]->algorithms, all[i]->algorithms) << "row " << i;
        EXPECT_EQ(all[19]->keyAlgorithms, all[i]->keyAlgorithms) << "row " << i;
    }
    EXPECT_EQ(all[6]->algorithms, all[7]->algorithms);
    EXPECT_EQ(18u, all[6]->keyAlgorithms.size());
    EXPECT_EQ(1u, all[14]->algorithms.count("1.2.643.2.2.36.1"));
    EXPECT_EQ(1u, all[12]->algorithms.count("sha256"));
    EXPECT_TRUE(all[12]->keyAlgorithms.empty());
}

TEST(ProviderCatalogue, FindsRecordsByName) {
    const auto rutoken = catalogue::findProvider(std::wstring(L"Rutoken ECP"));
    ASSERT_TRUE(rutoken);
    EXPECT_EQ(1u, rutoken->isToken);
    EXPECT_EQ("rt1", rutoken->code);
    EXPECT_EQ(12u, indexOf(rutoken));

    // The two records that share a name: the first one answers.
    EXPECT_EQ(
        21u,
        indexOf(catalogue::findProvider(std::wstring(L"Quintera JaCarta Key Storage Provider"))));
    EXPECT_FALSE(catalogue::findProvider(std::wstring(L"rutoken ecp")));
    EXPECT_FALSE(catalogue::findProvider(std::wstring()));
}

TEST(ProviderCatalogue, NarrowNamesAreWindows1251) {
    EXPECT_EQ(15u, indexOf(catalogue::findProvider(std::string("ZOLVEXToken GOST"))));
    // "Рутокен ЭЦП" in Windows-1251 is a keyword, not a registered name.
    const std::string cyrillic = boost::locale::conv::from_utf(u8"Рутокен ЭЦП", "CP1251");
    ASSERT_EQ(11u, cyrillic.size());
    EXPECT_FALSE(catalogue::findProvider(cyrillic));
}

TEST(ProviderCatalogue, ReducedEditionDropsKeyStorageProviders) {
    {
        EditionGuard edition("valdorino.plugin");
        const auto active = catalogue::activeProviders();
        ASSERT_EQ(16u, active.size());
        const std::vector<std::size_t> expected = {0,  1,  2,  3,  4,  5,  8,  9,
                                                   10, 11, 12, 13, 14, 15, 16, 20};
        for (std::size_t i = 0; i < active.size(); ++i) {
            EXPECT_EQ(expected[i], indexOf(active[i]));
        }
    }
    {
        EditionGuard edition("kelvo.plugin");
        EXPECT_EQ(catalogue::allProviders(), catalogue::activeProviders());
    }
}

TEST(IdentifierTables, MechanismMayStandForSeveralOids) {
    EXPECT_EQ((std::vector<std::string>{"1.2.643.2.2.3", "1.2.643.7.1.1.3.2"}),
              catalogue::mechanismOids(0x1201));
    EXPECT_EQ((std::vector<std::string>{"1.2.643.7.1.1.3.3"}),
              catalogue::mechanismOids(0xD4321006));
    EXPECT_TRUE(catalogue::mechanismOids(0x1202).empty());
    EXPECT_EQ(0u, catalogue::hashOids().count("sha256"));
    EXPECT_EQ(1u, catalogue::hashOids(true).count("sha256"));
}
