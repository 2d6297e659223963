#pragma once

#include <string>

#include <boost/core/noncopyable.hpp>

namespace kelvo::plugin::crypto {

class IPublicKey : private boost::noncopyable {
public:
    virtual ~IPublicKey() = default;
    // Numeric OID of the key algorithm.
    virtual const std::string& algorithm() const = 0;
    virtual const std::string& parameters() const = 0;
    // The subjectPublicKey bytes as the certificate stores them.
    virtual const std::string& value() const = 0;
    virtual bool equals(const IPublicKey& other) const = 0;
};

}  // namespace kelvo::plugin::crypto
