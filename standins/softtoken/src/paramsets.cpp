#include "paramsets.h"

#include <openssl/objects.h>

#include <stdexcept>

#include "openssl_handles.h"

namespace softtoken {

namespace {

const char* const kGost94Hash = "1.2.643.2.2.30.1";  // CryptoPro hash parameters
const char* const kStreebog256 = "1.2.643.7.1.1.2.2";
const char* const kStreebog512 = "1.2.643.7.1.1.2.3";

const std::vector<HashParams>& hashTable() {
    static const std::vector<HashParams> table = {
        {kGost94Hash, HashAlgorithm::Gost94, oidDer(kGost94Hash)},
        {kStreebog256, HashAlgorithm::Streebog256, oidDer(kStreebog256)},
        {kStreebog512, HashAlgorithm::Streebog512, oidDer(kStreebog512)},
    };
    return table;
}

ParamSet makeParamSet(const char* oid, unsigned bits, const char* hash) {
    const int nid = OBJ_txt2nid(oid);
    if (nid == NID_undef) {
        throw std::runtime_error(std::string("OpenSSL does not know parameter set ") + oid);
    }
    return ParamSet{oid, nid, bits, oidDer(oid), oidDer(hash)};
}

}  // namespace

Bytes oidDer(const std::string& dotted) {
    Asn1ObjectPtr object(OBJ_txt2obj(dotted.c_str(), 1));
    const int length = object ? i2d_ASN1_OBJECT(object.get(), nullptr) : -1;
    if (length <= 0) {
        throw std::invalid_argument("malformed object identifier " + dotted);
    }
    Bytes der(static_cast<std::size_t>(length), '\0');
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_ASN1_OBJECT(object.get(), &out);
    return der;
}

const std::vector<ParamSet>& paramSets() {
    static const std::vector<ParamSet> table = {
        makeParamSet("1.2.643.7.1.2.1.1.1", 256, kStreebog256),
        makeParamSet("1.2.643.7.1.2.1.1.2", 256, kStreebog256),
        makeParamSet("1.2.643.7.1.2.1.1.3", 256, kStreebog256),
        makeParamSet("1.2.643.7.1.2.1.1.4", 256, kStreebog256),
        makeParamSet("1.2.643.2.2.35.1", 256, kGost94Hash),
        makeParamSet("1.2.643.2.2.35.2", 256, kGost94Hash),
        makeParamSet("1.2.643.2.2.35.3", 256, kGost94Hash),
        makeParamSet("1.2.643.2.2.36.0", 256, kGost94Hash),
        makeParamSet("1.2.643.2.2.36.1", 256, kGost94Hash),
        makeParamSet("1.2.643.7.1.2.1.2.1", 512, kStreebog512),
        makeParamSet("1.2.643.7.1.2.1.2.2", 512, kStreebog512),
        makeParamSet("1.2.643.7.1.2.1.2.3", 512, kStreebog512),
    };
    return table;
}

const ParamSet* findParamSet(const Bytes& der) {
    for (const auto& set : paramSets()) {
        if (set.der == der) {
            return &set;
        }
    }
    return nullptr;
}

const HashParams* findHashParams(const Bytes& der) {
    for (const auto& params : hashTable()) {
        if (params.der == der) {
            return &params;
        }
    }
    return nullptr;
}

const HashParams& hashParams(HashAlgorithm algorithm) {
    for (const auto& params : hashTable()) {
        if (params.algorithm == algorithm) {
            return params;
        }
    }
    throw std::logic_error("unknown hash algorithm");
}

}  // namespace softtoken
