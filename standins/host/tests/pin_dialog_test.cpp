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

// The user types `typed`, one a prompt, for a token whose PIN is 1234.
struct Dialogue {
    Dialogue(int triesLeft, std::initializer_list<const char*> typed, int maxAttempts = 3)
        : handle("1234", triesLeft), pins(typed), dialog(pins, notices, maxAttempts) {}
    bool run(const std::string& offered = "") { return dialog.authenticate(handle, offered); }
    bool said(const std::string& text) const {
        return notices.str().find(text) != std::string::npos;
    }

    FakeHandle handle;
    ScriptedPins pins;
    std::ostringstream notices;
    PinDialog dialog;
};

}  // namespace

TEST(PinDialog, AsksAgainAfterAWrongPin) {
    Dialogue user(10, {"0000", "1234"});
    EXPECT_TRUE(user.run());
    EXPECT_EQ(user.pins.asked(), 2);
    EXPECT_EQ(user.handle.calls, 2);
    EXPECT_TRUE(user.said("Wrong PIN for ZOLVEXToken GOST • S/N 1234"));

    // A later dialog (the token was pulled out and wants its PIN again) starts over.
    FakeHandle again("0000", 10);
    EXPECT_TRUE(user.dialog.authenticate(again, ""));
    EXPECT_EQ(again.calls, 1);
}

TEST(PinDialog, TellsTheTokensRemainingTriesAndStopsWhenItLocks) {
    Dialogue twoLeft(2, {"0000", "1111", "1234"}, 5);
    EXPECT_FALSE(twoLeft.run());
    const std::string text = twoLeft.notices.str();
    EXPECT_LT(text.find("One attempt left"), text.find("is now locked"));
    EXPECT_FALSE(twoLeft.said("is locked"));  // said once is enough
    EXPECT_EQ(twoLeft.pins.asked(), 2);       // the right PIN is never asked for once locked

    Dialogue finalTry(1, {"0000"});
    EXPECT_FALSE(finalTry.run());
    EXPECT_EQ(finalTry.notices.str().find("Final try: a wrong PIN locks"),
              0u);  // before the prompt

    Dialogue locked(0, {"1234"});
    EXPECT_FALSE(locked.run());
    EXPECT_EQ(locked.pins.asked(), 0);
    EXPECT_EQ(locked.handle.calls, 0);
    EXPECT_TRUE(locked.said("is locked"));
}

TEST(PinDialog, OfferedPinIsTriedOnceWithoutAsking) {
    Dialogue user(10, {"1234"});
    EXPECT_FALSE(user.run("9999"));
    EXPECT_EQ(user.handle.calls, 1);
    EXPECT_EQ(user.pins.asked(), 0);
    EXPECT_TRUE(user.run("1234"));
}

TEST(PinDialog, GivesUpWhenCancelledOrOutOfAttempts) {
    Dialogue cancelled(10, {});
    EXPECT_FALSE(cancelled.run());
    EXPECT_EQ(cancelled.handle.calls, 0);
    EXPECT_EQ(cancelled.notices.str(), cancelled.pins.giveUpNotice() + "\n");

    Dialogue wrong(10, {"1", "2", "3", "1234"});
    EXPECT_FALSE(wrong.run());
    EXPECT_EQ(wrong.handle.calls, 3);
}

TEST(PinDialog, KeyAuthenticationLeavesTheRetriesToTheHandleCallback) {
    Dialogue user(10, {"0000", "1234"});
    FakeKey key(user.dialog, user.handle);
    EXPECT_TRUE(user.dialog.authenticate(key));
    EXPECT_EQ(key.pins, std::vector<std::string>{""});  // the module asks the callback
    EXPECT_TRUE(user.dialog.authenticate(key));         // already authenticated: nothing asked
    EXPECT_EQ(user.pins.asked(), 2);
    EXPECT_EQ(user.handle.calls, 2);
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
