#include "environment_block.h"

#include <algorithm>
#include <cstring>

#include <boost/atomic/atomic_ref.hpp>

#include "lasting_memory.h"

extern char** environ;

namespace kelvo::platform::environment {

namespace {

// Slots beyond the current entries, for the variables this library adds.
constexpr std::size_t kSpareSlots = 8;

std::size_t entryCount(char* const* array) {
    std::size_t count = 0;
    while (array && array[count]) {
        ++count;
    }
    return count;
}

bool isEntryOf(const char* entry, std::string_view name) {
    return std::strncmp(entry, name.data(), name.size()) == 0 && entry[name.size()] == '=';
}

// Readers see either the old or the new pointer, and the text behind the new one complete.
template <class T>
void publish(T& slot, T value) {
    boost::atomic_ref<T>(slot).store(value, boost::memory_order_release);
}

}  // namespace

char** EnvironmentBlock::adopted(std::size_t extra) {
    char** current = environ;
    const std::size_t count = entryCount(current);
    if (current == array_ && count + extra < capacity_) {
        return array_;
    }
    // The old array is left as it is: a reader may still be walking it.
    const std::size_t capacity = count + extra + kSpareSlots + 1;
    char** array = lastingPointerArray(capacity);
    if (!array) {
        return nullptr;
    }
    std::copy_n(current, count, array);
    publish(environ, array);
    array_ = array;
    capacity_ = capacity;
    return array;
}

void EnvironmentBlock::put(std::string_view name, const char* entry) {
    char** array = adopted(1);
    if (!array) {
        return;
    }
    std::size_t index = 0;
    while (array[index] && !isEntryOf(array[index], name)) {
        ++index;
    }
    // At the end, the slot after the terminating null is null as well.
    publish(array[index], const_cast<char*>(entry));
}

void EnvironmentBlock::remove(std::string_view name) {
    char* const* current = environ;
    const std::size_t present = entryCount(current);
    if (std::none_of(current, current + present,
                     [name](const char* entry) { return isEntryOf(entry, name); })) {
        return;
    }
    char** array = adopted(0);
    if (!array) {
        return;
    }
    std::size_t count = entryCount(array);
    for (std::size_t index = 0; index < count;) {
        if (!isEntryOf(array[index], name)) {
            ++index;
            continue;
        }
        // The last entry fills the gap, then the end moves up by one.
        publish(array[index], array[count - 1]);
        publish(array[count - 1], static_cast<char*>(nullptr));
        --count;
    }
}

}  // namespace kelvo::platform::environment
