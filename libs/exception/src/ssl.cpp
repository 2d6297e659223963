#include "exception/ssl.h"

#include "exception/last_error.h"

namespace kelvo::plugin::ssl::exception {

const char* SslCategory::name() const noexcept {
    return "Ssl";
}

const kelvo::plugin::exception::CodeTable& SslCategory::codeTable() const {
    static const kelvo::plugin::exception::CodeTable table{KELVO_SSL_ERRORS(KELVO_ERROR_TABLE_ROW)};
    return table;
}

const SslCategory& sslCategory() {
    static const SslCategory category;
    return category;
}

SslException::SslException(int code) : Exception(std::error_code(code, sslCategory())) {}

const char* SslException::message() const noexcept {
    return sslCategory().messageText(code().value());
}

const SslException& operator<<(const SslException& exception, Module_ module) {
    kelvo::plugin::exception::last_error::attachString(module.value());
    boost::exception_detail::set_info(exception, module);
    return exception;
}

}  // namespace kelvo::plugin::ssl::exception
