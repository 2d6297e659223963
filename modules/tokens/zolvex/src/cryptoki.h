#pragma once

#include <string>

#include "cryptoki/cryptoki.h"

namespace kelvo::plugin::cryptoki {

// The binding to the ZOLVEX vendor library found beside the host program.
class ZolvexCryptoki : public Cryptoki {
public:
    // Throws std::runtime_error when the library file is missing; a file that cannot be
    // loaded or lacks C_GetFunctionList only makes functions() throw later.
    ZolvexCryptoki();
    // Finalizes the library when it was bound.
    ~ZolvexCryptoki() override;

    std::string model(CK_SLOT_ID slot) const override;
    std::string alias(const CK_TOKEN_INFO& info) const override;

    // Throws CryptoException TokenInitializeFailed when the library gave no function list.
    CK_FUNCTION_LIST* functions() override;

    KELVO_CRYPTOKI_LIBRARY_FUNCTIONS(KELVO_CRYPTOKI_DECLARE_FORWARD, ZolvexCryptoki)
    CK_FUNCTION_LIST* functionList() override;

private:
    explicit ZolvexCryptoki(const std::string& libraryFile);

    CK_FUNCTION_LIST* functions_ = nullptr;
};

}  // namespace kelvo::plugin::cryptoki
