// The Win32 half of the platform layer, run under Wine in CI.
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cwctype>
#include <fstream>

#include <gtest/gtest.h>

#include "elevation.h"
#include "module_path.h"
#include "platform/environment.h"
#include "platform/os_version.h"
#include "platform/shared_library.h"

using namespace kelvo::platform;

namespace {

bool endsWithIgnoringCase(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() &&
           std::equal(end.rbegin(), end.rend(), text.rbegin(),
                      [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
}

std::wstring widened(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(),
                                             int(wide.size()));
    wide.resize(length);
    return wide;
}

std::string narrowed(const std::wstring& text) {
    std::string narrow(text.size() * 2, '\0');
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()),
                                             narrow.data(), int(narrow.size()), nullptr, nullptr);
    narrow.resize(length);
    return narrow;
}

std::wstring programFolder() {
    const std::wstring program = executablePath();
    return program.substr(0, program.find_last_of(L'\\') + 1);
}

std::string probeLibraryPath() {
    return narrowed(programFolder() + L"platform_probe.dll");
}

bool listed(const std::string& name) {
    const auto names = environment::names();
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

TEST(SharedLibrary, LoadsALibraryCallsItAndReleasesIt) {
    {
        SharedLibrary library(probeLibraryPath());
        ASSERT_TRUE(library.isLoaded()) << library.loadError();
        EXPECT_TRUE(library.loadError().empty());
        EXPECT_EQ(library.function<int (*)(int)>("kelvo_probe_twice")(21), 42);
        EXPECT_EQ(library.symbol("no_such_symbol"), nullptr);
        EXPECT_TRUE(endsWithIgnoringCase(widened(library.path()), L"\\platform_probe.dll"))
            << library.path();
        SharedLibrary moved(std::move(library));
        EXPECT_TRUE(moved.isLoaded());
        EXPECT_FALSE(library.isLoaded());
    }
    EXPECT_EQ(::GetModuleHandleA("platform_probe.dll"), nullptr);
    { SharedLibrary library(probeLibraryPath(), SharedLibrary::Residence::Process); }
    EXPECT_NE(::GetModuleHandleA("platform_probe.dll"), nullptr);
}

TEST(SharedLibrary, MissingLibraryLeavesTheSystemsReason) {
    SharedLibrary library("C:\\nonexistent\\voxa_pkcs11_main.dll");
    EXPECT_FALSE(library.isLoaded());
    EXPECT_NE(library.loadError().find("voxa_pkcs11_main.dll: "), std::string::npos);
    EXPECT_NE(library.loadError().find("(error 126)"), std::string::npos) << library.loadError();
    EXPECT_EQ(library.symbol("C_GetFunctionList"), nullptr);
    EXPECT_EQ(library.path(), "");
}

// Values in the ANSI code page (1251 here) reach wide readers of the environment as Cyrillic.
TEST(Environment, SetGetListAndUnsetRoundTrips) {
    ASSERT_EQ(::GetACP(), 1251u) << "run with a Russian locale (LC_ALL=ru_RU.UTF-8)";
    const struct {
        std::string value;
        std::wstring wide;
    } cases[] = {{"\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5", L"значение"},
                 {"C:\\\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xFB", L"C:\\Программы"},
                 {"a=b;c", L"a=b;c"},
                 {"", L""}};
    const std::string name = "KELVO_PLATFORM_TEST";
    for (const auto& [value, wide] : cases) {
        environment::set(name, value);
        EXPECT_EQ(environment::get(name).value_or("<none>"), value);
        EXPECT_EQ(environment::get("kelvo_platform_test").value_or("<none>"), value);
        wchar_t seen[64] = {};
        ::GetEnvironmentVariableW(L"KELVO_PLATFORM_TEST", seen, 64);
        EXPECT_EQ(std::wstring(seen), wide);
        EXPECT_TRUE(listed(name));
        environment::unset(name);
        EXPECT_FALSE(environment::get(name));
        EXPECT_FALSE(listed(name));
    }
    environment::set("", "x");
    environment::set("a=b", "x");
    EXPECT_FALSE(environment::get("a"));
}

TEST(Environment, ReplacesPrefixedVariablesAndHidesDriveFolders) {
    environment::set("KELVO_WINE_A", "1");
    environment::set("kelvo_wine_b", "2");
    environment::replacePrefixed("KELVO_WINE_", {{"KELVO_WINE_C", "3"}, {"KELVO_WINE_B", "two"}});
    EXPECT_FALSE(environment::get("KELVO_WINE_A"));
    EXPECT_EQ(environment::get("KELVO_WINE_B").value_or(""), "two");
    EXPECT_EQ(environment::get("KELVO_WINE_C").value_or(""), "3");
    environment::replacePrefixed("KELVO_WINE_", {});
    EXPECT_FALSE(environment::get("KELVO_WINE_B"));
    EXPECT_FALSE(environment::get("KELVO_WINE_C"));

    ASSERT_TRUE(::SetEnvironmentVariableA("=Z:", "Z:\\"));
    const auto names = environment::names();
    EXPECT_TRUE(std::none_of(names.begin(), names.end(),
                             [](const std::string& name) { return name.empty(); }));
    EXPECT_TRUE(listed("PATH") || listed("Path"));
}

TEST(OsVersion, RunningSystemAsNtdllReportsIt) {
    const OsVersion version = osVersion();
    EXPECT_GE(version.major, 6u);
    EXPECT_GT(version.build, 0u);
    EXPECT_EQ(version.productType, unsigned(VER_NT_WORKSTATION));
}

TEST(Elevation, AdministratorCheckAgreesWithTheShell) {
    EXPECT_EQ(elevation::isAdministrator(), ::IsUserAnAdmin() != FALSE);
}

// The installer may sit in a folder whose name the ANSI code page cannot hold.
TEST(Elevation, RunsTheScriptAndWaitsForIt) {
    const std::wstring folder = programFolder() + L"установщик\\";
    const std::wstring marker = programFolder() + L"elevated.txt";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::DeleteFileW(marker.c_str());
    const std::wstring script = folder + L"register_zolvex.bat";
    {
        std::ofstream(script.c_str()) << "@echo off\r\nping -n 2 127.0.0.1 > nul\r\necho done > \""
                                      << narrowed(marker) << "\"\r\n";
    }
    EXPECT_TRUE(elevation::runElevated(script));
    EXPECT_NE(::GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(elevation::runElevated(folder + L"missing.bat"));
}

TEST(Program, ExecutablePathIsThisTestProgram) {
    const std::wstring path = executablePath();
    EXPECT_TRUE(endsWithIgnoringCase(path, L"\\kelvo_platform_win32_tests.exe"));
    EXPECT_NE(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}
