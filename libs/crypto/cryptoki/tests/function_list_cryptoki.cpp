#include "function_list_cryptoki.h"

#include <utility>

namespace kelvo::test {

FunctionListCryptoki::FunctionListCryptoki(const std::string& libraryFile, BindingNames names)
    : Cryptoki(libraryFile), names_(std::move(names)) {
    if (const auto getFunctionList =
            library().function<CK_C_GetFunctionList>("C_GetFunctionList")) {
        getFunctionList(&list_);
    }
}

FunctionListCryptoki::FunctionListCryptoki(CK_FUNCTION_LIST* list, BindingNames names)
    : list_(list), names_(std::move(names)) {}

FunctionListCryptoki::~FunctionListCryptoki() {
    if (list_) {
        list_->C_Finalize(nullptr);
    }
}

KELVO_CRYPTOKI_LIBRARY_FUNCTIONS(KELVO_CRYPTOKI_DEFINE_FORWARD, FunctionListCryptoki)

}  // namespace kelvo::test
