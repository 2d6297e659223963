// Everything a token keeps between processes, and its JSON form.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "attributes.h"

namespace softtoken {

struct PinRecord {
    Bytes salt;
    Bytes hash;
};

struct StoredObject {
    AttributeMap attributes;
    Bytes secret;  // private key encoding; never exposed as an attribute
};

constexpr unsigned kMaxPinFailures = 10;

struct TokenState {
    bool initialized = false;
    std::string label;
    std::optional<PinRecord> soPin;
    std::optional<PinRecord> userPin;
    unsigned userFailures = 0;
    unsigned soFailures = 0;
    CK_ULONG nextId = 1;
    std::map<CK_ULONG, StoredObject> objects;  // keyed by the persistent object number
};

std::string toJson(const TokenState& state);
// Throws std::runtime_error when the text is not a token file.
TokenState fromJson(const std::string& text);

}  // namespace softtoken
