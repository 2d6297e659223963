#include <gtest/gtest.h>

#include <future>
#include <sstream>
#include <vector>

#include <boost/exception/errinfo_nested_exception.hpp>
#include <boost/exception/get_error_info.hpp>
#include <boost/exception/info.hpp>
#include <boost/exception_ptr.hpp>

#include "shared/base64.h"

namespace base64 = kelvo::plugin::base64;

namespace {

std::string decode(const std::string& text) {
    return base64::decode(text.data(), text.size());
}

}  // namespace

TEST(Base64, RecognisesAlphabetPaddingAndLineBreaks) {
    const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\r\n";
    for (int c = -128; c < 128; ++c) {
        const bool expected = alphabet.find(static_cast<char>(c)) != std::string::npos;
        EXPECT_EQ(expected, base64::isBase64Char(static_cast<char>(c))) << c;
    }
}

TEST(Base64, DecodesUpToTheFirstPadding) {
    EXPECT_EQ("Man", decode("TWFu"));
    EXPECT_EQ("Ma", decode("TWE="));
    EXPECT_EQ("M", decode("TQ=="));
    EXPECT_EQ("Man", decode("TWFu=\n not base64 at all \x01"));
    EXPECT_EQ("", decode(""));
    EXPECT_EQ("", base64::decode(nullptr, 10));
    EXPECT_EQ(std::string("\0\0\0", 3), decode("AAAA"));
    EXPECT_EQ("\xfb\xff", decode("+/8="));
}

TEST(Base64, RejectsCharactersOutsideTheAlphabet) {
    for (const std::string text : {"TWFu\n", "TW u", "TWFu\r\nTWFu", "TW*u", "A"}) {
        EXPECT_THROW(decode(text), base64::DecodeError) << text;
    }
}

TEST(Base64, DecodeErrorCarriesCodeAndCause) {
    try {
        decode("TWFu TWFu");
        FAIL() << "no exception";
    } catch (const base64::DecodeError& error) {
        EXPECT_EQ(std::make_error_code(std::errc::illegal_byte_sequence), error.code());
        EXPECT_EQ(std::string("decode"), *boost::get_error_info<boost::throw_function>(error));
        const boost::exception_ptr* cause =
            boost::get_error_info<boost::errinfo_nested_exception>(error);
        ASSERT_NE(nullptr, cause);
        EXPECT_TRUE(*cause);
    }
}

TEST(Base64, KeepsBytesDecodedBeforeAnError) {
    std::istringstream input("TWFuTWFu!TWFu");
    std::ostringstream output;
    EXPECT_THROW(base64::decode(input, output, nullptr, 0), base64::DecodeError);
    EXPECT_EQ(0u, output.str().find("Man"));
}

TEST(Base64, StreamDecodeDropsListedCharacters) {
    std::istringstream input("TW\r\nFu\r\nTW\r\nE=\r\n");
    std::ostringstream output;
    const char removed[] = {'\r', '\n'};
    base64::decode(input, output, removed, sizeof removed);
    EXPECT_EQ("ManMa", output.str());
}

TEST(Base64, DecodesAfterPaddedTextAndInParallel) {
    EXPECT_EQ("M", decode("TQ=="));
    EXPECT_EQ("Man", decode("TWFu"));

    // Every decode has its own padding state: padded and unpadded texts decoded at once
    // never cut each other short.
    std::vector<std::future<bool>> results;
    for (int worker = 0; worker < 4; ++worker) {
        results.push_back(std::async(std::launch::async, [worker] {
            const std::string text = worker % 2 ? std::string(4000, 'A') + "TWE=" : "TQ==";
            const std::size_t expected = worker % 2 ? 3002 : 1;
            for (int i = 0; i < 200; ++i) {
                if (decode(text).size() != expected) {
                    return false;
                }
            }
            return true;
        }));
    }
    for (auto& result : results) {
        EXPECT_TRUE(result.get());
    }
}
