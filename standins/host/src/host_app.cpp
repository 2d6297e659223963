#include "host_app.h"

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>

#include <QCoreApplication>
#include <boost/log/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/trivial.hpp>
#include <boost/log/utility/setup/console.hpp>
#include <boost/program_options.hpp>

#include "commands.h"
#include "host_session.h"
#include "module_loader.h"
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
        {"random", {randomCommand, "[COUNT] [--out FILE]: random bytes from the token"}},
        {"hash", {hashCommand, "FILE [--algorithm OID] [--out FILE]: digest on the token"}},
        {"sign",
         {signCommand, "FILE --out SIG [--cert SEL] [--algorithm OID] [--digest-out FILE]"}},
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

po::options_description globalOptions(HostOptions& options) {
    po::options_description global("Global options (before the command)");
    global.add_options()("help,h", po::bool_switch(&options.help), "show this help")(
        "modules", po::value(&options.modules), "plug-in folder (default: the program's folder)")(
        "edition", po::value(&options.edition), "kelvo.plugin or valdorino.plugin")(
        "no-cache", "do not let the token cache listings")(
        "require", po::value(&options.required)->composing(), "module that must be loaded")(
        "disable", po::value(&options.disabled)->composing(), "module not to load")(
        "device", po::value(&options.device), "token by id, serial, label or model")(
        "pin", po::value(&options.pin), "user PIN (else $ZOLVEX_PIN, else asked)")(
        "pin-attempts", po::value(&options.pinAttempts), "PIN prompts before giving up")(
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
    trivial::severity_level threshold = trivial::error;
    std::istringstream(level) >> threshold;
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
    text << "  error CODE...       name, category and message of error codes\n\n"
         << globalOptions(ignored);
    return text.str();
}

HostOptions parseHostOptions(int argc, const char* const argv[]) {
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
    if (options.pin.empty()) {
        if (const char* pin = std::getenv("ZOLVEX_PIN")) {
            options.pin = pin;
        }
    }
    if (command < argc) {
        options.command = argv[command];
        options.arguments.assign(argv + command + 1, argv + argc);
    } else if (!options.help) {
        throw po::error("no command given");
    }
    const bool known = options.command.empty() || options.command == "modules" ||
                       options.command == "error" || commands().count(options.command);
    if (!known) {
        throw po::error("unknown command \"" + options.command + "\"");
    }
    return options;
}

int dispatchCommand(CommandContext& context, const std::string& name, const Arguments& arguments) {
    try {
        if (name == "error") {
            return errorCommand(arguments, context.out, context.err);
        }
        if (name == "modules") {
            return modulesCommand(context.host, context.out);
        }
        const auto command = commands().find(name);
        if (command == commands().end()) {
            throw po::error("unknown command \"" + name + "\"");
        }
        return command->second.run(context, arguments);
    } catch (const po::error& e) {
        context.err << name << ": " << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        context.err << "error: " << e.what() << '\n';
        return 1;
    }
}

bool needsModules(const HostOptions& options) {
    return options.command != "error";
}

int runHost(const HostOptions& options, std::ostream& out, std::ostream& err) {
    try {
        if (options.command == "error") {
            return errorCommand(options.arguments, out, err);
        }
    } catch (const po::error& e) {
        err << "error: " << e.what() << '\n';
        return 2;
    }

    std::unique_ptr<PinSource> pins;
    if (!options.pin.empty()) {
        pins = std::make_unique<ScriptedPins>(std::deque<std::string>{options.pin});
    } else {
        pins = std::make_unique<TerminalPin>();
    }
    TerminalUiService ui(*pins, err, options.pinAttempts);
    HostSession host(options.edition, options.caching, ui);
    // Errors are reported while the modules are still loaded: the error text lives with them.
    try {
        const QString folder = options.modules.empty() ? QCoreApplication::applicationDirPath()
                                                       : QString::fromStdString(options.modules);
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
        CommandContext context{host, *token, options.device, options.pin, options.progress,
                               out,  err};
        return dispatchCommand(context, options.command, options.arguments);
    } catch (const po::error& e) {
        err << options.command << ": " << e.what() << '\n';
        return 2;
    } catch (const std::exception& e) {
        err << "error: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace kelvo::host::app
