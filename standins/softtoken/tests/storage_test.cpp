// The token folder as an attacker with a copy of it, or write access to it, sees it.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/algorithm/hex.hpp>
#include <fstream>
#include <memory>
#include <sstream>
#include <system_error>

#include "error.h"
#include "fast_slot.h"
#include "file_io.h"
#include "gost_verifier.h"
#include "key_pair_factory.h"
#include "object_policy.h"
#include "slot.h"
#include "softtoken_fixture.h"

namespace softtoken {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string base64Of(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                       reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<int>(bytes.size()));
    out.resize(length);
    return out;
}

// The forms a secret could be written in: raw, reversed, hex and Base64 of both.
std::vector<std::string> tracesOf(const std::string& secret) {
    std::vector<std::string> traces;
    for (const std::string& bytes : {secret, reversed(secret)}) {
        traces.insert(traces.end(), {bytes, boost::algorithm::hex_lower(bytes),
                                     boost::algorithm::hex(bytes), base64Of(bytes)});
    }
    return traces;
}

// Which files of the folder hold any trace of the secret.
std::vector<std::string> filesWithTraces(const std::filesystem::path& folder,
                                         const std::string& secret) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string text = readFile(entry.path());
        for (const std::string& trace : tracesOf(secret)) {
            if (text.find(trace) != std::string::npos) {
                found.push_back(entry.path().filename().string());
                break;
            }
        }
    }
    return found;
}

mode_t permissions(const std::filesystem::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

// A token driven through its slot in this process, so that the test sees the key material
// the token generates.
class StorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        slot.initToken(secretOf(kSoPin), "storage");
        slot.sessionOpened(true);
        slot.login(CKU_SO, secretOf(kSoPin));
        slot.initPin(secretOf(kUserPin));
        slot.logout();
        slot.login(CKU_USER, secretOf(kUserPin));
    }

    CK_OBJECT_HANDLE createPrivateData(const std::string& value) {
        return slot.create(objectFromTemplate({{CKA_CLASS, ulongValue(CKO_DATA)},
                                               {CKA_TOKEN, boolValue(true)},
                                               {CKA_PRIVATE, boolValue(true)},
                                               {CKA_VALUE, value}}),
                           1);
    }

    std::filesystem::path tokenPath() const { return directory.path() / "token-0.json"; }

    TemporaryTokenDirectory directory;
    GostCrypto crypto;
    Slot slot{0, fastSlot(), directory.path(), crypto};
};

TEST_F(StorageTest, SecretsLeaveNoTraceInTheTokenFolder) {
    std::string value(32, '\0');
    crypto.random(reinterpret_cast<unsigned char*>(value.data()), value.size());
    createPrivateData(value);
    const CK_MECHANISM mechanism{CKM_GOSTR3410_KEY_PAIR_GEN, nullptr, 0};
    const Bytes paramSet = unhex("06092a8503070102010101");
    KeyPairObjects pair = generateKeyPairObjects(
        crypto, mechanism, {{CKA_TOKEN, boolValue(true)}, {CKA_GOSTR3410_PARAMS, paramSet}},
        {{CKA_TOKEN, boolValue(true)}});
    const std::string scalar(pair.privateKey.secret.begin(), pair.privateKey.secret.end());
    const std::string publicValue = pair.publicKey.attributes.at(CKA_VALUE);
    slot.create(std::move(pair.publicKey), 1);
    slot.create(std::move(pair.privateKey), 1);

    // The public key is there in hex, so the search would see a secret stored the same way.
    EXPECT_EQ(filesWithTraces(directory.path(), publicValue),
              std::vector<std::string>{"token-0.json"});
    EXPECT_TRUE(filesWithTraces(directory.path(), value).empty());
    EXPECT_TRUE(filesWithTraces(directory.path(), scalar).empty());
    EXPECT_TRUE(filesWithTraces(directory.path(), kUserPin).empty());
    EXPECT_TRUE(filesWithTraces(directory.path(), kSoPin).empty());
}

TEST_F(StorageTest, SealedValuesOpenOnlyInTheirOwnPlace) {
    const CK_OBJECT_HANDLE first = createPrivateData("first secret");
    createPrivateData("second secret");
    TokenState state = fromJson(readFile(tokenPath()));
    ASSERT_EQ(state.objects.size(), 2u);
    std::swap(state.objects.begin()->second.sealed, state.objects.rbegin()->second.sealed);
    // The user's wrap of the token key put in the place of the SO's.
    state.soKey = state.userKey;
    writeFile(tokenPath(), toJson(state));

    try {
        slot.object(first);
        ADD_FAILURE() << "a blob moved from another object opened";
    } catch (const CkrError& error) {
        EXPECT_EQ(error.rv(), CKR_DEVICE_ERROR);
    }
    slot.logout();
    try {
        slot.login(CKU_SO, secretOf(kUserPin));
        ADD_FAILURE() << "the user PIN opened the SO's place";
    } catch (const CkrError& error) {
        EXPECT_EQ(error.rv(), CKR_PIN_INCORRECT);
    }
}

TEST_F(StorageTest, DamagedFilesAreReportedAndLeftAsTheyAre) {
    const std::string valid = readFile(tokenPath());
    auto changed = [&valid](const std::string& from, const std::string& to) {
        const auto at = valid.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return valid.substr(0, at) + to + valid.substr(at + from.size());
    };
    const struct {
        std::string text;
        std::string says;
    } cases[] = {
        {"", "it is empty"},
        {valid.substr(0, valid.size() / 2), "not JSON"},
        {"PK\x03\x04", "not JSON"},
        {changed("\"userFailures\": 0", "\"userFailures\": \"0\""),
         "userFailures is not a whole number"},
        {changed("\"userFailures\": 0", "\"userFailures\": 4294967296"),
         "userFailures is 4294967296, out of range (0 to 10)"},
        {changed("\"format\": 4", "\"format\": 1"), "format 1 kept private keys unencrypted"},
        {changed("\"format\": 4", "\"format\": 3"), "format 3 did not authenticate"},
        {changed("\"kdfCost\": " + std::to_string(kMinKdfCost), "\"kdfCost\": 99"),
         "soKey.kdfCost is 99, out of range"},
    };
    for (const auto& damage : cases) {
        SCOPED_TRACE(damage.says);
        writeFile(tokenPath(), damage.text);
        TokenFile file(tokenPath());
        try {
            file.state();
            ADD_FAILURE() << "damaged file accepted";
        } catch (const CkrError& error) {
            EXPECT_EQ(error.rv(), CKR_DEVICE_ERROR);
            EXPECT_NE(error.detail().find(tokenPath().string() + " is damaged: " + damage.says),
                      std::string::npos)
                << error.detail();
        }
        EXPECT_THROW(file.modify([](TokenState& state) { state.label = "overwritten"; }), CkrError);
        EXPECT_EQ(readFile(tokenPath()), damage.text);
    }
}

TEST(TokenFolder, FilesArePrivateWhateverTheUmask) {
    TemporaryTokenDirectory directory;
    const auto folder = directory.path() / "made" / "here";
    const mode_t previous = ::umask(0);
    createPrivateDirectory(folder);
    TokenFile(folder / "token-0.json").modify([](TokenState& state) { state.label = "x"; });
    ::umask(previous);
    EXPECT_EQ(permissions(folder), 0700u);
    EXPECT_EQ(permissions(folder / "token-0.json"), 0600u);
    EXPECT_EQ(permissions(folder / "token-0.json.lock"), 0600u);
}

TEST(TokenFolder, PlantedLinksAreNotWrittenThrough) {
    TemporaryTokenDirectory directory;
    const auto victim = directory.path() / "victim";
    writeFile(victim, "victim\n");
    const auto token = directory.path() / "token-0.json";
    const std::filesystem::path lock = token.string() + ".lock";
    const std::filesystem::path oldTemporary = token.string() + ".tmp." + std::to_string(getpid());
    auto change = [&token] {
        TokenFile(token).modify([](TokenState& state) { state.label = "changed"; });
    };

    std::filesystem::create_symlink(victim, lock);
    EXPECT_THROW(change(), std::system_error);
    std::filesystem::remove(lock);
    // A FIFO in the lock's place is refused rather than waited on.
    ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
    EXPECT_THROW(change(), std::system_error);
    std::filesystem::remove(lock);

    std::filesystem::create_symlink(victim, oldTemporary);
    EXPECT_NO_THROW(change());
    EXPECT_TRUE(std::filesystem::is_symlink(oldTemporary));

    std::filesystem::remove(token);
    std::filesystem::create_symlink(victim, token);
    EXPECT_THROW(TokenFile(token).state(), std::system_error);
    EXPECT_THROW(change(), std::system_error);
    EXPECT_EQ(readFile(victim), "victim\n");
}

}  // namespace
}  // namespace softtoken
