// ZolvexCryptoki: the vendor library found beside the program.
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <boost/exception/get_error_info.hpp>
#include <boost/filesystem.hpp>
#include <boost/locale/encoding.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "cryptoki.h"
#include "cryptoki/device.h"
#include "exception/crypto.h"
#include "fake_token.h"
#include "log_capture.h"
#include "platform/shared_library.h"
#include "shared/path_registry.h"
#include "softtoken_fixture.h"

namespace {

namespace fs = boost::filesystem;
namespace crypto = kelvo::plugin::crypto;
using kelvo::plugin::cryptoki::Device;
using kelvo::plugin::cryptoki::ZolvexCryptoki;
using kelvo::test::FakeToken;
using kelvo::test::LogCapture;
using ::testing::Contains;
using ::testing::ElementsAre;

// Set when this executable runs as a copy in a folder prepared for one library case.
constexpr const char* kCaseVariable = "KELVO_ZOLVEX_LIBRARY_CASE";

bool insideCopy() {
    return std::getenv(kCaseVariable) != nullptr;
}

class ZolvexBinding : public ::testing::Test {
protected:
    void SetUp() override {
        if (insideCopy()) {
            GTEST_SKIP() << "needs the software token beside the program";
        }
    }
    softtoken::TemporaryTokenDirectory directory;
};

TEST_F(ZolvexBinding, BindsTheLibraryBesideTheProgram) {
    ZolvexCryptoki binding;
    EXPECT_EQ(binding.libraryPath(),
              kelvo::plugin::shared::path_registry::zolvexResourceFile().string());
    ASSERT_NE(binding.functions(), nullptr);
    EXPECT_EQ(binding.functionList(), binding.functions());
}

TEST_F(ZolvexBinding, ModelAndAliasAreTheProductName) {
    directory.writeConfig("[slot.0]\nmodel = Something Else\n");
    const auto binding = boost::make_shared<ZolvexCryptoki>();
    ASSERT_EQ(binding->initialize(), CKR_OK);
    FakeToken token(binding);
    const Device device(token, 0);
    EXPECT_EQ(device.model, "Something Else");
    EXPECT_EQ(device.alias, "ZOLVEXToken GOST");
    EXPECT_EQ(binding->model(7), "ZOLVEXToken GOST");
    EXPECT_EQ(binding->alias(CK_TOKEN_INFO{}).size(), 16u);
}

TEST_F(ZolvexBinding, DestructionFinalizesTheLibrary) {
    softtoken::SoftTokenLibrary sameLibrary;
    {
        ZolvexCryptoki binding;
        ASSERT_EQ(binding.initialize(), CKR_OK);
    }
    EXPECT_EQ(sameLibrary->C_Finalize(nullptr), CKR_CRYPTOKI_NOT_INITIALIZED);
}

void expectNoFunctionList(ZolvexCryptoki& binding) {
    try {
        binding.functions();
        FAIL() << "no exception";
    } catch (const crypto::exception::CryptoException& error) {
        EXPECT_EQ(error.code().value(), crypto::exception::TokenInitializeFailed);
        ASSERT_NE(boost::get_error_info<crypto::exception::Message_>(error), nullptr);
        EXPECT_EQ(*boost::get_error_info<crypto::exception::Message_>(error), "zolvex");
        EXPECT_EQ(*boost::get_error_info<boost::throw_function>(error), std::string("functions"));
        const std::string described = error.what();
        const std::string expected =
            "30043 Crypto 'Ошибка инициализации ресурсов токена': zolvex\t(cryptoki.cpp:";
        EXPECT_EQ(described.substr(0, expected.size()), expected);
        EXPECT_EQ(described.substr(described.size() - 11), ") functions");
    }
    EXPECT_THROW(binding.initialize(), crypto::exception::CryptoException);
    std::vector<CK_SLOT_ID> slotIds{5};
    EXPECT_THROW(binding.slotList(true, slotIds), crypto::exception::CryptoException);
    EXPECT_THAT(slotIds, ElementsAre(5u));
}

// Runs inside a copy of this executable (see the test below).
TEST(ZolvexLibraryCase, BehavesAsTheFolderDictates) {
    const char* kind = std::getenv(kCaseVariable);
    if (!kind) {
        GTEST_SKIP() << "runs only inside a copied executable";
    }
    const std::string library = std::string(kind);
    if (library == "missing") {
        try {
            ZolvexCryptoki binding;
            FAIL() << "no exception";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(boost::locale::conv::to_utf<char>(error.what(), "windows-1251"),
                      "Не удалось прочитать файл ресурсов zolvex");
        }
        return;
    }

    LogCapture log;
    std::string path;
    {
        ZolvexCryptoki binding;
        path = binding.libraryPath();
        EXPECT_EQ(path.empty(), library == "unloadable");
        expectNoFunctionList(binding);
    }
    EXPECT_THAT(log.lines(),
                ElementsAre(LogCapture::Line{
                    boost::log::trivial::warning,
                    "cryptoki: no function list, finalize skipped, library: " + path}));
}

TEST(ZolvexLibrary, MissingUnloadableOrForeignLibraryFailsWithoutACrash) {
    if (insideCopy()) {
        GTEST_SKIP() << "already inside a copy";
    }
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const std::string foreign = kelvo::platform::SharedLibrary("libm.so.6").path();
    ASSERT_FALSE(foreign.empty());

    for (const std::string library : {"missing", "unloadable", "foreign"}) {
        SCOPED_TRACE(library);
        const fs::path folder = fs::temp_directory_path() / fs::unique_path("zolvex-%%%%-%%%%");
        fs::create_directories(folder);
        fs::copy_file(self, folder / self.filename());
        if (library == "unloadable") {
            fs::ofstream(folder / "voxa_pkcs11_main.so") << "not a library";
        } else if (library == "foreign") {
            fs::copy_file(foreign, folder / "voxa_pkcs11_main.so");
        }
        const fs::path output = folder / "output.txt";
        const std::string command = std::string(kCaseVariable) + "=" + library + " '" +
                                    (folder / self.filename()).string() +
                                    "' --gtest_filter=ZolvexLibraryCase.* > '" + output.string() +
                                    "' 2>&1";
        const int status = std::system(command.c_str());
        std::string text;
        {
            fs::ifstream in(output);
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        fs::remove_all(folder);
        EXPECT_EQ(status, 0) << text;
        EXPECT_NE(text.find("[  PASSED  ] 1 test"), std::string::npos) << text;
    }
}

}  // namespace
