#include "presence.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "error.h"

namespace softtoken {

namespace {

const char* const kDeadSessionVariable = "ZOLVEX_SOFTTOKEN_DEAD_SESSION";
constexpr std::int64_t kTick = 2'000'000'000;  // nanoseconds

std::int64_t nanoseconds(const timespec& time) {
    return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
}

// A whole unsigned number, decimal or 0x-hex.
std::optional<unsigned long> number(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || text[0] == '-' || *end != '\0' || errno != 0) {
        return std::nullopt;
    }
    return value;
}

CK_RV deadSessionAnswer() {
    const char* text = std::getenv(kDeadSessionVariable);
    const auto value = text ? number(text) : std::nullopt;
    return value.value_or(CKR_DEVICE_REMOVED);
}

}  // namespace

Presence::Presence(std::filesystem::path directory, std::vector<CK_SLOT_ID> readers)
    : directory_(std::move(directory)),
      folder_(::open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
      readers_(std::move(readers)) {
    changeTimes(readAt_);
    tokens_ = placement();
}

void Presence::changeTimes(std::vector<std::int64_t>& times) const {
    struct stat status {};
    times.clear();
    times.push_back(::fstat(folder_.get(), &status) == 0 ? nanoseconds(status.st_mtim) : -1);
    for (const CK_SLOT_ID token : moved_) {
        const auto path = directory_ / ("moved-" + std::to_string(token));
        times.push_back(::stat(path.c_str(), &status) == 0 ? nanoseconds(status.st_mtim) : -1);
    }
}

bool Presence::marked(const std::string& name, CK_SLOT_ID token) const {
    std::error_code ignored;
    return std::filesystem::exists(directory_ / (name + "-" + std::to_string(token)), ignored);
}

std::optional<CK_SLOT_ID> Presence::movedTo(CK_SLOT_ID token) {
    std::ifstream file(directory_ / ("moved-" + std::to_string(token)));
    if (!file) {
        return std::nullopt;
    }
    moved_.push_back(token);
    std::string text;
    const auto reader = (file >> text) ? number(text) : std::nullopt;
    const bool known =
        reader && std::find(readers_.begin(), readers_.end(), *reader) != readers_.end();
    return known ? reader : std::nullopt;
}

std::map<CK_SLOT_ID, CK_SLOT_ID> Presence::placement() {
    moved_.clear();
    std::map<CK_SLOT_ID, CK_SLOT_ID> tokens;
    std::vector<CK_SLOT_ID> atHome;
    // Moved tokens first: one put into a reader takes it from the token configured there.
    for (const CK_SLOT_ID token : readers_) {
        if (marked("removed", token)) {
            continue;
        }
        const auto reader = movedTo(token);
        if (!reader) {
            atHome.push_back(token);
        } else {
            tokens.emplace(*reader, token);
        }
    }
    for (const CK_SLOT_ID token : atHome) {
        tokens.emplace(token, token);
    }
    return tokens;
}

std::vector<Presence::Change> Presence::update() {
    // Taken before reading, so that a marker made meanwhile is read at the next call. A change
    // time this recent may hide a later change in the same tick of a coarse clock.
    changeTimes(looked_);
    timespec clock{};
    ::clock_gettime(CLOCK_REALTIME, &clock);
    const bool recent = looked_.front() < 0 || looked_.front() > nanoseconds(clock) - kTick;
    if (!recent && looked_ == readAt_) {
        return {};
    }
    readAt_.swap(looked_);
    const auto now = placement();
    std::vector<Change> changes;
    for (const CK_SLOT_ID reader : readers_) {
        const auto before = tokens_.find(reader);
        const auto after = now.find(reader);
        const std::optional<CK_SLOT_ID> previous =
            before == tokens_.end() ? std::nullopt : std::make_optional(before->second);
        const std::optional<CK_SLOT_ID> next =
            after == now.end() ? std::nullopt : std::make_optional(after->second);
        if (previous == next) {
            continue;
        }
        changes.push_back({reader, previous});
        if (std::find(events_.begin(), events_.end(), reader) == events_.end()) {
            events_.push_back(reader);
        }
        if (next) {
            // A reader with a token again knows nothing of the sessions it lost.
            for (auto it = dead_.begin(); it != dead_.end();) {
                it = it->second.reader == reader ? dead_.erase(it) : std::next(it);
            }
        }
    }
    tokens_ = now;
    return changes;
}

CK_SLOT_ID Presence::tokenIn(CK_SLOT_ID reader) const {
    require(std::find(readers_.begin(), readers_.end(), reader) != readers_.end(),
            CKR_SLOT_ID_INVALID);
    const auto found = tokens_.find(reader);
    require(found != tokens_.end(), CKR_TOKEN_NOT_PRESENT);
    return found->second;
}

void Presence::sessionDied(CK_SESSION_HANDLE session, CK_SLOT_ID reader) {
    // A token swapped for another leaves nothing to report: the handle is just unknown.
    if (!holdsToken(reader)) {
        dead_[session] = {reader, deadSessionAnswer()};
    }
}

CK_RV Presence::closedSession(CK_SESSION_HANDLE session) const {
    const auto found = dead_.find(session);
    return found == dead_.end() ? CKR_SESSION_HANDLE_INVALID : found->second.answer;
}

std::optional<CK_SLOT_ID> Presence::nextEvent() {
    if (events_.empty()) {
        return std::nullopt;
    }
    const CK_SLOT_ID reader = events_.front();
    events_.pop_front();
    return reader;
}

}  // namespace softtoken
