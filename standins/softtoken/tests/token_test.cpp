// Token, sessions, login and objects as PKCS#11 clients see them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>

#include "config.h"
#include "softtoken_fixture.h"

namespace softtoken {
namespace {

std::string text(const CK_UTF8CHAR* field, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(field), size);
}

std::string padded(std::string value, std::size_t size) {
    value.resize(size, ' ');
    return value;
}

// Runs the body in a child process (its own library instance) and returns its exit status.
template <typename Body>
int inChildProcess(Body&& body) {
    const pid_t child = fork();
    if (child == 0) {
        int status = 1;
        try {
            status = body();
        } catch (...) {
        }
        _exit(status);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class TokenTest : public ::testing::Test {
protected:
    void initialize() { ASSERT_EQ(library->C_Initialize(nullptr), CKR_OK); }

    CK_OBJECT_HANDLE createData(CK_SESSION_HANDLE session, const std::string& label, bool isPrivate,
                                bool onToken = true) {
        CK_OBJECT_CLASS dataClass = CKO_DATA;
        CK_BBOOL token = onToken ? CK_TRUE : CK_FALSE;
        CK_BBOOL privacy = isPrivate ? CK_TRUE : CK_FALSE;
        std::string value = "payload";
        CK_ATTRIBUTE attributes[] = {
            {CKA_CLASS, &dataClass, sizeof dataClass},
            {CKA_TOKEN, &token, 1},
            {CKA_PRIVATE, &privacy, 1},
            {CKA_LABEL, (void*)label.data(), label.size()},
            {CKA_VALUE, value.data(), value.size()},
        };
        CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
        EXPECT_EQ(library->C_CreateObject(session, attributes, 5, &object), CKR_OK);
        return object;
    }

    std::size_t countData(CK_SESSION_HANDLE session) {
        CK_OBJECT_CLASS dataClass = CKO_DATA;
        return findObjects(library.functions(), session,
                           {{CKA_CLASS, &dataClass, sizeof dataClass}})
            .size();
    }

    CK_RV initToken(std::string soPin, const std::string& label) {
        std::string padded = label;
        padded.resize(32, ' ');
        return library->C_InitToken(0, (CK_UTF8CHAR_PTR)soPin.data(), soPin.size(),
                                    (CK_UTF8CHAR_PTR)padded.data());
    }
    CK_RV initPin(CK_SESSION_HANDLE session, std::string pin) {
        return library->C_InitPIN(session, (CK_UTF8CHAR_PTR)pin.data(), pin.size());
    }

    TemporaryTokenDirectory directory;
    SoftTokenLibrary library;
};

TEST_F(TokenTest, InitializeFinalizeLifecycle) {
    CK_INFO info;
    EXPECT_EQ(library->C_GetInfo(&info), CKR_CRYPTOKI_NOT_INITIALIZED);
    EXPECT_EQ(library->C_Finalize(nullptr), CKR_CRYPTOKI_NOT_INITIALIZED);
    CK_C_INITIALIZE_ARGS partial{};
    partial.LockMutex = [](void*) -> CK_RV { return CKR_OK; };
    EXPECT_EQ(library->C_Initialize(&partial), CKR_ARGUMENTS_BAD);
    CK_C_INITIALIZE_ARGS osLocking{};
    osLocking.flags = CKF_OS_LOCKING_OK;
    ASSERT_EQ(library->C_Initialize(&osLocking), CKR_OK);
    EXPECT_EQ(library->C_Initialize(nullptr), CKR_CRYPTOKI_ALREADY_INITIALIZED);
    ASSERT_EQ(library->C_GetInfo(&info), CKR_OK);
    EXPECT_EQ(info.cryptokiVersion.major, 2);
    EXPECT_EQ(info.cryptokiVersion.minor, 40);
    EXPECT_EQ(library->C_Finalize(nullptr), CKR_OK);
    EXPECT_EQ(library->C_Initialize(nullptr), CKR_OK);
}

TEST_F(TokenTest, SlotsAndTokenInfoComeFromTheConfiguration) {
    directory.writeConfig(
        "[slot.0]\n"
        "serial = 0000001234\n"
        "hardware = 1.5\n"
        "firmware = 10.0\n"
        "[slot.7]\n"
        "model = Rutoken ECP\n");
    provisionToken(library.functions(), 0, kUserPin, "first");
    initialize();
    CK_ULONG count = 0;
    ASSERT_EQ(library->C_GetSlotList(CK_TRUE, nullptr, &count), CKR_OK);
    ASSERT_EQ(count, 2u);
    CK_SLOT_ID slots[2];
    count = 1;
    EXPECT_EQ(library->C_GetSlotList(CK_TRUE, slots, &count), CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(library->C_GetSlotList(CK_TRUE, slots, &count), CKR_OK);
    EXPECT_EQ(slots[0], 0u);
    EXPECT_EQ(slots[1], 7u);

    const CK_TOKEN_INFO first = tokenInfo(library.functions(), 0);
    EXPECT_EQ(text(first.model, 16), "ZOLVEXToken GOST");
    EXPECT_EQ(text(first.serialNumber, 16), padded("0000001234", 16));
    EXPECT_EQ(text(first.label, 32), padded("first", 32));
    EXPECT_EQ(first.hardwareVersion.major, 1);
    EXPECT_EQ(first.hardwareVersion.minor, 5);
    EXPECT_EQ(first.firmwareVersion.major, 10);
    const CK_FLAGS expected =
        CKF_RNG | CKF_LOGIN_REQUIRED | CKF_USER_PIN_INITIALIZED | CKF_TOKEN_INITIALIZED;
    EXPECT_EQ(first.flags, expected);

    const CK_TOKEN_INFO second = tokenInfo(library.functions(), 7);
    EXPECT_EQ(text(second.model, 16), padded("Rutoken ECP", 16));
    EXPECT_EQ(second.flags & (CKF_TOKEN_INITIALIZED | CKF_USER_PIN_INITIALIZED), 0u);
    EXPECT_EQ(text(second.label, 32), std::string(32, ' '));

    CK_TOKEN_INFO info;
    EXPECT_EQ(library->C_GetTokenInfo(3, &info), CKR_SLOT_ID_INVALID);
    EXPECT_EQ(library->C_GetTokenInfo(0, nullptr), CKR_ARGUMENTS_BAD);
    CK_SLOT_ID event;
    EXPECT_EQ(library->C_WaitForSlotEvent(CKF_DONT_BLOCK, &event, nullptr), CKR_NO_EVENT);
}

TEST(TokenConfiguration, KdfCostAndSlotNumbersAreChecked) {
    TemporaryTokenDirectory directory;
    auto load = [&](const std::string& text) {
        std::ofstream(directory.path() / kConfigFileName) << text;
        return loadConfig(directory.path());
    };
    auto refusal = [&](const std::string& text) {
        try {
            load(text);
        } catch (const std::runtime_error& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(load("[slot.1]\nmodel = A\n").slots[0].kdfCost, kDefaultKdfCost);
    const Config lowered =
        load("[pin]\nkdf-cost = 12\n[slot.1]\nmodel = A\n[slot.2]\nkdf-cost = 14\n");
    ASSERT_EQ(lowered.slots.size(), 2u);
    EXPECT_EQ(lowered.slots[0].kdfCost, 12u);
    EXPECT_EQ(lowered.slots[1].kdfCost, 14u);
    unsetenv(kTestKdfVariable);  // a real token: the floor holds
    EXPECT_EQ(load("[pin]\nkdf-cost = 12\n").slots[0].kdfCost, kRealTokenMinKdfCost);
    setenv(kTestKdfVariable, "1", 1);
    EXPECT_EQ(refusal("[slot.0]\nmodel = A\n[slot.00]\nmodel = B\n"),
              "slot 0 is configured twice, in [slot.0] and [slot.00]");
    EXPECT_EQ(refusal("[slot.+1]\nmodel = A\n"), "malformed slot section [slot.+1]");
    EXPECT_EQ(refusal("[pin]\nkdf-cost = 21\n"),
              "kdf-cost in [pin] must be a whole number from 4 to 20, not '21'");
}

TEST_F(TokenTest, SessionCountsTellTheTruth) {
    initialize();
    CK_SESSION_HANDLE readOnly, readWrite;
    ASSERT_EQ(library->C_OpenSession(0, CKF_SERIAL_SESSION, nullptr, nullptr, &readOnly), CKR_OK);
    ASSERT_EQ(library->C_OpenSession(0, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr,
                                     &readWrite),
              CKR_OK);
    CK_SESSION_HANDLE unknownFlags;
    ASSERT_EQ(
        library->C_OpenSession(0, CKF_SERIAL_SESSION | 0x80000, nullptr, nullptr, &unknownFlags),
        CKR_OK);
    CK_SESSION_INFO sessionInfo;
    ASSERT_EQ(library->C_GetSessionInfo(unknownFlags, &sessionInfo), CKR_OK);
    EXPECT_EQ(sessionInfo.flags, static_cast<CK_FLAGS>(CKF_SERIAL_SESSION));
    ASSERT_EQ(library->C_CloseSession(unknownFlags), CKR_OK);
    CK_TOKEN_INFO info = tokenInfo(library.functions());
    EXPECT_EQ(info.ulSessionCount, 2u);
    EXPECT_EQ(info.ulRwSessionCount, 1u);
    EXPECT_EQ(library->C_CloseSession(readWrite), CKR_OK);
    EXPECT_EQ(library->C_CloseSession(readWrite), CKR_SESSION_HANDLE_INVALID);
    info = tokenInfo(library.functions());
    EXPECT_EQ(info.ulSessionCount, 1u);
    EXPECT_EQ(info.ulRwSessionCount, 0u);
    EXPECT_EQ(library->C_CloseAllSessions(0), CKR_OK);
    EXPECT_EQ(tokenInfo(library.functions()).ulSessionCount, 0u);
    CK_SESSION_HANDLE parallel;
    EXPECT_EQ(library->C_OpenSession(0, CKF_RW_SESSION, nullptr, nullptr, &parallel),
              CKR_SESSION_PARALLEL_NOT_SUPPORTED);
    EXPECT_EQ(library->C_OpenSession(0, CKF_SERIAL_SESSION, nullptr, nullptr, nullptr),
              CKR_ARGUMENTS_BAD);
}

TEST_F(TokenTest, LoginStateAndPrivateObjects) {
    provisionToken(library.functions());
    initialize();
    ScopedSession session(library.functions(), 0);
    EXPECT_EQ(session.login("00000000", 7), CKR_USER_TYPE_INVALID);
    ASSERT_EQ(session.login(), CKR_OK);
    EXPECT_EQ(session.login(), CKR_USER_ALREADY_LOGGED_IN);
    EXPECT_EQ(session.login(kSoPin, CKU_SO), CKR_USER_ANOTHER_ALREADY_LOGGED_IN);
    CK_SESSION_INFO info;
    ASSERT_EQ(library->C_GetSessionInfo(session.handle(), &info), CKR_OK);
    EXPECT_EQ(info.state, CKS_RW_USER_FUNCTIONS);

    createData(session.handle(), "secret", true);
    createData(session.handle(), "public", false);
    createData(session.handle(), "private session object", true, false);
    EXPECT_EQ(countData(session.handle()), 3u);
    ASSERT_EQ(library->C_Logout(session.handle()), CKR_OK);
    EXPECT_EQ(library->C_Logout(session.handle()), CKR_USER_NOT_LOGGED_IN);
    EXPECT_EQ(countData(session.handle()), 1u);
    // Logging out destroyed the private session object; the private token object remains.
    ASSERT_EQ(session.login(), CKR_OK);
    EXPECT_EQ(countData(session.handle()), 2u);
    ASSERT_EQ(library->C_Logout(session.handle()), CKR_OK);
    CK_OBJECT_CLASS dataClass = CKO_DATA;
    CK_BBOOL yes = CK_TRUE;
    CK_ATTRIBUTE privateData[] = {{CKA_CLASS, &dataClass, sizeof dataClass},
                                  {CKA_PRIVATE, &yes, 1}};
    CK_OBJECT_HANDLE object;
    EXPECT_EQ(library->C_CreateObject(session.handle(), privateData, 2, &object),
              CKR_USER_NOT_LOGGED_IN);

    // The last session closing logs the token out.
    ASSERT_EQ(session.login(), CKR_OK);
    {
        ScopedSession readOnly(library.functions(), 0, CKF_SERIAL_SESSION);
        EXPECT_EQ(readOnly.login(), CKR_USER_ALREADY_LOGGED_IN);
    }
}

TEST_F(TokenTest, PinLocksAfterTenWrongTriesAndStaysLocked) {
    provisionToken(library.functions());
    initialize();
    {
        ScopedSession session(library.functions(), 0);
        ASSERT_EQ(session.login("1111"), CKR_PIN_INCORRECT);
        EXPECT_TRUE(tokenInfo(library.functions()).flags & CKF_USER_PIN_COUNT_LOW);
        // A right PIN resets the counter.
        ASSERT_EQ(session.login(), CKR_OK);
        ASSERT_EQ(library->C_Logout(session.handle()), CKR_OK);
        EXPECT_FALSE(tokenInfo(library.functions()).flags & CKF_USER_PIN_COUNT_LOW);
        for (int attempt = 1; attempt <= 9; ++attempt) {
            ASSERT_EQ(session.login("1111"), CKR_PIN_INCORRECT) << attempt;
        }
        const CK_FLAGS flags = tokenInfo(library.functions()).flags;
        EXPECT_TRUE(flags & CKF_USER_PIN_FINAL_TRY);
        EXPECT_FALSE(flags & CKF_USER_PIN_LOCKED);
    }
    // The counter survives C_Finalize/C_Initialize.
    ASSERT_EQ(library->C_Finalize(nullptr), CKR_OK);
    initialize();
    EXPECT_TRUE(tokenInfo(library.functions()).flags & CKF_USER_PIN_FINAL_TRY);
    {
        ScopedSession session(library.functions(), 0);
        // The tenth wrong try is still judged; it locks the PIN.
        EXPECT_EQ(session.login("1111"), CKR_PIN_INCORRECT);
        EXPECT_EQ(session.login("1111"), CKR_PIN_LOCKED);
        const CK_FLAGS flags = tokenInfo(library.functions()).flags;
        EXPECT_TRUE(flags & CKF_USER_PIN_LOCKED);
        EXPECT_FALSE(flags & CKF_USER_PIN_FINAL_TRY);
        EXPECT_EQ(session.login(), CKR_PIN_LOCKED);
    }
    // The security officer can unlock with a new PIN.
    ScopedSession session(library.functions(), 0);
    ASSERT_EQ(session.login(kSoPin, CKU_SO), CKR_OK);
    const std::string pin = "87878787";
    ASSERT_EQ(initPin(session.handle(), pin), CKR_OK);
    ASSERT_EQ(library->C_Logout(session.handle()), CKR_OK);
    EXPECT_FALSE(tokenInfo(library.functions()).flags & CKF_USER_PIN_LOCKED);
    EXPECT_EQ(session.login(pin), CKR_OK);
}

TEST_F(TokenTest, PinChangesKeepPrivateObjectsAndReinitialisationDropsThem) {
    initialize();
    // A token never initialised checks its delivery SO PIN as an SO login would.
    const std::string wrong = "00000000";
    EXPECT_EQ(initToken(wrong, "again"), CKR_PIN_INCORRECT);
    EXPECT_TRUE(tokenInfo(library.functions()).flags & CKF_SO_PIN_COUNT_LOW);
    provisionToken(library.functions());
    EXPECT_FALSE(tokenInfo(library.functions()).flags & CKF_SO_PIN_COUNT_LOW);
    auto setPin = [&](CK_SESSION_HANDLE session, std::string from, std::string to) {
        return library->C_SetPIN(session, (CK_UTF8CHAR_PTR)from.data(), from.size(),
                                 (CK_UTF8CHAR_PTR)to.data(), to.size());
    };
    const std::string soPin = "11223344", userPin = "13572468";
    {
        ScopedSession session(library.functions(), 0);
        ASSERT_EQ(session.login(), CKR_OK);
        createData(session.handle(), "private", true);
        createData(session.handle(), "public", false);
        ASSERT_EQ(library->C_Logout(session.handle()), CKR_OK);
        const std::string newPin = "24682468";
        EXPECT_EQ(setPin(session.handle(), kUserPin, "12"), CKR_PIN_LEN_RANGE);
        ASSERT_EQ(setPin(session.handle(), kUserPin, newPin), CKR_OK);
        EXPECT_EQ(session.login(kUserPin), CKR_PIN_INCORRECT);
        ASSERT_EQ(session.login(newPin), CKR_OK);
        EXPECT_EQ(countData(session.handle()), 2u);
        ASSERT_EQ(library->C_Logout(session.handle()), CKR_OK);

        // New SO and user PINs from the security officer: the private object stays readable.
        ASSERT_EQ(session.login(kSoPin, CKU_SO), CKR_OK);
        ASSERT_EQ(setPin(session.handle(), kSoPin, soPin), CKR_OK);
        ASSERT_EQ(initPin(session.handle(), userPin), CKR_OK);
        ASSERT_EQ(library->C_Logout(session.handle()), CKR_OK);
        EXPECT_EQ(session.login(kSoPin, CKU_SO), CKR_PIN_INCORRECT);
        ASSERT_EQ(session.login(userPin), CKR_OK);
        CK_BBOOL yes = CK_TRUE;
        const auto found =
            findObjects(library.functions(), session.handle(), {{CKA_PRIVATE, &yes, 1}});
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(attributeValue(library.functions(), session.handle(), found[0], CKA_VALUE),
                  "payload");
        EXPECT_EQ(initToken(soPin, "again"), CKR_SESSION_EXISTS);
    }
    EXPECT_EQ(initToken(wrong, "again"), CKR_PIN_INCORRECT);
    ASSERT_EQ(initToken(soPin, "again"), CKR_OK);
    const CK_TOKEN_INFO info = tokenInfo(library.functions());
    EXPECT_EQ(text(info.label, 32), padded("again", 32));
    EXPECT_FALSE(info.flags & (CKF_SO_PIN_COUNT_LOW | CKF_USER_PIN_INITIALIZED));
    ScopedSession session(library.functions(), 0);
    EXPECT_EQ(countData(session.handle()), 0u);
}

TEST_F(TokenTest, CertificateObjectsAndAttributeRules) {
    provisionToken(library.functions());
    initialize();
    ScopedSession session(library.functions(), 0);
    ASSERT_EQ(session.login(), CKR_OK);
    CK_OBJECT_CLASS certificateClass = CKO_CERTIFICATE;
    CK_CERTIFICATE_TYPE x509 = CKC_X_509;
    CK_BBOOL yes = CK_TRUE, no = CK_FALSE;
    std::string serial = "\x02\x02\x12\x34", subject(8, '\x01'), value = "not parsed", id = "c1";
    std::vector<CK_ATTRIBUTE> attributes = {
        {CKA_CLASS, &certificateClass, sizeof certificateClass},
        {CKA_SERIAL_NUMBER, serial.data(), serial.size()},
        {CKA_TOKEN, &yes, 1},
        {CKA_SUBJECT, subject.data(), subject.size()},
        {CKA_CERTIFICATE_TYPE, &x509, sizeof x509},
        {CKA_VALUE, value.data(), value.size()},
        {CKA_ID, id.data(), id.size()},
    };
    CK_OBJECT_HANDLE certificate;
    {
        ScopedSession readOnly(library.functions(), 0, CKF_SERIAL_SESSION);
        EXPECT_EQ(library->C_CreateObject(readOnly.handle(), attributes.data(), attributes.size(),
                                          &certificate),
                  CKR_SESSION_READ_ONLY);
    }
    EXPECT_EQ(library->C_CreateObject(session.handle(), attributes.data(), 5, &certificate),
              CKR_TEMPLATE_INCOMPLETE);  // no CKA_VALUE
    ASSERT_EQ(library->C_CreateObject(session.handle(), attributes.data(), attributes.size(),
                                      &certificate),
              CKR_OK);

    // Two-call pattern and its errors, every entry answered.
    std::string small(2, '\0');
    CK_ATTRIBUTE read[] = {{CKA_VALUE, nullptr, 0},
                           {CKA_ID, small.data(), 1},
                           {CKA_MODULUS, nullptr, 0},
                           {CKA_PRIVATE, nullptr, 0}};
    EXPECT_EQ(library->C_GetAttributeValue(session.handle(), certificate, read, 4),
              CKR_BUFFER_TOO_SMALL);
    EXPECT_EQ(read[0].ulValueLen, value.size());
    EXPECT_EQ(read[1].ulValueLen, CK_UNAVAILABLE_INFORMATION);
    EXPECT_EQ(read[2].ulValueLen, CK_UNAVAILABLE_INFORMATION);
    EXPECT_EQ(read[3].ulValueLen, 1u);
    EXPECT_EQ(library->C_GetAttributeValue(session.handle(), certificate, read + 2, 1),
              CKR_ATTRIBUTE_TYPE_INVALID);
    EXPECT_EQ(library->C_GetAttributeValue(session.handle(), certificate, nullptr, 1),
              CKR_ARGUMENTS_BAD);
    EXPECT_EQ(library->C_GetAttributeValue(session.handle(), 0x7777, read, 1),
              CKR_OBJECT_HANDLE_INVALID);
    EXPECT_EQ(library->C_GetAttributeValue(0x7777, certificate, read, 1),
              CKR_SESSION_HANDLE_INVALID);

    // Token objects, and the identifier that ties a certificate to its key, change only
    // after a login: the user's, or the SO's for public objects.
    std::string otherId = "c2";
    CK_ATTRIBUTE reid{CKA_ID, otherId.data(), otherId.size()};
    ASSERT_EQ(library->C_Logout(session.handle()), CKR_OK);
    CK_OBJECT_HANDLE refused;
    EXPECT_EQ(
        library->C_CreateObject(session.handle(), attributes.data(), attributes.size(), &refused),
        CKR_USER_NOT_LOGGED_IN);
    EXPECT_EQ(library->C_SetAttributeValue(session.handle(), certificate, &reid, 1),
              CKR_USER_NOT_LOGGED_IN);
    EXPECT_EQ(library->C_DestroyObject(session.handle(), certificate), CKR_USER_NOT_LOGGED_IN);
    attributes[2].pValue = &no;  // a session object may be made, but not re-identified
    ASSERT_EQ(
        library->C_CreateObject(session.handle(), attributes.data(), attributes.size(), &refused),
        CKR_OK);
    EXPECT_EQ(library->C_SetAttributeValue(session.handle(), refused, &reid, 1),
              CKR_USER_NOT_LOGGED_IN);
    EXPECT_EQ(library->C_DestroyObject(session.handle(), refused), CKR_OK);
    ASSERT_EQ(session.login(kSoPin, CKU_SO), CKR_OK);
    EXPECT_EQ(library->C_SetAttributeValue(session.handle(), certificate, &reid, 1), CKR_OK);
    ASSERT_EQ(library->C_Logout(session.handle()), CKR_OK);
    ASSERT_EQ(session.login(), CKR_OK);

    std::string label = "renamed";
    CK_ATTRIBUTE rename{CKA_LABEL, label.data(), label.size()};
    EXPECT_EQ(library->C_SetAttributeValue(session.handle(), certificate, &rename, 1), CKR_OK);
    EXPECT_EQ(attributeValue(library.functions(), session.handle(), certificate, CKA_LABEL), label);
    CK_ATTRIBUTE retype{CKA_CLASS, &certificateClass, sizeof certificateClass};
    EXPECT_EQ(library->C_SetAttributeValue(session.handle(), certificate, &retype, 1),
              CKR_ATTRIBUTE_READ_ONLY);

    EXPECT_EQ(library->C_DestroyObject(session.handle(), certificate), CKR_OK);
    EXPECT_EQ(library->C_DestroyObject(session.handle(), certificate), CKR_OBJECT_HANDLE_INVALID);
    EXPECT_TRUE(findObjects(library.functions(), session.handle(), {attributes[0]}).empty());
}

TEST_F(TokenTest, SessionObjectsEndWithTheirSession) {
    initialize();
    ScopedSession keeper(library.functions(), 0, CKF_SERIAL_SESSION);
    {
        ScopedSession session(library.functions(), 0, CKF_SERIAL_SESSION);
        createData(session.handle(), "transient", false, false);
        EXPECT_EQ(countData(keeper.handle()), 1u);
    }
    EXPECT_EQ(countData(keeper.handle()), 0u);
}

TEST_F(TokenTest, ChangeByAnotherProcessIsSeenAndLeavesNoTemporaryFiles) {
    provisionToken(library.functions());
    initialize();
    ScopedSession session(library.functions(), 0);
    ASSERT_EQ(countData(session.handle()), 0u);
    ASSERT_EQ(
        inChildProcess([] {
            // The fork inherited the parent's library state: start it afresh.
            SoftTokenLibrary other;
            other->C_Finalize(nullptr);
            if (other->C_Initialize(nullptr) != CKR_OK) {
                return 2;
            }
            ScopedSession child(other.functions(), 0);
            if (child.login() != CKR_OK) {
                return 4;
            }
            CK_OBJECT_CLASS dataClass = CKO_DATA;
            CK_BBOOL yes = CK_TRUE;
            CK_ATTRIBUTE attributes[] = {{CKA_CLASS, &dataClass, sizeof dataClass},
                                         {CKA_TOKEN, &yes, 1}};
            CK_OBJECT_HANDLE object;
            return other->C_CreateObject(child.handle(), attributes, 2, &object) == CKR_OK ? 0 : 3;
        }),
        0);
    EXPECT_EQ(countData(session.handle()), 1u);
    for (const auto& entry : std::filesystem::directory_iterator(directory.path())) {
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

TEST_F(TokenTest, DamagedFileIsReportedNotTakenForABlankToken) {
    provisionToken(library.functions());
    initialize();
    // Anyone may initialise a blank token: a damaged file must not pass for one.
    const auto file = directory.path() / "token-0.json";
    std::ofstream(file, std::ios::trunc).close();
    CK_TOKEN_INFO info;
    EXPECT_EQ(library->C_GetTokenInfo(0, &info), CKR_DEVICE_ERROR);
    EXPECT_EQ(initToken(kSoPin, "taken over"), CKR_DEVICE_ERROR);
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
}

TEST_F(TokenTest, RandomArgumentsAndUnsupportedFunctions) {
    initialize();
    ScopedSession session(library.functions(), 0);
    std::string a(32, '\0');
    EXPECT_EQ(library->C_GenerateRandom(session.handle(), nullptr, 0), CKR_OK);
    EXPECT_EQ(library->C_GenerateRandom(session.handle(), nullptr, 4), CKR_ARGUMENTS_BAD);
    // Arguments are checked before capabilities.
    EXPECT_EQ(library->C_SeedRandom(session.handle(), nullptr, 1), CKR_ARGUMENTS_BAD);
    EXPECT_EQ(library->C_SeedRandom(session.handle(), (CK_BYTE_PTR)a.data(), a.size()),
              CKR_RANDOM_SEED_NOT_SUPPORTED);
    CK_MECHANISM mechanism{CKM_GOSTR3410, nullptr, 0};
    EXPECT_EQ(library->C_EncryptInit(session.handle(), &mechanism, 1), CKR_FUNCTION_NOT_SUPPORTED);
    EXPECT_EQ(library->C_DeriveKey(session.handle(), &mechanism, 1, nullptr, 0, nullptr),
              CKR_FUNCTION_NOT_SUPPORTED);
    CK_MECHANISM_INFO info;
    EXPECT_EQ(library->C_GetMechanismInfo(0, CKM_GOSTR3410_WITH_GOSTR3411_94, &info), CKR_OK);
    EXPECT_EQ(info.flags, static_cast<CK_FLAGS>(CKF_SIGN | CKF_VERIFY));
    EXPECT_EQ(library->C_GetMechanismInfo(0, CKM_SHA256, &info), CKR_MECHANISM_INVALID);
}

TEST_F(TokenTest, SearchNamingOneTypeTwiceMatchesNothing) {
    initialize();
    ScopedSession session(library.functions(), 0, CKF_SERIAL_SESSION);
    createData(session.handle(), "one", false, false);
    std::string one = "one";
    std::string two = "two";
    CK_ATTRIBUTE contradictory[] = {{CKA_LABEL, one.data(), one.size()},
                                    {CKA_LABEL, two.data(), two.size()}};
    ASSERT_EQ(library->C_FindObjectsInit(session.handle(), contradictory, 2), CKR_OK);
    CK_OBJECT_HANDLE found[4];
    CK_ULONG count = 99;
    EXPECT_EQ(library->C_FindObjects(session.handle(), found, 4, &count), CKR_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(library->C_FindObjectsFinal(session.handle()), CKR_OK);
    // Creating an object from such a template is still refused.
    CK_OBJECT_CLASS dataClass = CKO_DATA;
    CK_ATTRIBUTE create[] = {{CKA_CLASS, &dataClass, sizeof dataClass},
                             {CKA_LABEL, one.data(), one.size()},
                             {CKA_LABEL, two.data(), two.size()}};
    CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
    EXPECT_EQ(library->C_CreateObject(session.handle(), create, 3, &object),
              CKR_TEMPLATE_INCONSISTENT);
}

}  // namespace
}  // namespace softtoken
