#include "platform/shared_library.h"

#include <dlfcn.h>
#include <link.h>

namespace kelvo::platform {

SharedLibrary::SharedLibrary(const std::string& path, Residence residence) {
    const int stay = residence == Residence::Process ? RTLD_NODELETE : 0;
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | stay);
    if (!handle_) {
        const char* error = ::dlerror();
        loadError_ = error ? error : "dlopen failed";
    }
}

void SharedLibrary::unload() noexcept {
    if (handle_) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

void* SharedLibrary::symbol(const char* name) const {
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

std::string SharedLibrary::path() const {
    if (!handle_) {
        return {};
    }
    const link_map* map = nullptr;
    if (::dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) {
        return {};
    }
    return map->l_name;
}

}  // namespace kelvo::platform
