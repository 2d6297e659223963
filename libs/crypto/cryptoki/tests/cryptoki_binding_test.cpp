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
namespace trivial = boost::log::trivial;

class Binding : public ::testing::Test {
protected:
    FakeLibrary library;
    FunctionListCryptoki cryptoki{library.functionList()};
};

TEST_F(Binding, BySessionOperationsPassTheSlotsCurrentSession) {
    CK_BYTE random[4] = {};
    cryptoki.generateRandom(5, random, sizeof(random));
    cryptoki.openSession(5, CKF_SERIAL_SESSION, nullptr, nullptr);
    cryptoki.generateRandom(5, random, sizeof(random));
    cryptoki.signInit(5, nullptr, 9);
    cryptoki.closeSession(5);
    EXPECT_THAT(library.calls,
                ElementsAre("C_GenerateRandom 0", "C_OpenSession 5", "C_GenerateRandom 101",
                            "C_SignInit 101", "C_CloseSession 101"));
}

TEST_F(Binding, LibraryResultsComeBackUnchanged) {
    library.failures["C_Initialize"] = CKR_CRYPTOKI_ALREADY_INITIALIZED;
    library.failures["C_DestroyObject"] = 0x80000005;
    EXPECT_EQ(cryptoki.initialize(), CKR_CRYPTOKI_ALREADY_INITIALIZED);
    EXPECT_EQ(cryptoki.destroyObject(1, 2), 0x80000005);
    EXPECT_EQ(cryptoki.finalize(), CKR_OK);
    EXPECT_THAT(library.calls, ElementsAre("C_Initialize 0", "C_DestroyObject 0", "C_Finalize 0"));
}

TEST_F(Binding, SlotListReplacesTheOutputOnlyWhenThereAreSlots) {
    std::vector<CK_SLOT_ID> slotIds{42};
    EXPECT_EQ(cryptoki.slotList(true, slotIds), CKR_OK);
    EXPECT_THAT(slotIds, ElementsAre(42u));
    EXPECT_THAT(library.calls, ElementsAre("C_GetSlotList 1"));

    library.slotIds = {1, 4};
    EXPECT_EQ(cryptoki.slotList(false, slotIds), CKR_OK);
    EXPECT_THAT(slotIds, ElementsAre(1u, 4u));

    library.failures["C_GetSlotList"] = CKR_DEVICE_ERROR;
    slotIds = {42};
    EXPECT_EQ(cryptoki.slotList(true, slotIds), CKR_DEVICE_ERROR);
    EXPECT_THAT(slotIds, ElementsAre(42u));

    // Lists longer than the buffer report the library's error.
    library.failures.clear();
    library.slotIds.assign(257, 1);
    EXPECT_EQ(cryptoki.slotList(true, slotIds), CKR_BUFFER_TOO_SMALL);
    EXPECT_THAT(slotIds, ElementsAre(42u));

    library.slotIds.assign(256, 1);
    EXPECT_EQ(cryptoki.slotList(true, slotIds), CKR_OK);
    EXPECT_EQ(slotIds.size(), 256u);
}

TEST_F(Binding, MechanismListReadsTheSlotsMechanisms) {
    std::vector<CK_MECHANISM_TYPE> mechanisms{7};
    EXPECT_EQ(cryptoki.mechanismList(2, mechanisms), CKR_OK);
    EXPECT_THAT(mechanisms, ElementsAre(7u));

    library.mechanisms = {CKM_GOSTR3410, CKM_GOSTR3411};
    EXPECT_EQ(cryptoki.mechanismList(2, mechanisms), CKR_OK);
    EXPECT_THAT(mechanisms, ElementsAre(CKM_GOSTR3410, CKM_GOSTR3411));
    EXPECT_THAT(library.calls, ElementsAre("C_GetMechanismList 2", "C_GetMechanismList 2"));
}

TEST(BindingLifetime, DestroyingWithOpenSessionsIsReportedNotRaised) {
    FakeLibrary library;
    for (const bool leaveOneOpen : {false, true}) {
        LogCapture log;
        {
            FunctionListCryptoki cryptoki(library.functionList());
            cryptoki.openSession(1, CKF_SERIAL_SESSION, nullptr, nullptr);
            cryptoki.openSession(2, CKF_SERIAL_SESSION, nullptr, nullptr);
            cryptoki.closeSession(2);
            if (!leaveOneOpen) {
                cryptoki.closeSession(1);
            }
        }
        if (leaveOneOpen) {
            EXPECT_THAT(log.lines(),
                        ElementsAre(LogCapture::Line{trivial::error,
                                                     "cryptoki: not all sessions are already "
                                                     "closed. All sessions must be closed"}));
        } else {
            EXPECT_TRUE(log.lines().empty());
        }
    }
}

TEST(BindingLibrary, UnloadableFileLeavesAnEmptyBindingALoadedOneItsFullPath) {
    FunctionListCryptoki missing("/nonexistent/voxa_pkcs11_main.so");
    EXPECT_EQ(missing.libraryPath(), "");
    EXPECT_EQ(missing.functions(), nullptr);

    // Any library will do; this one has no function list.
    FunctionListCryptoki loaded("libm.so.6");
    EXPECT_EQ(loaded.libraryPath().front(), '/');
    EXPECT_NE(loaded.libraryPath().find("libm.so.6"), std::string::npos);
    EXPECT_EQ(loaded.functions(), nullptr);
}

}  // namespace
