#pragma once

#include <string>
#include <utility>
#include <vector>

#include <boost/optional.hpp>

// The process environment (GetEnvironmentStrings / SetEnvironmentVariableA on Windows).
// Changes made here are safe for threads that read the environment meanwhile (getenv, or
// walking the array); changes made here are serialised with each other.
namespace kelvo::platform::environment {

std::vector<std::string> names();
boost::optional<std::string> get(const std::string& name);
void set(const std::string& name, const std::string& value);
void unset(const std::string& name);

using Variables = std::vector<std::pair<std::string, std::string>>;
// Removes every variable whose name begins with the prefix and sets the given ones, in one
// step for the other writers of this library.
void replacePrefixed(const std::string& prefix, const Variables& variables);

}  // namespace kelvo::platform::environment
