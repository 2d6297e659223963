#include "cryptoki/csr_creator.h"

#include <algorithm>

#include <boost/log/trivial.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "check.h"
#include "crypto/iprovider.h"
#include "cryptoki/auth_handle.h"
#include "cryptoki/csr_params.h"
#include "cryptoki/icryptoki.h"
#include "cryptoki/scoped_session.h"
#include "exception/crypto.h"
#include "key_engine.h"
#include "module/itoken.h"
#include "ssl/csr_request.h"

namespace kelvo::plugin::cryptoki {

namespace {

// The request signed by the new key through the key engine; empty when the engine cannot
// wrap the pair.
std::string signedRequest(ICryptoki& library, CK_SLOT_ID slot, CK_OBJECT_HANDLE privateKey,
                          CK_OBJECT_HANDLE publicKey,
                          const boost::shared_ptr<crypto::CsrParams>& params) {
    const KeyEngine engine(library.libraryPath());
    // The key goes before the engine session it was made on.
    const KeyEngine::Session session =
        engine.wrapSession(library.functions(), library.sessionHandle(slot));
    const KeyEngine::Key key = engine.wrapKeyPair(session, privateKey, publicKey);
    return key ? ssl::createCsr(key.get(), params) : std::string();
}

}  // namespace

boost::shared_ptr<CsrCreator::Result> CsrCreator::create(
    const boost::shared_ptr<crypto::CsrParams>& params,
    const boost::shared_ptr<crypto::IAuthHandle>& authHandle) {
    using namespace crypto::exception;
    boost::shared_ptr<Result> result;
    if (!params) {
        return result;
    }
    const auto device = params->provider ? params->provider->device() : nullptr;
    const auto library = device ? device->token->cryptoki() : nullptr;
    if (!library) {
        BOOST_THROW_EXCEPTION(CryptoException(DeviceNotFound));
    }
    const CK_SLOT_ID slot = device->slot;
    // The session stays with the slot after the request: the new key lives in it.
    KELVO_CRYPTOKI_CHECK(library->openSession(slot, ScopedSession::kFlags, nullptr, nullptr));
    if (!ensureLogin(*device, std::string(), authHandle)) {
        BOOST_THROW_EXCEPTION(CryptoException(TokensLoginFailed));
    }
    std::vector<CK_MECHANISM_TYPE> offered;
    KELVO_CRYPTOKI_CHECK(library->mechanismList(slot, offered));
    if (offered.empty()) {
        BOOST_THROW_EXCEPTION(CryptoException(MechanismsEmpty));
    }
    if (params->exportable) {
        BOOST_LOG_TRIVIAL(warning)
            << "cryptoki: csr.param.exportable=true unsupported, switch to false";
        params->exportable = false;
    }
    const ParamSetRecord& paramSet = keyParamsFromAlgorithmParamSet(params->algorithmParamSet);
    KeyParams key = keyParams(paramSet, params->keyId, device->model);
    if (std::find(offered.begin(), offered.end(), key.mechanism.mechanism) == offered.end()) {
        BOOST_THROW_EXCEPTION(CryptoException(MechanismNotSupported));
    }
    CK_OBJECT_HANDLE publicKey = CK_INVALID_HANDLE;
    CK_OBJECT_HANDLE privateKey = CK_INVALID_HANDLE;
    KELVO_CRYPTOKI_CHECK(library->generateKeyPair(
        slot, &key.mechanism, key.publicTemplate.data(), key.publicTemplate.size(),
        key.privateTemplate.data(), key.privateTemplate.size(), &publicKey, &privateKey));
    const std::string request = signedRequest(*library, slot, privateKey, publicKey, params);

    result = boost::make_shared<Result>();
    result->containerId = params->keyId;
    result->keyId = params->keyId;
    result->request = request;
    result->exportable = params->exportable;
    result->publicKeyValue = attribute(*library, slot, publicKey, CKA_VALUE);
    return result;
}

}  // namespace kelvo::plugin::cryptoki
