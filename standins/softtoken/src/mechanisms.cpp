#include "mechanisms.h"

#include "error.h"
#include "paramsets.h"

namespace softtoken {

const std::vector<MechanismEntry>& mechanismTable() {
    constexpr CK_FLAGS kSign = CKF_SIGN | CKF_VERIFY;
    static const std::vector<MechanismEntry> table = {
        {CKM_GOSTR3410_KEY_PAIR_GEN, {256, 256, CKF_GENERATE_KEY_PAIR}},
        {CKM_GOSTR3410_512_KEY_PAIR_GEN, {512, 512, CKF_GENERATE_KEY_PAIR}},
        {CKM_GOSTR3410, {256, 256, kSign}},
        {CKM_GOSTR3410_512, {512, 512, kSign}},
        {CKM_GOSTR3410_WITH_GOSTR3411_94, {256, 256, kSign}},
        {CKM_GOSTR3410_WITH_GOSTR3411_2012_256, {256, 256, kSign}},
        {CKM_GOSTR3410_WITH_GOSTR3411_2012_512, {512, 512, kSign}},
        {CKM_GOSTR3411, {0, 0, CKF_DIGEST}},
        {CKM_GOSTR3411_2012_256, {0, 0, CKF_DIGEST}},
        {CKM_GOSTR3411_2012_512, {0, 0, CKF_DIGEST}},
    };
    return table;
}

HashAlgorithm digestAlgorithm(const CK_MECHANISM& mechanism) {
    HashAlgorithm algorithm;
    switch (mechanism.mechanism) {
        case CKM_GOSTR3411:
            algorithm = HashAlgorithm::Gost94;
            break;
        case CKM_GOSTR3411_2012_256:
            algorithm = HashAlgorithm::Streebog256;
            break;
        case CKM_GOSTR3411_2012_512:
            algorithm = HashAlgorithm::Streebog512;
            break;
        default:
            throw CkrError(CKR_MECHANISM_INVALID);
    }
    if (mechanism.ulParameterLen != 0) {
        require(mechanism.pParameter != nullptr, CKR_ARGUMENTS_BAD);
        const Bytes parameter = toBytes(mechanism.pParameter, mechanism.ulParameterLen);
        require(parameter == hashParams(algorithm).der, CKR_MECHANISM_PARAM_INVALID);
    }
    return algorithm;
}

SignatureMechanism signatureMechanism(const CK_MECHANISM& mechanism) {
    switch (mechanism.mechanism) {
        case CKM_GOSTR3410:
            return {mechanism.mechanism, false, HashAlgorithm::Streebog256, 256, CKK_GOSTR3410};
        case CKM_GOSTR3410_512:
            return {mechanism.mechanism, false, HashAlgorithm::Streebog512, 512, CKK_GOSTR3410_512};
        case CKM_GOSTR3410_WITH_GOSTR3411_94:
            return {mechanism.mechanism, true, HashAlgorithm::Gost94, 256, CKK_GOSTR3410};
        case CKM_GOSTR3410_WITH_GOSTR3411_2012_256:
            return {mechanism.mechanism, true, HashAlgorithm::Streebog256, 256, CKK_GOSTR3410};
        case CKM_GOSTR3410_WITH_GOSTR3411_2012_512:
            return {mechanism.mechanism, true, HashAlgorithm::Streebog512, 512, CKK_GOSTR3410_512};
        default:
            throw CkrError(CKR_MECHANISM_INVALID);
    }
}

}  // namespace softtoken
