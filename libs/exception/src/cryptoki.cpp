#include "exception/cryptoki.h"

#include <cstdint>
#include <unordered_set>

namespace kelvo::plugin::exception {

const char* CryptokiCategory::name() const noexcept {
    return "Cryptoki";
}

const kelvo::plugin::exception::CodeTable& CryptokiCategory::codeTable() const {
    static const kelvo::plugin::exception::CodeTable table{
        KELVO_CRYPTOKI_ERRORS(KELVO_ERROR_TABLE_ROW)};
    return table;
}

const CryptokiCategory& cryptokiCategory() {
    static const CryptokiCategory category;
    return category;
}

CryptokiException::CryptokiException(int code)
    : Exception(std::error_code(code, cryptokiCategory())) {}

const char* CryptokiException::message() const noexcept {
    return cryptokiCategory().messageText(code().value());
}

bool isCryptokiError(unsigned long rv) {
    static const std::unordered_set<unsigned long> tolerated{0x000, 0x003, 0x005, 0x006,
                                                             0x0B3, 0x0E0, 0x191};
    return tolerated.count(rv) == 0;
}

int toErrorCode(unsigned long rv) {
    const auto value = static_cast<std::uint32_t>(rv);
    return static_cast<int>(value & 0xFFFF) + 40000 + ((value & 0x80000000u) ? 9000 : 0);
}

}  // namespace kelvo::plugin::exception
