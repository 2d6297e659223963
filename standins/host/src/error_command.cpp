#include <stdexcept>

#include "command_options.h"
#include "commands.h"
#include "error_codes.h"

namespace kelvo::host::app {

namespace po = boost::program_options;

int errorCommand(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    std::vector<std::string> codes;
    po::options_description options("error");
    options.add_options()("code", po::value(&codes)->required(), "error code(s)");
    po::positional_options_description positional;
    positional.add("code", -1);
    parseArguments(arguments, options, positional);
    int status = 0;
    for (const auto& text : codes) {
        std::size_t used = 0;
        int code = 0;
        try {
            code = std::stoi(text, &used, 0);
        } catch (const std::logic_error&) {
            used = 0;
        }
        if (used == 0 || used != text.size()) {
            err << "error: " << text << ": not a number\n";
            status = 1;
            continue;
        }
        if (const auto info = describeError(code)) {
            out << info->code << ' ' << info->name << " (" << info->category
                << "): " << info->message << '\n';
        } else {
            err << "error: " << code << ": unknown error code\n";
            status = 1;
        }
    }
    return status;
}

}  // namespace kelvo::host::app
