#include "elevation.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <memory>

namespace kelvo::platform::elevation {

namespace {

struct SidFreer {
    void operator()(void* sid) const { ::FreeSid(sid); }
};

struct HandleCloser {
    void operator()(void* handle) const { ::CloseHandle(handle); }
};

// COM on the calling thread for the shell, single-threaded apartment as the shell wants it;
// released again when this thread had none before.
class ComApartment {
public:
    ComApartment()
        : initialised_(SUCCEEDED(
              ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (initialised_) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

}  // namespace

bool isAdministrator() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid)) {
        return false;
    }
    const std::unique_ptr<void, SidFreer> administrators(sid);
    BOOL member = FALSE;
    return ::CheckTokenMembership(nullptr, administrators.get(), &member) && member;
}

bool runElevated(const std::wstring& file) {
    const ComApartment apartment;
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof(request);
    request.fMask = SEE_MASK_NOCLOSEPROCESS;
    request.lpVerb = L"runas";
    request.lpFile = file.c_str();
    request.nShow = SW_SHOW;
    ::SetLastError(ERROR_SUCCESS);
    const BOOL started = ::ShellExecuteExW(&request);
    const std::unique_ptr<void, HandleCloser> process(request.hProcess);
    if (!started || ::GetLastError() != ERROR_SUCCESS || !process) {
        return false;
    }
    return ::WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0;
}

}  // namespace kelvo::platform::elevation
