#include "error_codes.h"

#include <array>

#include "exception/application.h"
#include "exception/crypto.h"
#include "exception/cryptoki.h"
#include "exception/ssl.h"
#include "exception/xml.h"

namespace kelvo::host::app {

boost::optional<ErrorCodeInfo> describeError(int code) {
    using plugin::exception::ErrorCategory;
    const std::array<const ErrorCategory*, 5> categories{
        &plugin::exception::applicationCategory(), &plugin::crypto::exception::cryptoCategory(),
        &plugin::xml::exception::xmlCategory(), &plugin::exception::cryptokiCategory(),
        &plugin::ssl::exception::sslCategory()};
    for (const ErrorCategory* category : categories) {
        const auto& table = category->codeTable();
        const auto found = table.find(code);
        if (found != table.end()) {
            return ErrorCodeInfo{code, found->second.name, category->name(), found->second.message};
        }
    }
    return boost::none;
}

}  // namespace kelvo::host::app
