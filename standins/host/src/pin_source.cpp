#include "pin_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include <openssl/crypto.h>

#include "echo_off.h"
#include "file_descriptor.h"

namespace kelvo::host::app {

namespace {

// One line from the descriptor, byte by byte so that no buffer of the C library keeps a
// copy; none on end of input, a read error or a line longer than a PIN can be.
boost::optional<SecretString> readLine(int fd) {
    SecretString line;
    bool fits = true;
    char c = 0;
    for (;;) {
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            OPENSSL_cleanse(&c, 1);
            return boost::none;
        }
        if (c == '\n') {
            break;
        }
        fits = line.push_back(c) && fits;
    }
    if (!fits) {
        std::cerr << "The PIN is longer than " << SecretString::kCapacity << " characters.\n";
        return boost::none;
    }
    return line;
}

}  // namespace

ScriptedPins::ScriptedPins(SecretString pin) {
    pins_.push_back(std::move(pin));
}

ScriptedPins::ScriptedPins(std::initializer_list<const char*> pins) {
    for (const char* pin : pins) {
        pins_.emplace_back(pin);
    }
}

boost::optional<SecretString> ScriptedPins::pin(const PinRequest& request) {
    ++asked_;
    const auto attempt = static_cast<std::size_t>(request.attempt);
    if (request.attempt < 0 || attempt >= pins_.size()) {
        return boost::none;
    }
    return SecretString(pins_[attempt].str().c_str());
}

std::string ScriptedPins::giveUpNotice() const {
    return "No other PIN was given.";
}

boost::optional<SecretString> TerminalPin::pin(const PinRequest& request) {
    // The terminal rather than stdin, so that data piped into the host stays untouched.
    FileDescriptor tty(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!tty) {
        std::cerr << "no terminal to ask for the PIN; for scripts use --pin-file FILE or "
                     "ZOLVEX_PIN\n";
        return boost::none;
    }
    boost::optional<SecretString> line;
    {
        // Echo goes off before the prompt shows, so nothing typed after it is echoed or lost.
        EchoOff quiet(tty.get());
        writeAll(tty.get(), "PIN for " + request.title + " (empty to cancel): ");
        line = readLine(tty.get());
    }
    writeAll(tty.get(), "\n");
    if (!line || line->empty()) {
        return boost::none;
    }
    return line;
}

}  // namespace kelvo::host::app
