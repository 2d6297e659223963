// A PKCS#11 failure raised inside the token and turned into the function's return value.
#pragma once

#include <exception>

#include "pkcs11_gost.h"

namespace softtoken {

class CkrError : public std::exception {
public:
    explicit CkrError(CK_RV rv) : rv_(rv) {}
    CK_RV rv() const { return rv_; }
    const char* what() const noexcept override { return "PKCS#11 error"; }

private:
    CK_RV rv_;
};

// Throws CkrError(rv) unless the condition holds.
inline void require(bool condition, CK_RV rv) {
    if (!condition) {
        throw CkrError(rv);
    }
}

}  // namespace softtoken
