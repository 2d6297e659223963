#include <gtest/gtest.h>

#include "catalogue/name_alias.h"

namespace catalogue = kelvo::plugin::crypto::catalogue;

TEST(NameAlias, FoldsHyphensUnderscoresAndAsciiCase) {
    EXPECT_EQ("gost2012256tc26a", catalogue::foldName("GOST2012-256-TC26-A"));
    EXPECT_EQ("commonname", catalogue::foldName("Common_Name"));
    EXPECT_EQ("common name", catalogue::foldName("Common Name"));
    // Any byte of 0x80 or above leaves the whole text as given, ASCII letters included.
    EXPECT_EQ(u8"Рутокен-ЭЦП A_B", catalogue::foldName(u8"Рутокен-ЭЦП A_B"));
}

TEST(NameAlias, ResolvesAnySpellingThatFoldsToAKey) {
    EXPECT_EQ("1.2.643.7.1.2.1.1.1", catalogue::resolveAlias("GOST2012-256-TC26-A"));
    EXPECT_EQ("ca", catalogue::resolveAlias("Certificate Authority"));
    EXPECT_EQ("ca", catalogue::resolveAlias("Certificate_Authority"));
}

TEST(NameAlias, LeavesOtherTextsUnchanged) {
    EXPECT_EQ("Common Name", catalogue::resolveAlias("Common Name"));
    EXPECT_EQ("Common-Name", catalogue::resolveAlias("Common-Name"));
    EXPECT_EQ("2.5.4.3", catalogue::resolveAlias("2.5.4.3"));
    EXPECT_EQ("", catalogue::resolveAlias(""));
    // Cyrillic keys match only in the exact lower-case form.
    EXPECT_EQ("Rutoken ECP", catalogue::resolveAlias(u8"рутокен эцп 2.0"));
    EXPECT_EQ(u8"Рутокен ЭЦП 2.0", catalogue::resolveAlias(u8"Рутокен ЭЦП 2.0"));
    EXPECT_EQ("JaCarta GOST 2.0", catalogue::resolveAlias(u8"jacarta se 2 гост"));
    EXPECT_EQ(u8"JaCarta SE 2 гост", catalogue::resolveAlias(u8"JaCarta SE 2 гост"));
}

TEST(NameAlias, TableKeysAreAlreadyFolded) {
    for (const auto& [key, value] : catalogue::aliasTable()) {
        EXPECT_EQ(key, catalogue::foldName(key));
        EXPECT_EQ(value, catalogue::resolveAlias(key));
    }
}
