#include "exception/last_error.h"

#include "exception/application.h"
#include "platform/environment.h"

namespace kelvo::plugin::exception::last_error {

namespace environment = kelvo::platform::environment;

namespace {

constexpr const char* kPrefix = "__ex_";

void replaceRecord(const std::error_code& code, const std::string& message) {
    environment::replacePrefixed(kPrefix, {{kMessage, message},
                                           {kCode, std::to_string(code.value())},
                                           {kCategory, code.category().name()}});
}

}  // namespace

void reset() {
    const std::error_code defaultCode(NoError, applicationCategory());
    replaceRecord(defaultCode, defaultCode.message());
}

// The record is replaced in one step: the defaults that reset() would write first are
// overwritten at once, so threads reading the environment meanwhile never see them.
void record(const std::error_code& code, const char* baseText) {
    replaceRecord(code, baseText ? baseText : "Unknown exception");
}

void attachString(const std::string& text) {
    environment::set(kString, text);
}

std::string read(const char* name) {
    return environment::get(name).value_or(std::string());
}

bool has(const char* name) {
    return environment::get(name).has_value();
}

}  // namespace kelvo::plugin::exception::last_error
