#pragma once

#include <cstddef>
#include <istream>
#include <string>

#include <boost/core/noncopyable.hpp>

namespace kelvo::plugin::crypto {

class IHash : private boost::noncopyable {
public:
    virtual ~IHash() = default;
    // Digests the stream and, with a signer, signs it; returns the digest.
    virtual std::string create(std::istream& data) = 0;
    virtual std::string signatureValue() const = 0;
    virtual void initialize() = 0;
    virtual void update(const void* data, std::size_t length) = 0;
    virtual std::string finalize() = 0;
    virtual void setOption(const std::string& name, const std::string& value) = 0;
};

}  // namespace kelvo::plugin::crypto
