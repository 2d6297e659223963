// Every host-facing token operation, run while each PKCS#11 call it makes fails in turn, and
// with the token pulled out before each of those calls.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <boost/algorithm/hex.hpp>
#include <boost/smart_ptr/make_shared.hpp>
#include <boost/smart_ptr/weak_ptr.hpp>

#include "crypto/iauth_handle.h"
#include "crypto/icertificate.h"
#include "crypto/ihash.h"
#include "crypto/iprivate_key.h"
#include "crypto/iprovider.h"
#include "crypto/ipublic_key.h"
#include "cryptoki/csr_params.h"
#include "cryptoki/provider.h"
#include "cryptoki/published.h"
#include "exception/crypto.h"
#include "exception/cryptoki.h"
#include "exception/ssl.h"
#include "log_capture.h"
#include "recording_library.h"
#include "token_fixture.h"

using namespace kelvo;
using namespace kelvo::plugin;

namespace kelvo::test {
namespace {

constexpr CK_SLOT_ID kSlot = 0;
constexpr const char* kFaults = "ZOLVEX_SOFTTOKEN_FAULTS";
constexpr const char* kDeadSessionAnswer = "ZOLVEX_SOFTTOKEN_DEAD_SESSION";
constexpr const char* kHashOid = "1.2.643.7.1.1.2.2";

// The six failures library start-up and slot listings let pass.
const std::vector<CK_RV> kTolerated{0x3, 0x5, 0x6, 0xB3, 0xE0, 0x191};
// Failures that raise, with the messages of their codes.
const std::map<CK_RV, std::string> kRaised{{0xA0, "Неверный PIN-код"},
                                           {0x32, "Устройство отключено"},
                                           {0xB0, "Сеанс закрыт"},
                                           {0x150, "Слишком маленький буфер"},
                                           {0x80000005, "unknown error"}};
// Answers saying the session or its token is gone: they raise on a session, tolerated or not,
// and the slot's record starts over.
const std::vector<CK_RV> kDeadSession{0xB3, 0xB0, 0x32, 0xE0};

bool contains(const std::vector<CK_RV>& values, CK_RV rv) {
    return std::find(values.begin(), values.end(), rv) != values.end();
}

// Start-up and slot listing name no slot: the whole tolerated set passes there.
bool isStartUpOrListing(const std::string& function) {
    return function == "C_Initialize" || function == "C_GetSlotList";
}

std::string hexRv(CK_RV rv) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%lX", rv);
    return text;
}

// What an operation gave: a summary of its value, or the exception it raised.
struct Outcome {
    bool threw = false;
    std::string value;  // the summary, or "<category> <code>"
    std::string message;

    bool operator==(const Outcome& other) const {
        return threw == other.threw && value == other.value;
    }
    bool operator!=(const Outcome& other) const { return !(*this == other); }
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
    return out << (outcome.threw ? "throws " : "") << outcome.value;
}

Outcome valueOf(std::string value) {
    return {false, std::move(value), {}};
}

Outcome thrown(const std::string& category, int code) {
    return {true, category + " " + std::to_string(code), {}};
}

Outcome outcomeOf(const std::function<std::string()>& operation) {
    try {
        return valueOf(operation());
    } catch (const exception::Exception& e) {
        Outcome outcome = thrown(e.code().category().name(), e.code().value());
        outcome.message = e.message();
        return outcome;
    } catch (const std::exception& e) {
        return {true, std::string("std ") + e.what(), {}};
    }
}

// How the module handles the failure of one call.
enum class Handling {
    Raise,          // tolerated values pass; others raise CryptokiException with their code
    LoginFailed,    // the login step takes every answer but success as a failed login
    Ignored,        // the answer is not looked at: the operation succeeds
    Absent,         // a quiet read: the object is skipped, so nothing is found
    CleanOrAbsent,  // a quiet read whose loss the search may make up for
    Listing,        // devices: logged, no devices
    Output,         // a digest or signature: every failure raises with its code
    Recheck,        // the cache check: a library dropped there is created anew for the read
    Probe,          // asking whether a held session lives: a dead answer starts it over
    Refused,        // a key engine call: the engine refuses the key pair on any failure
    EngineIgnored,  // a key engine read it can do without
    RequestFails,   // the engine cannot sign the request: the request builder raises
};

// The key engine talks to the token directly; the module's binding never sees its answers.
bool throughEngine(Handling handling) {
    return handling == Handling::Refused || handling == Handling::EngineIgnored ||
           handling == Handling::RequestFails;
}

// Calls first..last (1-based, within the operation) of a function; 0..0 for every call.
struct Site {
    std::string function;
    int first;
    int last;
    Handling handling;
};

// The token object of the module, bound through the recording list.
class SweepToken : public TestToken {
public:
    using TestToken::TestToken;
    boost::shared_ptr<plugin::cryptoki::ICryptoki> createCryptoki() override {
        ++created;
        auto library = boost::make_shared<RecordedCryptoki>();
        binding = library;
        return library;
    }
    boost::weak_ptr<plugin::cryptoki::ICryptoki> binding;
};

// What the token keeps after an operation by the rules.
enum class Keeps {
    Nothing,
    HeldLogin,  // the test holds the slot's session and login around the operation
    Key,        // the private key keeps its session and login until release
    Slot,       // key generation leaves the slot's session and login open
    Failed,     // release: a failed release leaves the key's session and login
};

class FaultSweep;

struct Operation {
    std::string name;
    Keeps keeps = Keeps::Nothing;
    std::string absent;   // the result when the library reports itself absent
    std::string refused;  // the result when the key engine refuses the key pair
    std::vector<Site> sites;
    std::function<void(FaultSweep&)> prepare;
    std::function<std::string(FaultSweep&)> run;
};

struct Point {
    std::string function;
    int occurrence;
};

class FaultSweep : public TokenServicesTest {
public:
    void SetUp() override;
    void TearDown() override;

    SweepToken& token() { return static_cast<SweepToken&>(*token_); }
    void hold() { holdLogin(); }
    void newToken() { token_ = std::make_unique<SweepToken>(&session_); }
    // Objects that reach the token through their device go before it.
    void dropToken() {
        onToken_.reset();
        device_.reset();
        token_.reset();
    }
    boost::shared_ptr<plugin::cryptoki::ICryptoki> binding() { return token().binding.lock(); }
    void restoreToken() const;
    CK_TOKEN_INFO freshTokenInfo();
    CK_STATE sessionState(CK_SESSION_HANDLE session);

    // Runs every case of the operation and returns how many ran.
    int sweep(const Operation& operation);

    boost::shared_ptr<plugin::cryptoki::Device> device_;
    boost::shared_ptr<crypto::ICertificate> stored_;  // on the token, with its key pair
    boost::shared_ptr<crypto::ICertificate> fresh_;   // for the same key, not on the token
    boost::shared_ptr<crypto::ICertificate> onToken_;
    std::string storedPublicValue_;

protected:
    // The calls to fail, from how often the clean run made each.
    std::vector<Point> faultPoints(const std::map<std::string, int>& counts) const;
    void prepareCase(const Operation& operation);
    void releaseKept(const Operation& operation);
    void expectClean(const std::string& context);
    Handling handlingOf(const Operation& operation, const Point& point) const;
    static Outcome expected(const std::string& text);
    // `forgotten`: sessions the library still has after calling them dead.
    void expectHeld(const std::string& context, CK_ULONG forgotten = 0);
    void expectAfter(const Operation& operation, const Point& point, CK_RV rv,
                     const Outcome& outcome, const Outcome& clean, bool replaced,
                     const std::string& context);
    // Whether the failure tells the module that the slot's session died.
    bool sessionDies(const Operation& operation, const Point& point, CK_RV rv) const;
    // Runs the operation with the token pulled out just before the given call; dead sessions
    // answer `answer` while it is out.
    void pullOutCase(const Operation& operation, const Point& point, CK_RV answer,
                     const Outcome& clean);
    // The same module object still does the operation, and leaves nothing if `leavesNothing`.
    void expectNextRun(const Operation& operation, const Outcome& clean, const std::string& context,
                       bool leavesNothing);
    void checkOutcome(const Operation& operation, const Point& point, CK_RV rv,
                      const Outcome& outcome, const Outcome& clean, const LogCapture& log,
                      const std::string& context);

    std::string snapshot_;
    UserPinHost hostUi_;
};

std::string tokenFile(const softtoken::TemporaryTokenDirectory& directory) {
    return (directory.path() / ("token-" + std::to_string(kSlot) + ".json")).string();
}

void FaultSweep::SetUp() {
    directory_.writeConfig(
        "[slot.0]\nmodel = ZOLVEXToken GOST\nserial = 0000001234\n\n"
        "[slot.1]\nmodel = Other Token\nserial = X-77\n");
    softtoken::provisionToken(RecordingLibrary::instance().functions(), kSlot);
    plugin::cryptoki::published() = plugin::cryptoki::Published{};
    plugin::cryptoki::published().deviceTitleFormat = L"%1% S/N %2%";
    // The host's PIN dialog, answered with the user PIN.
    plugin::cryptoki::published().authCallback = [](const auto& handle, const std::string&) {
        return handle->authenticate(softtoken::kUserPin);
    };
    plugin::cryptoki::published().uiService = &hostUi_;

    newToken();
    storedPublicValue_ = generateKeyPair("signer");
    stored_ = certificateFor(storedPublicValue_, "0A0B");
    fresh_ = certificateFor(storedPublicValue_, "0C0D");
    ASSERT_TRUE(token_->addCertificate(device(), stored_, "signer", 6, softtoken::kUserPin));
    dropToken();
    std::ifstream in(tokenFile(directory_), std::ios::binary);
    snapshot_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    ASSERT_FALSE(snapshot_.empty());
}

void FaultSweep::TearDown() {
    ::unsetenv(kFaults);
    dropToken();
    TokenServicesTest::TearDown();
}

void FaultSweep::restoreToken() const {
    const std::string file = tokenFile(directory_);
    {
        std::ofstream out(file + ".sweep", std::ios::binary | std::ios::trunc);
        out << snapshot_;
    }
    std::rename((file + ".sweep").c_str(), file.c_str());
}

CK_TOKEN_INFO FaultSweep::freshTokenInfo() {
    CK_FUNCTION_LIST* functions = RecordingLibrary::instance().functions();
    // Also drops the fault rule: the rules are read at every C_Initialize.
    functions->C_Initialize(nullptr);
    return softtoken::tokenInfo(functions, kSlot);
}

CK_STATE FaultSweep::sessionState(CK_SESSION_HANDLE session) {
    CK_SESSION_INFO info{};
    RecordingLibrary::instance().functions()->C_GetSessionInfo(session, &info);
    return info.state;
}

std::vector<Point> FaultSweep::faultPoints(const std::map<std::string, int>& counts) const {
    // Every call; a function called more than 20 times in one operation only at its first
    // two and last two calls.
    std::vector<Point> points;
    for (const auto& [function, count] : counts) {
        for (int occurrence = 1; occurrence <= count; ++occurrence) {
            if (count <= 20 || occurrence <= 2 || occurrence > count - 2) {
                points.push_back({function, occurrence});
            }
        }
    }
    return points;
}

void FaultSweep::prepareCase(const Operation& operation) {
    dropToken();
    restoreToken();
    newToken();
    device_ = device();
    if (operation.prepare) {
        operation.prepare(*this);
    }
}

void FaultSweep::releaseKept(const Operation& operation) {
    switch (operation.keeps) {
        case Keeps::Key:
        case Keeps::Failed:
            if (onToken_) {
                onToken_->privateKey()->release();
            }
            break;
        case Keeps::HeldLogin:
        case Keeps::Slot:
            if (const auto library = binding()) {
                library->releaseSlot(kSlot);
            }
            break;
        case Keeps::Nothing:
            break;
    }
    if (onToken_) {
        // Signing through the host leaves the login with the signer's key.
        onToken_->privateKey()->release();
    }
}

void FaultSweep::expectClean(const std::string& context) {
    EXPECT_EQ(freshTokenInfo().ulSessionCount, 0u) << context;
    if (const auto library = binding()) {
        EXPECT_FALSE(library->isLoggedIn(kSlot)) << context;
        EXPECT_EQ(library->sessionHandle(kSlot), 0u) << context;
        EXPECT_FALSE(library->isLocked(kSlot)) << context;
    }
}

Handling FaultSweep::handlingOf(const Operation& operation, const Point& point) const {
    for (const Site& site : operation.sites) {
        if (site.function == point.function &&
            (site.first == 0 ||
             (site.first <= point.occurrence && point.occurrence <= site.last))) {
            return site.handling;
        }
    }
    if (point.function == "C_Login") {
        return Handling::LoginFailed;
    }
    if (point.function == "C_GetTokenInfo" && operation.name != "devices") {
        // Outside the listing, token information is only read by the login step.
        return Handling::LoginFailed;
    }
    if (point.function == "C_CloseSession" || point.function == "C_Logout") {
        return Handling::Ignored;
    }
    if (point.function == "C_GetSessionInfo") {
        return Handling::Probe;
    }
    if (point.function == "C_DigestFinal" || point.function == "C_SignFinal") {
        return Handling::Output;
    }
    return Handling::Raise;
}

bool FaultSweep::sessionDies(const Operation& operation, const Point& point, CK_RV rv) const {
    const Handling handling = handlingOf(operation, point);
    return contains(kDeadSession, rv) && !isStartUpOrListing(point.function) &&
           handling != Handling::Listing && !throughEngine(handling);
}

Outcome FaultSweep::expected(const std::string& text) {
    const auto space = text.find(' ');
    if (text.rfind("Crypto ", 0) == 0 || text.rfind("Cryptoki ", 0) == 0) {
        return thrown(text.substr(0, space), std::stoi(text.substr(space + 1)));
    }
    return valueOf(text);
}

void FaultSweep::checkOutcome(const Operation& operation, const Point& point, CK_RV rv,
                              const Outcome& outcome, const Outcome& clean, const LogCapture& log,
                              const std::string& context) {
    const Outcome absent = expected(operation.absent);
    const Outcome loginFailed = thrown("Crypto", crypto::exception::TokensLoginFailed);
    const Outcome raised = thrown("Cryptoki", exception::toErrorCode(rv));
    // Handlings that do not depend on the error rule: the answer is taken as success or
    // failure as a whole, or not looked at.
    switch (handlingOf(operation, point)) {
        case Handling::LoginFailed:
            EXPECT_EQ(outcome, loginFailed) << context;
            return;
        case Handling::Ignored:
        case Handling::Probe:
        case Handling::EngineIgnored:
            EXPECT_EQ(outcome, clean) << context;
            return;
        case Handling::Refused:
            EXPECT_EQ(outcome.value.rfind(operation.refused, 0), 0u) << context << ": " << outcome;
            return;
        case Handling::RequestFails:
            EXPECT_EQ(outcome.value.rfind("Ssl ", 0), 0u) << context << ": " << outcome;
            return;
        case Handling::Output:
            // Never an empty or half-made digest or signature as a result.
            EXPECT_EQ(outcome, raised) << context;
            return;
        case Handling::Recheck:
            EXPECT_EQ(outcome, contains(kTolerated, rv) ? clean : raised) << context;
            return;
        default:
            break;
    }
    if (sessionDies(operation, point, rv)) {
        // Also where a quiet read would skip the object: the session is gone, not the value.
        EXPECT_EQ(outcome, raised) << context;
        return;
    }
    if (contains(kTolerated, rv)) {
        if (point.function == "C_Initialize") {
            const bool dropped =
                rv == CKR_GENERAL_ERROR || rv == CKR_FUNCTION_FAILED || rv == CKR_TOKEN_NOT_PRESENT;
            if (!dropped) {
                EXPECT_EQ(outcome, clean) << context;
            } else if (point.occurrence == 1) {
                EXPECT_EQ(outcome, absent) << context;
            }
        }
        // Whatever follows, a tolerated value is never raised itself. What follows may be a
        // session that was never opened, which raises on its first use.
        EXPECT_NE(outcome, raised) << context;
        if (operation.name == "devices") {
            EXPECT_TRUE(outcome == clean || outcome == absent) << context << ": " << outcome;
        }
        return;
    }
    switch (handlingOf(operation, point)) {
        case Handling::Absent:
            EXPECT_EQ(outcome, absent) << context;
            break;
        case Handling::CleanOrAbsent:
            EXPECT_TRUE(outcome == clean || outcome == absent) << context << ": " << outcome;
            break;
        case Handling::Listing: {
            EXPECT_EQ(outcome, absent) << context;
            // The listing logs what it caught, code and category first.
            const std::string logged = std::to_string(exception::toErrorCode(rv)) + " Cryptoki";
            const auto lines = log.lines();
            EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const LogCapture::Line& line) {
                return line.severity == boost::log::trivial::error &&
                       line.text.find(logged) != std::string::npos;
            })) << context;
            break;
        }
        default: {
            EXPECT_EQ(outcome, raised) << context;
            EXPECT_EQ(outcome.message, kRaised.at(rv)) << context;
            break;
        }
    }
}

void FaultSweep::expectHeld(const std::string& context, CK_ULONG forgotten) {
    EXPECT_EQ(freshTokenInfo().ulSessionCount, 1u + forgotten) << context;
    const auto library = binding();
    ASSERT_TRUE(library) << context;
    EXPECT_TRUE(library->isLoggedIn(kSlot)) << context;
    EXPECT_EQ(sessionState(library->sessionHandle(kSlot)), CKS_RW_USER_FUNCTIONS) << context;
}

void FaultSweep::expectAfter(const Operation& operation, const Point& point, CK_RV rv,
                             const Outcome& outcome, const Outcome& clean, bool replaced,
                             const std::string& context) {
    const auto library = binding();
    if (replaced) {
        // The dropped binding finalized the library when it went: every session ended.
        EXPECT_EQ(freshTokenInfo().ulSessionCount, 0u) << context;
        return;
    }
    const bool succeeded = outcome == clean;
    const bool keyHolds = operation.keeps == Keeps::Key && succeeded;
    const bool died = sessionDies(operation, point, rv);
    if (point.function == "C_CloseSession" && !keyHolds) {
        // A session that did not close stays with the slot's record for the next opening;
        // one the library calls dead is forgotten (the injected answer left it open there).
        EXPECT_EQ(freshTokenInfo().ulSessionCount, 1u) << context;
        ASSERT_TRUE(library) << context;
        EXPECT_EQ(library->sessionHandle(kSlot) == 0u, died) << context;
        EXPECT_FALSE(library->isLoggedIn(kSlot)) << context;
        return;
    }
    if (point.function == "C_Logout" && !died) {
        // A logout that failed: the session closed all the same and took the login with it,
        // so the next operation logs in anew.
        EXPECT_EQ(freshTokenInfo().ulSessionCount, 0u) << context;
        ASSERT_TRUE(library) << context;
        EXPECT_FALSE(library->isLoggedIn(kSlot)) << context;
        return;
    }
    if (handlingOf(operation, point) == Handling::Probe && died) {
        // The held session was taken for dead and replaced: nothing of it is left behind.
        EXPECT_LE(freshTokenInfo().ulSessionCount, 1u) << context;
        return;
    }
    switch (operation.keeps) {
        case Keeps::HeldLogin:
            // A login held around the operation dies with the session.
            if (died) {
                expectClean(context);
            } else {
                expectHeld(context);
            }
            break;
        case Keeps::Key:
        case Keeps::Slot:
            if (succeeded) {
                // A close answered as dead: the injected answer left that session open.
                expectHeld(context, point.function == "C_CloseSession" && died ? 1 : 0);
            }
            break;
        case Keeps::Failed:
            if (succeeded) {
                expectClean(context);
            } else {
                expectHeld(context);
            }
            break;
        case Keeps::Nothing:
            expectClean(context);
            break;
    }
}

int FaultSweep::sweep(const Operation& operation) {
    RecordingLibrary& library = RecordingLibrary::instance();

    // The clean run gives the result and the list of calls to fail.
    LogCapture quiet;
    prepareCase(operation);
    library.startRecording();
    const Outcome clean = outcomeOf([&] { return operation.run(*this); });
    const auto calls = library.stopRecording();
    EXPECT_FALSE(clean.threw) << operation.name << ": " << clean;
    releaseKept(operation);
    expectClean(operation.name + " clean run");
    dropToken();

    std::map<std::string, int> counts;
    for (const auto& call : calls) {
        ++counts[call.function];
    }
    std::string list;
    for (const auto& [function, count] : counts) {
        list += " " + function + "x" + std::to_string(count);
    }
    std::printf("fault sweep: %s calls:%s\n", operation.name.c_str(), list.c_str());

    int cases = 0;
    for (const Point& point : faultPoints(counts)) {
        for (const CK_RV answer : {CKR_DEVICE_REMOVED, CKR_SESSION_HANDLE_INVALID}) {
            ++cases;
            pullOutCase(operation, point, answer, clean);
        }
        std::vector<CK_RV> values = kTolerated;
        for (const auto& [rv, message] : kRaised) {
            values.push_back(rv);
        }
        for (const CK_RV rv : values) {
            const std::string context = operation.name + ": " + point.function + " #" +
                                        std::to_string(point.occurrence) + " -> " + hexRv(rv);
            SCOPED_TRACE(context);
            ++cases;
            LogCapture log;
            prepareCase(operation);
            const int bindings = token().created;
            const unsigned long call = library.calls(point.function) + point.occurrence;
            const std::string rule = point.function + ":" + std::to_string(call) + ":" + hexRv(rv);
            ::setenv(kFaults, rule.c_str(), 1);
            library.watch(point.function, call);
            const Outcome outcome = outcomeOf([&] { return operation.run(*this); });
            ::unsetenv(kFaults);
            freshTokenInfo();  // drops the rule
            EXPECT_EQ(library.watched(), std::optional<CK_RV>(rv)) << "fault not reached";
            checkOutcome(operation, point, rv, outcome, clean, log, context);

            // What may stay by the rules, then nothing once the holder lets it go.
            const bool replaced = token().created != bindings || !binding();
            expectAfter(operation, point, rv, outcome, clean, replaced, context);
            releaseKept(operation);
            const bool stale = point.function == "C_CloseSession" ||
                               (point.function == "C_Logout" && !sessionDies(operation, point, rv));
            if (!stale || replaced) {
                expectClean(context + ", released");
            }

            expectNextRun(operation, clean, context, !stale || token().created != bindings);
        }
    }
    std::printf("fault sweep: %s: %d cases\n", operation.name.c_str(), cases);
    return cases;
}

void FaultSweep::pullOutCase(const Operation& operation, const Point& point, CK_RV answer,
                             const Outcome& clean) {
    const std::string context = operation.name + ": pulled out before " + point.function + " #" +
                                std::to_string(point.occurrence) + ", dead sessions answer " +
                                hexRv(answer);
    SCOPED_TRACE(context);
    LogCapture log;
    prepareCase(operation);
    const auto marker = directory_.path() / "removed-0";
    bool pulled = false;
    RecordingLibrary& library = RecordingLibrary::instance();
    library.before(point.function, library.calls(point.function) + point.occurrence, [&] {
        pulled = true;
        std::ofstream{marker};
    });
    ::setenv(kDeadSessionAnswer, hexRv(answer).c_str(), 1);
    const Outcome outcome = outcomeOf([&] { return operation.run(*this); });
    ::unsetenv(kDeadSessionAnswer);
    std::filesystem::remove(marker);
    EXPECT_TRUE(pulled) << context;

    // An error that says the token went, or a result made before that mattered; never an
    // empty or missing one standing in for it.
    const Handling handling = handlingOf(operation, point);
    const bool allowed =
        outcome == clean || outcome == thrown("Cryptoki", exception::CkrTokenNotPresent) ||
        outcome == thrown("Cryptoki", exception::toErrorCode(answer)) ||
        outcome == thrown("Crypto", crypto::exception::TokensLoginFailed) ||
        (operation.name == "devices" && outcome == expected(operation.absent)) ||
        // The key engine refuses a key pair on a dead session, or fails to sign the request.
        (throughEngine(handling) &&
         (outcome.value.rfind(operation.refused, 0) == 0 || outcome.value.rfind("Ssl ", 0) == 0));
    EXPECT_TRUE(allowed) << context << ": " << outcome;

    // Back in its slot, the token has nothing open from before, and the same module object
    // does the operation again.
    releaseKept(operation);
    expectClean(context + ", put back");
    expectNextRun(operation, clean, context, true);
}

void FaultSweep::expectNextRun(const Operation& operation, const Outcome& clean,
                               const std::string& context, bool leavesNothing) {
    restoreToken();
    if (operation.prepare) {
        operation.prepare(*this);
    }
    EXPECT_EQ(outcomeOf([&] { return operation.run(*this); }), clean) << context << ", next run";
    releaseKept(operation);
    if (leavesNothing) {
        expectClean(context + ", after the next run");
    }
    dropToken();
}

// Summaries of the results that the cases compare.
template <class Set>
std::string countOf(const char* what, const Set& set) {
    return std::string(what) + ":" + std::to_string(set.size());
}

std::string flag(const char* what, bool value) {
    return std::string(what) + ":" + (value ? "1" : "0");
}

std::string certificateSummary(const boost::shared_ptr<crypto::ICertificate>& certificate) {
    return certificate ? "certificate:" + boost::algorithm::hex(certificate->serialNumber())
                       : "none";
}

std::string containerSummary(const boost::optional<std::wstring>& name) {
    return name ? "container:" + std::string(name->begin(), name->end()) : "none";
}

std::string digestOf(FaultSweep& sweep, const boost::shared_ptr<crypto::ICertificate>& signer) {
    std::istringstream data(std::string(1000, 'x'));
    const auto hash = plugin::cryptoki::Provider(sweep.device_).createHash(kHashOid, signer);
    const std::string digest = hash->create(data);
    return "digest:" + boost::algorithm::hex(digest) +
           ",signature:" + std::to_string(hash->signatureValue().size());
}

void findSigner(FaultSweep& sweep) {
    sweep.onToken_ = sweep.token().findCertificate(sweep.device_, std::string("signer"));
    if (!sweep.onToken_) {
        throw std::runtime_error("the signer's certificate is not on the token");
    }
}

// Hashing without a library: no empty digest as a result.
const std::string kNoLibrary = "Crypto " + std::to_string(crypto::exception::DeviceNotFound);

// Reads whose failure only skips the object.
const std::vector<Site> kQuietReads{{"C_GetAttributeValue", 0, 0, Handling::CleanOrAbsent}};
// The certificate found by serial is compared by value first (length, then value): a failed
// read rules the object out and the search by value finds it again.
const Site kCertificateCompare{"C_GetAttributeValue", 1, 2, Handling::CleanOrAbsent};

// The key engine checks the session, then reads six attributes it needs and four it can do
// without (the key types and the hash parameters). Before it, the binding may ask whether the
// session it holds still lives.
std::vector<Site> engineSites(int firstRead, int probes = 0) {
    return {{"C_GetSessionInfo", 1, probes, Handling::Probe},
            {"C_GetSessionInfo", 0, 0, Handling::Refused},
            {"C_GetAttributeValue", firstRead, firstRead + 5, Handling::Refused},
            {"C_GetAttributeValue", firstRead + 6, firstRead + 9, Handling::EngineIgnored}};
}

// A key of a certificate on the token: the certificate is looked up before the engine runs.
std::vector<Site> certificateKeySites(int probes) {
    std::vector<Site> sites = engineSites(7, probes);
    sites.insert(sites.begin(), kCertificateCompare);
    return sites;
}

}  // namespace

TEST_F(FaultSweep, Listings) {
    int cases = 0;
    cases += sweep({"devices",
                    Keeps::Nothing,
                    "devices:0",
                    "",
                    {{"C_Initialize", 0, 0, Handling::Listing},
                     {"C_GetSlotList", 0, 0, Handling::Listing},
                     {"C_GetTokenInfo", 0, 0, Handling::Listing}},
                    nullptr,
                    [](FaultSweep& s) {
                        s.token().setCache(false, false);  // forget the fixture's listing
                        return countOf("devices", s.token().devices());
                    }});
    // The listing first checks that the cached device is still in its slot.
    cases += sweep(
        {"certificates",
         Keeps::Nothing,
         "certificates:0",
         "",
         {{"C_Initialize", 1, 1, Handling::Recheck}, {"C_GetTokenInfo", 1, 1, Handling::Ignored}},
         nullptr,
         [](FaultSweep& s) { return countOf("certificates", s.token().certificates(s.device_)); }});
    cases +=
        sweep({"containers", Keeps::Nothing, "containers:0", "", {}, nullptr, [](FaultSweep& s) {
                   return countOf("containers", s.token().containers(s.device_));
               }});
    std::printf("fault sweep: %d cases\n", cases);
}

TEST_F(FaultSweep, Writes) {
    int cases = 0;
    cases +=
        sweep({"addCertificate", Keeps::Nothing, "added:0", "", {}, nullptr, [](FaultSweep& s) {
                   return flag("added", s.token().addCertificate(s.device_, s.fresh_, "signer", 6,
                                                                 softtoken::kUserPin));
               }});
    cases += sweep({"deleteCertificate",
                    Keeps::Nothing,
                    "deleted:0",
                    "",
                    {kCertificateCompare},
                    nullptr,
                    [](FaultSweep& s) {
                        return flag("deleted", s.token().deleteCertificate(s.device_, s.stored_));
                    }});
    cases +=
        sweep({"deleteContainer", Keeps::Nothing, "deleted:0", "", {}, nullptr, [](FaultSweep& s) {
                   return flag("deleted", s.token().deleteContainer(s.device_, L"signer",
                                                                    softtoken::kUserPin));
               }});
    std::printf("fault sweep: %d cases\n", cases);
}

TEST_F(FaultSweep, Searches) {
    int cases = 0;
    // The search compares the certificate's value quietly, and the container search behind
    // it reads quietly too: the value found is the certificate's own, never read again.
    cases += sweep({"findCertificate by serial", Keeps::Nothing, "none", "", kQuietReads, nullptr,
                    [](FaultSweep& s) {
                        return certificateSummary(s.token().findCertificate(s.device_, s.stored_));
                    }});
    // The CKA_ID that selects the certificate is read quietly, its value as it is.
    cases += sweep({"findCertificate by container",
                    Keeps::Nothing,
                    "none",
                    "",
                    {{"C_GetAttributeValue", 1, 2, Handling::Absent}},
                    nullptr,
                    [](FaultSweep& s) {
                        return certificateSummary(
                            s.token().findCertificate(s.device_, std::string("signer")));
                    }});
    cases += sweep({"findContainer by key", Keeps::Nothing, "none", "", kQuietReads, nullptr,
                    [](FaultSweep& s) {
                        return containerSummary(
                            s.token().findContainer(s.device_, *s.stored_->publicKey(), nullptr));
                    }});
    cases +=
        sweep({"findContainer by certificate", Keeps::Nothing, "none", "", kQuietReads, nullptr,
               [](FaultSweep& s) {
                   unsigned long keyType = 0;
                   return containerSummary(s.token().findContainer(s.device_, s.stored_, &keyType));
               }});
    std::printf("fault sweep: %d cases\n", cases);
}

TEST_F(FaultSweep, HashingAndRandom) {
    int cases = 0;
    cases +=
        sweep({"randomBytes", Keeps::Nothing, "random:0", "", {}, nullptr, [](FaultSweep& s) {
                   return "random:" + std::to_string(s.token().randomBytes(s.device_, 32).size());
               }});
    cases += sweep({"hash", Keeps::Nothing, kNoLibrary, "", {}, nullptr, [](FaultSweep& s) {
                        return digestOf(s, nullptr);
                    }});
    std::printf("fault sweep: %d cases\n", cases);
}

TEST_F(FaultSweep, Signing) {
    int cases = 0;
    // The key was authenticated before: the slot is logged in.
    cases += sweep({"sign with a logged-in key",
                    Keeps::HeldLogin,
                    kNoLibrary,
                    "",
                    {},
                    [](FaultSweep& s) {
                        findSigner(s);
                        s.hold();
                    },
                    [](FaultSweep& s) { return digestOf(s, s.onToken_); }});
    // The host authenticates the signer's key when asked; a refused key is a failed login.
    cases += sweep({"sign through the host", Keeps::Key, kNoLibrary,
                    "Crypto " + std::to_string(crypto::exception::TokensLoginFailed),
                    certificateKeySites(2), findSigner,
                    [](FaultSweep& s) { return digestOf(s, s.onToken_); }});
    std::printf("fault sweep: %d cases\n", cases);
}

TEST_F(FaultSweep, PrivateKey) {
    int cases = 0;
    cases += sweep({"authenticate", Keeps::Key, "authenticated:0", "authenticated:0",
                    certificateKeySites(0), findSigner, [](FaultSweep& s) {
                        return flag("authenticated",
                                    s.onToken_->privateKey()->authenticate(softtoken::kUserPin));
                    }});
    cases += sweep({"release",
                    Keeps::Failed,
                    "released:1",
                    "",
                    {{"C_GetSessionInfo", 0, 0, Handling::Probe}},
                    [](FaultSweep& s) {
                        findSigner(s);
                        if (!s.onToken_->privateKey()->authenticate(softtoken::kUserPin)) {
                            throw std::runtime_error("the key does not authenticate");
                        }
                    },
                    [](FaultSweep& s) {
                        const auto key = s.onToken_->privateKey();
                        key->release();
                        return flag("released", !key->isAuthenticated());
                    }});
    std::printf("fault sweep: %d cases\n", cases);
}

TEST_F(FaultSweep, KeyGenerationAndRequest) {
    std::vector<Site> sites = engineSites(1);
    // The engine signs the request with the new key.
    sites.push_back({"C_SignInit", 0, 0, Handling::RequestFails});
    sites.push_back({"C_Sign", 0, 0, Handling::RequestFails});
    const int cases =
        sweep({"key generation and request", Keeps::Slot,
               "Crypto " + std::to_string(crypto::exception::DeviceNotFound), "request:none", sites,
               nullptr, [](FaultSweep& s) {
                   auto params = boost::make_shared<crypto::CsrParams>();
                   params->provider = boost::make_shared<plugin::cryptoki::Provider>(s.device_);
                   params->subject = "cn=Иван Петров;snils=12345678901";
                   params->keyId = "new-key";
                   params->algorithmParamSet = "1.2.643.2.2.35.1";
                   params->keyUsage = 0xC0;
                   const auto result = s.token().createCsrCreator()->create(params, nullptr);
                   return std::string("request:") + (result->request.empty() ? "none" : "made") +
                          ",key:" + std::to_string(result->publicKeyValue.size());
               }});
    std::printf("fault sweep: %d cases\n", cases);
}

// The token drops its binding while a digest runs (the C_Initialize behind update answers
// CKR_GENERAL_ERROR): the digest session is still closed by the binding that opened it, so
// the next digest, on the new binding, leaves no session behind.
TEST_F(FaultSweep, DigestSessionClosesOnTheBindingThatOpenedIt) {
    RecordingLibrary& library = RecordingLibrary::instance();
    newToken();
    device_ = device();
    // create, initialize, then update ask the token for its binding.
    const unsigned long call = library.calls("C_Initialize") + 3;
    ::setenv(kFaults, ("C_Initialize:" + std::to_string(call) + ":0x5").c_str(), 1);
    library.watch("C_Initialize", call);
    const Outcome dropped = outcomeOf([&] { return digestOf(*this, nullptr); });
    ::unsetenv(kFaults);
    ASSERT_EQ(library.watched(), std::optional<CK_RV>(CKR_GENERAL_ERROR));
    EXPECT_EQ(dropped, thrown("Crypto", crypto::exception::DeviceNotFound));
    EXPECT_EQ(freshTokenInfo().ulSessionCount, 0u);

    EXPECT_FALSE(outcomeOf([&] { return digestOf(*this, nullptr); }).threw);
    expectClean("after the next digest");
}

}  // namespace kelvo::test
