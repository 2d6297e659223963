#pragma once

#include <string>
#include <vector>

#include "crypto/icsr_creator.h"
#include "cryptoki/pkcs11.h"

namespace kelvo::plugin::cryptoki {

// How a key pair is generated for one GOST R 34.10 parameter set.
struct ParamSetRecord {
    CK_MECHANISM_TYPE mechanism;
    CK_KEY_TYPE keyType;
    std::string gostR3410Params;  // DER of the parameter set OID
    std::string gostR3411Params;  // DER of the hash OID
};

// The record of a parameter set given as a dotted OID, compared exactly. Throws
// CryptoException AlgParamNotFound for an empty text and AlgorithmNotFound for an unknown one.
const ParamSetRecord& keyParamsFromAlgorithmParamSet(const std::string& paramSet);

// Mechanism and templates of one key-pair generation. The attribute values point into the
// parameter record, static constants and the request's key id, so the object must not
// outlive the request it was built from.
struct KeyParams {
    CK_MECHANISM mechanism;
    std::vector<CK_ATTRIBUTE> privateTemplate;
    std::vector<CK_ATTRIBUTE> publicTemplate;
};

KeyParams keyParams(const ParamSetRecord& record, const std::string& keyId,
                    const std::string& model);

}  // namespace kelvo::plugin::cryptoki
