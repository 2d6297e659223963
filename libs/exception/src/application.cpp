#include "exception/application.h"

namespace kelvo::plugin::exception {

const char* ApplicationCategory::name() const noexcept {
    return "Application";
}

const kelvo::plugin::exception::CodeTable& ApplicationCategory::codeTable() const {
    static const kelvo::plugin::exception::CodeTable table{
        KELVO_APPLICATION_ERRORS(KELVO_ERROR_TABLE_ROW)};
    return table;
}

const ApplicationCategory& applicationCategory() {
    static const ApplicationCategory category;
    return category;
}

ApplicationException::ApplicationException(int code)
    : Exception(std::error_code(code, applicationCategory())) {}

}  // namespace kelvo::plugin::exception
