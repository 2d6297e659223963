#pragma once

#include <string>

#include "cryptoki.h"

namespace kelvo::test {

// The module's binding over any PKCS#11 function list: a fake one, or the list of a library
// loaded from some file. It answers with its own model and alias, and gives out a missing
// function list as null instead of raising.
class FunctionListCryptoki : public plugin::cryptoki::ZolvexCryptoki {
public:
    // Loads the file and asks it for its function list (null when that fails).
    explicit FunctionListCryptoki(const std::string& libraryFile)
        : ZolvexCryptoki(libraryFile), list_(ZolvexCryptoki::functionListOrNull()) {}
    // Uses the given list; nothing is loaded.
    explicit FunctionListCryptoki(CK_FUNCTION_LIST* list) : ZolvexCryptoki(list), list_(list) {}

    std::string model(CK_SLOT_ID) const override { return "test model"; }
    std::string alias(const CK_TOKEN_INFO&) const override { return "test alias"; }
    CK_FUNCTION_LIST* functions() override { return list_; }
    CK_FUNCTION_LIST* functionList() override { return list_; }

private:
    CK_FUNCTION_LIST* list_;
};

}  // namespace kelvo::test
