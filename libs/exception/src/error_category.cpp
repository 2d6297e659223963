#include "exception/error_category.h"

namespace kelvo::plugin::exception {

std::string ErrorCategory::message(int code) const {
    const CodeTable& table = codeTable();
    const auto entry = table.find(code);
    return entry == table.end() ? std::string("unknown error") : entry->second.message;
}

}  // namespace kelvo::plugin::exception
