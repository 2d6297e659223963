#pragma once

#include <string>
#include <system_error>

// The process-wide record of the most recent exception, kept in the environment so that
// any code in the process (the host included) can read it.
namespace kelvo::plugin::exception::last_error {

inline constexpr const char* kMessage = "__ex_msg";
inline constexpr const char* kCode = "__ex_code";
inline constexpr const char* kCategory = "__ex_category";
inline constexpr const char* kString = "__ex_string";
inline constexpr const char* kFileInfo = "__ex_fileinfo";

// Drops every "__ex_" variable and writes the values of code 0 of the application category.
void reset();
// Replaces the record with the given code, its category name and the base text.
void record(const std::error_code& code, const char* baseText);
void attachString(const std::string& text);
// Value of a record variable; absent reads as empty.
std::string read(const char* name);
bool has(const char* name);

}  // namespace kelvo::plugin::exception::last_error
