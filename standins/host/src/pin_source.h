#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>

#include <boost/optional.hpp>

#include "secret_string.h"

namespace kelvo::host::app {

// What a PIN prompt shows.
struct PinRequest {
    std::string title;  // UTF-8
    std::uint32_t states = 0;
    int attempt = 0;  // 0 for the first PIN asked in this dialog
};

// Where PINs come from; none means the user gave up.
class PinSource {
public:
    virtual ~PinSource() = default;
    virtual boost::optional<SecretString> pin(const PinRequest& request) = 0;
    // What the user is told when no PIN came.
    virtual std::string giveUpNotice() const { return "PIN entry cancelled."; }
};

// PINs fixed in advance (a file, the environment, a test), each handed out once per PIN
// dialog, in order: a wrong scripted PIN costs a single attempt, and a long-lived host asks
// with them again when the token wants the PIN again.
class ScriptedPins : public PinSource {
public:
    ScriptedPins() = default;
    explicit ScriptedPins(SecretString pin);
    ScriptedPins(std::initializer_list<const char*> pins);
    boost::optional<SecretString> pin(const PinRequest& request) override;
    std::string giveUpNotice() const override;
    int asked() const { return asked_; }

private:
    std::deque<SecretString> pins_;
    int asked_ = 0;
};

// Asks on the controlling terminal with echo off; an empty line or end of input cancels.
class TerminalPin : public PinSource {
public:
    boost::optional<SecretString> pin(const PinRequest& request) override;
};

}  // namespace kelvo::host::app
