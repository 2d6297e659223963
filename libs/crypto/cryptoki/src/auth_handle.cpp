#include "cryptoki/auth_handle.h"

#include <set>

#include <boost/format.hpp>
#include <boost/locale/encoding_utf.hpp>
#include <boost/smart_ptr/make_shared.hpp>

#include "cryptoki/icryptoki.h"
#include "cryptoki/model_quirks.h"
#include "cryptoki/published.h"
#include "exception/crypto.h"
#include "module/itoken.h"

namespace kelvo::plugin::cryptoki {

namespace {

using boost::locale::conv::utf_to_utf;

bool succeeded(CK_RV rv) {
    static const std::set<CK_RV> success{CKR_OK, CKR_USER_ALREADY_LOGGED_IN};
    return success.count(rv) != 0;
}

std::wstring deviceTitle(const Device& device) {
    boost::format format(utf_to_utf<char>(published().deviceTitleFormat));
    // An edition format may leave out the serial; that is no error.
    format.exceptions(boost::io::all_error_bits ^
                      (boost::io::too_many_args_bit | boost::io::too_few_args_bit));
    return utf_to_utf<wchar_t>((format % device.model % device.serial).str());
}

}  // namespace

TokenAuth::TokenAuth(const Device& device) : device_(device), title_(deviceTitle(device)) {
    updateStates();
}

bool TokenAuth::authenticate(const std::string& pin) {
    if (isLocked()) {
        // A locked PIN is not sent again: the token would only count another failure.
    } else if (pin.empty() && modelQuirks(device_.model).emptyPinRejected) {
        lastResult_ = CKR_PIN_INCORRECT;
    } else if (auto library = device_.token->cryptoki()) {
        auto* bytes =
            pin.empty() ? nullptr : reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(pin.data()));
        lastResult_ = library->login(device_.slot, CKU_USER, bytes, pin.size());
    }
    updateStates();
    return succeeded(lastResult_);
}

bool TokenAuth::failed() const {
    return !succeeded(lastResult_);
}

void TokenAuth::updateStates() {
    using namespace crypto::exception;
    const auto library = device_.token->cryptoki();
    CK_TOKEN_INFO info{};
    // Without a library there is no token to log into: the same as unreadable information.
    if (!library || library->getTokenInfo(device_.slot, &info) != CKR_OK) {
        BOOST_THROW_EXCEPTION(CryptoException(TokensLoginFailed));
    }
    states_ = ((info.flags & CKF_USER_PIN_LOCKED) ? std::uint32_t{Locked} : 0) |
              ((info.flags & CKF_USER_PIN_FINAL_TRY) ? std::uint32_t{FinalTry} : 0);
    if (!succeeded(lastResult_)) {
        states_ |= AttemptFailed;
    }
}

bool ensureLogin(const Device& device, const std::string& pin,
                 boost::shared_ptr<crypto::IAuthHandle> handle) {
    const auto library = device.token->cryptoki();
    if (library && library->isLoggedIn(device.slot)) {
        library->login(device.slot, 0, nullptr, 0);
        return true;
    }
    if (!handle) {
        handle = boost::make_shared<TokenAuth>(device);
    }
    if (const auto& callback = published().authCallback) {
        return callback(handle, pin);
    }
    return handle->authenticate(pin);
}

}  // namespace kelvo::plugin::cryptoki
