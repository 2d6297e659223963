#include "exception/last_error.h"

#include <boost/algorithm/string/predicate.hpp>

#include "exception/application.h"
#include "platform/environment.h"

namespace kelvo::plugin::exception::last_error {

namespace environment = kelvo::platform::environment;

void reset() {
    for (const std::string& name : environment::names()) {
        if (boost::starts_with(name, "__ex_")) {
            environment::unset(name);
        }
    }
    const std::error_code defaultCode(NoError, applicationCategory());
    environment::set(kMessage, defaultCode.message());
    environment::set(kCategory, defaultCode.category().name());
    environment::set(kCode, std::to_string(defaultCode.value()));
}

void record(const std::error_code& code, const char* baseText) {
    reset();
    environment::set(kMessage, baseText ? baseText : "Unknown exception");
    environment::set(kCode, std::to_string(code.value()));
    environment::set(kCategory, code.category().name());
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
