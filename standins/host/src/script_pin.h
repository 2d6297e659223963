#pragma once

#include <string>

#include <boost/optional.hpp>

#include "secret_string.h"

namespace kelvo::host::app {

// The environment variable that hands a PIN to the host from a script.
inline constexpr const char* kPinVariable = "ZOLVEX_PIN";

// The first line of a PIN file (a trailing carriage return dropped). Throws
// std::runtime_error naming the file when it cannot be read, is no regular file, can be
// read or written by group or others, or starts with an empty line.
SecretString readPinFile(const std::string& path);

// Takes the variable's value out of the process environment: the value is copied, the
// variable removed and its text overwritten, so that neither child processes nor a look at
// the process environment find it. Call before any thread starts. Throws
// std::runtime_error, the variable removed all the same, when the value is longer than a PIN
// can be.
boost::optional<SecretString> takePinFromEnvironment(const char* name);

}  // namespace kelvo::host::app
