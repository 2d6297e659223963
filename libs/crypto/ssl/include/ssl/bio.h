#pragma once

#include <string>

#include <openssl/bio.h>

#include "ssl/scoped_handle.h"

namespace kelvo::plugin::ssl {

// An owned memory BIO.
class BIO : public scoped_handle<::BIO> {
public:
    BIO();

    // The bytes written so far.
    std::string contents() const;
};

}  // namespace kelvo::plugin::ssl
