// One token's file: atomic replacement on every change, reloaded when another process has
// replaced it, and changed under an exclusive lock so that concurrent writers serialise.
#pragma once

#include <filesystem>
#include <functional>

#include "token_state.h"

namespace softtoken {

class TokenFile {
public:
    explicit TokenFile(std::filesystem::path path);

    // The current state, re-read first when the file changed on disk.
    const TokenState& state();

    // Applies the change to the newest state and writes the result atomically. When the
    // change throws, the file stays as it was (the exception propagates).
    void modify(const std::function<void(TokenState&)>& change);

    const std::filesystem::path& path() const { return path_; }

private:
    void reloadIfChanged();
    void write(const std::string& text);

    std::filesystem::path path_;
    std::filesystem::path lockPath_;
    TokenState state_;
    // The file's text as last parsed; comparing contents (not timestamps or inodes, which
    // can repeat) tells reliably whether another process replaced the file.
    std::string text_;
    bool loaded_ = false;
};

}  // namespace softtoken
