#include "token_session.h"

#include <vector>

namespace rtengine {

std::shared_ptr<const TokenSession> TokenSession::attach(CK_FUNCTION_LIST* functions,
                                                         CK_SESSION_HANDLE session) {
    if (!functions || !functions->C_GetSessionInfo || !functions->C_GetAttributeValue ||
        !functions->C_SignInit || !functions->C_Sign) {
        return nullptr;
    }
    CK_SESSION_INFO info{};
    if (functions->C_GetSessionInfo(session, &info) != CKR_OK) {
        return nullptr;
    }
    return std::make_shared<const TokenSession>(functions, session);
}

std::optional<std::string> TokenSession::attribute(CK_OBJECT_HANDLE object,
                                                   CK_ATTRIBUTE_TYPE type) const {
    CK_ATTRIBUTE query{type, nullptr, 0};
    if (functions_->C_GetAttributeValue(session_, object, &query, 1) != CKR_OK ||
        query.ulValueLen == CK_UNAVAILABLE_INFORMATION) {
        return std::nullopt;
    }
    std::string value(query.ulValueLen, '\0');
    query.pValue = value.data();
    if (functions_->C_GetAttributeValue(session_, object, &query, 1) != CKR_OK) {
        return std::nullopt;
    }
    value.resize(query.ulValueLen);
    return value;
}

std::optional<CK_ULONG> TokenSession::ulongAttribute(CK_OBJECT_HANDLE object,
                                                     CK_ATTRIBUTE_TYPE type) const {
    CK_ULONG value = 0;
    CK_ATTRIBUTE query{type, &value, sizeof value};
    if (functions_->C_GetAttributeValue(session_, object, &query, 1) != CKR_OK ||
        query.ulValueLen != sizeof value) {
        return std::nullopt;
    }
    return value;
}

CK_RV TokenSession::sign(CK_OBJECT_HANDLE key, CK_MECHANISM_TYPE mechanism,
                         const unsigned char* input, std::size_t inputSize,
                         unsigned char* signature, CK_ULONG* signatureSize) const {
    CK_MECHANISM parameters{mechanism, nullptr, 0};
    const CK_RV initialised = functions_->C_SignInit(session_, &parameters, key);
    if (initialised != CKR_OK) {
        return initialised;
    }
    // C_Sign takes a non-const pointer but only reads the input.
    std::vector<unsigned char> data(input, input + inputSize);
    return functions_->C_Sign(session_, data.data(), data.size(), signature, signatureSize);
}

}  // namespace rtengine
