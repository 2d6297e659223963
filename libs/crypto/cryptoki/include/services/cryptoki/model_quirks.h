#pragma once

#include <string_view>
#include <vector>

namespace kelvo::plugin::cryptoki {

// What sets one token model apart from the others.
struct ModelQuirks {
    std::string_view model;  // as the token information names it
    // The model accepts CKA_DERIVE on a generated private key.
    bool derivableKeys;
    // Digest mechanisms are given without their hash OID parameter.
    bool digestWithoutParameter;
    // An empty PIN counts as incorrect without a login attempt.
    bool emptyPinRejected;
};

// The models the module serves, each with its quirks; the slot list shows no other model.
const std::vector<ModelQuirks>& servedModels();

// The quirks of a model named exactly (case included); a model not served has none.
const ModelQuirks& modelQuirks(std::string_view model);

}  // namespace kelvo::plugin::cryptoki
