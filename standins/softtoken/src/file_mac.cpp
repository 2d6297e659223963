#include "file_mac.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>

#include <stdexcept>

namespace softtoken {

namespace {

// The file's own serialisation of the covered fields: the parsed state written back is
// canonical, so any change to a covered field changes it.
std::string coveredText(TokenState state) {
    state.userFailures = 0;
    state.soFailures = 0;
    state.mac.clear();
    return toJson(state);
}

}  // namespace

Bytes fileMac(const SecretBytes& fileKey, const TokenState& state) {
    const std::string text = coveredText(state);
    Bytes mac(kFileMacSize, '\0');
    std::size_t size = 0;
    if (!EVP_Q_mac(nullptr, "HMAC", nullptr, "SHA256", nullptr, fileKey.data(), fileKey.size(),
                   reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                   reinterpret_cast<unsigned char*>(mac.data()), mac.size(), &size) ||
        size != kFileMacSize) {
        ERR_clear_error();
        throw std::runtime_error("HMAC-SHA256 failed");
    }
    return mac;
}

bool macMatches(const SecretBytes& fileKey, const TokenState& state) {
    const Bytes expected = fileMac(fileKey, state);
    return state.mac.size() == expected.size() &&
           CRYPTO_memcmp(state.mac.data(), expected.data(), expected.size()) == 0;
}

}  // namespace softtoken
