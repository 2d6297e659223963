// One slot with its token: the persistent token file plus what this process keeps about
// it (login state, session counts, session objects).
#pragma once

#include <filesystem>
#include <map>
#include <vector>

#include "config.h"
#include "gost_crypto.h"
#include "token_file.h"

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
    void login(CK_USER_TYPE userType, const std::string& pin);
    void logout();
    void initToken(const std::string& soPin, const std::string& label);
    void initPin(const std::string& pin);
    void setPin(const std::string& oldPin, const std::string& newPin);

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

    bool visible(const StoredObject& object) const;
    CK_OBJECT_HANDLE handleOf(CK_ULONG number) const;
    CK_ULONG numberOf(CK_OBJECT_HANDLE handle) const;
    // Checks a PIN against the record and keeps the failure counter (in the token file).
    void verifyPin(bool securityOfficer, const std::string& pin);

    std::size_t index_;
    SlotConfig config_;
    const GostCrypto& crypto_;
    TokenFile file_;
    LoginState login_ = LoginState::Public;
    CK_ULONG sessions_ = 0;
    CK_ULONG readWriteSessions_ = 0;
    CK_ULONG nextSessionObject_ = kFirstSessionObject;
    std::map<CK_ULONG, SessionObject> sessionObjects_;

    static constexpr CK_ULONG kFirstSessionObject = 0x800000;
};

}  // namespace softtoken
