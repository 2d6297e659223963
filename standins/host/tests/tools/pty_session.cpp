// Runs a program on a pseudo-terminal of its own and answers its prompts, for tests of what
// a user sees on a terminal.
//
//   pty_session [--expect TEXT | --send LINE | --run COMMAND]... -- PROGRAM [ARGUMENT]...
//
// The steps run in order: --expect waits until TEXT appears in the output after the previous
// match, --send types LINE and a newline, --run runs a shell command and waits for it. After
// the last step the output is read to its end. Prints everything the program wrote to the
// terminal and exits with the program's status; 124 when an expected text does not come
// within a minute (the program hangs), 2 for bad usage.
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "file_descriptor.h"

namespace {

using kelvo::host::app::FileDescriptor;

constexpr int kStepTimeoutMs = 60000;

struct Step {
    std::string action;  // "--expect", "--send" or "--run"
    std::string text;
};

// Appends what the program wrote; false at its end (EIO once the program has gone) or when
// nothing came in time.
bool readMore(int master, std::string& transcript, bool& timedOut) {
    pollfd ready{master, POLLIN, 0};
    const int polled = ::poll(&ready, 1, kStepTimeoutMs);
    if (polled == 0) {
        timedOut = true;
        return false;
    }
    char buffer[4096];
    const ssize_t got = polled < 0 ? -1 : ::read(master, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
        return true;
    }
    if (got <= 0) {
        return false;
    }
    transcript.append(buffer, static_cast<std::size_t>(got));
    return true;
}

// Reads until the text appears after `from`, then moves `from` past it; false when the
// output ends or stalls first.
bool expect(int master, const std::string& text, std::string& transcript, std::size_t& from,
            bool& timedOut) {
    std::size_t found = std::string::npos;
    while ((found = transcript.find(text, from)) == std::string::npos) {
        if (!readMore(master, transcript, timedOut)) {
            std::cerr << "pty_session: \"" << text << "\" did not come\n";
            return false;
        }
    }
    from = found + text.size();
    return true;
}

int exitStatus(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<Step> steps;
    int program = 1;
    for (; program + 1 < argc && std::strcmp(argv[program], "--") != 0; program += 2) {
        const std::string action = argv[program];
        if (action != "--expect" && action != "--send" && action != "--run") {
            break;
        }
        steps.push_back({action, argv[program + 1]});
    }
    if (program >= argc || std::strcmp(argv[program], "--") != 0 || program + 1 >= argc) {
        std::cerr << "usage: pty_session [--expect TEXT | --send LINE | --run COMMAND]... -- "
                     "PROGRAM [ARGUMENT]...\n";
        return 2;
    }
    int masterFd = -1;
    const pid_t child = ::forkpty(&masterFd, nullptr, nullptr, nullptr);
    if (child < 0) {
        std::perror("forkpty");
        return 1;
    }
    if (child == 0) {
        ::execvp(argv[program + 1], argv + program + 1);
        std::perror(argv[program + 1]);
        ::_exit(127);
    }
    const FileDescriptor master(masterFd);
    std::string transcript;
    std::size_t from = 0;
    bool timedOut = false;
    for (const auto& step : steps) {
        if (step.action == "--expect" &&
            !expect(master.get(), step.text, transcript, from, timedOut)) {
            break;
        }
        const std::string line = step.text + "\n";
        if (step.action == "--send" &&
            ::write(master.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            break;
        }
        if (step.action == "--run" && std::system(step.text.c_str()) != 0) {
            std::cerr << "pty_session: \"" << step.text << "\" failed\n";
            break;
        }
    }
    while (!timedOut && readMore(master.get(), transcript, timedOut)) {
    }
    if (timedOut) {
        ::kill(child, SIGKILL);
    }
    std::cout << transcript << std::flush;
    const int status = exitStatus(child);
    return timedOut ? 124 : status;
}
