#include "lasting_memory.h"

#include <cstdlib>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define KELVO_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define KELVO_LEAK_CHECKER 1
#endif
#endif
#ifdef KELVO_LEAK_CHECKER
#include <sanitizer/lsan_interface.h>
#endif

namespace kelvo::platform::environment {

namespace {

template <class T>
T* kept(T* memory) {
#ifdef KELVO_LEAK_CHECKER
    if (memory) {
        __lsan_ignore_object(memory);
    }
#endif
    return memory;
}

}  // namespace

char** lastingPointerArray(std::size_t slots) {
    return kept(static_cast<char**>(std::calloc(slots, sizeof(char*))));
}

const char* LastingTexts::intern(std::string_view text) {
    if (const auto found = texts_.find(text); found != texts_.end()) {
        return found->data();
    }
    char* copy = kept(static_cast<char*>(std::malloc(text.size() + 1)));
    if (!copy) {
        return nullptr;
    }
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    texts_.insert(std::string_view(copy, text.size()));
    return copy;
}

}  // namespace kelvo::platform::environment
