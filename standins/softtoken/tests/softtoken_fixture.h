// Test support for anything that runs against the software token: a private token folder,
// the loaded library, and a provisioned token (initialised, user PIN set).
//
//     softtoken::TemporaryTokenDirectory directory;      // sets ZOLVEX_SOFTTOKEN_DIR
//     softtoken::SoftTokenLibrary library;               // dlopen + C_GetFunctionList
//     softtoken::provisionToken(library.functions());    // user PIN kUserPin
#pragma once

#include <dlfcn.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pkcs11_gost.h"

namespace softtoken {

inline constexpr const char* kUserPin = "12345678";
inline constexpr const char* kSoPin = "87654321";
inline constexpr const char* kLibraryPath = SOFTTOKEN_LIBRARY_PATH;

// The cheapest PIN key derivation the token accepts, for suites that log in many times.
inline constexpr const char* kFastKdfConfig = "[pin]\nkdf-cost = 4\n";

// A fresh folder named by ZOLVEX_SOFTTOKEN_DIR while the object lives; removed afterwards
// and the previous value restored. Its configuration uses kFastKdfConfig unless a text given
// to writeConfig has a [pin] section of its own; ZOLVEX_SOFTTOKEN_TEST_KDF=1 lets the token
// honour it.
class TemporaryTokenDirectory {
public:
    TemporaryTokenDirectory();
    ~TemporaryTokenDirectory();
    TemporaryTokenDirectory(const TemporaryTokenDirectory&) = delete;
    TemporaryTokenDirectory& operator=(const TemporaryTokenDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Replaces softtoken.ini (slots, models, fault rules).
    void writeConfig(const std::string& text) const;

private:
    std::filesystem::path path_;
    std::unique_ptr<std::string> previous_;
};

// The token library loaded with dlopen; unloaded (after C_Finalize) on destruction.
class SoftTokenLibrary {
public:
    explicit SoftTokenLibrary(const std::string& path = kLibraryPath);
    ~SoftTokenLibrary();
    SoftTokenLibrary(const SoftTokenLibrary&) = delete;
    SoftTokenLibrary& operator=(const SoftTokenLibrary&) = delete;

    CK_FUNCTION_LIST* functions() const { return functions_; }
    CK_FUNCTION_LIST* operator->() const { return functions_; }

private:
    struct Closer {
        void operator()(void* handle) const { dlclose(handle); }
    };
    std::unique_ptr<void, Closer> handle_;
    CK_FUNCTION_LIST* functions_ = nullptr;
};

// Initialises the token in the slot (C_InitToken with kSoPin and the label) and sets the
// user PIN. Leaves the library's initialisation state as it found it. Throws
// std::runtime_error naming the failing call.
void provisionToken(CK_FUNCTION_LIST* functions, CK_SLOT_ID slot = 0,
                    const std::string& userPin = kUserPin, const std::string& label = "test token");

// A session that is closed when the object goes; optionally logged in as the user.
class ScopedSession {
public:
    ScopedSession(CK_FUNCTION_LIST* functions, CK_SLOT_ID slot,
                  CK_FLAGS flags = CKF_SERIAL_SESSION | CKF_RW_SESSION);
    ~ScopedSession();
    ScopedSession(const ScopedSession&) = delete;
    ScopedSession& operator=(const ScopedSession&) = delete;

    CK_SESSION_HANDLE handle() const { return handle_; }
    CK_RV login(const std::string& pin = kUserPin, CK_USER_TYPE user = CKU_USER) const;

private:
    CK_FUNCTION_LIST* functions_;
    CK_SESSION_HANDLE handle_ = CK_INVALID_HANDLE;
};

// Small readers that throw std::runtime_error on any failure.
CK_TOKEN_INFO tokenInfo(CK_FUNCTION_LIST* functions, CK_SLOT_ID slot = 0);
std::vector<CK_OBJECT_HANDLE> findObjects(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session,
                                          std::vector<CK_ATTRIBUTE> pattern);
std::string attributeValue(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session,
                           CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type);

}  // namespace softtoken
