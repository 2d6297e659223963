#include "exception/error_category.h"

namespace kelvo::plugin::exception {

std::string ErrorCategory::message(int code) const {
    return messageText(code);
}

const char* ErrorCategory::messageText(int code) const {
    const CodeTable& table = codeTable();
    const auto entry = table.find(code);
    return entry == table.end() ? "unknown error" : entry->second.message.c_str();
}

}  // namespace kelvo::plugin::exception
