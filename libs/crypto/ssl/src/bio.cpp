#include "ssl/bio.h"

namespace kelvo::plugin::ssl {

BIO::BIO() : scoped_handle<::BIO>(BIO_new(BIO_s_mem()), [](::BIO* bio) { BIO_free_all(bio); }) {}

std::string BIO::contents() const {
    if (!*this) {
        return {};
    }
    char* data = nullptr;
    const long size = BIO_get_mem_data(get(), &data);
    return size > 0 && data != nullptr ? std::string(data, static_cast<std::size_t>(size))
                                       : std::string();
}

}  // namespace kelvo::plugin::ssl
