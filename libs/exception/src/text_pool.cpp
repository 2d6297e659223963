#include "text_pool.h"

#include <mutex>
#include <unordered_set>

namespace kelvo::plugin::exception {

const char* pooledText(std::string text) {
    static std::mutex mutex;
    static std::unordered_set<std::string> texts;  // nodes never move, nor do their strings
    const std::lock_guard<std::mutex> lock(mutex);
    return texts.insert(std::move(text)).first->c_str();
}

}  // namespace kelvo::plugin::exception
