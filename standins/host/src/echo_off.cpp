#include "echo_off.h"

#include <unistd.h>

namespace kelvo::host::app {

namespace {

constexpr int kEndingSignals[EchoOff::kSignalCount] = {SIGINT, SIGQUIT, SIGHUP, SIGTERM};

// What the signal handler puts back; written before the handlers are installed.
int terminalFd = -1;
termios terminalSettings{};

extern "C" void restoreEchoAndEnd(int signal) {
    ::tcsetattr(terminalFd, TCSANOW, &terminalSettings);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);
}

}  // namespace

EchoOff::EchoOff(int fd) : fd_(fd) {
    if (::tcgetattr(fd_, &saved_) != 0) {
        return;
    }
    terminalFd = fd_;
    terminalSettings = saved_;
    struct sigaction restore {};
    restore.sa_handler = restoreEchoAndEnd;
    for (int i = 0; i < kSignalCount; ++i) {
        ::sigaction(kEndingSignals[i], &restore, &previous_[i]);
    }
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    // Flushing drops what was typed before the prompt, so it cannot become the PIN.
    active_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
}

EchoOff::~EchoOff() {
    if (active_) {
        ::tcsetattr(fd_, TCSAFLUSH, &saved_);
    }
    if (terminalFd == fd_) {
        for (int i = 0; i < kSignalCount; ++i) {
            ::sigaction(kEndingSignals[i], &previous_[i], nullptr);
        }
        terminalFd = -1;
    }
}

}  // namespace kelvo::host::app
