#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <tuple>

#include <openssl/objects.h>
#include <boost/algorithm/hex.hpp>
#include <boost/algorithm/string/case_conv.hpp>
#include <boost/algorithm/string/join.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/locale/encoding_utf.hpp>

#include "crypto/ipublic_key.h"
#include "ssl/certificate.h"
#include "test_certificates.h"

namespace ssl = kelvo::plugin::ssl;
using ssl::testing::expectations;
using ssl::testing::readFile;

namespace {

std::string hex(const std::string& bytes) {
    std::string text;
    boost::algorithm::hex(bytes, std::back_inserter(text));
    return text;
}

std::string unhex(const std::string& text) {
    std::string bytes;
    boost::algorithm::unhex(text, std::back_inserter(bytes));
    return bytes;
}

std::string utf8(const std::wstring& text) {
    return boost::locale::conv::utf_to_utf<char>(text);
}

// OpenSSL's long name of an OID, as `openssl x509 -text` prints it.
std::string longName(const std::string& oid) {
    const int nid = OBJ_txt2nid(oid.c_str());
    return nid == NID_undef ? oid : OBJ_nid2ln(nid);
}

std::string iso(const boost::optional<boost::posix_time::ptime>& time) {
    return time ? boost::posix_time::to_iso_string(*time) : std::string();
}

// Key-usage bits in the order and wording of `openssl x509 -text`.
std::string keyUsageText(const boost::optional<std::uint16_t>& usage) {
    static const std::pair<std::uint16_t, const char*> names[] = {
        {0x80, "Digital Signature"}, {0x40, "Non Repudiation"}, {0x20, "Key Encipherment"},
        {0x10, "Data Encipherment"}, {0x08, "Key Agreement"},   {0x04, "Certificate Sign"},
        {0x02, "CRL Sign"},          {0x01, "Encipher Only"},   {0x8000, "Decipher Only"}};
    std::vector<std::string> set;
    for (const auto& [bit, name] : names) {
        if (usage && (*usage & bit)) {
            set.push_back(name);
        }
    }
    return boost::algorithm::join(set, ", ");
}

std::vector<std::pair<std::string, std::string>> toolEntries(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::vector<std::string> items;
    boost::algorithm::split(items, text, [](char c) { return c == ';'; });
    for (std::string item : items) {
        if (!item.empty() && item.front() == ' ') {
            item.erase(0, 1);
        }
        const auto equals = item.find('=');
        entries.emplace_back(item.substr(0, equals), item.substr(equals + 1));
    }
    return entries;
}

void expectNameRecord(const kelvo::plugin::crypto::NameRecord& record, const std::string& text) {
    ASSERT_EQ(18u, record.size());
    std::map<std::wstring, std::wstring> expected;
    for (const auto& [key, value] : toolEntries(text)) {
        const std::wstring wideKey = boost::locale::conv::utf_to_utf<wchar_t>(key);
        if (record.count(wideKey)) {
            expected[wideKey] = boost::locale::conv::utf_to_utf<wchar_t>(value);
        }
    }
    for (const auto& [key, value] : record) {
        const auto found = expected.find(key);
        if (found == expected.end()) {
            EXPECT_FALSE(value) << utf8(key);
        } else {
            EXPECT_EQ(found->second, value.value_or(L"<none>")) << utf8(key);
        }
    }
}

// Every answer of the reader as text, to compare certificates read from different forms.
std::string allSlots(ssl::Certificate& certificate) {
    std::ostringstream out;
    out << certificate.version() << '|' << hex(certificate.der()) << '|' << certificate.issuer()
        << '|' << certificate.subject() << '|' << hex(certificate.serialNumber()) << '|'
        << certificate.hashAlgorithm() << '|' << certificate.signatureAlgorithm() << '|'
        << certificate.notBefore() << '|' << certificate.notAfter() << '|'
        << certificate.keyUsage().value_or(0xFFFF) << '|'
        << utf8(certificate.subjectSignTool().value_or(L"-")) << '|'
        << utf8(certificate.issuerSignTool().value_or(L"-")) << '|'
        << iso(certificate.privateKeyNotBefore()) << '|' << iso(certificate.privateKeyNotAfter())
        << '|' << boost::algorithm::join(certificate.extendedKeyUsages(), ",") << '|'
        << hex(certificate.thumbprint().value_or("-")) << '|' << certificate.hasExtension() << '|'
        << certificate.publicKey()->algorithm() << '|' << hex(certificate.publicKey()->value());
    for (const auto& name : {certificate.issuerName(), certificate.subjectName()}) {
        for (const auto& [key, value] : name) {
            out << '|' << utf8(key) << '=' << utf8(value.value_or(L"-"));
        }
    }
    return out.str();
}

boost::shared_ptr<ssl::Certificate> load(const std::string& name, const std::string& format) {
    const std::string bytes = readFile(name + "." + format);
    return ssl::Certificate::makeByFormat(reinterpret_cast<const unsigned char*>(bytes.data()),
                                          bytes.size());
}

class CertificateReader : public ::testing::TestWithParam<std::tuple<const char*, const char*>> {};

}  // namespace

TEST_P(CertificateReader, AnswersWhatTheOpensslToolReports) {
    const auto [name, format] = GetParam();
    const auto expected = expectations(name);
    const auto certificate = load(name, format);
    ASSERT_TRUE(certificate);

    EXPECT_EQ(std::stol(expected.at("version")), certificate->version() + 1);
    EXPECT_EQ(readFile(std::string(name) + ".der"), certificate->der());

    std::string serial = unhex(expected.at("serial"));
    if (static_cast<unsigned char>(serial.front()) & 0x80) {
        serial.insert(serial.begin(), '\0');
    }
    EXPECT_EQ(std::string(serial.rbegin(), serial.rend()), certificate->serialNumber());

    EXPECT_EQ(expected.at("subject"), certificate->subject());
    EXPECT_EQ(expected.at("issuer"), certificate->issuer());
    expectNameRecord(certificate->subjectName(), expected.at("subject"));
    expectNameRecord(certificate->issuerName(), expected.at("issuer"));

    EXPECT_EQ(expected.at("notBefore"), boost::posix_time::to_iso_string(certificate->notBefore()));
    EXPECT_EQ(expected.at("notAfter"), boost::posix_time::to_iso_string(certificate->notAfter()));
    EXPECT_EQ(expected.at("sha1"), hex(certificate->thumbprint().value_or("")));

    EXPECT_EQ(expected.at("signatureAlgorithm"), longName(certificate->signatureAlgorithm()));
    const auto key = certificate->publicKey();
    ASSERT_TRUE(key);
    EXPECT_EQ(expected.at("publicKeyAlgorithm"), longName(key->algorithm()));
    EXPECT_EQ(expected.at("publicKey"), boost::algorithm::to_lower_copy(hex(key->value())));
    const std::map<std::string, std::string> hashByKey = {
        {"1.2.643.2.2.19", "1.2.643.2.2.9"}, {"1.2.643.7.1.1.1.1", "1.2.643.7.1.1.2.2"}};
    const auto hash = hashByKey.find(key->algorithm());
    EXPECT_EQ(hash == hashByKey.end() ? "1.2.643.7.1.1.2.3" : hash->second,
              certificate->hashAlgorithm());

    EXPECT_EQ(expected.at("keyUsage").empty(), !certificate->keyUsage());
    EXPECT_EQ(expected.at("keyUsage"), keyUsageText(certificate->keyUsage()));
    std::vector<std::string> purposes;
    for (const std::string& oid : certificate->extendedKeyUsages()) {
        purposes.push_back(longName(oid));
    }
    EXPECT_EQ(expected.at("extendedKeyUsage"), boost::algorithm::join(purposes, ", "));

    const auto subjectTool = certificate->subjectSignTool();
    EXPECT_EQ(expected.at("subjectSignTool").empty(), !subjectTool);
    EXPECT_EQ(expected.at("subjectSignTool"),
              boost::algorithm::to_lower_copy(hex(utf8(subjectTool.value_or(L"")))));
    const auto issuerTool = certificate->issuerSignTool();
    EXPECT_EQ(expected.at("issuerSignTool").empty(), !issuerTool);
    EXPECT_EQ(boost::locale::conv::utf_to_utf<wchar_t>(unhex(expected.at("issuerSignTool"))),
              issuerTool.value_or(L""));

    EXPECT_EQ(expected.at("privateKeyNotBefore"), iso(certificate->privateKeyNotBefore()));
    EXPECT_EQ(expected.at("privateKeyNotAfter"), iso(certificate->privateKeyNotAfter()));
    EXPECT_EQ(expected.at("extension49") == "1", certificate->hasExtension());
}

TEST_P(CertificateReader, AnswersTheSameForEveryEncoding) {
    const auto [name, format] = GetParam();
    const auto certificate = load(name, format);
    const auto reference = load(name, "der");
    EXPECT_EQ(allSlots(*reference), allSlots(*certificate));
}

INSTANTIATE_TEST_SUITE_P(TestCertificates, CertificateReader,
                         ::testing::Combine(::testing::ValuesIn(ssl::testing::kCertificates),
                                            ::testing::ValuesIn(ssl::testing::kFormats)),
                         [](const auto& combination) {
                             return std::string(std::get<0>(combination.param)) + "_" +
                                    std::get<1>(combination.param);
                         });
