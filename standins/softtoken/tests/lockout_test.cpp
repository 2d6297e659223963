// PIN lock-out against many processes trying at the same moment: the failure counter must
// cost every evaluated try, however the tries interleave.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <vector>

#include "softtoken_fixture.h"

namespace softtoken {
namespace {

constexpr const char* kWrongPin = "00000000";

// How many processes got each result.
using Outcomes = std::map<CK_RV, int>;

// Starts `count` processes that each initialise the library and open a session, then
// releases them together to log in once with the PIN.
Outcomes loginAtOnce(int count, CK_USER_TYPE user, const std::string& pin) {
    int ready[2];
    int go[2];
    if (::pipe(ready) != 0 || ::pipe(go) != 0) {
        throw std::runtime_error("pipe");
    }
    std::vector<pid_t> children;
    for (int i = 0; i < count; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(ready[0]);
            ::close(go[1]);
            // The fork inherited the parent's library state: start it afresh from disk.
            SoftTokenLibrary library;
            library->C_Finalize(nullptr);
            CK_SESSION_HANDLE session = 0;
            const bool set = library->C_Initialize(nullptr) == CKR_OK &&
                             library->C_OpenSession(0, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr,
                                                    nullptr, &session) == CKR_OK;
            char byte = set ? 'r' : 'x';
            if (::write(ready[1], &byte, 1) != 1 || !set) {
                _exit(255);
            }
            ::read(go[0], &byte, 1);  // returns at end of file, when the parent lets go
            std::string copy = pin;
            const CK_RV rv =
                library->C_Login(session, user, (CK_UTF8CHAR_PTR)copy.data(), copy.size());
            _exit(rv < 255 ? static_cast<int>(rv) : 255);
        }
        children.push_back(child);
    }
    ::close(ready[1]);
    ::close(go[0]);
    char byte;
    for (int i = 0; i < count && ::read(ready[0], &byte, 1) == 1; ++i) {
    }
    ::close(go[1]);
    ::close(ready[0]);
    Outcomes outcomes;
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        ++outcomes[WIFEXITED(status) ? static_cast<CK_RV>(WEXITSTATUS(status)) : 254];
    }
    return outcomes;
}

CK_RV loginOnce(CK_FUNCTION_LIST* functions, CK_USER_TYPE user, const std::string& pin) {
    ScopedSession session(functions, 0);
    const CK_RV rv = session.login(pin, user);
    if (rv == CKR_OK) {
        functions->C_Logout(session.handle());
    }
    return rv;
}

class LockoutTest : public ::testing::Test {
protected:
    void SetUp() override { provisionToken(library.functions()); }

    CK_RV loginNow(CK_USER_TYPE user, const std::string& pin) {
        EXPECT_EQ(library->C_Initialize(nullptr), CKR_OK);
        const CK_RV rv = loginOnce(library.functions(), user, pin);
        EXPECT_EQ(library->C_Finalize(nullptr), CKR_OK);
        return rv;
    }

    TemporaryTokenDirectory directory;
    SoftTokenLibrary library;
};

TEST_F(LockoutTest, ParallelWrongPinsCostExactlyTheTenTries) {
    EXPECT_EQ(loginAtOnce(40, CKU_USER, kWrongPin),
              (Outcomes{{CKR_PIN_INCORRECT, 10}, {CKR_PIN_LOCKED, 30}}));
    EXPECT_EQ(loginNow(CKU_USER, kUserPin), CKR_PIN_LOCKED);

    EXPECT_EQ(loginAtOnce(15, CKU_SO, kWrongPin),
              (Outcomes{{CKR_PIN_INCORRECT, 10}, {CKR_PIN_LOCKED, 5}}));
    EXPECT_EQ(loginNow(CKU_SO, kSoPin), CKR_PIN_LOCKED);
}

TEST_F(LockoutTest, OneTryLeftIsOneTryForAllProcesses) {
    ASSERT_EQ(library->C_Initialize(nullptr), CKR_OK);
    for (int attempt = 1; attempt < 10; ++attempt) {
        ASSERT_EQ(loginOnce(library.functions(), CKU_USER, kWrongPin), CKR_PIN_INCORRECT);
    }
    ASSERT_EQ(library->C_Finalize(nullptr), CKR_OK);
    EXPECT_EQ(loginAtOnce(20, CKU_USER, kWrongPin),
              (Outcomes{{CKR_PIN_INCORRECT, 1}, {CKR_PIN_LOCKED, 19}}));
    EXPECT_EQ(loginNow(CKU_USER, kUserPin), CKR_PIN_LOCKED);
}

TEST_F(LockoutTest, ATryThatCannotBeCountedIsNotMade) {
    // A folder in the lock file's place: the counter cannot be written, even by root.
    const auto lock = directory.path() / "token-0.json.lock";
    std::filesystem::remove(lock);
    std::filesystem::create_directory(lock);
    for (int attempt = 0; attempt < 12; ++attempt) {
        ASSERT_EQ(loginNow(CKU_USER, kWrongPin), CKR_DEVICE_ERROR) << attempt;
    }
    EXPECT_EQ(loginNow(CKU_USER, kUserPin), CKR_DEVICE_ERROR);  // not evaluated either
    std::filesystem::remove(lock);
    EXPECT_EQ(loginNow(CKU_USER, kWrongPin), CKR_PIN_INCORRECT);
    EXPECT_EQ(loginNow(CKU_USER, kUserPin), CKR_OK);
}

}  // namespace
}  // namespace softtoken
