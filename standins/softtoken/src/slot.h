// One slot with its token: the persistent token file plus what this process keeps about
// it (login state and the token key it unlocked, session counts, session objects).
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "config.h"
#include "gost_crypto.h"
#include "token_file.h"
#include "token_key.h"

namespace softtoken {

enum class LoginState { Public, User, SecurityOfficer };

class Slot {
public:
    Slot(std::size_t index, SlotConfig config, const std::filesystem::path& directory,
         const GostCrypto& crypto);
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;

    CK_SLOT_ID id() const { return config_.id; }
    void slotInfo(CK_SLOT_INFO& info) const;
    void tokenInfo(CK_TOKEN_INFO& info);

    void sessionOpened(bool readWrite);
    // Drops the session's objects; the last session to close also logs the token out.
    void sessionClosed(CK_SESSION_HANDLE session, bool readWrite);
    CK_ULONG sessionCount() const { return sessions_; }

    LoginState loginState() const { return login_; }
    // All of these throw CkrError with the PKCS#11 result of a refused request.
    void login(CK_USER_TYPE userType, const SecretBytes& pin);
    void logout();
    void initToken(const SecretBytes& soPin, const std::string& label);
    void initPin(const SecretBytes& pin);
    void setPin(const SecretBytes& oldPin, const SecretBytes& newPin);

    bool owns(CK_OBJECT_HANDLE handle) const;
    std::vector<CK_OBJECT_HANDLE> find(const AttributeMap& pattern);
    // A copy of a visible object; CKR_OBJECT_HANDLE_INVALID otherwise.
    StoredObject object(CK_OBJECT_HANDLE handle);
    bool isTokenObject(CK_OBJECT_HANDLE handle) const;
    CK_OBJECT_HANDLE create(StoredObject object, CK_SESSION_HANDLE owner);
    void destroy(CK_OBJECT_HANDLE handle);
    void update(CK_OBJECT_HANDLE handle, const AttributeMap& changes);

private:
    struct SessionObject {
        CK_SESSION_HANDLE owner;
        StoredObject object;
    };

    // A PIN checked outside a login (C_InitToken, C_SetPIN in a public session) lends the
    // file key for that call only.
    class KeyLentForOneCall {
    public:
        explicit KeyLentForOneCall(Slot& slot) : slot_(slot) {}
        KeyLentForOneCall(const KeyLentForOneCall&) = delete;
        KeyLentForOneCall& operator=(const KeyLentForOneCall&) = delete;
        ~KeyLentForOneCall();

    private:
        Slot& slot_;
    };

    bool visible(const StoredObject& object) const;
    CK_OBJECT_HANDLE handleOf(CK_ULONG number) const;
    CK_ULONG numberOf(CK_OBJECT_HANDLE handle) const;
    // Private objects go to the file sealed with the token key, and come back opened.
    FileObject toFile(CK_ULONG number, const StoredObject& object) const;
    StoredObject fromFile(CK_ULONG number, const FileObject& stored) const;
    // PIN management needs the token key, which exists from C_InitToken on.
    [[noreturn]] void refuseUninitialised() const;
    // A PIN change: a new token key re-seals every private object, the role gets a new key
    // pair under its new PIN and the other role the new key; no earlier wrap opens it.
    void replaceTokenKey(const TokenKey& current, PinRole role, const SecretBytes& pin);
    // Creating, changing or destroying token objects: CKR_USER_NOT_LOGGED_IN without a login
    // that may write the object.
    void requireWriteLogin(const StoredObject& object) const;
    // Forgets the token key and destroys the private session objects.
    void endLogin();

    std::size_t index_;
    SlotConfig config_;
    SecretBytes deliverySoPin_;
    const GostCrypto& crypto_;
    TokenFile file_;
    LoginState login_ = LoginState::Public;
    std::optional<TokenKey> tokenKey_;  // while logged in (none for the delivery SO PIN)
    CK_ULONG sessions_ = 0;
    CK_ULONG readWriteSessions_ = 0;
    CK_ULONG nextSessionObject_ = kFirstSessionObject;
    std::map<CK_ULONG, SessionObject> sessionObjects_;
};

}  // namespace softtoken
