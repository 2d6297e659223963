#include <sstream>

#include <boost/smart_ptr/make_shared.hpp>

#include <gtest/gtest.h>

#include "crypto/iauth_handle.h"
#include "crypto/icertificate.h"
#include "crypto/iprivate_key.h"
#include "pin_dialog.h"
#include "terminal_ui_service.h"

using namespace kelvo::host::app;
using kelvo::plugin::crypto::IAuthHandle;

namespace {

// A token PIN with a retry counter, as the token reports it through its auth handle.
class FakeHandle : public IAuthHandle {
public:
    FakeHandle(std::string pin, int triesLeft) : pin_(std::move(pin)), triesLeft_(triesLeft) {}

    bool authenticate(const std::string& pin) override {
        ++calls;
        if (isLocked()) {
            return false;
        }
        if (pin == pin_) {
            ok_ = true;
        } else {
            --triesLeft_;
        }
        return ok_;
    }
    bool failed() const override { return !ok_; }
    std::uint32_t states() const override {
        return (ok_ ? 0 : std::uint32_t{AttemptFailed}) |
               (triesLeft_ == 1 ? std::uint32_t{FinalTry} : 0) |
               (triesLeft_ <= 0 ? std::uint32_t{Locked} : 0);
    }
    const std::wstring& title() const override { return title_; }
    bool rememberPin() const override { return false; }
    bool isLocked() const override { return triesLeft_ <= 0; }
    bool canRememberPin() const override { return false; }
    bool isTokenPin() const override { return true; }

    int calls = 0;

private:
    std::string pin_;
    int triesLeft_;
    bool ok_ = false;
    std::wstring title_ = L"ZOLVEXToken GOST • S/N 1234";
};

// A key whose authentication goes through a handle, as the module's key does.
class FakeKey : public kelvo::plugin::crypto::IPrivateKey {
public:
    FakeKey(PinDialog& dialog, FakeHandle& handle) : dialog_(dialog), handle_(handle) {}
    boost::shared_ptr<kelvo::plugin::crypto::ICertificate> certificate() const override {
        return {};
    }
    boost::shared_ptr<kelvo::plugin::crypto::IProvider> provider() override { return {}; }
    bool authenticate(const std::string& pin) override {
        pins.push_back(pin);
        authenticated_ = dialog_.authenticate(handle_, pin);
        return authenticated_;
    }
    EVP_PKEY* context() const override { return nullptr; }
    bool isAuthenticated() const override { return authenticated_; }
    void release() override {}
    bool isTokenKey() const override { return true; }
    const boost::optional<std::string>& cachedPin() const override { return none_; }

    std::vector<std::string> pins;

private:
    PinDialog& dialog_;
    FakeHandle& handle_;
    bool authenticated_ = false;
    boost::optional<std::string> none_;
};

}  // namespace

TEST(PinDialog, AsksAgainAfterAWrongPin) {
    FakeHandle handle("1234", 10);
    ScriptedPins pins({"0000", "1234"});
    std::ostringstream notices;
    PinDialog dialog(pins, notices);
    EXPECT_TRUE(dialog.authenticate(handle, ""));
    EXPECT_EQ(pins.asked(), 2);
    EXPECT_EQ(handle.calls, 2);
    EXPECT_NE(notices.str().find("Wrong PIN for ZOLVEXToken GOST • S/N 1234"), std::string::npos);

    // A later dialog (the token was pulled out and wants its PIN again) starts over.
    FakeHandle again("0000", 10);
    EXPECT_TRUE(dialog.authenticate(again, ""));
    EXPECT_EQ(again.calls, 1);
}

TEST(PinDialog, TellsTheTokensRemainingTriesAndStopsWhenItLocks) {
    {
        FakeHandle handle("1234", 2);
        ScriptedPins pins({"0000", "1111", "1234"});
        std::ostringstream notices;
        PinDialog dialog(pins, notices, 5);
        EXPECT_FALSE(dialog.authenticate(handle, ""));
        const std::string text = notices.str();
        EXPECT_LT(text.find("One attempt left"), text.find("is now locked"));
        EXPECT_EQ(text.find("is locked"), std::string::npos);  // said once is enough
        EXPECT_EQ(pins.asked(), 2);  // the right PIN is never asked for once locked
    }
    {
        FakeHandle handle("1234", 1);
        ScriptedPins pins({"0000"});
        std::ostringstream notices;
        PinDialog dialog(pins, notices);
        EXPECT_FALSE(dialog.authenticate(handle, ""));
        EXPECT_EQ(notices.str().find("Final try: a wrong PIN locks"), 0u);  // before the prompt
    }
}

TEST(PinDialog, LockedPinIsNeitherAskedNorTried) {
    FakeHandle handle("1234", 0);
    ScriptedPins pins({"1234"});
    std::ostringstream notices;
    PinDialog dialog(pins, notices);
    EXPECT_FALSE(dialog.authenticate(handle, ""));
    EXPECT_EQ(pins.asked(), 0);
    EXPECT_EQ(handle.calls, 0);
    EXPECT_NE(notices.str().find("is locked"), std::string::npos);
}

TEST(PinDialog, OfferedPinIsTriedOnceWithoutAsking) {
    FakeHandle handle("1234", 10);
    ScriptedPins pins({"1234"});
    std::ostringstream notices;
    PinDialog dialog(pins, notices);
    EXPECT_FALSE(dialog.authenticate(handle, "9999"));
    EXPECT_EQ(handle.calls, 1);
    EXPECT_EQ(pins.asked(), 0);
    EXPECT_TRUE(dialog.authenticate(handle, "1234"));
}

TEST(PinDialog, GivesUpWhenCancelledOrOutOfAttempts) {
    {
        FakeHandle handle("1234", 10);
        ScriptedPins pins;
        std::ostringstream notices;
        PinDialog dialog(pins, notices);
        EXPECT_FALSE(dialog.authenticate(handle, ""));
        EXPECT_EQ(handle.calls, 0);
        EXPECT_EQ(notices.str(), pins.giveUpNotice() + "\n");
    }
    {
        FakeHandle handle("1234", 10);
        ScriptedPins pins({"1", "2", "3", "1234"});
        std::ostringstream notices;
        PinDialog dialog(pins, notices, 3);
        EXPECT_FALSE(dialog.authenticate(handle, ""));
        EXPECT_EQ(handle.calls, 3);
    }
}

TEST(PinDialog, KeyAuthenticationLeavesTheRetriesToTheHandleCallback) {
    FakeHandle handle("1234", 10);
    ScriptedPins pins({"0000", "1234"});
    std::ostringstream notices;
    PinDialog dialog(pins, notices);
    FakeKey key(dialog, handle);
    EXPECT_TRUE(dialog.authenticate(key));
    EXPECT_EQ(key.pins, std::vector<std::string>{""});  // the module asks the callback
    EXPECT_TRUE(dialog.authenticate(key));              // already authenticated: nothing asked
    EXPECT_EQ(pins.asked(), 2);
    EXPECT_EQ(handle.calls, 2);
}

TEST(TerminalUiService, CallbackRunsTheDialogForTheHandle) {
    auto handle = boost::make_shared<FakeHandle>("1234", 10);
    ScriptedPins pins({"1234"});
    std::ostringstream notices;
    TerminalUiService service(pins, notices);
    const auto callback = service.authCallback();
    EXPECT_FALSE(callback(nullptr, ""));
    EXPECT_TRUE(callback(handle, ""));
    EXPECT_FALSE(service.authenticateKey(nullptr, ""));
}
