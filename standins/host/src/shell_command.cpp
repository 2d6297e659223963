#include <algorithm>
#include <iostream>
#include <string>

#include <boost/optional.hpp>
#include <boost/program_options/parsers.hpp>

#include "command_options.h"
#include "commands.h"
#include "host_app.h"

namespace kelvo::host::app {

namespace po = boost::program_options;

boost::optional<int> runShellLine(CommandContext& context, const std::string& line) {
    const auto start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') {
        return boost::none;
    }
    // Never echoed back in a message: they could drive the terminal of whoever reads it.
    const bool controls = std::any_of(line.begin(), line.end(), [](char c) {
        return (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r') || c == 0x7F;
    });
    if (controls) {
        context.err << "shell: control characters in the line\n";
        return 2;
    }
    std::vector<std::string> words;
    try {
        words = po::split_unix(line);
    } catch (const std::exception& e) {
        context.err << "shell: " << e.what() << '\n';
        return 2;
    }
    const char* refusal = nullptr;
    if (words.empty() || words.front().empty()) {
        refusal = "no command in the line";
    } else if (words.front() == "shell" || words.front() == "watch") {
        // Neither would return to the shell's next line.
        refusal = "no shell or watch inside the shell";
    } else if (words.front().front() == '-') {
        refusal = "global options go before \"shell\"";
    }
    if (refusal) {
        context.err << "shell: " << refusal << '\n';
        return 2;
    }
    const std::string& name = words.front();
    return dispatchCommand(context, name, Arguments(words.begin() + 1, words.end()));
}

int shellCommand(CommandContext& context, const Arguments& arguments) {
    parseArguments(arguments, po::options_description());
    std::string line;
    while (std::getline(std::cin, line)) {
        if (const auto status = runShellLine(context, line)) {
            // Flushed, so that whoever feeds the lines can wait for each answer.
            context.out << "== exit " << *status << std::endl;
        }
    }
    return 0;
}

}  // namespace kelvo::host::app
