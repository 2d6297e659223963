#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <boost/smart_ptr/shared_ptr.hpp>

#include "function_list_cryptoki.h"
#include "pkcs11_gost.h"
#include "softtoken_fixture.h"

namespace kelvo::test {

// The software token behind a function list that counts every call per function, as the
// token's fault injector counts them, so that a fault can be aimed at the Nth call of a
// function within one operation. Every PKCS#11 call of the process must go through
// functions(); otherwise the counts drift from the injector's.
class RecordingLibrary {
public:
    struct Call {
        std::string function;
        CK_RV rv;
    };

    // One per process: the injector's counters live as long as the process.
    static RecordingLibrary& instance();

    CK_FUNCTION_LIST* functions() { return &wrapped_; }
    CK_FUNCTION_LIST* real() const { return real_; }

    unsigned long calls(const std::string& function) const;
    // A call made on the real list that bypasses the wrapper (still counted by the token).
    void countBypass(const std::string& function) { ++counts_[function]; }

    void startRecording();
    std::vector<Call> stopRecording();

    // Remembers what the given call (process-wide number) of `function` answers.
    void watch(const std::string& function, unsigned long call);
    // Runs `action` once, just before the given call of `function` reaches the library.
    void before(const std::string& function, unsigned long call, std::function<void()> action);
    std::optional<CK_RV> watched() const { return watched_; }

    // Called by the thunks: counts at entry, records at exit.
    unsigned long enter(const char* function);
    void leave(const char* function, unsigned long call, CK_RV rv);

private:
    RecordingLibrary();

    // Loaded for the life of the process and never finalized from here: at exit the
    // token's own statics are gone before this object would be.
    CK_FUNCTION_LIST* real_ = nullptr;
    CK_FUNCTION_LIST wrapped_{};
    std::map<std::string, unsigned long> counts_;
    bool recording_ = false;
    std::vector<Call> recorded_;
    std::string watchedFunction_;
    unsigned long watchedCall_ = 0;
    std::optional<CK_RV> watched_;
    std::string actionFunction_;
    unsigned long actionCall_ = 0;
    std::function<void()> action_;
};

// A binding like the module's over the software token, but talking through the recording
// list (the key engine gets that list from it too).
class RecordedCryptoki : public FunctionListCryptoki {
public:
    RecordedCryptoki();
    ~RecordedCryptoki() override;
    CK_FUNCTION_LIST* functions() override;
};

}  // namespace kelvo::test
