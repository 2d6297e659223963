#include "pin_source.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>

namespace kelvo::host::app {

namespace {

// Turns terminal echo off for its lifetime.
class EchoOff {
public:
    explicit EchoOff(int fd) : fd_(fd) {
        if (::tcgetattr(fd_, &saved_) == 0) {
            termios quiet = saved_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            active_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~EchoOff() {
        if (active_) {
            ::tcsetattr(fd_, TCSAFLUSH, &saved_);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

// Closes a FILE* on every path.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

boost::optional<std::string> ScriptedPins::pin(const PinRequest& request) {
    ++asked_;
    const auto attempt = static_cast<std::size_t>(request.attempt);
    if (request.attempt < 0 || attempt >= pins_.size()) {
        return boost::none;
    }
    return pins_[attempt];
}

boost::optional<std::string> TerminalPin::pin(const PinRequest& request) {
    // The terminal rather than stdin, so that data piped into the host stays untouched.
    std::unique_ptr<std::FILE, FileCloser> tty(std::fopen("/dev/tty", "r+"));
    if (!tty) {
        std::cerr << "no terminal to ask for the PIN; use --pin or ZOLVEX_PIN\n";
        return boost::none;
    }
    std::fprintf(tty.get(), "PIN for %s (empty to cancel): ", request.title.c_str());
    std::fflush(tty.get());
    std::string line;
    {
        EchoOff quiet(::fileno(tty.get()));
        for (int c = std::fgetc(tty.get()); c != EOF && c != '\n'; c = std::fgetc(tty.get())) {
            line.push_back(static_cast<char>(c));
        }
    }
    std::fputc('\n', tty.get());
    if (line.empty()) {
        return boost::none;
    }
    return line;
}

}  // namespace kelvo::host::app
