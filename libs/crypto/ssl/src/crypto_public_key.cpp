#include "ssl/crypto_public_key.h"

#include <utility>

namespace kelvo::plugin::crypto {

PublicKey::PublicKey(std::string value, std::string algorithm, std::string parameters)
    : value_(std::move(value)),
      algorithm_(std::move(algorithm)),
      parameters_(std::move(parameters)) {}

const std::string& PublicKey::algorithm() const {
    return algorithm_;
}

const std::string& PublicKey::parameters() const {
    return parameters_;
}

const std::string& PublicKey::value() const {
    return value_;
}

bool PublicKey::equals(const IPublicKey& other) const {
    return algorithm_ == other.algorithm() && value_ == other.value();
}

void PublicKey::assign(std::string value, std::string algorithm) {
    value_ = std::move(value);
    algorithm_ = std::move(algorithm);
}

}  // namespace kelvo::plugin::crypto
