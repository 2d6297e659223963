#pragma once

#include <system_error>

#include <boost/exception/exception.hpp>

#include "exception/throw.h"

namespace kelvo::plugin::exception {

// Base of every failure the module reports. Constructing one replaces the process-wide
// last-error record ("__ex_*" environment variables) that what() and message() read.
class Exception : public std::system_error, public boost::exception {
public:
    ~Exception() override = default;
    // Code, category, quoted message, attached texts and the throw location. The texts of
    // what() and message() stay valid, on any thread, while this library is loaded.
    const char* what() const noexcept override;
    virtual const char* message() const noexcept;

protected:
    explicit Exception(std::error_code code);
    Exception(const Exception&) = default;
};

}  // namespace kelvo::plugin::exception
