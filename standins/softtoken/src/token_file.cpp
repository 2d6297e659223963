#include "token_file.h"

#include <stdexcept>

#include "error.h"
#include "file_io.h"
#include "file_mac.h"

namespace softtoken {

namespace {

[[noreturn]] void damaged(const std::filesystem::path& path, const std::string& what) {
    throw CkrError(CKR_DEVICE_ERROR, "token file " + path.string() + " is damaged: " + what +
                                         "; it is left as it is");
}

}  // namespace

TokenFile::TokenFile(std::filesystem::path path)
    : path_(std::move(path)), lockPath_(path_.string() + ".lock") {}

void TokenFile::reloadIfChanged() {
    std::optional<std::string> text = readOwnFile(path_, kMaxTokenFileSize);
    if (loaded_ && text == text_) {
        return;
    }
    TokenState state;
    if (text) {
        if (text->empty()) {
            damaged(path_, "it is empty");
        }
        try {
            state = fromJson(*text);
        } catch (const std::runtime_error& error) {
            damaged(path_, error.what());
        }
        if (fileKey_) {
            requireMac(state, *fileKey_);
        }
    }
    state_ = std::move(state);
    text_ = std::move(text);
    loaded_ = true;
}

void TokenFile::requireMac(const TokenState& state, const SecretBytes& fileKey) const {
    if (!state.initialized() || !macMatches(fileKey, state)) {
        throw CkrError(CKR_DEVICE_ERROR,
                       "token file " + path_.string() +
                           " fails its integrity check: it was changed by someone who knows no "
                           "PIN, or the token was initialised again meanwhile; it is left as "
                           "it is");
    }
}

void TokenFile::authenticate(const SecretBytes& fileKey) {
    reloadIfChanged();
    requireMac(state_, fileKey);
    fileKey_ = fileKey;
}

const TokenState& TokenFile::state() {
    reloadIfChanged();
    return state_;
}

void TokenFile::modify(const std::function<void(TokenState&)>& change,
                       const SecretBytes* newFileKey) {
    FileLock lock(lockPath_);
    reloadIfChanged();
    TokenState next = state_;
    change(next);
    const SecretBytes* key = newFileKey ? newFileKey : fileKey_ ? &*fileKey_ : nullptr;
    if (key && next.initialized()) {
        next.mac = fileMac(*key, next);
    }
    std::string text = toJson(next);
    if (text == text_) {
        return;
    }
    // A file this large would not be read back.
    require(text.size() <= kMaxTokenFileSize, CKR_DEVICE_MEMORY);
    replaceFile(path_, text);
    state_ = std::move(next);
    text_ = std::move(text);
}

}  // namespace softtoken
