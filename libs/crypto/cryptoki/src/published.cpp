#include "cryptoki/published.h"

namespace kelvo::plugin::cryptoki {

Published& published() {
    static Published values;
    return values;
}

}  // namespace kelvo::plugin::cryptoki
