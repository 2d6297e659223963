#include "softtoken_fixture.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace softtoken {

namespace {

const char* const kVariable = "ZOLVEX_SOFTTOKEN_DIR";

void check(CK_RV rv, const char* call) {
    if (rv != CKR_OK) {
        throw std::runtime_error(std::string(call) + " failed with " + std::to_string(rv));
    }
}

}  // namespace

TemporaryTokenDirectory::TemporaryTokenDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "softtoken-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        throw std::runtime_error("cannot create a temporary token folder");
    }
    path_ = buffer.data();
    if (const char* old = std::getenv(kVariable)) {
        previous_ = std::make_unique<std::string>(old);
    }
    setenv(kVariable, path_.c_str(), 1);
    // Throwaway tokens may use the cheapest PIN key derivation.
    setenv("ZOLVEX_SOFTTOKEN_TEST_KDF", "1", 1);
    writeConfig("");
}

TemporaryTokenDirectory::~TemporaryTokenDirectory() {
    if (previous_) {
        setenv(kVariable, previous_->c_str(), 1);
    } else {
        unsetenv(kVariable);
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TemporaryTokenDirectory::writeConfig(const std::string& text) const {
    std::ofstream config(path_ / "softtoken.ini");
    config << text;
    if (text.find("[pin]") == std::string::npos) {
        config << '\n' << kFastKdfConfig;
    }
}

SoftTokenLibrary::SoftTokenLibrary(const std::string& path)
    : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) {
        throw std::runtime_error("cannot load " + path + ": " + dlerror());
    }
    auto getFunctionList =
        reinterpret_cast<CK_C_GetFunctionList>(dlsym(handle_.get(), "C_GetFunctionList"));
    if (!getFunctionList || getFunctionList(&functions_) != CKR_OK) {
        throw std::runtime_error(path + " has no usable C_GetFunctionList");
    }
}

SoftTokenLibrary::~SoftTokenLibrary() {
    functions_->C_Finalize(nullptr);
}

void provisionToken(CK_FUNCTION_LIST* functions, CK_SLOT_ID slot, const std::string& userPin,
                    const std::string& label) {
    const CK_RV initialized = functions->C_Initialize(nullptr);
    if (initialized != CKR_OK && initialized != CKR_CRYPTOKI_ALREADY_INITIALIZED) {
        check(initialized, "C_Initialize");
    }
    std::string paddedLabel = label;
    paddedLabel.resize(32, ' ');
    std::string soPin = kSoPin;
    check(functions->C_InitToken(slot, reinterpret_cast<CK_UTF8CHAR*>(soPin.data()), soPin.size(),
                                 reinterpret_cast<CK_UTF8CHAR*>(paddedLabel.data())),
          "C_InitToken");
    {
        ScopedSession session(functions, slot);
        check(session.login(kSoPin, CKU_SO), "C_Login(SO)");
        std::string pin = userPin;
        check(functions->C_InitPIN(session.handle(), reinterpret_cast<CK_UTF8CHAR*>(pin.data()),
                                   pin.size()),
              "C_InitPIN");
        check(functions->C_Logout(session.handle()), "C_Logout");
    }
    if (initialized == CKR_OK) {
        check(functions->C_Finalize(nullptr), "C_Finalize");
    }
}

ScopedSession::ScopedSession(CK_FUNCTION_LIST* functions, CK_SLOT_ID slot, CK_FLAGS flags)
    : functions_(functions) {
    check(functions_->C_OpenSession(slot, flags, nullptr, nullptr, &handle_), "C_OpenSession");
}

ScopedSession::~ScopedSession() {
    functions_->C_CloseSession(handle_);
}

CK_RV ScopedSession::login(const std::string& pin, CK_USER_TYPE user) const {
    std::string copy = pin;
    return functions_->C_Login(handle_, user, reinterpret_cast<CK_UTF8CHAR*>(copy.data()),
                               copy.size());
}

CK_TOKEN_INFO tokenInfo(CK_FUNCTION_LIST* functions, CK_SLOT_ID slot) {
    CK_TOKEN_INFO info{};
    check(functions->C_GetTokenInfo(slot, &info), "C_GetTokenInfo");
    return info;
}

std::vector<CK_OBJECT_HANDLE> findObjects(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session,
                                          std::vector<CK_ATTRIBUTE> pattern) {
    check(functions->C_FindObjectsInit(session, pattern.data(), pattern.size()),
          "C_FindObjectsInit");
    std::vector<CK_OBJECT_HANDLE> found(256);
    CK_ULONG count = 0;
    const CK_RV rv = functions->C_FindObjects(session, found.data(), found.size(), &count);
    check(functions->C_FindObjectsFinal(session), "C_FindObjectsFinal");
    check(rv, "C_FindObjects");
    found.resize(count);
    return found;
}

std::string attributeValue(CK_FUNCTION_LIST* functions, CK_SESSION_HANDLE session,
                           CK_OBJECT_HANDLE object, CK_ATTRIBUTE_TYPE type) {
    CK_ATTRIBUTE attribute{type, nullptr, 0};
    check(functions->C_GetAttributeValue(session, object, &attribute, 1), "C_GetAttributeValue");
    std::string value(attribute.ulValueLen, '\0');
    attribute.pValue = value.data();
    check(functions->C_GetAttributeValue(session, object, &attribute, 1), "C_GetAttributeValue");
    return value;
}

}  // namespace softtoken
