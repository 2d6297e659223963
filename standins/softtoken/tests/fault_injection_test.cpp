// Fault injection: the rule syntax, and rules from the environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "fault_injector.h"
#include "softtoken_fixture.h"

namespace softtoken {
namespace {

TEST(FaultRules, ParsesCallNumbersWildcardsAndSeparators) {
    const auto rules =
        FaultInjector::parse("C_Login:2:0xA0, C_OpenSession:*:6;C_Sign:10:0x80000001");
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0].function, "C_Login");
    EXPECT_EQ(rules[0].call, 2u);
    EXPECT_EQ(rules[0].rv, CKR_PIN_INCORRECT);
    EXPECT_EQ(rules[1].call, 0u);  // every call
    EXPECT_EQ(rules[1].rv, CKR_FUNCTION_FAILED);
    EXPECT_EQ(rules[2].rv, 0x80000001u);
    EXPECT_TRUE(FaultInjector::parse(" ").empty());
    for (const char* bad : {"C_Login:2", "Login:1:5", "C_Login:0:5", "C_Login:x:5", "C_Login:1:-5",
                            "C_Login:1:5:6"}) {
        EXPECT_THROW(FaultInjector::parse(bad), std::invalid_argument) << bad;
    }
}

TEST(FaultInjection, EnvironmentRulesFailCallsWithoutEffect) {
    TemporaryTokenDirectory directory;
    setenv("ZOLVEX_SOFTTOKEN_FAULTS", "C_Login:2:0xA0,C_GenerateRandom:*:0x6", 1);
    SoftTokenLibrary library;
    provisionToken(library.functions());
    ASSERT_EQ(library->C_Initialize(nullptr), CKR_OK);
    unsetenv("ZOLVEX_SOFTTOKEN_FAULTS");
    ScopedSession session(library.functions(), 0);
    // Provisioning made the first call (SO login); this is the second.
    EXPECT_EQ(session.login(), CKR_PIN_INCORRECT);
    EXPECT_FALSE(tokenInfo(library.functions()).flags & CKF_USER_PIN_COUNT_LOW);
    EXPECT_EQ(session.login(), CKR_OK);
    CK_BYTE random[4];
    EXPECT_EQ(library->C_GenerateRandom(session.handle(), random, 4), CKR_FUNCTION_FAILED);
    EXPECT_EQ(library->C_GenerateRandom(session.handle(), random, 4), CKR_FUNCTION_FAILED);
}

TEST(FaultInjection, MalformedRulesFailInitialize) {
    TemporaryTokenDirectory directory;
    setenv("ZOLVEX_SOFTTOKEN_FAULTS", "C_Login:first:0xA0", 1);
    SoftTokenLibrary library;
    EXPECT_NE(library->C_Initialize(nullptr), CKR_OK);
    unsetenv("ZOLVEX_SOFTTOKEN_FAULTS");
}

}  // namespace
}  // namespace softtoken
