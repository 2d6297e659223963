#pragma once

#include <string>

namespace kelvo::platform {

// A loaded shared library (LoadLibraryA / GetProcAddress / FreeLibrary on Windows).
// Loading failures leave the object empty; they are not errors here.
class SharedLibrary {
public:
    // How long the code stays mapped once loaded: until the last holder releases it, or for
    // the rest of the process (for libraries whose code others keep pointers into).
    enum class Residence { UntilReleased, Process };

    SharedLibrary() = default;
    explicit SharedLibrary(const std::string& path, Residence residence = Residence::UntilReleased);
    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool isLoaded() const { return handle_ != nullptr; }
    // The exported symbol, or null when absent or nothing is loaded.
    void* symbol(const char* name) const;
    // Full path of the loaded module as the loader resolved it; empty when nothing is loaded.
    std::string path() const;
    // Why the last load failed (empty after a successful load).
    const std::string& loadError() const { return loadError_; }

    template <class Function>
    Function function(const char* name) const {
        return reinterpret_cast<Function>(symbol(name));
    }

private:
    void unload() noexcept;

    void* handle_ = nullptr;
    std::string loadError_;
};

}  // namespace kelvo::platform
