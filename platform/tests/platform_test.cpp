#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>
#include <boost/filesystem/operations.hpp>
#include <boost/optional/optional_io.hpp>

#include <QSettings>

#include "mapped_libraries.h"
#include "platform/environment.h"
#include "platform/install_layout.h"
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
    environment::set("", "x");
    environment::set("a=b", "x");
    EXPECT_FALSE(environment::get("a"));
}

// What a reader may hold stays valid: changes neither move the array nor free an entry.
TEST(Environment, ChangesKeepTheArrayAndTheEntriesTheyReplace) {
    environment::set("__platform_a", "1");
    char** const array = environ;
    const char* first = std::getenv("__platform_a");
    environment::replacePrefixed("__platform_", {{"__platform_b", "2"}, {"__platform_c", "3"}});
    environment::set("__platform_b", "two");
    environment::unset("__platform_c");
    EXPECT_EQ(environ, array);
    EXPECT_STREQ(first, "1");
    EXPECT_FALSE(environment::get("__platform_a"));
    EXPECT_EQ(environment::get("__platform_b").value_or(""), "two");
    EXPECT_FALSE(environment::get("__platform_c"));

    // The host's own setenv replaces the array; changes from here adopt the new one.
    ::setenv("__platform_host", "h", 1);
    environment::set("__platform_d", "4");
    ::unsetenv("__platform_b");
    environment::replacePrefixed("__platform_", {{"__platform_host", "h2"}});
    EXPECT_EQ(environment::get("__platform_host").value_or(""), "h2");
    for (const std::string name : {"__platform_b", "__platform_d"}) {
        EXPECT_FALSE(environment::get(name)) << name;
    }
    const auto names = environment::names();
    EXPECT_EQ(std::count(names.begin(), names.end(), "__platform_host"), 1);
    EXPECT_NE(std::find(names.begin(), names.end(), "PATH"), names.end());
    environment::unset("__platform_host");
}

// A name that begins another (LANG, LANGUAGE) is a variable of its own for every change.
TEST(Environment, NamesThatBeginOtherNamesStayApart) {
    const auto savedLang = environment::get("LANG");
    const auto savedLanguage = environment::get("LANGUAGE");
    environment::unset("LANG");
    environment::unset("LANGUAGE");
    const struct {
        const char* change;
        std::function<void()> make;
        boost::optional<std::string> lang;
        boost::optional<std::string> language;
    } steps[] = {
        {"set LANGUAGE", [] { environment::set("LANGUAGE", "ru:en"); }, boost::none,
         std::string("ru:en")},
        {"set LANG", [] { environment::set("LANG", "ru_RU.UTF-8"); }, std::string("ru_RU.UTF-8"),
         std::string("ru:en")},
        {"unset LANG", [] { environment::unset("LANG"); }, boost::none, std::string("ru:en")},
        {"set LANG again", [] { environment::set("LANG", "C"); }, std::string("C"),
         std::string("ru:en")},
        {"unset LANGUAGE", [] { environment::unset("LANGUAGE"); }, std::string("C"), boost::none},
        {"set LANGUAGE after LANG", [] { environment::set("LANGUAGE", "de"); }, std::string("C"),
         std::string("de")},
        {"set LANG over", [] { environment::set("LANG", "en_US"); }, std::string("en_US"),
         std::string("de")},
    };
    for (const auto& step : steps) {
        step.make();
        EXPECT_EQ(environment::get("LANG"), step.lang) << step.change;
        EXPECT_EQ(environment::get("LANGUAGE"), step.language) << step.change;
        const auto names = environment::names();
        EXPECT_EQ(std::count(names.begin(), names.end(), "LANG"), step.lang ? 1 : 0) << step.change;
    }
    for (const auto& [name, saved] : {std::pair{"LANG", savedLang}, {"LANGUAGE", savedLanguage}}) {
        saved ? environment::set(name, *saved) : environment::unset(name);
    }
}

// Far more new variables than the spare room of the array: each one is found, none twice.
TEST(Environment, GrowsPastItsSpareRoom) {
    const int added = 40;
    const auto name = [](int index) { return "__platform_grow_" + std::to_string(index); };
    for (int index = 0; index < added; ++index) {
        environment::set(name(index), std::to_string(index));
    }
    const auto names = environment::names();
    for (int index = 0; index < added; ++index) {
        EXPECT_EQ(environment::get(name(index)).value_or(""), std::to_string(index));
        EXPECT_EQ(std::count(names.begin(), names.end(), name(index)), 1);
    }
    environment::replacePrefixed("__platform_grow_", {});
    for (int index = 0; index < added; ++index) {
        EXPECT_FALSE(environment::get(name(index))) << index;
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "PATH"), names.end());
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

TEST(SharedLibrary, ProcessResidenceKeepsTheCodeMappedAfterRelease) {
    // A library nothing here links: mapped only while loaded here.
    const std::string name = "libanl.so.1";
    ASSERT_FALSE(kelvo::test::isMapped(name));
    { SharedLibrary library(name); }
    EXPECT_FALSE(kelvo::test::isMapped(name));
    { SharedLibrary library(name, SharedLibrary::Residence::Process); }
    EXPECT_TRUE(kelvo::test::isMapped(name));
}

TEST(Program, LocationIsThisExecutable) {
    const auto location = programLocation();
    EXPECT_EQ(location.filename(), "kelvo_platform_tests");
    EXPECT_TRUE(boost::filesystem::exists(location));
}

TEST(InstallLayout, VendorFoldersAndTheFolderForTheUsersFiles) {
    const boost::filesystem::path program = "/opt/host/bin";
    const auto folders = install_layout::vendorFolders(program);
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], program);
    EXPECT_EQ(folders[1].filename(), "voxa");
    EXPECT_EQ(folders[1], folders[1].lexically_normal());
    EXPECT_EQ(folders[1].string().find(".."), std::string::npos) << folders[1];

    const auto writable = boost::filesystem::temp_directory_path();
    EXPECT_EQ(install_layout::userFilesFolder(writable), writable);
    ::setenv("XDG_CONFIG_HOME", "/tmp/platform-test-config", 1);
    EXPECT_EQ(install_layout::userFilesFolder("/nonexistent/bin"),
              boost::filesystem::path("/tmp/platform-test-config/kelvo"));
    ::unsetenv("XDG_CONFIG_HOME");
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
    {
        // Groups of the organisation-wide file are not sub-keys of the application's key.
        QSettings organisation(QSettings::NativeFormat, QSettings::SystemScope, "VOXA CORP");
        organisation.setValue("Shared/path", "/opt/voxa");
    }
    EXPECT_EQ(registry::childGroups(key, registry::View::Native64), QStringList{"Drivers"});
    EXPECT_TRUE(registry::childGroups("HKEY_LOCAL_MACHINE\\SOFTWARE\\VOXA CORP\\Other\\",
                                      registry::View::Native64)
                    .isEmpty());
    EXPECT_TRUE(
        registry::childGroups("HKEY_LOCAL_MACHINE\\SOFTWARE", registry::View::Native64).isEmpty());
    boost::filesystem::remove_all(folder);
}

TEST(Process, PlainLaunchWaitsForTheScript) {
    EXPECT_TRUE(process::run("/bin/true", 30000));
    EXPECT_FALSE(process::run("/nonexistent/register_zolvex.sh", 30000));
}

// A pkexec earlier in PATH is never the one started with the installer's arguments.
TEST(Process, ElevationHelperNeverComesFromPath) {
    if (boost::filesystem::exists("/usr/bin/pkexec") || boost::filesystem::exists("/bin/pkexec")) {
        GTEST_SKIP() << "a real pkexec would ask for authentication";
    }
    const auto folder = boost::filesystem::temp_directory_path() /
                        boost::filesystem::unique_path("elevation-%%%%-%%%%");
    boost::filesystem::create_directories(folder);
    const auto planted = folder / "pkexec";
    const auto marker = folder / "ran";
    {
        std::ofstream script(planted.string());
        script << "#!/bin/sh\ntouch '" << marker.string() << "'\n";
    }
    boost::filesystem::permissions(planted, boost::filesystem::owner_all);
    const auto path = environment::get("PATH").value_or("");
    environment::set("PATH", folder.string() + ":" + path);
    EXPECT_FALSE(process::runElevated("/bin/true"));
    environment::set("PATH", path);
    EXPECT_FALSE(boost::filesystem::exists(marker));
    boost::filesystem::remove_all(folder);
}
