// The token against an outsider: a local account that plants files in the token folder, or
// someone holding a copy of the token file and an old or published PIN, or a dump of a
// process's memory. Writes without a login are in token_test.cpp.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <fstream>
#include <functional>
#include <sstream>

#include "error.h"
#include "fast_slot.h"
#include "gost_key_pair.h"
#include "kdf.h"
#include "object_policy.h"
#include "object_sealing.h"
#include "slot.h"
#include "softtoken_fixture.h"
#include "unique_fd.h"

namespace softtoken {
namespace {

constexpr const char* kNewPin = "24681357";

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every private object of the state that the key opens.
std::vector<CK_ULONG> openedBy(const GostCrypto& crypto, const TokenKey& key,
                               const TokenState& state) {
    std::vector<CK_ULONG> opened;
    for (const auto& [number, stored] : state.objects) {
        try {
            openObject(crypto, key, number, stored.sealed);
            opened.push_back(number);
        } catch (const CkrError&) {
        }
    }
    return opened;
}

std::optional<TokenKey> unlock(const GostCrypto& crypto, const std::optional<RoleKey>& access,
                               PinRole role, const std::string& pin) {
    return access ? TokenKey::unlock(crypto, *access, role, secretOf(pin)) : std::nullopt;
}

// A token driven through its slot in this process, so that the test can open the file as an
// attacker with the PINs would.
class StolenFileTest : public ::testing::Test {
protected:
    // Initialised with the delivery SO PIN, user PIN set, one private object.
    void prepare() {
        slot.initToken(secretOf(kSoPin), "stolen");
        slot.sessionOpened(true);
        loginAs(CKU_SO, kSoPin);
        slot.initPin(secretOf(kUserPin));
        loginAs(CKU_USER, kUserPin);
        createPrivate();
        slot.logout();
    }

    void loginAs(CK_USER_TYPE user, const std::string& pin) {
        if (slot.loginState() != LoginState::Public) {
            slot.logout();
        }
        slot.login(user, secretOf(pin));
    }
    void createPrivate() {
        slot.create(objectFromTemplate({{CKA_CLASS, ulongValue(CKO_DATA)},
                                        {CKA_TOKEN, boolValue(true)},
                                        {CKA_PRIVATE, boolValue(true)},
                                        {CKA_VALUE, "secret"}}),
                    1);
    }
    TokenState state() const { return fromJson(readFile(directory.path() / "token-0.json")); }
    void writeState(const TokenState& state) const {
        std::ofstream(directory.path() / "token-0.json", std::ios::trunc) << toJson(state);
    }

    TemporaryTokenDirectory directory;
    GostCrypto crypto;
    Slot slot{0, fastSlot(), directory.path(), crypto};
};

TEST_F(StolenFileTest, PinChangeRevokesEveryEarlierWrapAndCopy) {
    const struct {
        const char* change;
        PinRole role;
        const char* oldPin;
        std::function<void()> run;
    } changes[] = {
        {"user C_SetPIN", PinRole::User, kUserPin,
         [this] { slot.setPin(secretOf(kUserPin), secretOf(kNewPin)); }},
        {"SO C_SetPIN away from the delivery PIN", PinRole::SecurityOfficer, kSoPin,
         [this] {
             loginAs(CKU_SO, kSoPin);
             slot.setPin(secretOf(kSoPin), secretOf(kNewPin));
         }},
        {"C_InitPIN", PinRole::User, kUserPin,
         [this] {
             loginAs(CKU_SO, kSoPin);
             slot.initPin(secretOf(kNewPin));
         }},
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(change.change);
        prepare();
        const TokenState before = state();
        change.run();
        loginAs(CKU_USER, change.role == PinRole::User ? kNewPin : kUserPin);
        createPrivate();  // made after the change
        slot.logout();
        const TokenState after = state();
        ASSERT_EQ(after.objects.size(), 2u);

        const auto& oldWrap = change.role == PinRole::User ? before.userKey : before.soKey;
        const auto oldKey = unlock(crypto, oldWrap, change.role, change.oldPin);
        ASSERT_TRUE(oldKey);  // the old copy still opens with the old PIN...
        EXPECT_TRUE(openedBy(crypto, *oldKey, after).empty());  // ...but nothing of today
        // Today's file no longer opens with the old PIN, and the other holder keeps access
        // without knowing the new PIN.
        const auto& newWrap = change.role == PinRole::User ? after.userKey : after.soKey;
        EXPECT_FALSE(unlock(crypto, newWrap, change.role, change.oldPin));
        const auto soKey = unlock(crypto, after.soKey, PinRole::SecurityOfficer,
                                  change.role == PinRole::SecurityOfficer ? kNewPin : kSoPin);
        ASSERT_TRUE(soKey);
        EXPECT_EQ(openedBy(crypto, *soKey, after).size(), 2u);

        // The old wrap grafted into today's file: the old PIN opens it, but not the file.
        TokenState grafted = after;
        (change.role == PinRole::User ? grafted.userKey : grafted.soKey) = oldWrap;
        writeState(grafted);
        EXPECT_THROW(loginAs(change.role == PinRole::User ? CKU_USER : CKU_SO, change.oldPin),
                     CkrError);
        slot.sessionClosed(1, true);
        std::filesystem::remove(directory.path() / "token-0.json");
    }
}

// One write to the file by someone who knows no PIN: the next login with the right PIN, or
// the next read of a login already made, fails closed rather than use what was planted.
TEST_F(StolenFileTest, AFileChangedWithoutAPinFailsClosed) {
    const auto plantedSeal = [this](TokenState& state) {
        // A token key of the attacker's choosing, sealed to both holders' public keys.
        const TokenKey planted = TokenKey::generate(crypto);
        state.soKey = planted.handTo(crypto, PinRole::SecurityOfficer, *state.soKey);
        state.userKey = planted.handTo(crypto, PinRole::User, *state.userKey);
    };
    const auto alteredObject = [](TokenState& state) {
        state.objects[state.nextId] = FileObject{{{CKA_CLASS, ulongValue(CKO_CERTIFICATE)}}, {}};
        ++state.nextId;
    };
    const struct {
        const char* attack;
        std::function<void(TokenState&)> change;
        bool whileLoggedIn;
        bool testKdf;
    } attacks[] = {
        {"planted token key", plantedSeal, false, true},
        {"public object added", alteredObject, false, true},
        {"public object added during a login", alteredObject, true, true},
        {"wrap below the cost floor", [](TokenState&) {}, false, false},
    };
    for (const auto& attack : attacks) {
        SCOPED_TRACE(attack.attack);
        prepare();
        if (attack.whileLoggedIn) {
            loginAs(CKU_USER, kUserPin);
        }
        TokenState changed = state();
        attack.change(changed);
        writeState(changed);
        if (!attack.testKdf) {
            unsetenv(kTestKdfVariable);
        }
        try {
            attack.whileLoggedIn ? (void)slot.find({}) : loginAs(CKU_USER, kUserPin);
            ADD_FAILURE() << "accepted";
        } catch (const CkrError& error) {
            EXPECT_EQ(error.rv(), CKR_DEVICE_ERROR);
            EXPECT_NE(error.detail().find("token-0.json"), std::string::npos) << error.detail();
        }
        setenv(kTestKdfVariable, "1", 1);
        EXPECT_EQ(slot.loginState(), attack.whileLoggedIn ? LoginState::User : LoginState::Public);
        slot.sessionClosed(1, true);
        std::filesystem::remove(directory.path() / "token-0.json");
    }
}

// Runs the library's C_Initialize and one C_GetTokenInfo in a child process, so that a hang
// shows as a timeout rather than a stuck suite. Returns the first failing result, or CKR_OK.
CK_RV initializeInChild() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(10);
        SoftTokenLibrary library;
        library->C_Finalize(nullptr);
        CK_RV rv = library->C_Initialize(nullptr);
        CK_TOKEN_INFO info;
        if (rv == CKR_OK) {
            rv = library->C_GetTokenInfo(0, &info);
        }
        CK_SESSION_HANDLE session;
        if (rv == CKR_OK) {
            rv = library->C_OpenSession(0, CKF_SERIAL_SESSION, nullptr, nullptr, &session);
        }
        _exit(rv < 250 ? static_cast<int>(rv) : 250);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 254;
}

void plainIni(const std::filesystem::path& dir) {
    std::ofstream(dir / "softtoken.ini") << "[slot.0]\n";
}

TEST(PlantedConfiguration, IsRefusedOrIgnoredAndNeverHangs) {
    const bool root = ::geteuid() == 0;
    const struct {
        const char* plant;
        CK_RV expected;
        std::function<void(const std::filesystem::path&)> run;
    } cases[] = {
        {"fault rules in the ini", CKR_OK,
         [](const auto& dir) {
             std::ofstream(dir / "softtoken.ini") << "[faults]\nrules = C_OpenSession:*:0x6\n";
         }},
        {"an ordinary ini", CKR_OK, plainIni},
        {"a FIFO as the ini", CKR_DEVICE_ERROR,
         [](const auto& dir) { ::mkfifo((dir / "softtoken.ini").c_str(), 0600); }},
        {"the ini linked to /dev/zero", CKR_DEVICE_ERROR,
         [](const auto& dir) {
             std::filesystem::create_symlink("/dev/zero", dir / "softtoken.ini");
         }},
        {"an oversized ini", CKR_DEVICE_ERROR,
         [](const auto& dir) {
             std::ofstream(dir / "softtoken.ini") << "; " << std::string(70000, 'x') << "\n";
         }},
        {"an ini others may write", CKR_DEVICE_ERROR,
         [](const auto& dir) {
             plainIni(dir);
             ::chmod((dir / "softtoken.ini").c_str(), 0666);
         }},
        {"an ini of another user", root ? CKR_DEVICE_ERROR : CKR_OK,
         [root](const auto& dir) {
             plainIni(dir);
             if (root) {
                 EXPECT_EQ(::chown((dir / "softtoken.ini").c_str(), 65534, 65534), 0);
             }
         }},
        {"a token folder open to others", CKR_FUNCTION_FAILED,
         [](const auto& dir) { ::chmod(dir.c_str(), 0755); }},
        {"an oversized token file", CKR_DEVICE_ERROR,
         [](const auto& dir) {
             std::ofstream(dir / "token-0.json") << std::string(5 << 20, ' ');
             ::chmod((dir / "token-0.json").c_str(), 0600);
         }},
    };
    for (const auto& planted : cases) {
        SCOPED_TRACE(planted.plant);
        TemporaryTokenDirectory directory;
        std::filesystem::remove(directory.path() / "softtoken.ini");
        planted.run(directory.path());
        EXPECT_EQ(initializeInChild(), planted.expected);
    }
}

TEST(PlantedConfiguration, NoFolderIsRelativeToTheCurrentOne) {
    TemporaryTokenDirectory directory;
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    unsetenv("ZOLVEX_SOFTTOKEN_DIR");
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "relative", 1);
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(directory.path());
    EXPECT_NE(initializeInChild(), CKR_OK);
    EXPECT_FALSE(std::filesystem::exists(directory.path() / "relative"));
    std::filesystem::current_path(cwd);
    setenv("HOME", home.c_str(), 1);
}

// Whether any readable, writable mapping of the process holds one of the byte strings.
// Mappings beyond 256 MiB (sanitizer shadow memory) are skipped. Only the last 16 bytes of
// each are looked for: the allocator may reuse the start of a freed block.
std::vector<bool> foundInMemory(pid_t process, const std::vector<std::string>& needles) {
    std::vector<bool> found(needles.size(), false);
    std::ifstream maps("/proc/" + std::to_string(process) + "/maps");
    const UniqueFd memory(
        ::open(("/proc/" + std::to_string(process) + "/mem").c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_TRUE(memory);
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long start = 0, end = 0;
        char permissions[5] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %4s", &start, &end, permissions) != 3 ||
            permissions[0] != 'r' || permissions[1] != 'w' || end - start > (256ul << 20)) {
            continue;
        }
        std::string bytes(end - start, '\0');
        const ssize_t got = ::pread(memory.get(), bytes.data(), bytes.size(), start);
        bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        for (std::size_t i = 0; i < needles.size(); ++i) {
            const std::string tail = needles[i].substr(needles[i].size() - 16);
            found[i] = found[i] || bytes.find(tail) != std::string::npos;
        }
    }
    return found;
}

// In a child: logs in, makes a token key pair and signs with it, logs out and finalizes, then
// waits to be examined. Writes the public key value (the scan's control) to the pipe.
[[noreturn]] void signAndFinalize(int report) {
    SoftTokenLibrary library;
    library->C_Finalize(nullptr);
    std::string publicValue(64, '\0');
    bool ok = library->C_Initialize(nullptr) == CKR_OK;
    {
        ScopedSession session(library.functions(), 0);
        ok = ok && session.login() == CKR_OK;
        CK_MECHANISM sign{CKM_GOSTR3410, nullptr, 0};
        CK_BYTE digest[32] = {1}, signature[64];
        CK_ULONG length = sizeof signature;
        CK_ATTRIBUTE value{CKA_VALUE, publicValue.data(), publicValue.size()};
        const auto pair =
            ok ? kelvo::test::generateGostKeyPair(library.functions(), session.handle(), "k")
               : kelvo::test::KeyPair{};
        ok = ok && library->C_SignInit(session.handle(), &sign, pair.privateKey) == CKR_OK &&
             library->C_Sign(session.handle(), digest, 32, signature, &length) == CKR_OK &&
             library->C_GetAttributeValue(session.handle(), pair.publicKey, &value, 1) == CKR_OK &&
             library->C_Logout(session.handle()) == CKR_OK;
    }
    ok = ok && library->C_Finalize(nullptr) == CKR_OK;
    const char byte = ok ? 'y' : 'n';
    ok = ::write(report, &byte, 1) == 1;
    for (;;) {
        ::pause();
    }
}

TEST(KeyLeftBehind, NoScalarOrTokenKeyRemainsAfterFinalize) {
    TemporaryTokenDirectory directory;
    {
        SoftTokenLibrary library;
        provisionToken(library.functions());
    }
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        signAndFinalize(report[1]);
    }
    char byte = 0;
    const bool signedInChild = ::read(report[0], &byte, 1) == 1 && byte == 'y';

    // The secrets, recovered from the file with the user PIN as an attacker would.
    GostCrypto crypto;
    const TokenState state = fromJson(readFile(directory.path() / "token-0.json"));
    const auto tokenKey = unlock(crypto, state.userKey, PinRole::User, kUserPin);
    std::vector<std::string> needles;
    for (const auto& [number, stored] : state.objects) {
        if (stored.isPrivate() && tokenKey) {
            const SecretBytes scalar = openObject(crypto, *tokenKey, number, stored.sealed).secret;
            needles.emplace_back(scalar.begin(), scalar.end());
            needles.emplace_back(scalar.rbegin(), scalar.rend());  // as BIGNUM words hold it
        } else if (!stored.isPrivate() && stored.attributes.count(CKA_VALUE)) {
            needles.insert(needles.begin(), stored.attributes.at(CKA_VALUE));  // the control
        }
    }
    if (tokenKey) {
        needles.emplace_back(tokenKey->bytes().begin(), tokenKey->bytes().end());
    }
    const std::vector<bool> found =
        signedInChild && needles.size() == 4 ? foundInMemory(child, needles) : std::vector<bool>{};
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(signedInChild);
    ASSERT_EQ(found.size(), 4u);
    EXPECT_TRUE(found[0]) << "the scan does not see the public key the child holds";
    EXPECT_FALSE(found[1]) << "private scalar, big-endian";
    EXPECT_FALSE(found[2]) << "private scalar, little-endian";
    EXPECT_FALSE(found[3]) << "token key";
}

}  // namespace
}  // namespace softtoken
