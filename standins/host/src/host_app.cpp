#include "host_app.h"

#include <unistd.h>

#include <functional>
#include <map>
#include <sstream>

#include <QCoreApplication>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/log/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/trivial.hpp>
#include <boost/log/utility/setup/console.hpp>
#include <boost/program_options.hpp>

#include "command_options.h"
#include "commands.h"
#include "host_session.h"
#include "module_loader.h"
#include "pin_source.h"
#include "plugin_folder.h"
#include "script_pin.h"
#include "terminal_ui_service.h"

namespace kelvo::host::app {

namespace po = boost::program_options;

namespace {

using Command = std::function<int(CommandContext&, const Arguments&)>;

struct CommandInfo {
    Command run;
    const char* summary;
};

const std::map<std::string, CommandInfo>& commands() {
    static const std::map<std::string, CommandInfo> table{
        {"devices", {devicesCommand, "list tokens with provider and version information"}},
        {"certificates",
         {certificatesCommand,
          "list certificates: subject, issuer, serial, validity, SHA-1, "
          "container"}},
        {"containers", {containersCommand, "list key containers"}},
        {"random", {randomCommand, "[COUNT] [--out FILE]: 1 to 65536 random bytes (default 32)"}},
        {"hash", {hashCommand, "FILE|- [--algorithm OID] [--out FILE]: digest on the token"}},
        {"sign",
         {signCommand,
          "FILE --out SIG [--cert SEL] [--algorithm OID] [--digest-out FILE] | "
          "FILE --format cms --out SIG [--cert SEL] [--chain FILE] [--attached] [--pem]"}},
        {"keygen",
         {keygenCommand, "--subject TEXT --key-id ID --out REQ [...]: key pair and request"}},
        {"install", {installCommand, "CERT --container ID: write a certificate to the token"}},
        {"delete-cert", {deleteCertificateCommand, "[SEL]: delete a certificate"}},
        {"delete-container", {deleteContainerCommand, "ID: delete a key container"}},
        {"shell",
         {shellCommand,
          "run the commands of standard input, one a line, in this one process; "
          "\"== exit N\" after each"}},
        {"watch",
         {watchCommand, "[--interval MS]: print tokens as they come and go until interrupted"}},
    };
    return table;
}

const std::uint64_t kMaxPinAttempts = 10;

boost::optional<boost::log::trivial::severity_level> severity(const std::string& name) {
    boost::log::trivial::severity_level level{};
    if (!boost::log::trivial::from_string(name.data(), name.size(), level)) {
        return boost::none;
    }
    return level;
}

// Anything on the command line is in the process list for every local user to read.
void refusePinOnCommandLine(int argc, const char* const argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--pin" || boost::algorithm::starts_with(word, "--pin=")) {
            throw po::error(std::string("--pin is refused: the command line is visible to every "
                                        "local user; use --pin-file FILE, ") +
                            kPinVariable + " (for scripts) or the terminal prompt");
        }
    }
}

// The PIN file first, as the explicit choice; then the environment's; then the user.
std::unique_ptr<PinSource> pinSource(const HostOptions& options,
                                     boost::optional<SecretString> environmentPin) {
    if (!options.pinFile.empty()) {
        return std::make_unique<ScriptedPins>(readPinFile(options.pinFile));
    }
    if (environmentPin) {
        return std::make_unique<ScriptedPins>(std::move(*environmentPin));
    }
    return std::make_unique<TerminalPin>();
}

po::options_description globalOptions(HostOptions& options) {
    po::options_description global("Global options (before the command)");
    global.add_options()("help,h", po::bool_switch(&options.help), "show this help")(
        "modules", po::value(&options.modules),
        "plug-in folder (default: the installed one or the build's, from the program's)")(
        "edition", po::value(&options.edition), "kelvo.plugin or valdorino.plugin")(
        "no-cache", "do not let the token cache listings")(
        "require", po::value(&options.required)->composing(), "module that must be loaded")(
        "disable", po::value(&options.disabled)->composing(), "module not to load")(
        "device", po::value(&options.device), "token by id, serial, label or model")(
        "pin-file", po::value(&options.pinFile),
        "user PIN from the first line of this file (mode 600: none for group or others)")(
        "pin-attempts", po::value<std::string>(), "PIN prompts before giving up: 1 to 10 (3)")(
        "progress", "always show progress bars")("no-progress", "never show progress bars")(
        "drivers", po::value<std::string>(),
        "answer to the driver-installation prompt "
        "without a display: ask, yes or no")(
        "log-level", po::value(&options.logLevel),
        "module log lines shown: trace, debug, info, warning, error, fatal");
    return global;
}

}  // namespace

void configureLogging(const std::string& level) {
    namespace trivial = boost::log::trivial;
    const auto threshold = severity(level).value_or(trivial::error);
    namespace expr = boost::log::expressions;
    boost::log::add_console_log(
        std::clog, boost::log::keywords::format =
                       (expr::stream << "[" << trivial::severity << "] " << expr::smessage));
    boost::log::core::get()->set_filter(trivial::severity >= threshold);
}

std::string usage() {
    HostOptions ignored;
    std::ostringstream text;
    text << "usage: zolvex-host [global options] COMMAND [command options]\n\nCommands:\n";
    text << "  modules             list modules and their load states\n";
    for (const auto& [name, info] : commands()) {
        text << "  " << name << std::string(20 - std::min<std::size_t>(19, name.size()), ' ')
             << info.summary << '\n';
    }
    text << "  error CODE...       name, category and message of error codes\n"
         << "  verify SIG [--content FILE] [--ca FILE]...\n"
         << "                      check a CMS signature: signed attributes, content digest,\n"
         << "                      signing certificate, chain at the signing time\n\n"
         << globalOptions(ignored) << '\n'
         << "The user PIN is asked on the terminal with echo off. Scripts hand it over with\n"
            "--pin-file FILE (its first line; the file must be closed to group and others)\n"
            "or in "
         << kPinVariable
         << ", which the host takes out of its environment at start, so\n"
            "that no child process inherits it. --pin is refused: the command line is\n"
            "visible to every local user.\n\n"
            "Exit status: 0 done, 1 failed, 2 bad usage; every failure is one line\n"
            "\"error: ...\".\n";
    return text.str();
}

HostOptions parseHostOptions(int argc, const char* const argv[]) {
    refusePinOnCommandLine(argc, argv);
    HostOptions options;
    const auto global = globalOptions(options);
    // Global options end at the first word that is neither an option nor an option's value.
    int command = 1;
    while (command < argc && argv[command][0] == '-') {
        const std::string word = argv[command];
        const auto name = word.substr(word.find_first_not_of('-'));
        const auto* option = global.find_nothrow(name.substr(0, name.find('=')), false);
        const bool takesValue = option && option->semantic()->max_tokens() > 0 &&
                                name.find('=') == std::string::npos && word.size() > 2 &&
                                word[1] == '-';
        command += takesValue ? 2 : 1;
    }
    po::variables_map values;
    po::store(po::parse_command_line(std::min(command, argc), argv, global), values);
    po::notify(values);
    options.caching = !values.count("no-cache");
    options.progress = values.count("progress")      ? true
                       : values.count("no-progress") ? false
                                                     : ::isatty(STDERR_FILENO) != 0;
    if (values.count("drivers")) {
        const auto answer = values["drivers"].as<std::string>();
        if (answer != "ask" && answer != "yes" && answer != "no") {
            throw po::error("--drivers expects ask, yes or no");
        }
        options.drivers = answer == "yes"  ? DialogBridge::Answer::Yes
                          : answer == "no" ? DialogBridge::Answer::No
                                           : DialogBridge::Answer::Ask;
    }
    if (values.count("pin-attempts")) {
        options.pinAttempts = static_cast<int>(numberInRange(
            values["pin-attempts"].as<std::string>(), 1, kMaxPinAttempts, "--pin-attempts"));
    }
    if (!severity(options.logLevel)) {
        throw po::error("--log-level expects trace, debug, info, warning, error or fatal");
    }
    if (command < argc) {
        options.command = argv[command];
        options.arguments.assign(argv + command + 1, argv + argc);
    } else if (!options.help) {
        throw po::error("no command given");
    }
    const bool known = options.command.empty() || options.command == "modules" ||
                       !needsModules(options) || commands().count(options.command);
    if (!known) {
        throw po::error("unknown command \"" + options.command + "\"");
    }
    return options;
}

bool needsModules(const HostOptions& options) {
    return options.command != "error" && options.command != "verify";
}

namespace {

// The failure being handled as one line: its own text (for the module's errors, text that
// lives in the module), after the command's name for bad usage of a command.
int reportFailure(const std::string& command, std::ostream& err) {
    try {
        throw;
    } catch (const po::error& e) {
        err << "error: " << (command.empty() ? "" : command + ": ") << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        err << "error: " << e.what() << '\n';
    } catch (...) {
        err << "error: an unknown failure\n";
    }
    return 1;
}

}  // namespace

int dispatchCommand(CommandContext& context, const std::string& name, const Arguments& arguments) {
    try {
        if (name == "error") {
            return errorCommand(arguments, context.out, context.err);
        }
        if (name == "modules") {
            return modulesCommand(context.host, context.out);
        }
        if (name == "verify") {
            return verifyCommand(arguments, context.progress, context.out, context.err);
        }
        const auto command = commands().find(name);
        if (command == commands().end()) {
            throw po::error("unknown command \"" + name + "\"");
        }
        return command->second.run(context, arguments);
    } catch (...) {
        return reportFailure(name, context.err);
    }
}

namespace {

int runCommand(const HostOptions& options, HostSession& host, IUiService& ui, std::ostream& out,
               std::ostream& err) {
    const QString folder =
        options.modules.empty() ? defaultPluginFolder() : QString::fromStdString(options.modules);
    host.load(ModuleLoader::scan(folder), {options.required, options.disabled});
    host.init();
    if (options.command == "modules") {
        return modulesCommand(host, out);
    }
    plugin::module::IToken* token = host.token();
    if (!token) {
        err << "error: no module offers a token (the ZOLVEX drivers are missing, or their "
               "installation was refused)\n";
        return 1;
    }
    CommandContext context{host, *token, options.device, ui, options.progress, out, err};
    return dispatchCommand(context, options.command, options.arguments);
}

}  // namespace

int runHost(const HostOptions& options, boost::optional<SecretString> environmentPin,
            std::ostream& out, std::ostream& err) {
    if (options.command == "error") {
        try {
            return errorCommand(options.arguments, out, err);
        } catch (...) {
            return reportFailure("", err);
        }
    }
    if (options.command == "verify") {
        try {
            return verifyCommand(options.arguments, options.progress, out, err);
        } catch (...) {
            return reportFailure(options.command, err);
        }
    }
    try {
        // Before the modules load: a bad PIN file must not get as far as the token.
        const auto pins = pinSource(options, std::move(environmentPin));
        TerminalUiService ui(*pins, err, options.pinAttempts);
        HostSession host(options.edition, options.caching, ui);
        // Errors are reported while the modules are still loaded: the error text lives with
        // them.
        try {
            return runCommand(options, host, ui, out, err);
        } catch (...) {
            return reportFailure(options.command, err);
        }
    } catch (...) {
        return reportFailure("", err);
    }
}

}  // namespace kelvo::host::app
