// Tokens pulled out and put back while clients run. Marker files in the storage folder say
// where each token is, and the library looks at them at every call:
//
//     removed-<slot>   the token of that slot is out
//     moved-<slot>     holds a reader's number: the token of that slot sits there instead
//
// Readers are the configured slots; a token is named by the slot it is configured for, and a
// token moved into a reader displaces the one configured there. Sessions die with their
// token: their handles answer CKR_DEVICE_REMOVED (or the value of ZOLVEX_SOFTTOKEN_DEAD_SESSION,
// read when the token goes) while their reader stays empty, and CKR_SESSION_HANDLE_INVALID
// once it holds a token again.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "pkcs11_gost.h"
#include "unique_fd.h"

namespace softtoken {

class Presence {
public:
    // A reader whose token left, came or was swapped, and the token it held before.
    struct Change {
        CK_SLOT_ID reader;
        std::optional<CK_SLOT_ID> previous;
    };

    // Takes what the markers say now as the starting state.
    Presence(std::filesystem::path directory, std::vector<CK_SLOT_ID> readers);

    // Looks at the markers again and reports the readers that changed since the last look.
    std::vector<Change> update();

    const std::vector<CK_SLOT_ID>& readers() const { return readers_; }
    bool holdsToken(CK_SLOT_ID reader) const { return tokens_.count(reader) != 0; }
    // The token in the reader; throws CkrError with CKR_SLOT_ID_INVALID for an unknown reader
    // and CKR_TOKEN_NOT_PRESENT for an empty one.
    CK_SLOT_ID tokenIn(CK_SLOT_ID reader) const;

    // Remembers a session that ended with its reader's token.
    void sessionDied(CK_SESSION_HANDLE session, CK_SLOT_ID reader);
    // What a call on a handle of no open session answers.
    CK_RV closedSession(CK_SESSION_HANDLE session) const;

    // The reader of the oldest change not reported yet, once per reader.
    std::optional<CK_SLOT_ID> nextEvent();

private:
    struct DeadSession {
        CK_SLOT_ID reader;
        CK_RV answer;
    };

    // Reader to token, for the readers that hold one; notes the moved markers it read.
    std::map<CK_SLOT_ID, CK_SLOT_ID> placement();
    bool marked(const std::string& name, CK_SLOT_ID token) const;
    std::optional<CK_SLOT_ID> movedTo(CK_SLOT_ID token);
    // When the folder (a marker made or removed) and the moved markers (a reader written)
    // last changed, in nanoseconds: the markers are read again only when this does.
    void changeTimes(std::vector<std::int64_t>& times) const;

    std::filesystem::path directory_;
    UniqueFd folder_;  // kept open: a look at it costs one fstat per call
    std::vector<CK_SLOT_ID> readers_;
    std::vector<CK_SLOT_ID> moved_;  // tokens with a moved marker at the last reading
    std::vector<std::int64_t> readAt_;
    std::vector<std::int64_t> looked_;  // the last look's, kept to spare an allocation a call
    std::map<CK_SLOT_ID, CK_SLOT_ID> tokens_;
    std::map<CK_SESSION_HANDLE, DeadSession> dead_;  // until their reader holds a token again
    std::deque<CK_SLOT_ID> events_;
};

}  // namespace softtoken
