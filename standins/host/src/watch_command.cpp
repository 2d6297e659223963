#include <csignal>

#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "command_options.h"
#include "commands.h"
#include "cryptoki/device.h"

namespace kelvo::host::app {

namespace po = boost::program_options;

namespace {

volatile std::sig_atomic_t interrupted = 0;

// SIGINT and SIGTERM end the watch instead of the process while it lives, so that the host
// still unloads its modules.
class InterruptSignals {
public:
    InterruptSignals() {
        interrupted = 0;
        struct sigaction action {};
        action.sa_handler = [](int) { interrupted = 1; };
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previousInterrupt_);
        ::sigaction(SIGTERM, &action, &previousTerminate_);
    }
    ~InterruptSignals() {
        ::sigaction(SIGINT, &previousInterrupt_, nullptr);
        ::sigaction(SIGTERM, &previousTerminate_, nullptr);
    }
    InterruptSignals(const InterruptSignals&) = delete;
    InterruptSignals& operator=(const InterruptSignals&) = delete;

    // Waits up to the given time; false once interrupted.
    bool wait(std::chrono::milliseconds time) const {
        const auto end = std::chrono::steady_clock::now() + time;
        while (!interrupted && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return !interrupted;
    }

private:
    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
};

using Placed = std::set<std::pair<std::string, CK_SLOT_ID>>;  // token id and its slot

Placed placedTokens(CommandContext& context) {
    Placed placed;
    for (const auto& device : sortedDevices(context.token)) {
        placed.emplace(device->id, device->slot);
    }
    return placed;
}

void report(CommandContext& context, const char* what, const Placed& tokens, const Placed& not_) {
    for (const auto& [id, slot] : tokens) {
        if (!not_.count({id, slot})) {
            context.out << what << id << " (slot " << slot << ")\n";
        }
    }
}

}  // namespace

int watchCommand(CommandContext& context, const Arguments& arguments) {
    int interval = 500;
    po::options_description options("watch");
    options.add_options()("interval", po::value(&interval),
                          "milliseconds between looks at the tokens (default 500)");
    parseArguments(arguments, options);
    if (interval <= 0) {
        throw po::error("--interval expects a positive number of milliseconds");
    }
    const InterruptSignals interrupt;
    Placed known = placedTokens(context);
    report(context, "present:  ", known, {});
    context.out << std::flush;
    while (interrupt.wait(std::chrono::milliseconds(interval))) {
        const Placed now = placedTokens(context);
        report(context, "removed:  ", known, now);
        report(context, "inserted: ", now, known);
        context.out << std::flush;
        known = now;
    }
    return 0;
}

}  // namespace kelvo::host::app
