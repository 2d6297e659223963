#pragma once

#include <string>

#include "cryptoki/cryptoki.h"

namespace kelvo::test {

// What a test binding answers for model() and alias().
struct BindingNames {
    std::string model = "test model";
    std::string alias = "test alias";
};

// A binding over any PKCS#11 function list: a fake one, or the list of a library loaded from
// some file. It forwards like the module's binding and, like it, finalizes the library when
// destroyed; a missing function list comes out as null instead of raising.
class FunctionListCryptoki : public plugin::cryptoki::Cryptoki {
public:
    // Loads the file and asks it for its function list (null when that fails).
    explicit FunctionListCryptoki(const std::string& libraryFile, BindingNames names = {});
    // Uses the given list; nothing is loaded.
    explicit FunctionListCryptoki(CK_FUNCTION_LIST* list, BindingNames names = {});
    ~FunctionListCryptoki() override;

    std::string model(CK_SLOT_ID) const override { return names_.model; }
    std::string alias(const CK_TOKEN_INFO&) const override { return names_.alias; }
    CK_FUNCTION_LIST* functions() override { return list_; }
    CK_FUNCTION_LIST* functionList() override { return functions(); }

    KELVO_CRYPTOKI_LIBRARY_FUNCTIONS(KELVO_CRYPTOKI_DECLARE_FORWARD, FunctionListCryptoki)

private:
    CK_FUNCTION_LIST* list_ = nullptr;
    BindingNames names_;
};

}  // namespace kelvo::test
