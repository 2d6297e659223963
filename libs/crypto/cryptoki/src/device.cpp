#include "cryptoki/device.h"

#include <locale>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/log/trivial.hpp>

#include "check.h"
#include "cryptoki/icryptoki.h"
#include "module/itoken.h"

namespace kelvo::plugin::cryptoki {

namespace {

// Token information texts are blank-padded, not terminated.
template <std::size_t N>
std::string padded(const unsigned char (&field)[N]) {
    std::size_t length = N;
    while (length > 0 && field[length - 1] == ' ') {
        --length;
    }
    return std::string(reinterpret_cast<const char*>(field), length);
}

std::string version(const CK_VERSION& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor);
}

}  // namespace

Device::Device(module::IToken& owner, CK_SLOT_ID slotId) : token(&owner), slot(slotId) {
    const auto cryptoki = token->cryptoki();
    if (!cryptoki) {
        // The token dropped its binding: the library is not usable right now.
        BOOST_THROW_EXCEPTION(
            exception::CryptokiException(exception::toErrorCode(CKR_CRYPTOKI_NOT_INITIALIZED)));
    }
    CK_TOKEN_INFO info{};
    KELVO_CRYPTOKI_CHECK_LISTING(cryptoki->getTokenInfo(slot, &info));

    label = padded(info.label);
    model = padded(info.model);
    serial = padded(info.serialNumber);
    hardwareVersion = version(info.hardwareVersion);
    firmwareVersion = version(info.firmwareVersion);
    alias = cryptoki->alias(info);
    id = model + " " + serial;

    BOOST_LOG_TRIVIAL(info) << "cryptoki: create device:\n"
                            << "label: " << label << "\n"
                            << "model: " << model << "\n"
                            << "serial: " << serial << "\n"
                            << "alias: " << alias << "\n"
                            << "id: " << id << "\n";
}

bool Device::stillInSlot(ICryptoki& library) const {
    CK_TOKEN_INFO info{};
    return library.getTokenInfo(slot, &info) == CKR_OK && padded(info.model) == model &&
           padded(info.serialNumber) == serial;
}

bool Device::matches(const std::string& query) const {
    const std::locale locale;
    for (const std::string* name : {&id, &serial, &label, &model, &alias}) {
        if (boost::algorithm::iequals(query, *name, locale)) {
            return true;
        }
    }
    return false;
}

}  // namespace kelvo::plugin::cryptoki
