#include <algorithm>

#include <gtest/gtest.h>
#include <boost/filesystem/operations.hpp>

#include "platform/environment.h"
#include "platform/program.h"
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
