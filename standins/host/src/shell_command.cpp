#include <iostream>
#include <string>

#include <boost/optional.hpp>
#include <boost/program_options/parsers.hpp>

#include "command_options.h"
#include "commands.h"
#include "host_app.h"

namespace kelvo::host::app {

namespace po = boost::program_options;

namespace {

// The exit status of one line, none for a blank line or a comment.
boost::optional<int> runLine(CommandContext& context, const std::string& line) {
    const auto start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') {
        return boost::none;
    }
    std::vector<std::string> words;
    try {
        words = po::split_unix(line);
    } catch (const std::exception& e) {
        context.err << "shell: " << e.what() << '\n';
        return 2;
    }
    const std::string& name = words.front();
    if (name == "shell" || name.front() == '-') {
        context.err << "shell: "
                    << (name == "shell" ? "no shell inside the shell"
                                        : "global options go before \"shell\"")
                    << '\n';
        return 2;
    }
    return dispatchCommand(context, name, Arguments(words.begin() + 1, words.end()));
}

}  // namespace

int shellCommand(CommandContext& context, const Arguments& arguments) {
    parseArguments(arguments, po::options_description());
    std::string line;
    while (std::getline(std::cin, line)) {
        if (const auto status = runLine(context, line)) {
            // Flushed, so that whoever feeds the lines can wait for each answer.
            context.out << "== exit " << *status << std::endl;
        }
    }
    return 0;
}

}  // namespace kelvo::host::app
