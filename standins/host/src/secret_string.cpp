#include "secret_string.h"

#include <cstring>
#include <stdexcept>

#include <openssl/crypto.h>

namespace kelvo::host::app {

SecretString::SecretString() {
    text_.reserve(kCapacity);
}

SecretString::SecretString(const char* text) : SecretString() {
    const std::size_t length = std::strlen(text);
    if (length > kCapacity) {
        throw std::length_error("longer than " + std::to_string(kCapacity) + " characters");
    }
    text_.append(text, length);
}

// Both buffers stay on the heap at full capacity, so the swap exchanges pointers and copies
// no character.
SecretString::SecretString(SecretString&& other) : SecretString() {
    text_.swap(other.text_);
}

SecretString& SecretString::operator=(SecretString&& other) {
    wipe();
    text_.swap(other.text_);
    return *this;
}

SecretString::~SecretString() {
    wipe();
}

bool SecretString::push_back(char c) {
    if (text_.size() == text_.capacity()) {
        return false;
    }
    text_.push_back(c);
    return true;
}

void SecretString::wipe() {
    // Within capacity, so the buffer stays where it is; the characters past the text are
    // wiped too, as they may hold what pop_back() removed.
    text_.resize(text_.capacity());
    OPENSSL_cleanse(text_.data(), text_.size());
    text_.clear();
}

}  // namespace kelvo::host::app
