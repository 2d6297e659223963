#pragma once

#include <string>
#include <system_error>
#include <unordered_map>

namespace kelvo::plugin::exception {

struct CodeEntry {
    std::string name;     // code name, ASCII
    std::string message;  // Russian text, UTF-8
};

using CodeTable = std::unordered_map<int, CodeEntry>;

// A category that knows a name and a Russian message for each of its codes.
class ErrorCategory : public std::error_category {
public:
    std::string message(int code) const override;
    // The same text, kept in the code table for as long as the category exists.
    const char* messageText(int code) const;
    virtual const CodeTable& codeTable() const = 0;
};

}  // namespace kelvo::plugin::exception
