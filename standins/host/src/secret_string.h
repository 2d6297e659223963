#pragma once

#include <cstddef>
#include <string>

namespace kelvo::host::app {

// Text that must not outlive its use, such as a PIN. Its buffer is allocated once at full
// capacity and never grows, so no reallocation leaves a stray copy on the heap; it is wiped
// when the text goes, and the text is never copied.
class SecretString {
public:
    static constexpr std::size_t kCapacity = 255;

    SecretString();
    // Throws std::length_error beyond kCapacity characters.
    explicit SecretString(const char* text);
    SecretString(SecretString&& other);
    SecretString& operator=(SecretString&& other);
    SecretString(const SecretString&) = delete;
    SecretString& operator=(const SecretString&) = delete;
    ~SecretString();

    // False, and nothing added, when the text is full.
    bool push_back(char c);
    void pop_back() { text_.pop_back(); }
    bool empty() const { return text_.empty(); }
    std::size_t size() const { return text_.size(); }
    char back() const { return text_.back(); }
    // For interfaces that take the PIN by const reference; never copy it.
    const std::string& str() const { return text_; }
    // Wipes the whole buffer, then empties the text.
    void wipe();

private:
    std::string text_;
};

}  // namespace kelvo::host::app
