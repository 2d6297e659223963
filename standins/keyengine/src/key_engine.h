// The in-process ENGINE that engine keys are tied to: the gost engine's key methods with
// signing redirected to the token. It is never added to OpenSSL's engine list.
#pragma once

#include "key_binding.h"
#include "openssl_handles.h"

namespace rtengine {

class KeyEngine {
public:
    // The process-wide engine, created on first use; null when the gost engine cannot be
    // loaded. Loading registers the gost engine's key encodings with OpenSSL.
    static const KeyEngine* instance();

    explicit KeyEngine(EngineStructPtr engine) : engine_(std::move(engine)) {}
    KeyEngine(const KeyEngine&) = delete;
    KeyEngine& operator=(const KeyEngine&) = delete;

    // Gives a GOST public key made by the gost engine the token binding and this engine's
    // key methods. Null on failure.
    PkeyPtr adopt(PkeyPtr key, const KeyBinding& binding) const;

private:
    static std::unique_ptr<KeyEngine> create();

    // The last reference to the engine may outlive this object: keys hold their own.
    EngineStructPtr engine_;
};

}  // namespace rtengine
