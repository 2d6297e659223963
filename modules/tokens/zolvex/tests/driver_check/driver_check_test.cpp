#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPluginLoader>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <boost/filesystem.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "exception/exception.h"
#include "mapped_libraries.h"
#include "module/itoken.h"
#include "module/module.h"
#include "platform/program.h"
#include "shared/module_meta.h"

// Drives the module's token() the way a host does: from a worker thread, while the GUI thread
// answers the driver prompt by clicking one of its buttons.
namespace fs = boost::filesystem;
using namespace kelvo;

namespace {

const fs::path kHostDir = platform::programLocation().parent_path();
const fs::path kMarker = kHostDir / "reject_zolvex.ini";
const fs::path kInstaller = kHostDir / "register_zolvex.sh";

struct PromptSeen {
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::Information;
    QString yesText;
    QString noText;
    bool yesIsDefault = false;
    QString qss;
    QSize iconSize;
};

class DriverCheck : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "driver_check_test";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
        application_->setQuitOnLastWindowClosed(false);
    }
    static void TearDownTestSuite() { application_.reset(); }

    void SetUp() override {
        settingsDir_ = fs::temp_directory_path() / fs::unique_path("zolvex-settings-%%%%%%");
        fs::create_directories(settingsDir_);
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope,
                           QString::fromStdString(settingsDir_.string()));
        fs::remove(kMarker);
        fs::remove(kInstaller);
        loader_.setFileName(QString::fromLocal8Bit(std::getenv("ZOLVEX_PLUGIN")));
        // Unloading takes the module out of the process, as for a host that reloads modules
        // (Qt's default hint keeps plug-ins loaded for good).
        loader_.setLoadHints({});
        module_ = static_cast<plugin::module::Module*>(loader_.instance());
        ASSERT_NE(module_, nullptr) << loader_.errorString().toStdString();
        meta_->name = "zolvex";
        module_->init(&session_, meta_);
    }
    void TearDown() override {
        delete module_;
        // The prompt's texts may be Qt literals in the module's own memory.
        prompts_.clear();
        loader_.unload();
        fs::remove(kMarker);
        fs::remove(kInstaller);
        fs::remove_all(settingsDir_);
    }

    void registerDrivers() {
        QSettings vendor(QSettings::NativeFormat, QSettings::SystemScope, "VOXA CORP", "PKCS11");
        vendor.setValue("ZOLVEXToken/path", "/opt/voxa");
    }

    // The module's token on this thread; binding it fails, as this host has no vendor library.
    void expectTokenWithoutVendorLibrary() {
        plugin::module::IToken* token = module_->token();
        ASSERT_NE(token, nullptr);
        try {
            token->cryptoki();
            ADD_FAILURE() << "the token was bound without a vendor library";
        } catch (const plugin::exception::Exception& e) {
            EXPECT_THAT(e.what(),
                        ::testing::HasSubstr(": Zolvex libraries not found\t(zolvex.cpp:"));
            EXPECT_THAT(e.what(), ::testing::EndsWith(") createCryptoki"));
        }
    }

    void writeInstaller(const std::string& body) {
        std::ofstream(kInstaller.string()) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(kInstaller, fs::owner_all);
    }

    // Calls token() on a worker; every prompt that shows up is recorded and answered.
    plugin::module::IToken* tokenAnswering(QMessageBox::StandardButton answer) {
        std::atomic<bool> finished{false};
        plugin::module::IToken* token = nullptr;
        std::thread worker([&] {
            token = module_->token();
            finished = true;
        });
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                prompts_.push_back(describe(*box));
                // Under a real display (Xvfb) the rendered prompt can be kept for a look.
                if (const char* picture = std::getenv("ZOLVEX_PROMPT_PICTURE")) {
                    box->grab().save(QString::fromLocal8Bit(picture));
                }
                box->button(answer)->click();
            }
            if (finished) {
                QApplication::quit();
            }
        });
        clicker.start(5);
        QApplication::exec();
        worker.join();
        return token;
    }

    static PromptSeen describe(QMessageBox& box) {
        return {box.windowTitle(),
                box.text(),
                box.textFormat(),
                box.icon(),
                box.button(QMessageBox::Yes)->text(),
                box.button(QMessageBox::No)->text(),
                box.defaultButton() == static_cast<QPushButton*>(box.button(QMessageBox::Yes)),
                box.property("qss").toString(),
                box.windowIcon().availableSizes().value(0)};
    }

    static std::unique_ptr<QApplication> application_;
    fs::path settingsDir_;
    QPluginLoader loader_;
    plugin::module::Module* module_ = nullptr;
    plugin::shared::FormatRecord core_{"core", "1.0", "kelvo.plugin", ""};
    host::Session session_{&core_, nullptr, nullptr};
    boost::shared_ptr<plugin::shared::ModuleMeta> meta_ =
        boost::make_shared<plugin::shared::ModuleMeta>();
    std::vector<PromptSeen> prompts_;
};

std::unique_ptr<QApplication> DriverCheck::application_;

}  // namespace

TEST_F(DriverCheck, RegisteredDriversGiveTheTokenWithoutAPrompt) {
    registerDrivers();
    EXPECT_EQ(tokenAnswering(QMessageBox::No), module_->qt_metacast("plugin.IToken"));
    EXPECT_TRUE(prompts_.empty());
    EXPECT_FALSE(fs::exists(kMarker));
}

TEST_F(DriverCheck, OrganisationWideSettingsAreNoDrivers) {
    {
        QSettings organisation(QSettings::NativeFormat, QSettings::SystemScope, "VOXA CORP");
        organisation.setValue("ZOLVEXToken/path", "/opt/voxa");
    }
    ASSERT_TRUE(fs::exists(settingsDir_ / "VOXA CORP.conf"));
    EXPECT_EQ(tokenAnswering(QMessageBox::No), nullptr);
    EXPECT_EQ(prompts_.size(), 1u);
}

TEST_F(DriverCheck, PromptCarriesTheSpecifiedElements) {
    {
        QSettings vendor(QSettings::NativeFormat, QSettings::SystemScope, "VOXA CORP", "PKCS11");
        vendor.setValue("version", "1");  // values alone are no drivers
    }
    EXPECT_EQ(tokenAnswering(QMessageBox::No), nullptr);
    ASSERT_EQ(prompts_.size(), 1u);
    const PromptSeen& prompt = prompts_.front();
    EXPECT_EQ(prompt.title, QString("Внимание"));
    EXPECT_EQ(prompt.text, QString("Отсутствуют драйверы ZOLVEX.<br>Произвести установку "
                                   "драйверов?<br>[ требуются права администратора ]"));
    EXPECT_EQ(prompt.format, Qt::RichText);
    EXPECT_EQ(prompt.icon, QMessageBox::NoIcon);
    EXPECT_EQ(prompt.yesText, QString("Да"));
    EXPECT_EQ(prompt.noText, QString("Нет"));
    EXPECT_TRUE(prompt.yesIsDefault);
    EXPECT_EQ(prompt.qss, QString("dialog"));
    EXPECT_EQ(prompt.iconSize, QSize(32, 32));
}

TEST_F(DriverCheck, RefusalIsRememberedBesideTheHostProgram) {
    EXPECT_EQ(tokenAnswering(QMessageBox::No), nullptr);
    ASSERT_TRUE(fs::exists(kMarker));
    EXPECT_EQ(fs::file_size(kMarker), 0u);
    EXPECT_EQ(tokenAnswering(QMessageBox::Yes), nullptr);
    EXPECT_EQ(prompts_.size(), 1u);
}

TEST_F(DriverCheck, InstallerThatRegistersTheDriversGivesTheToken) {
    const std::string conf = (settingsDir_ / "VOXA CORP" / "PKCS11.conf").string();
    writeInstaller("mkdir -p \"$(dirname '" + conf +
                   "')\" && printf '[ZOLVEXToken]\\npath=x\\n' > '" + conf + "'");
    EXPECT_EQ(tokenAnswering(QMessageBox::Yes), module_->qt_metacast("plugin.IToken"));
    EXPECT_EQ(prompts_.size(), 1u);
    EXPECT_FALSE(fs::exists(kMarker));
}

TEST_F(DriverCheck, InstallerThatCannotStartAsksAgainNextTime) {
    EXPECT_EQ(tokenAnswering(QMessageBox::Yes), nullptr);
    EXPECT_FALSE(fs::exists(kMarker));
    EXPECT_EQ(tokenAnswering(QMessageBox::No), nullptr);
    EXPECT_EQ(prompts_.size(), 2u);
}

TEST_F(DriverCheck, UnloadedModuleLeavesTheProcessAndLoadsAgain) {
    registerDrivers();
    expectTokenWithoutVendorLibrary();
    module_ = nullptr;  // unloading destroys the root object
    ASSERT_TRUE(loader_.unload()) << loader_.errorString().toStdString();
    EXPECT_FALSE(kelvo::test::isMapped("libzolvex.so"));

    module_ = static_cast<plugin::module::Module*>(loader_.instance());
    ASSERT_NE(module_, nullptr) << loader_.errorString().toStdString();
    module_->init(&session_, meta_);
    expectTokenWithoutVendorLibrary();
}
