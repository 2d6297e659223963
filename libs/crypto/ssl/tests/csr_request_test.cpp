#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <set>

#include <openssl/engine.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>
#include <boost/exception/get_error_info.hpp>
#include <boost/locale/encoding.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "crypto/iprovider.h"
#include "exception/crypto.h"
#include "exception/ssl.h"
#include "log_capture.h"
#include "ssl/csr_request.h"
#include "ssl/scoped_handle.h"

namespace ssl = kelvo::plugin::ssl;
namespace crypto = kelvo::plugin::crypto;
using ssl::scoped_handle;

namespace {

using Request = scoped_handle<X509_REQ>;
using Values = std::vector<std::pair<int, std::string>>;  // (ASN.1 type, content)

const char kOsVersion[] = "1.3.6.1.4.1.311.13.2.3";
const char kClientInfo[] = "1.3.6.1.4.1.311.21.20";
const char kCspInfo[] = "1.3.6.1.4.1.311.13.2.2";
const char kPairs[] = "1.3.6.1.4.1.311.13.2.1";
const char kExtensionRequest[] = "1.2.840.113549.1.9.14";

// Only the name matters to the request builder.
struct Provider : crypto::IProvider {
    std::wstring text = L"ZOLVEXToken GOST \x0416";
    boost::optional<std::wstring> none;
    const std::wstring& name() const override { return text; }
    boost::optional<std::string> displayName() const override { return {}; }
    boost::optional<Info> info() const override { return {}; }
    crypto::SharedSet<IProvider> providers(const kelvo::host::Session*) const override {
        return {};
    }
    std::set<std::wstring> containers() const override { return {}; }
    std::set<std::string> algorithms() const override { return {}; }
    bool isSupported(const std::string&) const override { return false; }
    crypto::SharedSet<crypto::ICertificate> certificates() const override { return {}; }
    std::pair<boost::shared_ptr<void>, boost::shared_ptr<void>> keyPair() const override {
        return {};
    }
    boost::shared_ptr<kelvo::plugin::cryptoki::Device> device() const override { return {}; }
    boost::shared_ptr<void> nativeHandle() const override { return {}; }
    boost::shared_ptr<crypto::ICertificate> findCertificate(const std::wstring&) const override {
        return {};
    }
    boost::shared_ptr<crypto::IHash> createHash(
        const std::string&, const boost::shared_ptr<crypto::ICertificate>&) override {
        return {};
    }
    bool isSoftware() const override { return false; }
    boost::optional<std::wstring> findContainer(const crypto::IPublicKey&,
                                                unsigned long*) const override {
        return {};
    }
    const boost::optional<std::wstring>& extraText() const override { return none; }
    bool deleteContainer(const std::wstring&, const std::string&) const override { return false; }
    boost::optional<std::wstring> versionInfo() const override { return {}; }
    bool isHardware() const override { return true; }
    std::vector<unsigned char> randomBytes(std::size_t) const override { return {}; }
};

// A software GOST R 34.10-2012 256-bit key (paramset A); the gost engine stays loaded.
EVP_PKEY* gostKey() {
    static const scoped_handle<EVP_PKEY> key = [] {
        ENGINE* engine = ENGINE_by_id("gost");
        EVP_PKEY* made = nullptr;
        if (engine != nullptr && ENGINE_init(engine) == 1) {
            ENGINE_register_pkey_asn1_meths(engine);
            scoped_handle<EVP_PKEY_CTX> context(
                EVP_PKEY_CTX_new_id(NID_id_GostR3410_2012_256, engine), EVP_PKEY_CTX_free);
            if (EVP_PKEY_keygen_init(context.get()) > 0 &&
                EVP_PKEY_CTX_ctrl_str(context.get(), "paramset", "A") > 0) {
                EVP_PKEY_keygen(context.get(), &made);
            }
        }
        return scoped_handle<EVP_PKEY>(made, EVP_PKEY_free);
    }();
    return key.get();
}

Request parse(const std::string& base64) {
    std::string der(base64.size(), '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(der.data());
    const int length = EVP_DecodeBlock(bytes, reinterpret_cast<const unsigned char*>(base64.data()),
                                       static_cast<int>(base64.size()));
    const unsigned char* cursor = bytes;
    return Request(length > 0 ? d2i_X509_REQ(nullptr, &cursor, length) : nullptr, X509_REQ_free);
}

// The request made from the filled parameters, parsed back; the text must be one line.
Request make(const std::function<void(crypto::CsrParams&)>& fill, EVP_PKEY* key = gostKey()) {
    auto params = boost::make_shared<crypto::CsrParams>();
    fill(*params);
    const std::string text = ssl::createCsr(key, params);
    EXPECT_EQ(std::string::npos, text.find_first_of("\r\n-")) << text;
    Request request = parse(text);
    EXPECT_TRUE(request) << text;
    return request;
}

// The Message_ or Module_ text of the expected failure, checked for code and throw site.
std::string failure(const std::function<void(crypto::CsrParams&)>& fill, int code,
                    const char* function, EVP_PKEY* key = gostKey()) {
    auto params = boost::make_shared<crypto::CsrParams>();
    fill(*params);
    try {
        ssl::createCsr(key, params);
    } catch (const kelvo::plugin::exception::Exception& error) {
        EXPECT_EQ(code, error.code().value());
        EXPECT_STREQ(function, *boost::get_error_info<boost::throw_function>(error));
        EXPECT_EQ(0u, ERR_peek_error());
        const auto* message = boost::get_error_info<crypto::exception::Message_>(error);
        const auto* module = boost::get_error_info<ssl::exception::Module_>(error);
        return message ? *message : module ? *module : std::string();
    }
    ADD_FAILURE() << "no exception, expected " << code;
    return {};
}

std::string oid(const ASN1_OBJECT* object) {
    char text[128] = {};
    OBJ_obj2txt(text, sizeof text, object, 1);
    return text;
}

std::string bytes(const ASN1_STRING* string) {
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(string)),
                       static_cast<std::size_t>(ASN1_STRING_length(string)));
}

std::vector<std::string> attributeOids(const Request& request) {
    std::vector<std::string> oids;
    for (int i = 0; i < X509_REQ_get_attr_count(request.get()); ++i) {
        oids.push_back(oid(X509_ATTRIBUTE_get0_object(X509_REQ_get_attr(request.get(), i))));
    }
    return oids;
}

// SEQUENCE values come as their whole DER.
Values attributeValues(const Request& request, const char* attributeOid) {
    scoped_handle<ASN1_OBJECT> object(OBJ_txt2obj(attributeOid, 1), ASN1_OBJECT_free);
    X509_ATTRIBUTE* attribute =
        X509_REQ_get_attr(request.get(), X509_REQ_get_attr_by_OBJ(request.get(), object.get(), -1));
    Values values;
    for (int i = 0; attribute != nullptr && i < X509_ATTRIBUTE_count(attribute); ++i) {
        const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, i);
        values.emplace_back(value->type, bytes(value->value.asn1_string));
    }
    return values;
}

// The elements of a DER SEQUENCE; INTEGERs as decimal text.
Values sequence(const std::string& der) {
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.data());
    scoped_handle<ASN1_SEQUENCE_ANY> items(
        d2i_ASN1_SEQUENCE_ANY(nullptr, &cursor, static_cast<long>(der.size())),
        [](ASN1_SEQUENCE_ANY* s) { sk_ASN1_TYPE_pop_free(s, ASN1_TYPE_free); });
    Values elements;
    for (int i = 0; items && i < sk_ASN1_TYPE_num(items.get()); ++i) {
        const ASN1_TYPE* item = sk_ASN1_TYPE_value(items.get(), i);
        elements.emplace_back(item->type,
                              item->type == V_ASN1_INTEGER
                                  ? std::to_string(ASN1_INTEGER_get(item->value.integer))
                                  : bytes(item->value.asn1_string));
    }
    return elements;
}

void releaseExtensions(STACK_OF(X509_EXTENSION) * list) {
    sk_X509_EXTENSION_pop_free(list, X509_EXTENSION_free);
}

// The extension's value DER by OID, or nothing; every extension must be non-critical.
boost::optional<std::string> extension(const Request& request, const std::string& extensionOid) {
    scoped_handle<STACK_OF(X509_EXTENSION)> list(X509_REQ_get_extensions(request.get()),
                                                 releaseExtensions);
    for (int i = 0; i < sk_X509_EXTENSION_num(list.get()); ++i) {
        X509_EXTENSION* item = sk_X509_EXTENSION_value(list.get(), i);
        EXPECT_EQ(0, X509_EXTENSION_get_critical(item));
        if (oid(X509_EXTENSION_get_object(item)) == extensionOid) {
            return bytes(X509_EXTENSION_get_data(item));
        }
    }
    return boost::none;
}

// The decoded extension value through OpenSSL's own method.
template <class T>
scoped_handle<T> decoded(const Request& request, int nid, void (*release)(T*)) {
    scoped_handle<STACK_OF(X509_EXTENSION)> list(X509_REQ_get_extensions(request.get()),
                                                 releaseExtensions);
    return scoped_handle<T>(static_cast<T*>(X509V3_get_d2i(list.get(), nid, nullptr, nullptr)),
                            release);
}

std::string utf16be(const std::string& ascii) {
    std::string result;
    for (const char c : ascii) {
        result += std::string(1, '\0') + c;
    }
    return result;
}

}  // namespace

TEST(CsrSubject, TypeByKeyAsWrittenAliasesFoldedAndUnknownKeysFail) {
    const auto request = make([](auto& p) {
        p.subject =
            "cn=\xD0\x98\xD0\xB2;snils=12345678901;1.2.643.100.4=1234567890;"
            "innle=1234567890;;Email_Address=a@b.ru;title;=orphan;CN=x=y;commonName=z";
    });
    const X509_NAME* name = X509_REQ_get_subject_name(request.get());
    std::vector<std::tuple<std::string, int, std::string>> entries;
    for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        const ASN1_STRING* value = X509_NAME_ENTRY_get_data(entry);
        entries.emplace_back(oid(X509_NAME_ENTRY_get_object(entry)), ASN1_STRING_type(value),
                             bytes(value));
    }
    using E = std::tuple<std::string, int, std::string>;
    EXPECT_EQ((std::vector<E>{E{"2.5.4.3", V_ASN1_UTF8STRING, "\xD0\x98\xD0\xB2"},
                              E{"1.2.643.100.3", V_ASN1_UTF8STRING, "12345678901"},
                              E{"1.2.643.100.4", V_ASN1_NUMERICSTRING, "1234567890"},
                              E{"1.2.643.100.4", V_ASN1_UTF8STRING, "1234567890"},
                              E{"1.2.840.113549.1.9.1", V_ASN1_UTF8STRING, "a@b.ru"},
                              E{"2.5.4.12", V_ASN1_UTF8STRING, ""},
                              E{"2.5.4.3", V_ASN1_UTF8STRING, "x=y"},
                              E{"2.5.4.3", V_ASN1_UTF8STRING, "z"}}),
              entries);

    // Fold to no alias and are unknown to OpenSSL as written.
    for (const char* subject : {"Common-Name=a", "cn=a;common_name=b"}) {
        EXPECT_FALSE(failure([&](auto& p) { p.subject = subject; },
                             ssl::exception::SrSetValueFailed, "appendSubject")
                         .empty());
    }
}

TEST(CsrAttributes, EnrolmentLayoutsAsParsed) {
    const crypto::ClientInfo client{"\xD0\xAE", "host-1", "host.exe"};
    const auto request = make([&](auto& p) {
        p.attributes = {kCspInfo, "1.2.3.4", kClientInfo, kOsVersion};
        p.clientInfo = &client;
        p.provider = boost::make_shared<Provider>();
        p.nameValuePairs = {{"KeyValidity", "1y"}, {"\xD0\xAF", ""}};
    });
    // DER sorts the SET OF attributes and the SET OF values, so only membership is fixed.
    const auto oids = attributeOids(request);
    EXPECT_EQ((std::multiset<std::string>{kOsVersion, kClientInfo, kCspInfo, kPairs}),
              std::multiset<std::string>(oids.begin(), oids.end()));

    const auto os = attributeValues(request, kOsVersion);
    ASSERT_EQ(1u, os.size());
    EXPECT_EQ(V_ASN1_UTF8STRING, os[0].first);
    EXPECT_TRUE(std::regex_match(os[0].second, std::regex(R"(\d+\.\d+\.\d+\.1)"))) << os[0].second;

    const auto info = attributeValues(request, kClientInfo);
    ASSERT_EQ(1u, info.size());
    EXPECT_EQ((Values{{V_ASN1_INTEGER, "5"},
                      {V_ASN1_UTF8STRING, "host-1"},
                      {V_ASN1_UTF8STRING, "\xD0\xAE"},
                      {V_ASN1_UTF8STRING, "host.exe"}}),
              sequence(info[0].second));

    const auto csp = attributeValues(request, kCspInfo);
    ASSERT_EQ(1u, csp.size());
    EXPECT_EQ((Values{{V_ASN1_INTEGER, "1"},
                      {V_ASN1_BMPSTRING, utf16be("ZOLVEXToken GOST ") + "\x04\x16"},
                      {V_ASN1_BIT_STRING, ""}}),
              sequence(csp[0].second));

    std::set<Values> pairs;
    for (const auto& value : attributeValues(request, kPairs)) {
        pairs.insert(sequence(value.second));
    }
    EXPECT_EQ((std::set<Values>{
                  {{V_ASN1_BMPSTRING, utf16be("KeyValidity")}, {V_ASN1_BMPSTRING, utf16be("1y")}},
                  {{V_ASN1_BMPSTRING, std::string("\x04\x2F", 2)}, {V_ASN1_BMPSTRING, ""}}}),
              pairs);
}

TEST(CsrAttributes, StepsAppendInOrderAndMissingSourcesGiveEmptyStrings) {
    crypto::CsrParams params;
    params.attributes = {kClientInfo, kOsVersion, kCspInfo};
    params.nameValuePairs = {{"a", "b"}};
    params.keyUsage = 0x80;
    Request request(X509_REQ_new(), X509_REQ_free);
    for (auto step : {ssl::appendOsVersion, ssl::appendClientInfo, ssl::appendCspInfo,
                      ssl::appendKeysValidity, ssl::appendKeysValidity, ssl::appendExtensions}) {
        step(request.get(), params);
    }
    EXPECT_EQ(
        (std::vector<std::string>{kOsVersion, kClientInfo, kCspInfo, kPairs, kExtensionRequest}),
        attributeOids(request));
    EXPECT_EQ(2u, attributeValues(request, kPairs).size());
    EXPECT_EQ((Values{{V_ASN1_INTEGER, "5"},
                      {V_ASN1_UTF8STRING, ""},
                      {V_ASN1_UTF8STRING, ""},
                      {V_ASN1_UTF8STRING, ""}}),
              sequence(attributeValues(request, kClientInfo).at(0).second));
    EXPECT_EQ((Values{{V_ASN1_INTEGER, "1"}, {V_ASN1_BMPSTRING, ""}, {V_ASN1_BIT_STRING, ""}}),
              sequence(attributeValues(request, kCspInfo).at(0).second));

    EXPECT_TRUE(attributeOids(make([](auto&) {})).empty());
}

TEST(CsrExtensions, ValuesAsParsed) {
    const auto request = make([](auto& p) {
        p.keyUsage = 0xC0 | 0x8000 | 0x100;
        p.extendedKeyUsages = {"clientAuth", "1.2.643.3.131.1000"};
        p.policies = {"1.2.643.100.113.1", "1.2.643.100.113.2"};
        p.signTool = "\xD0\xA1\xD0\x9A\xD0\x97\xD0\x98, v1";
        p.dnsNames = {"a.example", "b.example"};
        p.otherNames = {{"1.2.643.100.5", "x, y"}};
        p.upn = "user@example";
        p.identificationKind = "remotesystem";
    });
    const auto usage = decoded(request, NID_key_usage, ASN1_BIT_STRING_free);
    ASSERT_TRUE(usage);
    for (int bit = 0; bit < 10; ++bit) {
        EXPECT_EQ(bit == 0 || bit == 1 || bit == 8, ASN1_BIT_STRING_get_bit(usage.get(), bit) == 1);
    }
    const auto eku = decoded(request, NID_ext_key_usage, EXTENDED_KEY_USAGE_free);
    ASSERT_EQ(2, sk_ASN1_OBJECT_num(eku.get()));
    EXPECT_EQ("1.3.6.1.5.5.7.3.2", oid(sk_ASN1_OBJECT_value(eku.get(), 0)));
    EXPECT_EQ("1.2.643.3.131.1000", oid(sk_ASN1_OBJECT_value(eku.get(), 1)));

    const auto policies = decoded(request, NID_certificate_policies, CERTIFICATEPOLICIES_free);
    ASSERT_EQ(2, sk_POLICYINFO_num(policies.get()));
    EXPECT_EQ("1.2.643.100.113.2", oid(sk_POLICYINFO_value(policies.get(), 1)->policyid));
    EXPECT_EQ(nullptr, sk_POLICYINFO_value(policies.get(), 0)->qualifiers);

    EXPECT_EQ("\x0C\x0C\xD0\xA1\xD0\x9A\xD0\x97\xD0\x98, v1",
              *extension(request, "1.2.643.100.111"));
    EXPECT_EQ(std::string("\x02\x01\x03"), *extension(request, "1.2.643.100.114"));

    const auto names = decoded(request, NID_subject_alt_name, GENERAL_NAMES_free);
    ASSERT_EQ(4, sk_GENERAL_NAME_num(names.get()));
    EXPECT_EQ("b.example", bytes(sk_GENERAL_NAME_value(names.get(), 1)->d.dNSName));
    for (const auto& [index, type, value] :
         {std::tuple<int, const char*, const char*>{2, "1.2.643.100.5", "x, y"},
          {3, "1.3.6.1.4.1.311.20.2.3", "user@example"}}) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), index);
        ASSERT_EQ(GEN_OTHERNAME, name->type);
        EXPECT_EQ(type, oid(name->d.otherName->type_id));
        EXPECT_EQ(V_ASN1_UTF8STRING, name->d.otherName->value->type);
        EXPECT_EQ(value, bytes(name->d.otherName->value->value.utf8string));
    }
}

TEST(CsrExtensions, RefusedOnesLeftOutWhileBadKindsAndNamesFail) {
    const auto request = make([](auto& p) {
        p.extendedKeyUsages = {"clientAuth", "noSuchUsage"};
        p.policies = {"not a policy"};
        p.keyUsage = 0x80;
        p.identificationKind = "personal";
    });
    EXPECT_FALSE(extension(request, "2.5.29.37"));
    EXPECT_FALSE(extension(request, "2.5.29.32"));
    EXPECT_TRUE(extension(request, "2.5.29.15"));
    EXPECT_EQ(std::string("\x02\x01\x00", 3), *extension(request, "1.2.643.100.114"));

    EXPECT_EQ("DER:020103", ssl::identificationKindExtension("remotesystem"));
    EXPECT_EQ("Personal", failure([](auto& p) { p.identificationKind = "Personal"; },
                                  crypto::exception::IdentificationKindNotSupported,
                                  "identificationKindExtension"));
    failure(
        [](auto& p) {
            p.otherNames = {{"no oid", "v"}};
        },
        ssl::exception::SrSetValueFailed, "appendExtensions");
}

TEST(CsrSign, GostAndRsaRequestsVerify) {
    auto params = boost::make_shared<crypto::CsrParams>();
    const std::string text = ssl::createCsr(gostKey(), params);
    const Request request = parse(text);
    ASSERT_TRUE(request);
    EXPECT_EQ(0, X509_REQ_get_version(request.get()));
    EXPECT_EQ(1, X509_REQ_verify(request.get(), gostKey()));
    EXPECT_EQ(NID_id_tc26_signwithdigest_gost3410_2012_256,
              X509_REQ_get_signature_nid(request.get()));

    scoped_handle<EVP_PKEY> rsa(EVP_RSA_gen(2048), EVP_PKEY_free);
    EXPECT_EQ(
        1, X509_REQ_verify(make([](auto& p) { p.keyUsage = 0x20; }, rsa.get()).get(), rsa.get()));
}

TEST(CsrSign, KeyFailuresThrowFromSign) {
    failure([](auto&) {}, ssl::exception::SrCsrSetPublicKeyFailed, "sign", nullptr);
    // The public half alone cannot sign.
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(gostKey(), &der);
    scoped_handle<unsigned char> owned(der, [](unsigned char* p) { OPENSSL_free(p); });
    const unsigned char* cursor = der;
    scoped_handle<EVP_PKEY> publicOnly(d2i_PUBKEY(nullptr, &cursor, length), EVP_PKEY_free);
    EXPECT_FALSE(
        failure([](auto&) {}, ssl::exception::SrCsrSignFailed, "sign", publicOnly.get()).empty());
}

TEST(CsrRequest, EmptyParamsLogWarningAndGiveNothing) {
    kelvo::test::LogCapture log;
    EXPECT_EQ("", ssl::createCsr(gostKey(), nullptr));
    const auto lines = log.lines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(boost::log::trivial::warning, lines[0].severity);
    EXPECT_EQ(boost::locale::conv::from_utf("ssl: csr: Не указаны параметры формирования запроса",
                                            "windows-1251"),
              lines[0].text);
}
