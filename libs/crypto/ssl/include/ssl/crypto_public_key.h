#pragma once

#include <string>

#include "crypto/ipublic_key.h"

namespace kelvo::plugin::crypto {

// A public key as three strings: the key bytes, the algorithm OID and the parameters.
class PublicKey : public IPublicKey {
public:
    PublicKey(std::string value, std::string algorithm, std::string parameters = {});

    const std::string& algorithm() const override;
    const std::string& parameters() const override;
    const std::string& value() const override;
    // Same algorithm and same key bytes; the parameters are not compared.
    bool equals(const IPublicKey& other) const override;

protected:
    PublicKey() = default;
    void assign(std::string value, std::string algorithm);

private:
    std::string value_;
    std::string algorithm_;
    std::string parameters_;
};

}  // namespace kelvo::plugin::crypto
