#include "cryptoki.h"

#include <boost/log/trivial.hpp>

#include "exception/crypto.h"
#include "exception/throw.h"
#include "shared/path_registry.h"

namespace kelvo::plugin::cryptoki {

namespace {

constexpr const char* kModel = "ZOLVEXToken GOST";

}  // namespace

ZolvexCryptoki::ZolvexCryptoki()
    : ZolvexCryptoki(shared::path_registry::zolvexResourceFile().string()) {}

ZolvexCryptoki::ZolvexCryptoki(const std::string& libraryFile) : Cryptoki(libraryFile) {
    if (const auto getFunctionList =
            library().function<CK_C_GetFunctionList>("C_GetFunctionList")) {
        // A failure leaves the list null, which functions() reports.
        getFunctionList(&functions_);
    }
}

ZolvexCryptoki::~ZolvexCryptoki() {
    // Without a function list there is nothing to finalize; raising from here would end the
    // host, so the skipped step is only reported.
    if (!functions_) {
        try {
            BOOST_LOG_TRIVIAL(warning)
                << "cryptoki: no function list, finalize skipped, library: " << libraryPath();
        } catch (...) {
        }
        return;
    }
    functions_->C_Finalize(nullptr);
}

std::string ZolvexCryptoki::model(CK_SLOT_ID) const {
    return kModel;
}

std::string ZolvexCryptoki::alias(const CK_TOKEN_INFO&) const {
    return kModel;
}

CK_FUNCTION_LIST* ZolvexCryptoki::functions() {
    if (!functions_) {
        BOOST_THROW_EXCEPTION(
            crypto::exception::CryptoException(crypto::exception::TokenInitializeFailed)
            << crypto::exception::Message_("zolvex"));
    }
    return functions_;
}

CK_FUNCTION_LIST* ZolvexCryptoki::functionList() {
    return functions();
}

KELVO_CRYPTOKI_LIBRARY_FUNCTIONS(KELVO_CRYPTOKI_DEFINE_FORWARD, ZolvexCryptoki)

}  // namespace kelvo::plugin::cryptoki
