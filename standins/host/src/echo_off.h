#pragma once

#include <signal.h>
#include <termios.h>

namespace kelvo::host::app {

// Turns a terminal's echo off for its lifetime, for one prompt at a time. A signal that ends
// the process meanwhile (interrupt, quit, hang-up, terminate) turns the echo back on first,
// so the shell is not left without it.
class EchoOff {
public:
    explicit EchoOff(int fd);
    ~EchoOff();
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

    static constexpr int kSignalCount = 4;

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
    struct sigaction previous_[kSignalCount] {};
};

}  // namespace kelvo::host::app
