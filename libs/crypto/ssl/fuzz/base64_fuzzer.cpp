// libFuzzer target: Base64 decoding either succeeds or throws DecodeError, in memory and on
// streams with characters removed.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "shared/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace base64 = kelvo::plugin::base64;
    const auto* text = reinterpret_cast<const char*>(data);
    try {
        base64::decode(text, size);
    } catch (const base64::DecodeError&) {
    }
    try {
        std::istringstream input(std::string(text, size));
        std::ostringstream output;
        const char removed[] = {'\r', '\n', ' '};
        base64::decode(input, output, removed, sizeof removed);
    } catch (const base64::DecodeError&) {
    }
    return 0;
}
