#pragma once

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

// The certificates made by testdata/certs/make-certs.sh and what the openssl tool reported
// about each of them.
namespace kelvo::plugin::ssl::testing {

inline std::string readFile(const std::string& name) {
    std::ifstream file(std::string(KELVO_TEST_CERTS_DIR) + "/" + name, std::ios::binary);
    if (!file) {
        throw std::runtime_error("missing test file " + name);
    }
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

using Expectations = std::map<std::string, std::string>;

inline Expectations expectations(const std::string& certificate) {
    Expectations values;
    std::istringstream lines(readFile(certificate + ".expected"));
    for (std::string line; std::getline(lines, line);) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

inline const char* const kCertificates[] = {"gost2012_512_ca", "gost2012_256",
                                            "gost2012_256_same_key", "gost2001", "rsa_v1"};
inline const char* const kFormats[] = {"der", "pem", "b64"};

}  // namespace kelvo::plugin::ssl::testing
