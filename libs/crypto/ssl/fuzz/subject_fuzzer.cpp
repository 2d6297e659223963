// libFuzzer target: the request builder's subject parser adds every item of any subject text
// to a request, or refuses with SslException SrSetValueFailed.
#include <openssl/err.h>
#include <openssl/x509.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "crypto/icsr_creator.h"
#include "exception/ssl.h"
#include "ssl/csr_request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace ssl = kelvo::plugin::ssl;
    namespace exception = kelvo::plugin::ssl::exception;
    std::unique_ptr<X509_REQ, decltype(&X509_REQ_free)> request(X509_REQ_new(), X509_REQ_free);
    if (!request) {
        return 0;
    }
    kelvo::plugin::crypto::CsrParams params;
    params.subject.assign(reinterpret_cast<const char*>(data), size);
    try {
        ssl::appendSubject(request.get(), params);
    } catch (const exception::SslException& e) {
        if (e.code().value() != exception::SrSetValueFailed) {
            std::abort();
        }
    }
    // Each input starts from an empty error queue, as each request of the module does.
    ERR_clear_error();
    return 0;
}
