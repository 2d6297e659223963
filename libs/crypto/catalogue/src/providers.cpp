#include "catalogue/providers.h"

#include <algorithm>
#include <initializer_list>
#include <unordered_map>

#include <boost/locale/encoding.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "catalogue/settings.h"

namespace kelvo::plugin::crypto::catalogue {

namespace {

using Info = IProvider::Info;
using Strings = std::set<std::string>;

Strings join(std::initializer_list<Strings> groups) {
    Strings result;
    for (const Strings& group : groups) {
        result.insert(group.begin(), group.end());
    }
    return result;
}

// Parameter sets of GOST R 34.10-2001 (CryptoPro A, B, C, XchA, XchB).
const Strings kPs01 = {"1.2.643.2.2.35.1", "1.2.643.2.2.35.2", "1.2.643.2.2.35.3",
                       "1.2.643.2.2.36.0", "1.2.643.2.2.36.1"};
const Strings kPs256 = {"1.2.643.7.1.2.1.1.1", "1.2.643.7.1.2.1.1.2", "1.2.643.7.1.2.1.1.3",
                        "1.2.643.7.1.2.1.1.4"};
const Strings kPs512 = {"1.2.643.7.1.2.1.2.1", "1.2.643.7.1.2.1.2.2", "1.2.643.7.1.2.1.2.3"};
const Strings kCiphers = {"1.2.643.7.1.1.5.1.1", "1.2.643.7.1.1.5.1.2", "1.2.643.7.1.1.5.2.1",
                          "1.2.643.7.1.1.5.2.2"};
const Strings kGost2012 = {"1.2.643.2.2.21",    "1.2.643.7.1.1.2.2", "1.2.643.7.1.1.2.3",
                           "1.2.643.7.1.1.1.1", "1.2.643.7.1.1.1.2", "1.2.643.7.1.1.3.2",
                           "1.2.643.7.1.1.3.3"};
const Strings kLegacy = {"1.2.840.113549.1.1.1",
                         "1.2.840.113549.2.2",
                         "1.2.840.113549.2.4",
                         "1.2.840.113549.2.5",
                         "1.2.840.113549.3.2",
                         "1.2.840.113549.3.4",
                         "1.2.840.113549.3.7",
                         "1.3.14.3.2.26",
                         "1.3.14.3.2.7",
                         "3DES TWO KEY",
                         "AES 128",
                         "AES 192",
                         "AES 256",
                         "HMAC",
                         "MAC",
                         "SHA-256",
                         "SHA-384",
                         "SHA-512",
                         "SSL3 SHAMD5"};

const char kSorbel44[] = "Sorbel CSP 4.4";
const char kSorbel5[] = "Sorbel CSP 5";
const char kCryptoPro[] = u8"\"КриптоПро CSP\" версия 5.0";
const char kCryptoCom[] = u8"Крипто-КОМ 3.4";
const char kRutoken[] = u8"Рутокен ЭЦП 2.0";
const char kJaCarta2[] = u8"\"Криптотокен 2 ЭП\" в составе изделия JaCarta-2 ГОСТ";
const char kZolvex[] = u8"ZOLVEX Token ГОСТ на базе отечественной микросхемы QTR83LV90KP2";

Info record(std::uint32_t type, std::uint32_t family, std::uint32_t token, std::wstring name,
            std::string product, std::string code, std::set<std::wstring> keywords,
            Strings algorithms = {}, Strings keyAlgorithms = {}) {
    Info info;
    info.providerType = type;
    info.family = family;
    info.isToken = token;
    info.name = std::move(name);
    info.product = std::move(product);
    info.code = std::move(code);
    info.keywords = std::move(keywords);
    info.algorithms = std::move(algorithms);
    info.keyAlgorithms = std::move(keyAlgorithms);
    return info;
}

Info withTypeName(Info info, std::wstring typeName, std::wstring legacyName) {
    info.typeName = std::move(typeName);
    info.legacyName = std::move(legacyName);
    return info;
}

std::vector<Info> records() {
    const Strings kspAlgorithms = join({kLegacy, kGost2012, kCiphers});
    const Strings kspKeys = join({kPs01, kPs256, {"1.2.643.7.1.2.1.2.1", "1.2.643.7.1.2.1.2.2"}});
    const Strings sorbelCsp4 =
        join({{"1.2.643.2.2.21", "1.2.643.2.2.9", "1.2.643.7.1.1.1.1", "1.2.643.7.1.1.2.2",
               "1.2.643.7.1.1.6.1", "1.2.643.7.1.1.1.2", "1.2.643.7.1.1.2.3", "GOST 28147-89 MAC"},
              kCiphers});
    const Strings sorbelCsp4Keys =
        join({{"1.2.643.7.1.1.1.1", "1.2.643.7.1.1.3.2", "1.2.643.7.1.1.2.2", "1.2.643.7.1.1.1.2",
               "1.2.643.7.1.1.3.3", "1.2.643.7.1.1.2.3"},
              kPs01,
              kPs256,
              kPs512});

    return {
        record(2, 3, 0, L"Quintera Cryptographic Service Provider", kSorbel44, "sb1",
               {L"Sorbel CSP 4"},
               {"1.2.643.2.2.19", "1.2.643.2.2.21", "1.2.643.2.2.9", "1.2.643.2.2.98",
                "1.2.643.7.1.1.2.2", "1.2.643.7.1.1.2.3", "GOST 28147-89 MAC"},
               join({{"1.2.643.2.2.19", "1.2.643.2.2.3", "1.2.643.2.2.9"}, kPs01})),
        withTypeName(
            record(75, 4, 0, L"Crypto-Pro GOST R 34.10-2001 Cryptographic Service Provider",
                   kCryptoPro, "cp1", {L"КриптоПро"},
                   join({{"1.2.643.2.2.21", "1.2.643.2.2.9", "1.2.643.2.2.19", "1.2.643.2.2.98",
                          "DH 34.10-2001", "HMAC GOST 28147-89"},
                         kCiphers}),
                   {"1.2.643.2.2.19", "1.2.643.2.2.3", "1.2.643.2.2.9"}),
            L"GOST R 34.10-2001 Signature with Diffie-Hellman Key Exchange",
            L"Crypto-Pro GOST R 34.10-2001 KC1 CSP"),
        record(75, 5, 0, L"Signal-COM CPGOST Cryptographic Provider", kCryptoCom, "sk1",
               {L"Signal-COM"}),
        record(129, 5, 0, L"Signal-COM ECGOST Cryptographic Provider", kCryptoCom, "sk2",
               {L"Signal-COM"}),
        record(
            77, 3, 0, L"Quintera GOST 2012/512 Cryptographic Service Provider", kSorbel44, "sb2",
            {L"Sorbel CSP 4"},
            {"1.2.643.2.2.21", "1.2.643.2.2.9", "1.2.643.7.1.1.1.1", "1.2.643.7.1.1.2.2",
             "1.2.643.7.1.1.2.3", "1.2.643.7.1.1.6.1", "GOST 28147-89 MAC"},
            join({{"1.2.643.7.1.1.1.1", "1.2.643.7.1.1.3.2", "1.2.643.7.1.1.2.2"}, kPs01, kPs256})),
        record(78, 3, 0, L"Quintera GOST 2012/1024 Cryptographic Service Provider", kSorbel44,
               "sb3", {L"Sorbel CSP 4"},
               {"1.2.643.2.2.21", "1.2.643.2.2.9", "1.2.643.7.1.1.1.2", "1.2.643.7.1.1.2.2",
                "1.2.643.7.1.1.2.3", "DH 34.10-2012 512", "GOST 28147-89 MAC"},
               join({{"1.2.643.7.1.1.1.2", "1.2.643.7.1.1.3.3", "1.2.643.7.1.1.2.3"}, kPs512})),
        record(0, 3, 0, L"Quintera CSP4 Key Storage Provider", kSorbel44, "sb3", {L"Sorbel CSP 4"},
               sorbelCsp4, sorbelCsp4Keys),
        record(0, 3, 0, L"Quintera Software Key Storage Provider", kSorbel5, "nge5",
               {L"Sorbel CSP 5"}, sorbelCsp4, sorbelCsp4Keys),
        withTypeName(
            record(80, 4, 0, L"Crypto-Pro GOST R 34.10-2012 Cryptographic Service Provider",
                   kCryptoPro, "cp2", {L"КриптоПро"},
                   join({{"1.2.643.2.2.21", "1.2.643.7.1.1.2.2", "1.2.643.7.1.1.1.1",
                          "1.2.643.7.1.1.6.1", "DH 34.10-2012 256", "HMAC GOST 28147-89"},
                         kCiphers}),
                   join({{"1.2.643.7.1.1.1.1", "1.2.643.7.1.1.3.2", "1.2.643.7.1.1.2.2"},
                         kPs01,
                         kPs256})),
            L"GOST R 34.10-2012 (256) Signature with Diffie-Hellman Key Exchange",
            L"Crypto-Pro GOST R 34.10-2012 KC1 CSP"),
        withTypeName(
            record(81, 4, 0, L"Crypto-Pro GOST R 34.10-2012 Strong Cryptographic Service Provider",
                   kCryptoPro, "cp3", {L"КриптоПро"},
                   join({{"1.2.643.2.2.21", "1.2.643.7.1.1.2.3", "1.2.643.7.1.1.1.2",
                          "DH 34.10-2012 512", "1.2.643.7.1.1.6.2", "HMAC GOST 28147-89"},
                         kCiphers}),
                   {"1.2.643.7.1.1.1.2", "1.2.643.7.1.1.3.3", "1.2.643.7.1.1.2.3",
                    "1.2.643.7.1.2.1.2.1", "1.2.643.7.1.2.1.2.2"}),
            L"GOST R 34.10-2012 (512) Signature with Diffie-Hellman Key Exchange",
            L"Crypto-Pro GOST R 34.10-2012 KC1 Strong CSP"),
        record(80, 5, 0, L"Signal-COM GOST R 34.10-2012 (256) Cryptographic Provider", kCryptoCom,
               "sk3", {L"Signal-COM", L"Крипто-КОМ"},
               {"1.2.643.2.2.21", "1.2.643.7.1.1.1.1", "1.2.643.7.1.1.2.2", "1.2.643.7.1.1.6.1"},
               {"1.2.643.7.1.1.1.1", "1.2.643.7.1.1.3.2", "1.2.643.7.1.1.2.2", "1.2.643.2.2.36.0"}),
        record(
            81, 5, 0, L"Signal-COM GOST R 34.10-2012 (512) Cryptographic Provider", kCryptoCom,
            "sk4", {L"Signal-COM", L"Крипто-КОМ"},
            {"1.2.643.2.2.21", "1.2.643.7.1.1.1.2", "1.2.643.7.1.1.2.3"},
            {"1.2.643.7.1.1.1.2", "1.2.643.7.1.1.3.3", "1.2.643.7.1.1.2.3", "1.2.643.7.1.2.1.2.1"}),
        record(0, 0, 1, L"Rutoken ECP", kRutoken, "rt1",
               {L"ruToken", L"Рутокен ЭЦП", L"Rutoken ECP"},
               join({{"1.2.643.2.2.3", "1.2.643.2.2.9", "1.2.643.7.1.1.2.2", "1.2.643.7.1.1.2.3",
                      "1.2.643.7.1.1.3.2", "1.2.643.7.1.1.3.3", "sha256"},
                     kCiphers})),
        record(0, 1, 1, L"JaCarta GOST 2.0", kJaCarta2, "ja1", {L"JaCarta GOST", L"JaCarta-2"},
               {"1.2.643.2.2.3", "1.2.643.2.2.9", "1.2.643.7.1.1.2.2", "1.2.643.7.1.1.2.3"}),
        record(
            0, 1, 1, L"JaCarta GOST 3.0", "JaCarta-3", "ja3",
            {L"JaCarta GOST", L"JaCarta GOST 3.0", L"JaCarta-3"},
            join({{"1.2.643.2.2.3", "1.2.643.2.2.9", "1.2.643.7.1.2.1.2.1", "1.2.643.7.1.2.1.2.2"},
                  kPs01,
                  kPs256,
                  kCiphers})),
        record(0, 2, 1, L"ZOLVEXToken GOST", kZolvex, "zv1", {L"Zolvex", L"ZOLVEXToken GOST"},
               {"1.2.643.2.2.3", "1.2.643.2.2.9", "1.2.643.7.1.1.2.2", "sha256"}),
        record(1, 0, 0, L"Aktiv ruToken CSP v1.0", kRutoken, "rt2", {L"Рутокен"},
               join({kLegacy, kCiphers})),
        record(0, 0, 0, L"Quintera Rutoken Key Storage Provider", kSorbel5, "rt2", {L"Sorbel"},
               kspAlgorithms, join({kPs01, kPs256, kPs512})),
        record(0, 0, 0, L"Quintera Rutoken NG Key Storage Provider", kSorbel5, "rt2", {L"Sorbel"},
               kspAlgorithms, join({kPs01, kPs256, kPs512})),
        record(0, 0, 0, L"Quintera Rutoken NG CSP4 Key Storage Provider", kSorbel5, "rt2",
               {L"Sorbel"}, kspAlgorithms, kspKeys),
        record(1, 1, 0, L"Athena ASECard Crypto CSP", kJaCarta2, "ja2", {L"JaCarta"},
               join({kLegacy, kCiphers})),
        record(0, 1, 0, L"Quintera JaCarta Key Storage Provider", kSorbel5, "ja2", {L"Sorbel"},
               kspAlgorithms, kspKeys),
        record(0, 1, 0, L"Quintera JaCarta Key Storage Provider", kSorbel5, "ja2", {L"Sorbel"},
               kspAlgorithms, kspKeys),
        record(0, 1, 0, L"Quintera JaCarta NG Key Storage Provider", kSorbel5, "ja2", {L"Sorbel"},
               kspAlgorithms, kspKeys),
        record(0, 2, 0, L"Quintera ZOLVEX Key Storage Provider", kSorbel5, "zv1", {L"Sorbel"},
               kspAlgorithms, kspKeys),
        record(0, 2, 0, L"Quintera ZOLVEX NG Key Storage Provider", kZolvex, "zv1", {L"Sorbel"},
               kspAlgorithms, kspKeys),
        record(0, 2, 0, L"Quintera ZOLVEX NG CSP4 Key Storage Provider", kZolvex, "zv1",
               {L"Sorbel"}, kspAlgorithms, kspKeys),
    };
}

using NameIndex = std::unordered_map<std::wstring, ProviderRecord>;

const NameIndex& nameIndex() {
    static const NameIndex index = [] {
        NameIndex result;
        for (const ProviderRecord& record : allProviders()) {
            result.emplace(record->name, record);
        }
        return result;
    }();
    return index;
}

}  // namespace

const ProviderRecords& allProviders() {
    static const ProviderRecords providers = [] {
        ProviderRecords result;
        for (Info& info : records()) {
            result.push_back(boost::make_shared<const Info>(std::move(info)));
        }
        return result;
    }();
    return providers;
}

ProviderRecords activeProviders() {
    ProviderRecords result = allProviders();
    if (settingsGroup() == kReducedEdition) {
        // The reduced edition does not offer key storage providers.
        result.erase(std::remove_if(result.begin(), result.end(),
                                    [](const ProviderRecord& record) {
                                        return record->providerType == 0 && record->isToken == 0;
                                    }),
                     result.end());
    }
    return result;
}

ProviderRecord findProvider(const std::wstring& name) {
    const NameIndex& index = nameIndex();
    const auto found = index.find(name);
    return found == index.end() ? ProviderRecord() : found->second;
}

ProviderRecord findProvider(const std::string& cp1251Name) {
    return findProvider(boost::locale::conv::to_utf<wchar_t>(cp1251Name, "CP1251"));
}

}  // namespace kelvo::plugin::crypto::catalogue
