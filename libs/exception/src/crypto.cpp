#include "exception/crypto.h"

#include "exception/last_error.h"
#include "text_pool.h"

namespace kelvo::plugin::crypto::exception {

const char* CryptoCategory::name() const noexcept {
    return "Crypto";
}

const kelvo::plugin::exception::CodeTable& CryptoCategory::codeTable() const {
    static const kelvo::plugin::exception::CodeTable table{
        KELVO_CRYPTO_ERRORS(KELVO_ERROR_TABLE_ROW)};
    return table;
}

const CryptoCategory& cryptoCategory() {
    static const CryptoCategory category;
    return category;
}

CryptoException::CryptoException(int code) : Exception(std::error_code(code, cryptoCategory())) {}

const char* CryptoException::message() const noexcept {
    namespace last_error = kelvo::plugin::exception::last_error;
    try {
        const bool attachedText =
            code().value() == XmlSignatureFailed && last_error::has(last_error::kString);
        return kelvo::plugin::exception::pooledText(
            last_error::read(attachedText ? last_error::kString : last_error::kMessage));
    } catch (...) {
        return "";
    }
}

const CryptoException& operator<<(const CryptoException& exception, Message_ message) {
    kelvo::plugin::exception::last_error::attachString(message.value());
    boost::exception_detail::set_info(exception, message);
    return exception;
}

}  // namespace kelvo::plugin::crypto::exception
