// Tokens pulled out and put back while a client runs, as marker files in the token folder say.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "softtoken_fixture.h"

namespace softtoken {
namespace {

class Removal : public ::testing::Test {
protected:
    void SetUp() override {
        directory.writeConfig("[slot.0]\nserial = 0000001234\n[slot.1]\nmodel = Other Token\n");
        provisionToken(library.functions(), 0);
        ASSERT_EQ(library->C_Initialize(nullptr), CKR_OK);
    }
    void TearDown() override { unsetenv("ZOLVEX_SOFTTOKEN_DEAD_SESSION"); }

    void mark(const std::string& name, const std::string& content = "") {
        std::ofstream(directory.path() / name) << content;
    }
    void unmark(const std::string& name) { std::filesystem::remove(directory.path() / name); }

    std::vector<CK_SLOT_ID> slots(CK_BBOOL present) {
        CK_SLOT_ID list[4];
        CK_ULONG count = 4;
        EXPECT_EQ(library->C_GetSlotList(present, list, &count), CKR_OK);
        return {list, list + count};
    }
    // Slot events not reported yet, in order.
    std::vector<CK_SLOT_ID> events() {
        std::vector<CK_SLOT_ID> found;
        CK_SLOT_ID slot = 0;
        while (library->C_WaitForSlotEvent(CKF_DONT_BLOCK, &slot, nullptr) == CKR_OK) {
            found.push_back(slot);
        }
        return found;
    }
    CK_SESSION_HANDLE open(CK_SLOT_ID slot) {
        CK_SESSION_HANDLE session = CK_INVALID_HANDLE;
        EXPECT_EQ(library->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr,
                                         nullptr, &session),
                  CKR_OK);
        return session;
    }
    CK_SESSION_HANDLE openLoggedIn(CK_SLOT_ID slot) {
        const CK_SESSION_HANDLE session = open(slot);
        std::string pin = kUserPin;
        EXPECT_EQ(library->C_Login(session, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(pin.data()),
                                   pin.size()),
                  CKR_OK);
        return session;
    }
    CK_STATE state(CK_SESSION_HANDLE session) {
        CK_SESSION_INFO info{};
        EXPECT_EQ(library->C_GetSessionInfo(session, &info), CKR_OK);
        return info.state;
    }

    TemporaryTokenDirectory directory;
    SoftTokenLibrary library;
};

TEST_F(Removal, PulledOutTokenTakesItsSessionsAndLoginAlong) {
    for (const CK_RV whileOut : {CKR_DEVICE_REMOVED, CKR_SESSION_HANDLE_INVALID}) {
        SCOPED_TRACE(whileOut);
        setenv("ZOLVEX_SOFTTOKEN_DEAD_SESSION", std::to_string(whileOut).c_str(), 1);
        const CK_SESSION_HANDLE old = openLoggedIn(0);
        CK_BYTE random[8];

        mark("removed-0");
        EXPECT_EQ(slots(CK_TRUE), std::vector<CK_SLOT_ID>{1});
        EXPECT_EQ(slots(CK_FALSE), (std::vector<CK_SLOT_ID>{0, 1}));
        CK_SLOT_INFO slotInfo{};
        ASSERT_EQ(library->C_GetSlotInfo(0, &slotInfo), CKR_OK);
        EXPECT_EQ(slotInfo.flags & CKF_TOKEN_PRESENT, 0u);
        CK_TOKEN_INFO tokenInfo{};
        EXPECT_EQ(library->C_GetTokenInfo(0, &tokenInfo), CKR_TOKEN_NOT_PRESENT);
        CK_SESSION_HANDLE none = CK_INVALID_HANDLE;
        EXPECT_EQ(library->C_OpenSession(0, CKF_SERIAL_SESSION, nullptr, nullptr, &none),
                  CKR_TOKEN_NOT_PRESENT);
        EXPECT_EQ(library->C_GenerateRandom(old, random, sizeof random), whileOut);
        EXPECT_EQ(library->C_CloseSession(old), whileOut);
        EXPECT_EQ(events(), std::vector<CK_SLOT_ID>{0});

        unmark("removed-0");
        EXPECT_EQ(slots(CK_TRUE), (std::vector<CK_SLOT_ID>{0, 1}));
        EXPECT_EQ(library->C_GenerateRandom(old, random, sizeof random),
                  CKR_SESSION_HANDLE_INVALID);
        EXPECT_EQ(events(), std::vector<CK_SLOT_ID>{0});
        EXPECT_EQ(softtoken::tokenInfo(library.functions(), 0).ulSessionCount, 0u);
        // A new handle, and the login is gone with the old session.
        CK_SESSION_HANDLE fresh = CK_INVALID_HANDLE;
        ASSERT_EQ(library->C_OpenSession(0, CKF_SERIAL_SESSION, nullptr, nullptr, &fresh), CKR_OK);
        EXPECT_NE(fresh, old);
        EXPECT_EQ(state(fresh), CKS_RO_PUBLIC_SESSION);
        EXPECT_EQ(library->C_CloseSession(fresh), CKR_OK);
    }
}

TEST_F(Removal, TokenMovedToAnotherReaderDisplacesItsToken) {
    const CK_SESSION_HANDLE onOther = open(1);
    mark("moved-0", "1");
    EXPECT_EQ(slots(CK_TRUE), std::vector<CK_SLOT_ID>{1});
    EXPECT_EQ(events(), (std::vector<CK_SLOT_ID>{0, 1}));
    const CK_TOKEN_INFO moved = tokenInfo(library.functions(), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(moved.serialNumber), 10), "0000001234");
    CK_BYTE random[8];
    EXPECT_EQ(library->C_GenerateRandom(onOther, random, sizeof random),
              CKR_SESSION_HANDLE_INVALID);
    // The moved token keeps its PIN and objects.
    const CK_SESSION_HANDLE session = openLoggedIn(1);
    EXPECT_EQ(state(session), CKS_RW_USER_FUNCTIONS);

    unmark("moved-0");
    EXPECT_EQ(slots(CK_TRUE), (std::vector<CK_SLOT_ID>{0, 1}));
    EXPECT_EQ(library->C_GenerateRandom(session, random, sizeof random),
              CKR_SESSION_HANDLE_INVALID);
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(tokenInfo(library.functions(), 1).model), 11),
        "Other Token");
    // A marker naming no reader leaves the token where it is.
    mark("moved-0", "9");
    EXPECT_EQ(slots(CK_TRUE), (std::vector<CK_SLOT_ID>{0, 1}));
}

TEST_F(Removal, BlockingWaitReturnsWhenATokenGoes) {
    std::thread pull([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        mark("removed-0");
    });
    CK_SLOT_ID slot = 99;
    EXPECT_EQ(library->C_WaitForSlotEvent(0, &slot, nullptr), CKR_OK);
    EXPECT_EQ(slot, 0u);
    pull.join();
}

}  // namespace
}  // namespace softtoken
