#include "cryptoki/csr_params.h"

#include <map>

#include <openssl/objects.h>

#include "cryptoki/model_quirks.h"
#include "cryptoki/vendor_mechanisms.h"
#include "exception/crypto.h"

namespace kelvo::plugin::cryptoki {

namespace {

constexpr const char* kHash256 = "1.2.643.7.1.1.2.2";
constexpr const char* kHash512 = "1.2.643.7.1.1.2.3";

// Complete DER (tag, length, content) of a dotted OID.
std::string derOid(const char* dotted) {
    ASN1_OBJECT* object = OBJ_txt2obj(dotted, 1);
    const int length = i2d_ASN1_OBJECT(object, nullptr);
    std::string der(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_ASN1_OBJECT(object, &out);
    ASN1_OBJECT_free(object);
    return der;
}

using ParamSetTable = std::map<std::string, ParamSetRecord>;

void add(ParamSetTable& table, const char* paramSet, bool is512) {
    const CK_MECHANISM_TYPE mechanism =
        is512 ? CKM_GOSTR3410_512_KEY_PAIR_GEN : CKM_GOSTR3410_KEY_PAIR_GEN;
    const CK_KEY_TYPE keyType = is512 ? CKK_GOSTR3410_512 : CKK_GOSTR3410;
    table.emplace(paramSet, ParamSetRecord{mechanism, keyType, derOid(paramSet),
                                           derOid(is512 ? kHash512 : kHash256)});
}

const ParamSetTable& paramSets() {
    static const ParamSetTable table = [] {
        ParamSetTable built;
        for (const char* set :
             {"1.2.643.7.1.2.1.2.1", "1.2.643.7.1.2.1.2.2", "1.2.643.7.1.2.1.2.3"}) {
            add(built, set, true);
        }
        // The older CryptoPro sets take the GOST R 34.11-2012 256-bit hash too.
        for (const char* set : {"1.2.643.7.1.2.1.1.1", "1.2.643.7.1.2.1.1.2", "1.2.643.7.1.2.1.1.3",
                                "1.2.643.7.1.2.1.1.4", "1.2.643.2.2.35.1", "1.2.643.2.2.35.2",
                                "1.2.643.2.2.35.3", "1.2.643.2.2.36.0", "1.2.643.2.2.36.1"}) {
            add(built, set, false);
        }
        return built;
    }();
    return table;
}

CK_BBOOL kTrue = CK_TRUE;
CK_BBOOL kFalse = CK_FALSE;
CK_OBJECT_CLASS kPrivateKeyClass = CKO_PRIVATE_KEY;
CK_OBJECT_CLASS kPublicKeyClass = CKO_PUBLIC_KEY;

CK_ATTRIBUTE text(CK_ATTRIBUTE_TYPE type, const std::string& value) {
    return {type, const_cast<char*>(value.data()), value.size()};
}

template <class T>
CK_ATTRIBUTE number(CK_ATTRIBUTE_TYPE type, const T& value) {
    return {type, const_cast<T*>(&value), sizeof(T)};
}

}  // namespace

const ParamSetRecord& keyParamsFromAlgorithmParamSet(const std::string& paramSet) {
    using namespace crypto::exception;
    if (paramSet.empty()) {
        BOOST_THROW_EXCEPTION(CryptoException(AlgParamNotFound) << Message_(paramSet));
    }
    const auto found = paramSets().find(paramSet);
    if (found == paramSets().end()) {
        BOOST_THROW_EXCEPTION(CryptoException(AlgorithmNotFound) << Message_(paramSet));
    }
    return found->second;
}

KeyParams keyParams(const ParamSetRecord& record, const std::string& keyId,
                    const std::string& model) {
    KeyParams params{{record.mechanism, nullptr, 0}, {}, {}};
    params.privateTemplate = {text(CKA_ID, keyId),
                              number(CKA_CLASS, kPrivateKeyClass),
                              number(CKA_TOKEN, kTrue),
                              number(CKA_PRIVATE, kTrue),
                              number(CKA_UNWRAP, kTrue),
                              number(CKA_SIGN, kTrue),
                              number(CKA_KEY_TYPE, record.keyType),
                              text(CKA_GOSTR3410_PARAMS, record.gostR3410Params),
                              text(CKA_GOSTR3411_PARAMS, record.gostR3411Params)};
    if (modelQuirks(model).derivableKeys) {
        params.privateTemplate.push_back(number(CKA_DERIVE, kTrue));
    }
    params.publicTemplate = {text(CKA_ID, keyId),
                             number(CKA_CLASS, kPublicKeyClass),
                             number(CKA_TOKEN, kTrue),
                             number(CKA_WRAP, kTrue),
                             number(CKA_PRIVATE, kFalse),
                             number(CKA_KEY_TYPE, record.keyType),
                             text(CKA_GOSTR3410_PARAMS, record.gostR3410Params),
                             text(CKA_GOSTR3411_PARAMS, record.gostR3411Params)};
    return params;
}

}  // namespace kelvo::plugin::cryptoki
