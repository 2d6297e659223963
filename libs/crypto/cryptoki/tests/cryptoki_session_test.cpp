#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_library.h"
#include "function_list_cryptoki.h"
#include "log_capture.h"

namespace {

using kelvo::test::FakeLibrary;
using kelvo::test::FunctionListCryptoki;
using kelvo::test::LogCapture;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace trivial = boost::log::trivial;

constexpr CK_SLOT_ID kSlot = 3;
constexpr CK_FLAGS kFlags = CKF_SERIAL_SESSION | CKF_RW_SESSION;

class SessionTracking : public ::testing::Test {
protected:
    CK_RV open() { return cryptoki.openSession(kSlot, kFlags, nullptr, nullptr); }
    CK_RV login() { return cryptoki.login(kSlot, CKU_USER, pin, sizeof(pin) - 1); }

    FakeLibrary library;
    FunctionListCryptoki cryptoki{library.functionList()};
    LogCapture log;
    CK_UTF8CHAR pin[7] = "123456";
};

TEST_F(SessionTracking, NestedOpensShareOneLibrarySession) {
    EXPECT_EQ(open(), CKR_OK);
    EXPECT_EQ(open(), CKR_OK);
    EXPECT_EQ(cryptoki.sessionHandle(kSlot), 101u);
    EXPECT_THAT(library.calls, ElementsAre("C_OpenSession 3"));
    EXPECT_THAT(log.lines(), ElementsAre(LogCapture::Line{
                                 trivial::warning,
                                 "cryptoki: session already opened, action ignored, slot: 3"}));

    EXPECT_EQ(cryptoki.closeSession(kSlot), CKR_OK);
    EXPECT_THAT(library.calls, ElementsAre("C_OpenSession 3"));
    EXPECT_EQ(cryptoki.closeSession(kSlot), CKR_OK);
    EXPECT_THAT(library.calls, ElementsAre("C_OpenSession 3", "C_CloseSession 101"));
    EXPECT_EQ(cryptoki.sessionHandle(kSlot), 0u);
}

TEST_F(SessionTracking, FailedOpenIsCountedAndItsCloseOnlyCountsDown) {
    library.failures["C_OpenSession"] = CKR_TOKEN_NOT_PRESENT;
    EXPECT_EQ(open(), CKR_TOKEN_NOT_PRESENT);
    EXPECT_EQ(cryptoki.sessionHandle(kSlot), 0u);
    EXPECT_EQ(cryptoki.closeSession(kSlot), CKR_OK);
    EXPECT_THAT(library.calls, ElementsAre("C_OpenSession 3"));

    // Counts are balanced again, so the next open reaches the library.
    library.failures.clear();
    EXPECT_EQ(open(), CKR_OK);
    EXPECT_EQ(cryptoki.closeSession(kSlot), CKR_OK);
    EXPECT_THAT(library.calls,
                ElementsAre("C_OpenSession 3", "C_OpenSession 3", "C_CloseSession 101"));
}

TEST_F(SessionTracking, FailedCloseKeepsTheHandleForTheNextOpen) {
    open();
    library.failures["C_CloseSession"] = CKR_DEVICE_ERROR;
    EXPECT_EQ(cryptoki.closeSession(kSlot), CKR_DEVICE_ERROR);
    EXPECT_EQ(cryptoki.sessionHandle(kSlot), 101u);

    library.failures.clear();
    EXPECT_EQ(open(), CKR_OK);
    EXPECT_THAT(log.lines(), ElementsAre(LogCapture::Line{
                                 trivial::warning,
                                 "cryptoki: session already opened, action ignored, slot: 3"}));
    // openCount is 1 again: this close reaches the library with the kept handle.
    EXPECT_EQ(cryptoki.closeSession(kSlot), CKR_OK);
    EXPECT_THAT(library.calls,
                ElementsAre("C_OpenSession 3", "C_CloseSession 101", "C_CloseSession 101"));
}

TEST_F(SessionTracking, LockedSlotKeepsItsSessionAndLogin) {
    open();
    login();
    cryptoki.setLocked(kSlot, true);
    cryptoki.setLocked(kSlot, true);
    EXPECT_TRUE(cryptoki.isLocked(kSlot));

    EXPECT_EQ(cryptoki.logout(kSlot), CKR_OK);
    EXPECT_EQ(cryptoki.closeSession(kSlot), CKR_OK);
    EXPECT_TRUE(cryptoki.isLoggedIn(kSlot));
    EXPECT_EQ(cryptoki.sessionHandle(kSlot), 101u);
    EXPECT_THAT(library.calls, ElementsAre("C_OpenSession 3", "C_Login 101"));
    cryptoki.setLocked(kSlot, false);
    cryptoki.setLocked(kSlot, false);
    const auto ignored = [](const std::string& what, const std::string& lock = "") {
        return LogCapture::Line{trivial::info,
                                "cryptoki: session " + what + ", action ignored, slot: 3" + lock};
    };
    // Locking twice is reported with the flag.
    EXPECT_THAT(log.lines(),
                ElementsAre(ignored("already in state", ", lock: 1"), ignored("locked"),
                            ignored("locked"), ignored("already in state", ", lock: 0")));
}

TEST_F(SessionTracking, UnlockedCloseThatReallyClosesClearsTheLock) {
    open();
    cryptoki.setLocked(kSlot, true);
    open();
    cryptoki.closeSession(kSlot);  // locked: counts down to 1
    cryptoki.setLocked(kSlot, false);
    EXPECT_EQ(cryptoki.closeSession(kSlot), CKR_OK);
    EXPECT_FALSE(cryptoki.isLocked(kSlot));
    EXPECT_THAT(library.calls, ElementsAre("C_OpenSession 3", "C_CloseSession 101"));
}

TEST_F(SessionTracking, LoginsDoNotNest) {
    open();
    EXPECT_EQ(login(), CKR_OK);
    EXPECT_EQ(login(), CKR_OK);
    EXPECT_THAT(log.lines(), ElementsAre(LogCapture::Line{
                                 trivial::info,
                                 "cryptoki: session already logged in, action ignored, slot: 3"}));
    EXPECT_EQ(cryptoki.logout(kSlot), CKR_OK);
    EXPECT_FALSE(cryptoki.isLoggedIn(kSlot));
    EXPECT_THAT(library.calls, ElementsAre("C_OpenSession 3", "C_Login 101", "C_Logout 101"));
    cryptoki.closeSession(kSlot);
}

TEST_F(SessionTracking, FailedLoginIsNotCountedAndFailedLogoutKeepsTheCount) {
    open();
    library.failures["C_Login"] = CKR_PIN_INCORRECT;
    EXPECT_EQ(login(), CKR_PIN_INCORRECT);
    EXPECT_FALSE(cryptoki.isLoggedIn(kSlot));

    library.failures.clear();
    EXPECT_EQ(login(), CKR_OK);
    library.failures["C_Logout"] = CKR_DEVICE_ERROR;
    EXPECT_EQ(cryptoki.logout(kSlot), CKR_DEVICE_ERROR);
    EXPECT_TRUE(cryptoki.isLoggedIn(kSlot));
    EXPECT_THAT(library.calls,
                ElementsAre("C_OpenSession 3", "C_Login 101", "C_Login 101", "C_Logout 101"));
    library.failures.clear();
    cryptoki.releaseSlot(kSlot);
}

TEST_F(SessionTracking, LoginWithoutSessionGoesToTheLibraryWithHandleZero) {
    // Never logged in: forced, no call.
    EXPECT_EQ(cryptoki.logout(kSlot), CKR_OK);
    EXPECT_EQ(login(), CKR_OK);
    EXPECT_TRUE(cryptoki.isLoggedIn(kSlot));
    // Without a session the count cannot be honoured by the library: forced down.
    EXPECT_EQ(cryptoki.logout(kSlot), CKR_OK);
    EXPECT_FALSE(cryptoki.isLoggedIn(kSlot));
    EXPECT_THAT(library.calls, ElementsAre("C_Login 0"));
    const LogCapture::Line forced{trivial::warning,
                                  "cryptoki: session not logged in, action forced, slot: 3"};
    EXPECT_THAT(log.lines(), ElementsAre(forced, forced));
}

TEST_F(SessionTracking, ReleaseSlotUndoesEveryCountedRequest) {
    open();
    open();
    login();
    cryptoki.setLocked(kSlot, true);
    library.calls.clear();

    EXPECT_EQ(cryptoki.releaseSlot(kSlot), CKR_OK);
    EXPECT_THAT(library.calls, ElementsAre("C_Logout 101", "C_CloseSession 101"));
    EXPECT_FALSE(cryptoki.isLocked(kSlot));
    EXPECT_FALSE(cryptoki.isLoggedIn(kSlot));
    EXPECT_EQ(cryptoki.sessionHandle(kSlot), 0u);

    // Nothing is left to undo.
    library.calls.clear();
    EXPECT_EQ(cryptoki.releaseSlot(kSlot), CKR_OK);
    EXPECT_THAT(library.calls, IsEmpty());
}

TEST_F(SessionTracking, ReleaseSlotSwallowsLibraryFailures) {
    open();
    login();
    library.failures["C_Logout"] = CKR_DEVICE_ERROR;
    library.failures["C_CloseSession"] = CKR_DEVICE_ERROR;
    EXPECT_EQ(cryptoki.releaseSlot(kSlot), CKR_OK);
    EXPECT_THAT(library.calls, ElementsAre("C_OpenSession 3", "C_Login 101", "C_Logout 101",
                                           "C_CloseSession 101"));
    library.failures.clear();
    // The failed logout is still counted; the open count is balanced.
    EXPECT_TRUE(cryptoki.isLoggedIn(kSlot));
    cryptoki.releaseSlot(kSlot);
}

TEST_F(SessionTracking, AnswerThatTheSessionDiedStartsTheRecordOver) {
    for (const CK_RV dead : {CKR_SESSION_HANDLE_INVALID, CKR_SESSION_CLOSED, CKR_DEVICE_REMOVED,
                             CKR_TOKEN_NOT_PRESENT}) {
        SCOPED_TRACE(dead);
        const unsigned long resets = cryptoki.resets(kSlot);
        open();
        open();
        login();
        cryptoki.setLocked(kSlot, true);
        const CK_SESSION_HANDLE old = cryptoki.sessionHandle(kSlot);
        library.calls.clear();
        library.failures["C_FindObjectsInit"] = dead;
        EXPECT_EQ(cryptoki.findObjectsInit(kSlot, nullptr, 0), dead);
        library.failures.clear();

        // The library may free the dead session; nothing of it is counted any more.
        EXPECT_THAT(library.calls, ElementsAre("C_FindObjectsInit " + std::to_string(old),
                                               "C_CloseSession " + std::to_string(old)));
        EXPECT_EQ(cryptoki.sessionHandle(kSlot), 0u);
        EXPECT_FALSE(cryptoki.isLoggedIn(kSlot));
        EXPECT_FALSE(cryptoki.isLocked(kSlot));
        EXPECT_EQ(cryptoki.resets(kSlot), resets + 1);

        // The holders' own clean-up comes after the reset and must not count below zero.
        EXPECT_EQ(cryptoki.logout(kSlot), CKR_OK);
        cryptoki.closeSession(kSlot);
        cryptoki.closeSession(kSlot);
        library.calls.clear();
        open();
        EXPECT_EQ(cryptoki.closeSession(kSlot), CKR_OK);
        EXPECT_THAT(library.calls,
                    ElementsAre("C_OpenSession 3", "C_CloseSession " + std::to_string(old + 1)));
    }
    // Other failures leave the record as it is.
    open();
    library.failures["C_FindObjectsInit"] = CKR_DEVICE_ERROR;
    cryptoki.findObjectsInit(kSlot, nullptr, 0);
    EXPECT_NE(cryptoki.sessionHandle(kSlot), 0u);
    library.failures.clear();
    cryptoki.closeSession(kSlot);
}

TEST_F(SessionTracking, SlotLeftOutOfThePresentListingHasNoSessionAndNoCalls) {
    library.slotIds = {kSlot, 7};
    std::vector<CK_SLOT_ID> present;
    ASSERT_EQ(cryptoki.slotList(true, present), CKR_OK);
    open();
    login();
    cryptoki.openSession(7, kFlags, nullptr, nullptr);

    library.slotIds = {7};
    library.calls.clear();
    cryptoki.slotList(true, present);
    EXPECT_FALSE(cryptoki.isPresent(kSlot));
    EXPECT_TRUE(cryptoki.isPresent(7));
    EXPECT_EQ(cryptoki.sessionHandle(kSlot), 0u);
    EXPECT_FALSE(cryptoki.isLoggedIn(kSlot));
    EXPECT_EQ(cryptoki.resets(kSlot), 1u);
    EXPECT_NE(cryptoki.sessionHandle(7), 0u);

    // No token, no call: the library is not asked about the slot until it is listed again.
    library.calls.clear();
    CK_ULONG count = 0;
    EXPECT_EQ(cryptoki.getMechanismList(kSlot, nullptr, &count), CKR_TOKEN_NOT_PRESENT);
    EXPECT_EQ(open(), CKR_TOKEN_NOT_PRESENT);
    EXPECT_EQ(cryptoki.findObjectsInit(kSlot, nullptr, 0), CKR_TOKEN_NOT_PRESENT);
    EXPECT_EQ(cryptoki.closeSession(kSlot), CKR_OK);
    EXPECT_THAT(library.calls, IsEmpty());

    library.slotIds = {kSlot, 7};
    cryptoki.slotList(true, present);
    EXPECT_EQ(open(), CKR_OK);
    EXPECT_EQ(cryptoki.resets(kSlot), 1u);
    cryptoki.closeSession(kSlot);
    cryptoki.closeSession(7);
}

TEST_F(SessionTracking, SlotsAreTrackedSeparately) {
    EXPECT_FALSE(cryptoki.isLoggedIn(7));
    EXPECT_FALSE(cryptoki.isLocked(7));
    open();
    cryptoki.openSession(7, kFlags, nullptr, nullptr);
    EXPECT_EQ(cryptoki.sessionHandle(kSlot), 101u);
    EXPECT_EQ(cryptoki.sessionHandle(7), 102u);
    cryptoki.closeSession(7);
    cryptoki.closeSession(kSlot);
    EXPECT_THAT(library.calls, ElementsAre("C_OpenSession 3", "C_OpenSession 7",
                                           "C_CloseSession 102", "C_CloseSession 101"));
    EXPECT_THAT(log.lines(), IsEmpty());
}

}  // namespace
