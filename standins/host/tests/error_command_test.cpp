#include <sstream>

#include <gtest/gtest.h>

#include "commands.h"
#include "error_codes.h"
#include "exception/application.h"
#include "exception/crypto.h"
#include "exception/cryptoki.h"
#include "exception/ssl.h"
#include "exception/xml.h"

using namespace kelvo::host::app;

TEST(ErrorCommand, PrintsNameCategoryAndMessage) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(errorCommand({"30017", "0x4E35"}, out, err), 0);
    EXPECT_EQ(out.str(),
              "30017 TokensLoginFailed (Crypto): Ошибка авторизации на токене\n"
              "20021 FileSizeOverflow (Application): Превышен максимальный размер файла\n");
    EXPECT_TRUE(err.str().empty());
}

TEST(ErrorCommand, UnknownAndMalformedCodesFail) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(errorCommand({"30017", "99999999", "12abc"}, out, err), 1);
    EXPECT_NE(out.str().find("TokensLoginFailed"), std::string::npos);
    EXPECT_NE(err.str().find("99999999: unknown error code"), std::string::npos);
    EXPECT_NE(err.str().find("12abc: not a number"), std::string::npos);
}

TEST(ErrorCodes, EveryCodeOfEveryCategoryIsFoundInItsOwnCategory) {
    using kelvo::plugin::exception::ErrorCategory;
    const ErrorCategory* categories[] = {&kelvo::plugin::exception::applicationCategory(),
                                         &kelvo::plugin::crypto::exception::cryptoCategory(),
                                         &kelvo::plugin::xml::exception::xmlCategory(),
                                         &kelvo::plugin::exception::cryptokiCategory(),
                                         &kelvo::plugin::ssl::exception::sslCategory()};
    for (const ErrorCategory* category : categories) {
        for (const auto& [code, entry] : category->codeTable()) {
            if (code == 0) {
                continue;  // "no error" is every category's
            }
            const auto info = describeError(code);
            ASSERT_TRUE(info) << code;
            EXPECT_EQ(info->category, category->name()) << code;
            EXPECT_EQ(info->name, entry.name) << code;
            EXPECT_EQ(info->message, entry.message) << code;
        }
    }
}
