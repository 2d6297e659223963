#include <gtest/gtest.h>

#include <boost/locale/encoding.hpp>

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

}  // namespace

TEST(ProviderCatalogue, FindsRecordsByExactWideOrWindows1251Name) {
    const auto rutoken = catalogue::findProvider(std::wstring(L"Rutoken ECP"));
    ASSERT_TRUE(rutoken);
    EXPECT_EQ(1u, rutoken->isToken);
    EXPECT_EQ(catalogue::findProvider(std::string("ZOLVEXToken GOST"))->code,
              catalogue::findProvider(std::wstring(L"ZOLVEXToken GOST"))->code);

    // Of two records that share a name the first one answers.
    const auto& all = catalogue::allProviders();
    const std::wstring shared = L"Quintera JaCarta Key Storage Provider";
    const auto first = std::find_if(all.begin(), all.end(),
                                    [&](const auto& record) { return record->name == shared; });
    ASSERT_NE(std::count_if(first, all.end(), [&](const auto& r) { return r->name == shared; }), 1);
    EXPECT_EQ(*first, catalogue::findProvider(shared));

    EXPECT_FALSE(catalogue::findProvider(std::wstring(L"rutoken ecp")));
    EXPECT_FALSE(catalogue::findProvider(std::wstring()));
    // "Рутокен ЭЦП" in Windows-1251 is a keyword, not a registered name.
    EXPECT_FALSE(catalogue::findProvider(boost::locale::conv::from_utf(u8"Рутокен ЭЦП", "CP1251")));
}

TEST(ProviderCatalogue, ReducedEditionDropsKeyStorageProvidersOnly) {
    const auto& all = catalogue::allProviders();
    {
        EditionGuard edition("valdorino.plugin");
        const auto active = catalogue::activeProviders();
        ASSERT_LT(active.size(), all.size());
        auto next = active.begin();
        for (const auto& record : all) {
            const bool keyStorage = record->providerType == 0 && record->isToken == 0;
            if (!keyStorage) {
                ASSERT_NE(next, active.end());
                EXPECT_EQ(record, *next++);
            }
        }
        EXPECT_EQ(next, active.end());
    }
    {
        EditionGuard edition("kelvo.plugin");
        EXPECT_EQ(all, catalogue::activeProviders());
    }
}
