// A PKCS#11 failure raised inside the token and turned into the function's return value.
#pragma once

#include <exception>
#include <string>

#include "pkcs11_gost.h"

namespace softtoken {

class CkrError : public std::exception {
public:
    // A detail is for failures a client cannot explain from the result alone (a damaged
    // token file, say); it is reported on the standard error stream.
    explicit CkrError(CK_RV rv, std::string detail = {}) : rv_(rv), detail_(std::move(detail)) {}
    CK_RV rv() const { return rv_; }
    const std::string& detail() const { return detail_; }
    const char* what() const noexcept override {
        return detail_.empty() ? "PKCS#11 error" : detail_.c_str();
    }

private:
    CK_RV rv_;
    std::string detail_;
};

// Throws CkrError(rv) unless the condition holds.
inline void require(bool condition, CK_RV rv) {
    if (!condition) {
        throw CkrError(rv);
    }
}

}  // namespace softtoken
