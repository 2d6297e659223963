// GOST R 34.10 parameter sets and GOST R 34.11 hash parameters the token knows, keyed by
// the DER encoding of their object identifiers (as PKCS#11 attributes carry them).
#pragma once

#include <optional>
#include <vector>

#include "bytes.h"
#include "gost_crypto.h"

namespace softtoken {

struct ParamSet {
    std::string oid;  // dotted form
    int nid;          // OpenSSL's identifier, used for the engine's paramset control
    unsigned bits;    // 256 or 512
    Bytes der;        // complete OID TLV
    Bytes defaultHashDer;
};

struct HashParams {
    std::string oid;
    HashAlgorithm algorithm;
    Bytes der;
};

const std::vector<ParamSet>& paramSets();
const ParamSet* findParamSet(const Bytes& der);
const HashParams* findHashParams(const Bytes& der);
const HashParams& hashParams(HashAlgorithm algorithm);

// DER (tag, length, content) of a dotted object identifier; throws on malformed text.
Bytes oidDer(const std::string& dotted);

}  // namespace softtoken
