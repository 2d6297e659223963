#include "platform/shared_library.h"

#include <windows.h>

#include <utility>

#include "system_error_text.h"

namespace kelvo::platform {

namespace {

HMODULE moduleOf(void* handle) {
    return static_cast<HMODULE>(handle);
}

// Pins the module: FreeLibrary no longer unmaps it, not even the last one.
void pin(HMODULE module) {
    HMODULE pinned = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         reinterpret_cast<LPCSTR>(module), &pinned);
}

}  // namespace

SharedLibrary::SharedLibrary(const std::string& path, Residence residence) {
    HMODULE module = ::LoadLibraryA(path.c_str());
    if (!module) {
        loadError_ = "LoadLibraryA " + path + ": " + systemErrorText(::GetLastError());
        return;
    }
    if (residence == Residence::Process) {
        pin(module);
    }
    handle_ = module;
}

SharedLibrary::~SharedLibrary() {
    unload();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), loadError_(std::move(other.loadError_)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        unload();
        handle_ = std::exchange(other.handle_, nullptr);
        loadError_ = std::move(other.loadError_);
    }
    return *this;
}

void SharedLibrary::unload() noexcept {
    if (handle_) {
        ::FreeLibrary(moduleOf(handle_));
        handle_ = nullptr;
    }
}

void* SharedLibrary::symbol(const char* name) const {
    return handle_ ? reinterpret_cast<void*>(::GetProcAddress(moduleOf(handle_), name)) : nullptr;
}

std::string SharedLibrary::path() const {
    if (!handle_) {
        return {};
    }
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(moduleOf(handle_), buffer.data(),
                                                  static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);  // truncated: try again with more room
    }
}

}  // namespace kelvo::platform
