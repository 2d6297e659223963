#include "openssl_objects.h"

#include <stdexcept>

#include <openssl/engine.h>
#include <openssl/err.h>

namespace kelvo::host::app {

std::string takeOpenSslError(const std::string& fallback) {
    // The queue's first entry is the cause; the later ones are the callers giving up.
    const char* data = nullptr;
    int flags = 0;
    const unsigned long code = ERR_peek_error_data(&data, &flags);
    std::string reason = fallback;
    if (code != 0) {
        if (const char* text = ERR_reason_error_string(code)) {
            reason = text;
        }
        if (data && *data && (flags & ERR_TXT_STRING)) {
            reason += std::string(" (") + data + ")";
        }
    }
    ERR_clear_error();
    return reason;
}

std::string memoryBytes(BIO* memory) {
    char* data = nullptr;
    const long size = BIO_get_mem_data(memory, &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

void requireGostAlgorithms() {
    // Registered once and for good: the defaults keep their own reference to the engine.
    static const bool registered = [] {
        OpenSslPtr<ENGINE, ENGINE_free> engine(ENGINE_by_id("gost"));
        return engine &&
               ENGINE_set_default(engine.get(), ENGINE_METHOD_DIGESTS | ENGINE_METHOD_PKEY_METHS |
                                                    ENGINE_METHOD_PKEY_ASN1_METHS);
    }();
    if (!registered) {
        throw std::runtime_error("the OpenSSL gost engine cannot be loaded: " +
                                 takeOpenSslError("not installed"));
    }
}

}  // namespace kelvo::host::app
