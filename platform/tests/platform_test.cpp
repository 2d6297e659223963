#include <algorithm>

#include <gtest/gtest.h>
#include <boost/filesystem/operations.hpp>

#include <QSettings>

#include "platform/environment.h"
#include "platform/os_version.h"
#include "platform/process.h"
#include "platform/program.h"
#include "platform/registry.h"
#include "platform/shared_library.h"

using namespace kelvo::platform;

TEST(Environment, SetListReadAndRemove) {
    environment::set("__platform_test", "значение");
    const auto names = environment::names();
    EXPECT_NE(std::find(names.begin(), names.end(), "__platform_test"), names.end());
    EXPECT_EQ(environment::get("__platform_test").value_or(""), "значение");
    environment::unset("__platform_test");
    EXPECT_FALSE(environment::get("__platform_test"));
}

TEST(SharedLibrary, MissingFileLeavesAnEmptyHandle) {
    SharedLibrary library("/nonexistent/voxa_pkcs11_main.so");
    EXPECT_FALSE(library.isLoaded());
    EXPECT_FALSE(library.loadError().empty());
    EXPECT_EQ(library.symbol("C_GetFunctionList"), nullptr);
    EXPECT_EQ(library.path(), "");
}

TEST(SharedLibrary, LoadsASystemLibraryAndFindsItsSymbols) {
    SharedLibrary library("libm.so.6");
    ASSERT_TRUE(library.isLoaded());
    EXPECT_NE(library.symbol("cos"), nullptr);
    EXPECT_EQ(library.symbol("no_such_symbol"), nullptr);
    EXPECT_NE(library.path().find("libm"), std::string::npos);

    SharedLibrary moved(std::move(library));
    EXPECT_TRUE(moved.isLoaded());
    EXPECT_FALSE(library.isLoaded());
}

TEST(Program, LocationIsThisExecutable) {
    const auto location = programLocation();
    EXPECT_EQ(location.filename(), "kelvo_platform_tests");
    EXPECT_TRUE(boost::filesystem::exists(location));
}

TEST(OsVersion, KernelReleaseAsAWorkstation) {
    const auto version = osVersion();
    EXPECT_GT(version.major, 0u);
    EXPECT_EQ(version.productType, 1u);
}

TEST(Registry, ChildGroupsOfTheVendorKeyFromSystemSettings) {
    const auto folder = boost::filesystem::temp_directory_path() /
                        boost::filesystem::unique_path("registry-%%%%%%");
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope,
                       QString::fromStdString(folder.string()));
    const QString key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\VOXA CORP\\PKCS11\\";
    EXPECT_TRUE(registry::childGroups(key, registry::View::Native64).isEmpty());
    {
        QSettings vendor(QSettings::NativeFormat, QSettings::SystemScope, "VOXA CORP", "PKCS11");
        vendor.setValue("version", 1);  // a value is not a sub-key
    }
    EXPECT_TRUE(registry::childGroups(key, registry::View::Native32).isEmpty());
    {
        QSettings vendor(QSettings::NativeFormat, QSettings::SystemScope, "VOXA CORP", "PKCS11");
        vendor.setValue("Drivers/path", "/opt/voxa");
    }
    EXPECT_EQ(registry::childGroups(key, registry::View::Native64), QStringList{"Drivers"});
    EXPECT_TRUE(
        registry::childGroups("HKEY_LOCAL_MACHINE\\SOFTWARE", registry::View::Native64).isEmpty());
    boost::filesystem::remove_all(folder);
}

TEST(Process, PlainLaunchWaitsForTheScript) {
    EXPECT_TRUE(process::run("/bin/true", 30000));
    EXPECT_FALSE(process::run("/nonexistent/register_zolvex.sh", 30000));
}
