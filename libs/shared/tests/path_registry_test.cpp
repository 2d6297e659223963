#include "shared/path_registry.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <boost/filesystem.hpp>
#include <boost/locale/encoding.hpp>

namespace fs = boost::filesystem;
namespace registry = kelvo::plugin::shared::path_registry;

namespace {

// Set when this executable runs as a copy in a folder without the vendor library.
constexpr const char* kAloneVariable = "KELVO_PATH_REGISTRY_ALONE";

fs::path executable() {
    return fs::read_symlink("/proc/self/exe");
}

std::string fromWindows1251(const std::string& text) {
    return boost::locale::conv::to_utf<char>(text, "windows-1251");
}

std::string resourceError() {
    try {
        registry::zolvexResourceFile();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return {};
}

}  // namespace

TEST(PathRegistry, EntriesLiveInTheProgramFolder) {
    const fs::path dir = executable().parent_path();
    EXPECT_EQ(registry::thisDir(), dir);
    EXPECT_EQ(registry::zolvexInstallerScript().string(), dir.string() + "/register_zolvex.sh");
    EXPECT_EQ(registry::zolvexRejectMarker().string(), dir.string() + "/reject_zolvex.ini");
}

TEST(PathRegistry, ResourceFileKeepsTheDotSlashOrReportsItsAbsence) {
    const std::string expected = registry::thisDir().string() + "/./voxa_pkcs11_main.so";
    if (fs::exists(expected)) {
        EXPECT_EQ(registry::zolvexResourceFile().string(), expected);
    } else {
        EXPECT_EQ(fromWindows1251(resourceError()), "Не удалось прочитать файл ресурсов zolvex");
    }
}

// Runs inside a copy of this executable placed in an empty folder (see the test below).
TEST(PathRegistryAlone, MissingResourceStaysMissingAfterInstall) {
    if (!std::getenv(kAloneVariable)) {
        GTEST_SKIP() << "runs only inside a copied executable";
    }
    EXPECT_EQ(registry::thisDir(), executable().parent_path());
    EXPECT_EQ(fromWindows1251(resourceError()), "Не удалось прочитать файл ресурсов zolvex");

    const fs::path installed = registry::thisDir() / "voxa_pkcs11_main.so";
    fs::ofstream(installed) << "library";
    EXPECT_EQ(fromWindows1251(resourceError()), "Не удалось прочитать файл ресурсов zolvex");
}

TEST(PathRegistry, ResourceDecidedOnceInAFolderWithoutTheLibrary) {
    if (std::getenv(kAloneVariable)) {
        GTEST_SKIP() << "already inside the copy";
    }
    const fs::path folder = fs::temp_directory_path() / fs::unique_path("registry-%%%%-%%%%");
    fs::create_directories(folder);
    const fs::path copy = folder / executable().filename();
    fs::copy_file(executable(), copy);

    const std::string command = std::string(kAloneVariable) + "=1 '" + copy.string() +
                                "' --gtest_filter=PathRegistryAlone.* > '" +
                                (folder / "output.txt").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    std::string output;
    {
        fs::ifstream in(folder / "output.txt");
        output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::remove_all(folder);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}
