#pragma once

#include <string>
#include <vector>

#include <boost/optional.hpp>

// The process environment (GetEnvironmentStrings / SetEnvironmentVariableA on Windows).
namespace kelvo::platform::environment {

std::vector<std::string> names();
boost::optional<std::string> get(const std::string& name);
void set(const std::string& name, const std::string& value);
void unset(const std::string& name);

}  // namespace kelvo::platform::environment
