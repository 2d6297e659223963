#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "script_pin.h"
#include "secret_string.h"

using namespace kelvo::host::app;

TEST(SecretString, NeverReallocatesSoNoCopyIsLeftBehind) {
    SecretString pin;
    const char* buffer = pin.str().data();
    for (std::size_t i = 0; i < SecretString::kCapacity; ++i) {
        ASSERT_TRUE(pin.push_back('7'));
    }
    EXPECT_FALSE(pin.push_back('7'));  // full: refused rather than grown
    EXPECT_EQ(pin.str().data(), buffer);

    SecretString moved(std::move(pin));
    EXPECT_EQ(moved.str().data(), buffer);  // the buffer itself moves, not its characters
    EXPECT_EQ(moved.size(), SecretString::kCapacity);
    EXPECT_TRUE(pin.empty());
    EXPECT_THROW(SecretString(std::string(SecretString::kCapacity + 1, '1').c_str()),
                 std::length_error);
}

TEST(ScriptPin, PinFileGivesItsFirstLineOnlyWhenPrivate) {
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/pin";
    std::ofstream(path) << "12345678\r\nsecond line\n";
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(readPinFile(path).str(), "12345678");

    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    try {
        readPinFile(path);
        ADD_FAILURE() << "a PIN file readable by others was read";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(e.what(),
                  "PIN file " + path + " is open to group or others (mode 0604); chmod 600 it");
    }

    std::ofstream(path) << "\nsecond line\n";
    ASSERT_EQ(::chmod(path.c_str(), 0400), 0);
    EXPECT_THROW(readPinFile(path), std::runtime_error);
}

TEST(ScriptPin, EnvironmentPinIsTakenOnceAndItsTextWiped) {
    ASSERT_EQ(::setenv("KELVO_TEST_PIN", "87654321", 1), 0);
    char* text = std::getenv("KELVO_TEST_PIN");
    const auto pin = takePinFromEnvironment("KELVO_TEST_PIN");
    ASSERT_TRUE(pin);
    EXPECT_EQ(pin->str(), "87654321");
    EXPECT_EQ(std::getenv("KELVO_TEST_PIN"), nullptr);
    // The C library keeps the text of a removed variable; only its value was overwritten.
    EXPECT_EQ(std::string(text), "");
    EXPECT_FALSE(takePinFromEnvironment("KELVO_TEST_PIN"));
}
