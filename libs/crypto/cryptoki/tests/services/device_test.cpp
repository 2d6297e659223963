#include "cryptoki/device.h"

#include <cstring>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <boost/exception/get_error_info.hpp>
#include <boost/optional/optional_io.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "catalogue/providers.h"
#include "cryptoki/provider.h"
#include "exception/cryptoki.h"
#include "fake_library.h"
#include "fake_token.h"
#include "function_list_cryptoki.h"
#include "log_capture.h"

namespace {

using kelvo::plugin::cryptoki::Device;
using kelvo::test::FakeLibrary;
using kelvo::test::FakeToken;
using kelvo::test::FunctionListCryptoki;
using kelvo::test::LogCapture;
using ::testing::ElementsAre;
namespace exception = kelvo::plugin::exception;
namespace trivial = boost::log::trivial;

template <std::size_t N>
void fill(unsigned char (&field)[N], const std::string& text) {
    std::memset(field, ' ', N);
    std::memcpy(field, text.data(), std::min(N, text.size()));
}

class DeviceRecord : public ::testing::Test {
protected:
    void SetUp() override {
        fill(library.tokenInfo.label, "My token");
        fill(library.tokenInfo.model, "ZOLVEXToken GOST");
        fill(library.tokenInfo.serialNumber, "0000001234");
        library.tokenInfo.hardwareVersion = {1, 5};
        library.tokenInfo.firmwareVersion = {10, 0};
    }

    FakeLibrary library;
    FakeToken token{boost::make_shared<FunctionListCryptoki>(library.functionList())};
};

TEST_F(DeviceRecord, FieldsComeFromTheTokenInformation) {
    LogCapture log;
    const Device device(token, 4);
    EXPECT_EQ(device.hardwareVersion, "1.5");
    EXPECT_EQ(device.firmwareVersion, "10.0");
    EXPECT_THAT(library.calls, ElementsAre("C_GetTokenInfo 4"));
    EXPECT_THAT(log.lines(), ElementsAre(LogCapture::Line{
                                 trivial::info,
                                 "cryptoki: create device:\nlabel: My token\nmodel: ZOLVEXToken "
                                 "GOST\nserial: 0000001234\nalias: test alias\nid: ZOLVEXToken "
                                 "GOST 0000001234\n"}));
}

TEST_F(DeviceRecord, OnlyTrailingBlanksAreCut) {
    fill(library.tokenInfo.label, "");
    EXPECT_EQ(Device(token, 1).label, "");

    fill(library.tokenInfo.label, " a  b ");
    EXPECT_EQ(Device(token, 1).label, " a  b");

    const std::string full = "abcdefghijklmnopqrstuvwxyz012345";
    fill(library.tokenInfo.label, full);
    EXPECT_EQ(Device(token, 1).label, full);
}

TEST_F(DeviceRecord, LibraryFailureRaisesFromTheConstructor) {
    library.failures["C_GetTokenInfo"] = CKR_DEVICE_REMOVED;
    try {
        Device device(token, 1);
        FAIL() << "no exception";
    } catch (const exception::CryptokiException& error) {
        EXPECT_EQ(error.code().value(), exception::CkrDeviceRemoved);
        EXPECT_EQ(*boost::get_error_info<boost::throw_function>(error), std::string("Device"));
    }
}

TEST(DeviceWithoutBinding, RaisesInsteadOfReading) {
    FakeToken token{nullptr};
    EXPECT_THROW(Device(token, 1), exception::CryptokiException);
}

TEST_F(DeviceRecord, MatchesAnyNameIgnoringCase) {
    fill(library.tokenInfo.label, "Office");
    const Device device(token, 1);
    EXPECT_TRUE(device.matches("zolvextoken gost 0000001234"));
    EXPECT_TRUE(device.matches("0000001234"));
    EXPECT_TRUE(device.matches("OFFICE"));
    EXPECT_TRUE(device.matches("ZOLVEXTOKEN GOST"));
    EXPECT_TRUE(device.matches("Test Alias"));
    EXPECT_FALSE(device.matches("ZOLVEXToken GOST 000000123"));
    EXPECT_FALSE(device.matches(""));
}

// The provider's display name: the catalogue's product, or the name the firmware version
// gives the model's newer generation.
TEST_F(DeviceRecord, DisplayNameFollowsTheFirmwareOfTheFamily) {
    const auto product = [](const std::string& name) {
        return kelvo::plugin::crypto::catalogue::findProvider(
                   std::wstring(name.begin(), name.end()))
            ->product;
    };
    const struct {
        const char* provider;
        const char* firmware;
        boost::optional<std::string> shown;
        bool warned;
    } rows[] = {
        {"Rutoken ECP", "3.1", std::string("Рутокен ЭЦП 3.0"), false},
        {"Rutoken ECP", "3.0", std::string("Рутокен ЭЦП 3.0"), false},
        {"Rutoken ECP", "2.6", product("Rutoken ECP"), false},
        {"Rutoken ECP", "", product("Rutoken ECP"), false},
        {"JaCarta GOST 2.0", "1.59", std::string("JaCarta-3"), false},
        {"JaCarta GOST 2.0", "1.60", std::string("JaCarta-3"), false},
        {"JaCarta GOST 2.0", "1.58", product("JaCarta GOST 2.0"), false},
        {"JaCarta GOST 2.0", "2.9", product("JaCarta GOST 2.0"), false},
        {"JaCarta GOST 2.0", "7", product("JaCarta GOST 2.0"), true},
        {"ZOLVEXToken GOST", "3.59", product("ZOLVEXToken GOST"), false},
        {"ZOLVEXToken GOST 0000001234", "3.59", boost::none, false},
    };
    for (const auto& row : rows) {
        auto device = boost::make_shared<Device>(token, 0);
        // The catalogue knows providers by the whole device id.
        device->id = row.provider;
        device->firmwareVersion = row.firmware;
        LogCapture log;
        EXPECT_EQ(kelvo::plugin::cryptoki::Provider(device).displayName(), row.shown)
            << row.firmware;
        EXPECT_EQ(log.contains("cryptoki: Jacarta SST: incorrect version: 7, no minor value"),
                  row.warned)
            << row.firmware;
    }
    auto device = boost::make_shared<Device>(token, 0);
    device->id = "JaCarta GOST 2.0";
    device->firmwareVersion = "1.x";
    EXPECT_THROW(kelvo::plugin::cryptoki::Provider(device).displayName(), std::invalid_argument);
}

}  // namespace
