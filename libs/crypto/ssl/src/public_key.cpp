#include "ssl/public_key.h"

#include "ssl/tools.h"

namespace kelvo::plugin::ssl {

PublicKey::PublicKey(const X509_PUBKEY* key) {
    if (key == nullptr) {
        return;
    }
    ASN1_OBJECT* algorithm = nullptr;
    const unsigned char* bytes = nullptr;
    int length = 0;
    if (X509_PUBKEY_get0_param(&algorithm, &bytes, &length, nullptr, key) != 1) {
        return;
    }
    assign(bytes != nullptr && length > 0
               ? std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length))
               : std::string(),
           oidText(algorithm));
}

}  // namespace kelvo::plugin::ssl
