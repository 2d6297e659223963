#include "token_file.h"

#include <stdexcept>

#include "error.h"
#include "file_io.h"

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
    }
    state_ = std::move(state);
    text_ = std::move(text);
    loaded_ = true;
}

const TokenState& TokenFile::state() {
    reloadIfChanged();
    return state_;
}

void TokenFile::modify(const std::function<void(TokenState&)>& change) {
    FileLock lock(lockPath_);
    reloadIfChanged();
    TokenState next = state_;
    change(next);
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
