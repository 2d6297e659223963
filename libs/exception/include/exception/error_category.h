#pragma once

#include <string>
#include <system_error>
#include <unordered_map>

// Each category lists its codes once, as X(name, code, message) rows; these expand a list into
// the category's enumerators and into the rows of its code table, so the two cannot drift.
#define KELVO_ERROR_ENUMERATOR(name, code, message) name = code,
#define KELVO_ERROR_TABLE_ROW(name, code, message) {code, {#name, message}},

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
