#include "platform/shared_library.h"

#include <windows.h>

#include "module_path.h"
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
    return moduleFileName<char>([this](char* buffer, DWORD size) {
        return ::GetModuleFileNameA(moduleOf(handle_), buffer, size);
    });
}

}  // namespace kelvo::platform
