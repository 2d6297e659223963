#pragma once

#include <string>
#include <vector>

#include <boost/optional.hpp>

#include "command_context.h"
#include "dialog_bridge.h"
#include "secret_string.h"

namespace kelvo::host::app {

// The host's settings for one run, from the command line and the environment.
struct HostOptions {
    std::string modules;  // folder of the plug-ins; empty: the program's folder
    std::string edition = "kelvo.plugin";
    bool caching = true;
    std::vector<std::string> required;
    std::vector<std::string> disabled;
    std::string device;
    std::string pinFile;  // empty: $ZOLVEX_PIN, else asked on the terminal
    int pinAttempts = 3;
    bool progress = false;
    DialogBridge::Answer drivers = DialogBridge::Answer::Ask;
    std::string logLevel = "error";
    std::string command;
    Arguments arguments;
    bool help = false;
};

// Parses "[global options] COMMAND [command options]"; throws boost::program_options::error,
// also for a PIN given on the command line.
HostOptions parseHostOptions(int argc, const char* const argv[]);
std::string usage();

// Module log lines (Boost.Log) at or above the level go to stderr.
void configureLogging(const std::string& level);

// Whether the command needs the modules (every command but "error").
bool needsModules(const HostOptions& options);

// Loads the modules, runs the command and returns the exit code: 0 done, 1 failed
// (the module's error text is printed), 2 bad usage. Every failure is one line "error: ...".
// The PIN comes from --pin-file, else from the environment's PIN taken at start, else from
// the terminal.
int runHost(const HostOptions& options, boost::optional<SecretString> environmentPin,
            std::ostream& out, std::ostream& err);

// Runs one command with the loaded modules and returns its exit code as runHost does.
int dispatchCommand(CommandContext& context, const std::string& name, const Arguments& arguments);

}  // namespace kelvo::host::app
