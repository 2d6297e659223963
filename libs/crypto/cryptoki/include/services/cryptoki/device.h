#pragma once

#include <string>

#include "cryptoki/pkcs11.h"

namespace kelvo::plugin::module {
class IToken;
}

namespace kelvo::plugin::cryptoki {

class ICryptoki;

// One slot and the token in it, as read once from the token information.
class Device {
public:
    // Reads the token information through the token's binding and logs the record.
    // Throws CryptokiException when the library refuses.
    Device(module::IToken& token, CK_SLOT_ID slot);

    // True when the query equals the id, serial, label, model or alias, ignoring case.
    bool matches(const std::string& query) const;
    // True while the slot holds this token (same model and serial); a token pulled out, or
    // another one put in its place, makes it false.
    bool stillInSlot(ICryptoki& library) const;

    module::IToken* token;  // not owned: a device must not outlive its token
    CK_SLOT_ID slot;
    std::string label;
    std::string serial;
    std::string model;
    std::string alias;
    std::string id;  // model, one space, serial
    std::string hardwareVersion;
    std::string firmwareVersion;
};

}  // namespace kelvo::plugin::cryptoki
