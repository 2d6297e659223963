#include "recording_library.h"

#include <dlfcn.h>

#include <stdexcept>
#include <utility>

#include "token_fixture.h"

namespace kelvo::test {

namespace {

template <auto Member, class Pointer>
struct Thunk;

// Forwards one entry of the function list to the real library and counts it.
template <auto Member, class... Args>
struct Thunk<Member, CK_RV (*)(Args...)> {
    static inline const char* name = nullptr;

    static CK_RV call(Args... args) {
        RecordingLibrary& library = RecordingLibrary::instance();
        const unsigned long number = library.enter(name);
        const CK_RV rv = (library.real()->*Member)(args...);
        library.leave(name, number, rv);
        return rv;
    }
};

CK_RV wrappedFunctionList(CK_FUNCTION_LIST** list) {
    *list = RecordingLibrary::instance().functions();
    return CKR_OK;
}

}  // namespace

#define KELVO_WRAP(function)                                                                    \
    do {                                                                                        \
        using Entry = Thunk<&CK_FUNCTION_LIST::function, decltype(CK_FUNCTION_LIST::function)>; \
        Entry::name = #function;                                                                \
        wrapped_.function = &Entry::call;                                                       \
    } while (false)

RecordingLibrary::RecordingLibrary() {
    void* handle = dlopen(softtoken::kLibraryPath, RTLD_NOW | RTLD_LOCAL);
    const auto getFunctionList =
        handle ? reinterpret_cast<CK_C_GetFunctionList>(dlsym(handle, "C_GetFunctionList"))
               : nullptr;
    if (!getFunctionList || getFunctionList(&real_) != CKR_OK) {
        throw std::runtime_error(std::string("cannot load ") + softtoken::kLibraryPath);
    }
    wrapped_ = *real_;
    wrapped_.C_GetFunctionList = &wrappedFunctionList;
    KELVO_WRAP(C_Initialize);
    KELVO_WRAP(C_Finalize);
    KELVO_WRAP(C_GetInfo);
    KELVO_WRAP(C_GetSlotList);
    KELVO_WRAP(C_GetSlotInfo);
    KELVO_WRAP(C_GetTokenInfo);
    KELVO_WRAP(C_GetMechanismList);
    KELVO_WRAP(C_GetMechanismInfo);
    KELVO_WRAP(C_InitToken);
    KELVO_WRAP(C_InitPIN);
    KELVO_WRAP(C_SetPIN);
    KELVO_WRAP(C_OpenSession);
    KELVO_WRAP(C_CloseSession);
    KELVO_WRAP(C_CloseAllSessions);
    KELVO_WRAP(C_GetSessionInfo);
    KELVO_WRAP(C_GetOperationState);
    KELVO_WRAP(C_SetOperationState);
    KELVO_WRAP(C_Login);
    KELVO_WRAP(C_Logout);
    KELVO_WRAP(C_CreateObject);
    KELVO_WRAP(C_CopyObject);
    KELVO_WRAP(C_DestroyObject);
    KELVO_WRAP(C_GetObjectSize);
    KELVO_WRAP(C_GetAttributeValue);
    KELVO_WRAP(C_SetAttributeValue);
    KELVO_WRAP(C_FindObjectsInit);
    KELVO_WRAP(C_FindObjects);
    KELVO_WRAP(C_FindObjectsFinal);
    KELVO_WRAP(C_EncryptInit);
    KELVO_WRAP(C_Encrypt);
    KELVO_WRAP(C_EncryptUpdate);
    KELVO_WRAP(C_EncryptFinal);
    KELVO_WRAP(C_DecryptInit);
    KELVO_WRAP(C_Decrypt);
    KELVO_WRAP(C_DecryptUpdate);
    KELVO_WRAP(C_DecryptFinal);
    KELVO_WRAP(C_DigestInit);
    KELVO_WRAP(C_Digest);
    KELVO_WRAP(C_DigestUpdate);
    KELVO_WRAP(C_DigestKey);
    KELVO_WRAP(C_DigestFinal);
    KELVO_WRAP(C_SignInit);
    KELVO_WRAP(C_Sign);
    KELVO_WRAP(C_SignUpdate);
    KELVO_WRAP(C_SignFinal);
    KELVO_WRAP(C_SignRecoverInit);
    KELVO_WRAP(C_SignRecover);
    KELVO_WRAP(C_VerifyInit);
    KELVO_WRAP(C_Verify);
    KELVO_WRAP(C_VerifyUpdate);
    KELVO_WRAP(C_VerifyFinal);
    KELVO_WRAP(C_VerifyRecoverInit);
    KELVO_WRAP(C_VerifyRecover);
    KELVO_WRAP(C_DigestEncryptUpdate);
    KELVO_WRAP(C_DecryptDigestUpdate);
    KELVO_WRAP(C_SignEncryptUpdate);
    KELVO_WRAP(C_DecryptVerifyUpdate);
    KELVO_WRAP(C_GenerateKey);
    KELVO_WRAP(C_GenerateKeyPair);
    KELVO_WRAP(C_WrapKey);
    KELVO_WRAP(C_UnwrapKey);
    KELVO_WRAP(C_DeriveKey);
    KELVO_WRAP(C_SeedRandom);
    KELVO_WRAP(C_GenerateRandom);
    KELVO_WRAP(C_GetFunctionStatus);
    KELVO_WRAP(C_CancelFunction);
    KELVO_WRAP(C_WaitForSlotEvent);
}

#undef KELVO_WRAP

RecordingLibrary& RecordingLibrary::instance() {
    static RecordingLibrary library;
    return library;
}

unsigned long RecordingLibrary::calls(const std::string& function) const {
    const auto found = counts_.find(function);
    return found == counts_.end() ? 0 : found->second;
}

void RecordingLibrary::startRecording() {
    recorded_.clear();
    recording_ = true;
}

std::vector<RecordingLibrary::Call> RecordingLibrary::stopRecording() {
    recording_ = false;
    return std::move(recorded_);
}

void RecordingLibrary::watch(const std::string& function, unsigned long call) {
    watchedFunction_ = function;
    watchedCall_ = call;
    watched_.reset();
}

void RecordingLibrary::before(const std::string& function, unsigned long call,
                              std::function<void()> action) {
    actionFunction_ = function;
    actionCall_ = call;
    action_ = std::move(action);
}

unsigned long RecordingLibrary::enter(const char* function) {
    const unsigned long call = ++counts_[function];
    if (action_ && call == actionCall_ && actionFunction_ == function) {
        std::exchange(action_, nullptr)();
    }
    return call;
}

void RecordingLibrary::leave(const char* function, unsigned long call, CK_RV rv) {
    if (recording_) {
        recorded_.push_back({function, rv});
    }
    if (call == watchedCall_ && watchedFunction_ == function) {
        watched_ = rv;
    }
}

RecordedCryptoki::RecordedCryptoki()
    : FunctionListCryptoki(softtoken::kLibraryPath, kZolvexNames) {}

RecordedCryptoki::~RecordedCryptoki() {
    // The base destructor finalizes through its own copy of the real list.
    RecordingLibrary::instance().countBypass("C_Finalize");
}

CK_FUNCTION_LIST* RecordedCryptoki::functions() {
    return RecordingLibrary::instance().functions();
}

}  // namespace kelvo::test
