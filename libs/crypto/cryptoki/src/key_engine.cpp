#include "key_engine.h"

#include <boost/filesystem/path.hpp>
#include <boost/log/trivial.hpp>

#include "platform/file_names.h"

namespace kelvo::plugin::cryptoki {

namespace {

boost::filesystem::path engineBeside(const std::string& pkcs11Library) {
    return boost::filesystem::path(pkcs11Library).parent_path() /
           (std::string("rtengine") + platform::sharedLibrarySuffix);
}

}  // namespace

KeyEngine::KeyEngine(const std::string& pkcs11Library) {
    if (pkcs11Library.empty()) {
        // No folder to look in; a bare file name would send the loader searching the system.
        BOOST_LOG_TRIVIAL(warning) << "cryptoki: key engine not loaded: no PKCS#11 library file";
        return;
    }
    const std::string file = engineBeside(pkcs11Library).string();
    library_ = platform::SharedLibrary(file, platform::SharedLibrary::Residence::Process);
    if (!library_.isLoaded()) {
        BOOST_LOG_TRIVIAL(warning)
            << "cryptoki: key engine not loaded: " << file << ": " << library_.loadError();
        return;
    }
    wrapSession_ = library_.function<rt_eng_p11_session_wrap_fn*>("rt_eng_p11_session_wrap");
    wrapKeyPair_ = library_.function<rt_eng_p11_key_pair_wrap_fn*>("rt_eng_p11_key_pair_wrap");
    freeSession_ = library_.function<rt_eng_p11_session_free_fn*>("rt_eng_p11_session_free");
    if (!isLoaded()) {
        BOOST_LOG_TRIVIAL(warning)
            << "cryptoki: key engine not loaded: " << file << ": rt_eng_p11_* functions missing";
    }
}

KeyEngine::Session KeyEngine::wrapSession(CK_FUNCTION_LIST* functions,
                                          CK_SESSION_HANDLE session) const {
    if (!isLoaded()) {
        return {};
    }
    // The engine stays loaded for the process, so its release function outlives this object.
    return Session(wrapSession_(functions, session, 0, 0), freeSession_);
}

KeyEngine::Key KeyEngine::wrapKeyPair(const Session& session, CK_OBJECT_HANDLE privateKey,
                                      CK_OBJECT_HANDLE publicKey) const {
    if (!isLoaded() || !session) {
        return {};
    }
    return Key(wrapKeyPair_(session.get(), privateKey, publicKey), EVP_PKEY_free);
}

}  // namespace kelvo::plugin::cryptoki
