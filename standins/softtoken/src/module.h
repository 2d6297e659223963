// The process-wide library state behind the exported functions: initialisation, the one
// lock every call takes, fault injection and the mapping of failures to results.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "cryptoki.h"
#include "fault_injector.h"

namespace softtoken {

class Module {
public:
    static Module& instance();

    CK_RV initialize(CK_VOID_PTR arguments);
    CK_RV finalize(CK_VOID_PTR reserved);
    // Runs a PKCS#11 function on the initialised library under the lock.
    CK_RV call(const char* function, const std::function<CK_RV(Cryptoki&)>& body);

private:
    Module();
    // Injected result for this call, if any (counts the call).
    std::optional<CK_RV> injected(const char* function);

    std::mutex mutex_;
    FaultInjector faults_;
    std::unique_ptr<Cryptoki> cryptoki_;
};

}  // namespace softtoken
