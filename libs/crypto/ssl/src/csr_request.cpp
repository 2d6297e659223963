#include "ssl/csr_request.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include <openssl/asn1t.h>
#include <openssl/conf.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <boost/algorithm/string/join.hpp>
#include <boost/locale/encoding_utf.hpp>
#include <boost/log/trivial.hpp>

#include "catalogue/identification_kinds.h"
#include "catalogue/name_alias.h"
#include "crypto/iprovider.h"
#include "exception/crypto.h"
#include "platform/os_version.h"
#include "ssl/bio.h"
#include "ssl/tools.h"

namespace kelvo::plugin::ssl {

namespace {

// Windows certificate enrolment layouts of the request attributes.
struct ClientInfo {
    ::ASN1_INTEGER* domain;
    ASN1_UTF8STRING* hostname;
    ASN1_UTF8STRING* username;
    ASN1_UTF8STRING* process;
};

struct EnrolmentCSP {
    ::ASN1_INTEGER* type;
    ASN1_BMPSTRING* name;
    ASN1_BIT_STRING* id;
};

struct NamedPair {
    ASN1_BMPSTRING* name;
    ASN1_BMPSTRING* value;
};

ASN1_SEQUENCE(ClientInfo) =
    {
        ASN1_SIMPLE(ClientInfo, domain, ASN1_INTEGER),
        ASN1_SIMPLE(ClientInfo, hostname, ASN1_UTF8STRING),
        ASN1_SIMPLE(ClientInfo, username, ASN1_UTF8STRING),
        ASN1_SIMPLE(ClientInfo, process, ASN1_UTF8STRING),
} ASN1_SEQUENCE_END(ClientInfo) IMPLEMENT_ASN1_ALLOC_FUNCTIONS(ClientInfo)

        ASN1_SEQUENCE(EnrolmentCSP) =
            {
                ASN1_SIMPLE(EnrolmentCSP, type, ASN1_INTEGER),
                ASN1_SIMPLE(EnrolmentCSP, name, ASN1_BMPSTRING),
                ASN1_SIMPLE(EnrolmentCSP, id, ASN1_BIT_STRING),
} ASN1_SEQUENCE_END(EnrolmentCSP) IMPLEMENT_ASN1_ALLOC_FUNCTIONS(EnrolmentCSP)

                ASN1_SEQUENCE(NamedPair) =
                    {
                        ASN1_SIMPLE(NamedPair, name, ASN1_BMPSTRING),
                        ASN1_SIMPLE(NamedPair, value, ASN1_BMPSTRING),
} ASN1_SEQUENCE_END(NamedPair) IMPLEMENT_ASN1_ALLOC_FUNCTIONS(NamedPair)

                        const char kOsVersionOid[] = "1.3.6.1.4.1.311.13.2.3";
const char kClientInfoOid[] = "1.3.6.1.4.1.311.21.20";
const char kCspInfoOid[] = "1.3.6.1.4.1.311.13.2.2";
const char kNameValuePairOid[] = "1.3.6.1.4.1.311.13.2.1";
const char kUpnOid[] = "1.3.6.1.4.1.311.20.2.3";
const char kIdentificationKindOid[] = "1.2.643.100.114";
const char kUtf8Format[] = "FORMAT:UTF8,UTF8String:";
const long kClientInfoDomain = 5;
const long kCspInfoType = 1;

// "ssl: csr: Не указаны параметры формирования запроса" in Windows-1251.
const char kNoParamsWarning[] =
    "ssl: csr: \xCD\xE5 \xF3\xEA\xE0\xE7\xE0\xED\xFB \xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB "
    "\xF4\xEE\xF0\xEC\xE8\xF0\xEE\xE2\xE0\xED\xE8\xFF \xE7\xE0\xEF\xF0\xEE\xF1\xE0";

// OpenSSL's extension names of the key-usage bits, in X.509 bit order.
const std::pair<std::uint32_t, const char*> kKeyUsageNames[] = {
    {0x80, "digitalSignature"}, {0x40, "nonRepudiation"}, {0x20, "keyEncipherment"},
    {0x10, "dataEncipherment"}, {0x08, "keyAgreement"},   {0x04, "keyCertSign"},
    {0x02, "cRLSign"},          {0x01, "encipherOnly"},   {0x8000, "decipherOnly"}};

// The value type of a subject item, chosen by its key as the caller wrote it.
int subjectStringType(const std::string& key) {
    static const std::vector<std::pair<std::string, int>> table = {
        {"1.2.643.100.1", V_ASN1_UTF8STRING},        {"1.2.643.100.3", V_ASN1_UTF8STRING},
        {"1.2.643.3.131.1.1", V_ASN1_UTF8STRING},    {"1.2.643.100.4", V_ASN1_NUMERICSTRING},
        {"1.2.840.113549.1.9.1", V_ASN1_UTF8STRING}, {"2.5.4.6", V_ASN1_UTF8STRING}};
    const auto found = std::find_if(table.begin(), table.end(),
                                    [&key](const auto& row) { return row.first == key; });
    return found == table.end() ? V_ASN1_UTF8STRING : found->second;
}

bool listed(const crypto::CsrParams& params, const char* oid) {
    return std::find(params.attributes.begin(), params.attributes.end(), oid) !=
           params.attributes.end();
}

// UTF-16 big-endian bytes; invalid UTF input is skipped.
template <class Char>
std::string utf16be(const std::basic_string<Char>& text) {
    const std::u16string units = boost::locale::conv::utf_to_utf<char16_t>(text);
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        bytes.push_back(static_cast<char>(unit >> 8));
        bytes.push_back(static_cast<char>(unit & 0xFF));
    }
    return bytes;
}

bool assign(ASN1_STRING* target, const std::string& bytes) {
    return ASN1_STRING_set(target, bytes.data(), static_cast<int>(bytes.size())) == 1;
}

// DER of a template item; empty on failure.
template <class T>
std::string encode(const T* value, const ASN1_ITEM* item) {
    unsigned char* out = nullptr;
    const int length = ASN1_item_i2d(reinterpret_cast<const ASN1_VALUE*>(value), &out, item);
    scoped_handle<unsigned char> owned(out, [](unsigned char* bytes) { OPENSSL_free(bytes); });
    return length > 0 && owned
               ? std::string(reinterpret_cast<const char*>(out), static_cast<std::size_t>(length))
               : std::string();
}

bool addAttribute(X509_REQ* request, const char* oid, int type, const std::string& bytes) {
    return X509_REQ_add1_attr_by_txt(request, oid, type,
                                     reinterpret_cast<const unsigned char*>(bytes.data()),
                                     static_cast<int>(bytes.size())) == 1;
}

// An extension from its configuration string, or null when the library refuses it; the
// errors of a refusal are dropped so that they do not show up in a later failure's text.
scoped_handle<X509_EXTENSION> confExtension(int nid, const char* name, const std::string& value,
                                            X509V3_CTX* context = nullptr) {
    ERR_set_mark();
    X509_EXTENSION* extension = nid != NID_undef
                                    ? X509V3_EXT_nconf_nid(nullptr, context, nid, value.c_str())
                                    : X509V3_EXT_nconf(nullptr, context, name, value.c_str());
    if (extension == nullptr) {
        ERR_pop_to_mark();
    } else {
        ERR_clear_last_mark();
    }
    return scoped_handle<X509_EXTENSION>(extension, X509_EXTENSION_free);
}

void releaseConfValues(STACK_OF(CONF_VALUE) * values) {
    sk_CONF_VALUE_pop_free(values, X509V3_conf_free);
}

void releaseExtensions(STACK_OF(X509_EXTENSION) * extensions) {
    sk_X509_EXTENSION_pop_free(extensions, X509_EXTENSION_free);
}

// The configuration values of the subject alternative name in entry order, the UPN last;
// false when one cannot be added.
bool alternativeNameValues(const crypto::CsrParams& params, STACK_OF(CONF_VALUE) * *values) {
    for (const std::string& dns : params.dnsNames) {
        if (X509V3_add_value("DNS", dns.c_str(), values) != 1) {
            return false;
        }
    }
    auto otherNames = params.otherNames;
    if (!params.upn.empty()) {
        otherNames.emplace_back(kUpnOid, params.upn);
    }
    for (const auto& [oid, value] : otherNames) {
        const std::string text = oid + ";" + kUtf8Format + value;
        if (X509V3_add_value("otherName", text.c_str(), values) != 1) {
            return false;
        }
    }
    return true;
}

}  // namespace

void appendSubject(X509_REQ* request, const crypto::CsrParams& params) {
    X509_NAME* subject = X509_REQ_get_subject_name(request);
    std::string::size_type start = 0;
    while (start <= params.subject.size()) {
        const auto end = std::min(params.subject.find(';', start), params.subject.size());
        const std::string item = params.subject.substr(start, end - start);
        start = end + 1;

        const auto equals = item.find('=');
        const std::string key = item.substr(0, equals);
        if (key.empty()) {
            continue;
        }
        const std::string value =
            equals == std::string::npos ? std::string() : item.substr(equals + 1);
        const int type = subjectStringType(key);
        scoped_handle<ASN1_OBJECT> object(
            OBJ_txt2obj(crypto::catalogue::resolveAlias(key).c_str(), 0), ASN1_OBJECT_free);
        // Length -1: the value ends at its first NUL byte.
        if (!object || X509_NAME_add_entry_by_OBJ(
                           subject, object.get(), type,
                           reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1, 0) != 1) {
            KELVO_THROW_SSL(exception::SrSetValueFailed);
        }
    }
}

void appendOsVersion(X509_REQ* request, const crypto::CsrParams& params) {
    if (!listed(params, kOsVersionOid)) {
        return;
    }
    const platform::OsVersion version = platform::osVersion();
    char text[64] = {};
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", version.major, version.minor, version.build,
                  version.productType);
    if (X509_REQ_add1_attr_by_txt(request, kOsVersionOid, MBSTRING_UTF8,
                                  reinterpret_cast<const unsigned char*>(text), -1) != 1) {
        KELVO_THROW_SSL(exception::SrSetValueFailed);
    }
}

void appendClientInfo(X509_REQ* request, const crypto::CsrParams& params) {
    if (!listed(params, kClientInfoOid)) {
        return;
    }
    // Without a client record the attribute is still sent, with empty strings: the caller
    // asked for it, and the domain field carries meaning of its own.
    const crypto::ClientInfo none;
    const crypto::ClientInfo& client = params.clientInfo != nullptr ? *params.clientInfo : none;

    scoped_handle<ClientInfo> info(ClientInfo_new(), ClientInfo_free);
    std::string der;
    if (info && ASN1_INTEGER_set(info.get()->domain, kClientInfoDomain) == 1 &&
        assign(info.get()->hostname, client.hostname) &&
        assign(info.get()->username, client.username) &&
        assign(info.get()->process, client.process)) {
        der = encode(info.get(), ASN1_ITEM_rptr(ClientInfo));
    }
    if (der.empty() || !addAttribute(request, kClientInfoOid, V_ASN1_SEQUENCE, der)) {
        KELVO_THROW_SSL(exception::SrSetValueFailed);
    }
}

void appendCspInfo(X509_REQ* request, const crypto::CsrParams& params) {
    if (!listed(params, kCspInfoOid)) {
        return;
    }
    // No provider: an empty name rather than a missing attribute.
    const std::wstring name = params.provider ? params.provider->name() : std::wstring();

    scoped_handle<EnrolmentCSP> info(EnrolmentCSP_new(), EnrolmentCSP_free);
    std::string der;
    if (info && ASN1_INTEGER_set(info.get()->type, kCspInfoType) == 1 &&
        assign(info.get()->name, utf16be(name))) {
        der = encode(info.get(), ASN1_ITEM_rptr(EnrolmentCSP));
    }
    if (der.empty() || !addAttribute(request, kCspInfoOid, V_ASN1_SEQUENCE, der)) {
        KELVO_THROW_SSL(exception::SrSetValueFailed);
    }
}

void appendKeysValidity(X509_REQ* request, const crypto::CsrParams& params) {
    if (params.nameValuePairs.empty()) {
        return;
    }
    scoped_handle<ASN1_OBJECT> oid(OBJ_txt2obj(kNameValuePairOid, 1), ASN1_OBJECT_free);
    if (!oid) {
        KELVO_THROW_SSL(exception::SrSetValueFailed);
    }
    for (const auto& [name, value] : params.nameValuePairs) {
        scoped_handle<NamedPair> pair(NamedPair_new(), NamedPair_free);
        std::string der;
        if (pair && assign(pair.get()->name, utf16be(name)) &&
            assign(pair.get()->value, utf16be(value))) {
            der = encode(pair.get(), ASN1_ITEM_rptr(NamedPair));
        }
        if (der.empty()) {
            KELVO_THROW_SSL(exception::SrSetValueFailed);
        }
        // All pairs are values of one attribute.
        const int location = X509_REQ_get_attr_by_OBJ(request, oid.get(), -1);
        const bool added =
            location < 0
                ? X509_REQ_add1_attr_by_OBJ(request, oid.get(), V_ASN1_SET,
                                            reinterpret_cast<const unsigned char*>(der.data()),
                                            static_cast<int>(der.size())) == 1
                : X509_ATTRIBUTE_set1_data(X509_REQ_get_attr(request, location), V_ASN1_SET,
                                           der.data(), static_cast<int>(der.size())) == 1;
        if (!added) {
            KELVO_THROW_SSL(exception::SrSetValueFailed);
        }
    }
}

std::string identificationKindExtension(const std::string& name) {
    const auto kind = crypto::catalogue::identificationKind(name);
    if (!kind) {
        BOOST_THROW_EXCEPTION(
            crypto::exception::CryptoException(crypto::exception::IdentificationKindNotSupported)
            << crypto::exception::Message_(name));
    }
    scoped_handle<::ASN1_INTEGER> number(ASN1_INTEGER_new(), ASN1_INTEGER_free);
    unsigned char* der = nullptr;
    const int length = number && ASN1_INTEGER_set(number.get(), *kind) == 1
                           ? i2d_ASN1_INTEGER(number.get(), &der)
                           : 0;
    scoped_handle<unsigned char> owned(der, [](unsigned char* bytes) { OPENSSL_free(bytes); });
    if (length <= 0 || !owned) {
        KELVO_THROW_SSL(exception::SrSetValueFailed);
    }
    static const char digits[] = "0123456789abcdef";
    std::string text = "DER:";
    for (int i = 0; i < length; ++i) {
        text.push_back(digits[der[i] >> 4]);
        text.push_back(digits[der[i] & 0x0F]);
    }
    return text;
}

void appendExtensions(X509_REQ* request, const crypto::CsrParams& params) {
    std::vector<scoped_handle<X509_EXTENSION>> extensions;

    std::vector<std::string> usages;
    for (const auto& [bit, name] : kKeyUsageNames) {
        if ((params.keyUsage & bit) != 0) {
            usages.emplace_back(name);
        }
    }
    if (!usages.empty()) {
        extensions.push_back(
            confExtension(NID_key_usage, nullptr, boost::algorithm::join(usages, ",")));
    }
    if (!params.extendedKeyUsages.empty()) {
        extensions.push_back(confExtension(NID_ext_key_usage, nullptr,
                                           boost::algorithm::join(params.extendedKeyUsages, ",")));
    }
    if (!params.policies.empty()) {
        X509V3_CTX context{};
        X509V3_set_ctx(&context, nullptr, nullptr, nullptr, nullptr, X509V3_CTX_TEST);
        // OpenSSL refuses certificate policies without a database; an empty one passes its
        // check and lends no sections, so only bare policy OIDs are accepted.
        scoped_handle<CONF> database(NCONF_new(nullptr), NCONF_free);
        X509V3_set_nconf(&context, database.get());
        extensions.push_back(confExtension(NID_certificate_policies, nullptr,
                                           boost::algorithm::join(params.policies, ","), &context));
    }
    if (!params.signTool.empty()) {
        extensions.push_back(confExtension(NID_subjectSignTool, nullptr,
                                           std::string("ASN1:") + kUtf8Format + params.signTool));
    }
    if (!params.dnsNames.empty() || !params.otherNames.empty() || !params.upn.empty()) {
        // Built entry by entry: the otherName syntax holds commas that a joined
        // configuration string would split.
        STACK_OF(CONF_VALUE)* raw = nullptr;
        const bool collected = alternativeNameValues(params, &raw);
        scoped_handle<STACK_OF(CONF_VALUE)> values(raw, releaseConfValues);
        const X509V3_EXT_METHOD* method = X509V3_EXT_get_nid(NID_subject_alt_name);
        if (!collected || method == nullptr || method->v2i == nullptr) {
            KELVO_THROW_SSL(exception::SrSetValueFailed);
        }
        scoped_handle<GENERAL_NAMES> names(
            static_cast<GENERAL_NAMES*>(method->v2i(method, nullptr, values.get())),
            GENERAL_NAMES_free);
        scoped_handle<X509_EXTENSION> extension(
            names ? X509V3_EXT_i2d(NID_subject_alt_name, 0, names.get()) : nullptr,
            X509_EXTENSION_free);
        if (!extension) {
            KELVO_THROW_SSL(exception::SrSetValueFailed);
        }
        extensions.push_back(std::move(extension));
    }
    if (!params.identificationKind.empty()) {
        extensions.push_back(confExtension(NID_undef, kIdentificationKindOid,
                                           identificationKindExtension(params.identificationKind)));
    }

    scoped_handle<STACK_OF(X509_EXTENSION)> list(sk_X509_EXTENSION_new_null(), releaseExtensions);
    if (!list) {
        KELVO_THROW_SSL(exception::SrSetValueFailed);
    }
    for (auto& extension : extensions) {
        if (!extension) {
            continue;
        }
        if (sk_X509_EXTENSION_push(list.get(), extension.get()) <= 0) {
            KELVO_THROW_SSL(exception::SrSetValueFailed);
        }
        extension.release();
    }
    if (sk_X509_EXTENSION_num(list.get()) > 0 &&
        X509_REQ_add_extensions(request, list.get()) != 1) {
        KELVO_THROW_SSL(exception::SrSetValueFailed);
    }
}

void sign(X509_REQ* request, EVP_PKEY* key) {
    if (X509_REQ_set_pubkey(request, key) != 1) {
        KELVO_THROW_SSL(exception::SrCsrSetPublicKeyFailed);
    }
    // Usually no digest goes by this name; X509_REQ_sign then takes the key's default, the
    // matching GOST R 34.11-2012 digest for a GOST key.
    const EVP_MD* digest = EVP_get_digestbyname(OBJ_nid2sn(NID_id_GostR3410_2012_256));
    if (X509_REQ_sign(request, key, digest) <= 0) {
        KELVO_THROW_SSL(exception::SrCsrSignFailed);
    }
}

std::string createCsr(EVP_PKEY* key, const boost::shared_ptr<crypto::CsrParams>& params) {
    if (!params) {
        BOOST_LOG_TRIVIAL(warning) << kNoParamsWarning;
        return {};
    }
    scoped_handle<X509_REQ> request(X509_REQ_new(), X509_REQ_free);
    if (!request) {
        KELVO_THROW_SSL(exception::SrCsrFailed);
    }
    appendSubject(request.get(), *params);
    appendOsVersion(request.get(), *params);
    appendClientInfo(request.get(), *params);
    appendCspInfo(request.get(), *params);
    appendKeysValidity(request.get(), *params);
    appendExtensions(request.get(), *params);
    sign(request.get(), key);

    BIO pem;
    if (!pem || PEM_write_bio_X509_REQ(pem.get(), request.get()) != 1) {
        KELVO_THROW_SSL(exception::SrCsrFailed);
    }
    return stripArmour(pem.contents());
}

}  // namespace kelvo::plugin::ssl
