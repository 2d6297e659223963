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

TEST(NameAlias, ResolvesFoldedKeys) {
    EXPECT_EQ("1.2.643.7.1.2.1.1.1", catalogue::resolveAlias("GOST2012-256-TC26-A"));
    EXPECT_EQ("2.5.4.3", catalogue::resolveAlias("CN"));
    EXPECT_EQ("1.2.840.113549.1.9.1", catalogue::resolveAlias("emailAddress"));
    EXPECT_EQ("1.2.643.100.4", catalogue::resolveAlias("INNLE"));
    EXPECT_EQ("1.2.643.3.61.502710.1.7", catalogue::resolveAlias("kpp"));
    EXPECT_EQ("1.2.643.2.2.36.1", catalogue::resolveAlias("gost2012-256-cryptopro-xchb"));
    EXPECT_EQ("sha256", catalogue::resolveAlias("SHA-256"));
    EXPECT_EQ("decipheronly", catalogue::resolveAlias("decipherOnly"));
    EXPECT_EQ("detached", catalogue::resolveAlias("SMEV3"));
    EXPECT_EQ("ca", catalogue::resolveAlias("Certificate Authority"));
    EXPECT_EQ("ca", catalogue::resolveAlias("Certificate_Authority"));
    EXPECT_EQ("ZOLVEXToken GOST", catalogue::resolveAlias("Zolvex Token GOST"));
    EXPECT_EQ("1.3.6.1.4.1.311.88.2.2",
              catalogue::resolveAlias("authAttribute-documentDescription"));
}

TEST(NameAlias, ResolvesXmlTransformsToTheirPublishedIdentifiers) {
    EXPECT_EQ("urn://smev-gov-ru/xmldsig/transform", catalogue::resolveAlias("uriSmevTransform"));
    EXPECT_EQ("http://www.w3.org/2001/10/xml-exc-c14n#", catalogue::resolveAlias("uriExcC14n"));
    EXPECT_EQ("http://www.w3.org/2000/09/xmldsig#enveloped-signature",
              catalogue::resolveAlias("uri-envelope"));
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
    // Every named alias plus the canonicalisation alias.
    EXPECT_EQ(78u, catalogue::aliasTable().size());
    for (const auto& [key, value] : catalogue::aliasTable()) {
        EXPECT_EQ(key, catalogue::foldName(key));
        EXPECT_EQ(value, catalogue::resolveAlias(key));
    }
}
