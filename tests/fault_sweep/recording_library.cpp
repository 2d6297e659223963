#include "recording_library.h"

#include <dlfcn.h>

#include <cstddef>
#include <stdexcept>
#include <utility>

#include <boost/preprocessor/seq/for_each.hpp>
#include <boost/preprocessor/seq/size.hpp>
#include <boost/preprocessor/stringize.hpp>

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

// Every entry of a version 2.40 function list but C_GetFunctionList itself.
// clang-format off
#define KELVO_WRAPPED_FUNCTIONS \
    (C_Initialize)(C_Finalize)(C_GetInfo)(C_GetSlotList)(C_GetSlotInfo)(C_GetTokenInfo) \
    (C_GetMechanismList)(C_GetMechanismInfo)(C_InitToken)(C_InitPIN)(C_SetPIN)(C_OpenSession) \
    (C_CloseSession)(C_CloseAllSessions)(C_GetSessionInfo)(C_GetOperationState) \
    (C_SetOperationState)(C_Login)(C_Logout)(C_CreateObject)(C_CopyObject)(C_DestroyObject) \
    (C_GetObjectSize)(C_GetAttributeValue)(C_SetAttributeValue)(C_FindObjectsInit)(C_FindObjects) \
    (C_FindObjectsFinal)(C_EncryptInit)(C_Encrypt)(C_EncryptUpdate)(C_EncryptFinal) \
    (C_DecryptInit)(C_Decrypt)(C_DecryptUpdate)(C_DecryptFinal)(C_DigestInit)(C_Digest) \
    (C_DigestUpdate)(C_DigestKey)(C_DigestFinal)(C_SignInit)(C_Sign)(C_SignUpdate)(C_SignFinal) \
    (C_SignRecoverInit)(C_SignRecover)(C_VerifyInit)(C_Verify)(C_VerifyUpdate)(C_VerifyFinal) \
    (C_VerifyRecoverInit)(C_VerifyRecover)(C_DigestEncryptUpdate)(C_DecryptDigestUpdate) \
    (C_SignEncryptUpdate)(C_DecryptVerifyUpdate)(C_GenerateKey)(C_GenerateKeyPair)(C_WrapKey) \
    (C_UnwrapKey)(C_DeriveKey)(C_SeedRandom)(C_GenerateRandom)(C_GetFunctionStatus) \
    (C_CancelFunction)(C_WaitForSlotEvent)
// clang-format on
static_assert(BOOST_PP_SEQ_SIZE(KELVO_WRAPPED_FUNCTIONS) ==
                  (sizeof(CK_FUNCTION_LIST) - offsetof(CK_FUNCTION_LIST, C_Initialize)) /
                          sizeof(CK_C_Initialize) -
                      1,
              "every function of the list is recorded");

#define KELVO_WRAP(r, data, function)                                                           \
    do {                                                                                        \
        using Entry = Thunk<&CK_FUNCTION_LIST::function, decltype(CK_FUNCTION_LIST::function)>; \
        Entry::name = BOOST_PP_STRINGIZE(function);                                             \
        wrapped_.function = &Entry::call;                                                       \
    } while (false);

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
    BOOST_PP_SEQ_FOR_EACH(KELVO_WRAP, _, KELVO_WRAPPED_FUNCTIONS)
}

#undef KELVO_WRAP
#undef KELVO_WRAPPED_FUNCTIONS

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
