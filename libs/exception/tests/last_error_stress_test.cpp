#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "exception/crypto.h"
#include "exception/cryptoki.h"

using kelvo::plugin::crypto::exception::CryptoException;
using kelvo::plugin::crypto::exception::Message_;
using kelvo::plugin::exception::CryptokiException;

// A host thread reads the environment (getenv, or walking the array as QProcess does) while a
// worker constructs exceptions, each of which rewrites the last-error record. Under
// AddressSanitizer a read of a freed array or entry fails the test.
TEST(LastErrorRecord, HostThreadsReadTheEnvironmentWhileExceptionsAreConstructed) {
    constexpr int kExceptions = 200000;
    std::atomic<bool> finished{false};
    long rounds = 0;
    std::vector<std::string> oddities;
    std::thread reader([&] {
        const std::set<std::string> categories{"Application", "Crypto", "Xml", "Cryptoki", "Ssl"};
        while (!finished && oddities.empty()) {
            // Each slot is read once, as getenv does.
            for (char** slot = environ; slot; ++slot) {
                const char* entry = *slot;
                if (!entry) {
                    break;
                }
                if (!std::strchr(entry, '=')) {
                    oddities.emplace_back(entry);
                }
            }
            const char* category = std::getenv("__ex_category");
            if (category && !categories.count(category)) {
                oddities.emplace_back(category);
            }
            const char* text = std::getenv("__ex_string");
            if (text && std::strcmp(text, "zolvex") != 0) {
                oddities.emplace_back(text);
            }
            ++rounds;
        }
    });
    for (int i = 0; i < kExceptions; ++i) {
        if (i % 2 == 0) {
            CryptoException(kelvo::plugin::crypto::exception::TokenInitializeFailed)
                << Message_("zolvex");
        } else {
            CryptokiException(40160 + i % 5);
        }
    }
    finished = true;
    reader.join();
    EXPECT_GT(rounds, 0);
    EXPECT_THAT(oddities, ::testing::IsEmpty());
    EXPECT_STREQ(std::getenv("__ex_code"), "40164");
    EXPECT_STREQ(std::getenv("__ex_category"), "Cryptoki");
    EXPECT_EQ(std::getenv("__ex_string"), nullptr);
}
