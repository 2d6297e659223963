#include "ssl/tools.h"

#include <openssl/err.h>
#include <openssl/objects.h>
#include <boost/algorithm/string/erase.hpp>

#include "ssl/bio.h"

namespace kelvo::plugin::ssl {

std::string stripArmour(std::string text) {
    for (const char* armour :
         {"-----BEGIN CERTIFICATE-----", "-----END CERTIFICATE-----",
          "-----BEGIN CERTIFICATE REQUEST-----", "-----END CERTIFICATE REQUEST-----",
          "-----BEGIN PUBLIC KEY-----", "-----END PUBLIC KEY-----", "\r", "\n"}) {
        boost::algorithm::erase_all(text, armour);
    }
    return text;
}

std::string errorText() {
    BIO bio;
    if (!bio) {
        ERR_clear_error();
        return {};
    }
    ERR_print_errors(bio.get());
    std::string text = bio.contents();
    boost::algorithm::erase_all(text, "\r");
    boost::algorithm::erase_all(text, "\n");
    return text;
}

std::string oidText(const ASN1_OBJECT* object) {
    if (object == nullptr) {
        return {};
    }
    char buffer[256] = {};
    const int length = OBJ_obj2txt(buffer, sizeof buffer, object, 1);
    if (length <= 0) {
        return {};
    }
    // A longer identifier is cut to the buffer, as OBJ_obj2txt does.
    return std::string(buffer);
}

}  // namespace kelvo::plugin::ssl
