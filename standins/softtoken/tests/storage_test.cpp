// The token folder as an attacker with write access to it sees it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <system_error>

#include "file_io.h"
#include "softtoken_fixture.h"
#include "token_file.h"

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

mode_t permissions(const std::filesystem::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
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
