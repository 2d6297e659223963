#include "cryptoki/model_quirks.h"

#include <algorithm>

namespace kelvo::plugin::cryptoki {

const std::vector<ModelQuirks>& servedModels() {
    static const std::vector<ModelQuirks> models{
        // model, derivableKeys, digestWithoutParameter, emptyPinRejected
        {"Rutoken ECP", true, false, false},
        {"Rutoken ECP 3.0", false, false, false},
        {"JaCarta GOST 2.0", true, false, false},
        {"ZOLVEXToken GOST", true, true, true},
    };
    return models;
}

const ModelQuirks& modelQuirks(std::string_view model) {
    static const ModelQuirks none{{}, false, false, false};
    const auto& models = servedModels();
    const auto found = std::find_if(models.begin(), models.end(),
                                    [model](const ModelQuirks& row) { return row.model == model; });
    return found == models.end() ? none : *found;
}

}  // namespace kelvo::plugin::cryptoki
