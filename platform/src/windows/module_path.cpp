#include "module_path.h"

namespace kelvo::platform {

std::wstring executablePath() {
    return moduleFileName<wchar_t>(
        [](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); });
}

}  // namespace kelvo::platform
