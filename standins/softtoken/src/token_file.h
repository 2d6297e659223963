// One token's file: atomic replacement on every change, reloaded when another process has
// replaced it, and changed under an exclusive lock so that concurrent writers serialise.
// A damaged file is reported and left as it is, never taken for a blank token. While a PIN
// holder is logged in, every state read is checked against the file key and every state
// written is authenticated with it (file_mac.h).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "token_state.h"

namespace softtoken {

inline constexpr std::size_t kMaxTokenFileSize = 4 * 1024 * 1024;

class TokenFile {
public:
    explicit TokenFile(std::filesystem::path path);

    // The current state, re-read first when the file changed on disk. A missing file is a
    // token that was never initialised.
    const TokenState& state();

    // Under the lock: re-reads the state, applies the change and writes the result when it
    // differs. When the change throws, the file stays as it was (the exception propagates).
    // The result is authenticated with the file key of the login, or with newFileKey when
    // given (a new token).
    void modify(const std::function<void(TokenState&)>& change,
                const SecretBytes* newFileKey = nullptr);

    // From now on, states must carry this key's MAC. Throws CkrError(CKR_DEVICE_ERROR)
    // naming the file when the current one does not (and keeps the previous key).
    void authenticate(const SecretBytes& fileKey);
    // The login ended: states are read without a check again.
    void forgetKey() { fileKey_.reset(); }

    const std::filesystem::path& path() const { return path_; }

private:
    // Throws CkrError(CKR_DEVICE_ERROR) naming the file and the fault when it is damaged.
    void reloadIfChanged();
    void requireMac(const TokenState& state, const SecretBytes& fileKey) const;

    std::filesystem::path path_;
    std::filesystem::path lockPath_;
    TokenState state_;
    // The file's text as last parsed (none: no file); comparing contents (not timestamps or
    // inodes, which can repeat) tells reliably whether another process replaced the file.
    std::optional<std::string> text_;
    bool loaded_ = false;
    std::optional<SecretBytes> fileKey_;
};

}  // namespace softtoken
