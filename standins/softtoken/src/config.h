// The storage folder and its configuration file (softtoken.ini): which slots exist and what
// each token reports about itself.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "kdf.h"
#include "pkcs11_gost.h"

namespace softtoken {

inline constexpr const char* kDefaultModel = "ZOLVEXToken GOST";
inline constexpr const char* kConfigFileName = "softtoken.ini";

struct SlotConfig {
    CK_SLOT_ID id = 0;
    std::string model = kDefaultModel;
    std::string serial;
    std::string manufacturer = "VOXA";
    std::string description = "ZOLVEX virtual reader";
    std::string soPin = "87654321";      // SO PIN of a token that was never initialised
    unsigned kdfCost = kDefaultKdfCost;  // for the PIN wraps this token writes (kdf.h)
    CK_VERSION hardware{1, 0};
    CK_VERSION firmware{1, 0};
};

inline constexpr std::size_t kMaxConfigSize = 64 * 1024;

struct Config {
    std::vector<SlotConfig> slots;  // ordered by slot identifier, never empty
};

// ZOLVEX_SOFTTOKEN_DIR, else $XDG_DATA_HOME/zolvex-softtoken, else
// $HOME/.local/share/zolvex-softtoken; only absolute paths count (never the current folder).
// Throws std::runtime_error when none is given.
std::filesystem::path storageDirectory();

// Reads softtoken.ini from the folder; a missing file gives one default slot 0. The file must
// be one only its owner can have written (see readOwnFile). Settings that would weaken the
// token (fault rules, a PIN key derivation below the floor) are ignored with a warning.
// Throws std::runtime_error for a malformed or untrusted file, a slot named twice or a
// setting out of range.
Config loadConfig(const std::filesystem::path& directory);

}  // namespace softtoken
