#include "module.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <system_error>

#include "error.h"

namespace softtoken {

namespace {

const char* const kFaultsVariable = "ZOLVEX_SOFTTOKEN_FAULTS";

void report(const char* function, const char* what) {
    std::fprintf(stderr, "zolvex-softtoken: %s: %s\n", function, what);
}

template <typename Body>
CK_RV guarded(const char* function, Body&& body) {
    try {
        return body();
    } catch (const CkrError& error) {
        if (!error.detail().empty()) {
            report(function, error.detail().c_str());
        }
        return error.rv();
    } catch (const std::bad_alloc&) {
        return CKR_HOST_MEMORY;
    } catch (const std::system_error& error) {
        report(function, error.what());
        return CKR_DEVICE_ERROR;
    } catch (const std::exception& error) {
        report(function, error.what());
        return CKR_FUNCTION_FAILED;
    } catch (...) {
        return CKR_GENERAL_ERROR;
    }
}

bool validInitArguments(const CK_C_INITIALIZE_ARGS& arguments) {
    const int given = (arguments.CreateMutex != nullptr) + (arguments.DestroyMutex != nullptr) +
                      (arguments.LockMutex != nullptr) + (arguments.UnlockMutex != nullptr);
    // Either all mutex callbacks or none; the library always locks with its own mutex.
    return arguments.pReserved == nullptr && (given == 0 || given == 4);
}

}  // namespace

Module::Module() = default;

Module& Module::instance() {
    // Never destroyed: clients call C_Finalize from their own exit handlers and static
    // destructors, after this library's statics would be gone.
    alignas(Module) static unsigned char storage[sizeof(Module)];
    static Module* module = ::new (storage) Module;
    return *module;
}

std::optional<CK_RV> Module::injected(const char* function) {
    return faults_.onCall(function);
}

CK_RV Module::initialize(CK_VOID_PTR arguments) {
    std::lock_guard<std::mutex> lock(mutex_);
    return guarded("C_Initialize", [&]() -> CK_RV {
        // Rules come from the environment only: a file in the token folder must not be able
        // to make the token report success for work it skipped.
        const char* text = std::getenv(kFaultsVariable);
        faults_.setRules(FaultInjector::parse(text ? text : ""));
        if (auto rv = injected("C_Initialize")) {
            return *rv;
        }
        require(!cryptoki_, CKR_CRYPTOKI_ALREADY_INITIALIZED);
        if (arguments != nullptr) {
            require(validInitArguments(*static_cast<CK_C_INITIALIZE_ARGS*>(arguments)),
                    CKR_ARGUMENTS_BAD);
        }
        cryptoki_ = std::make_unique<Cryptoki>();
        return CKR_OK;
    });
}

CK_RV Module::finalize(CK_VOID_PTR reserved) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto rv = injected("C_Finalize")) {
        return *rv;
    }
    if (reserved != nullptr) {
        return CKR_ARGUMENTS_BAD;
    }
    if (!cryptoki_) {
        return CKR_CRYPTOKI_NOT_INITIALIZED;
    }
    cryptoki_.reset();
    return CKR_OK;
}

CK_RV Module::call(const char* function, const std::function<CK_RV(Cryptoki&)>& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto rv = injected(function)) {
        return *rv;
    }
    if (!cryptoki_) {
        return CKR_CRYPTOKI_NOT_INITIALIZED;
    }
    return guarded(function, [&] {
        cryptoki_->followPresence();
        return body(*cryptoki_);
    });
}

}  // namespace softtoken
