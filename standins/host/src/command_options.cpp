#include "command_options.h"

#include <charconv>

namespace kelvo::host::app {

namespace po = boost::program_options;

po::variables_map parseArguments(const Arguments& arguments, const po::options_description& options,
                                 const po::positional_options_description& positional) {
    po::variables_map values;
    po::store(po::command_line_parser(arguments).options(options).positional(positional).run(),
              values);
    po::notify(values);
    return values;
}

std::uint64_t numberInRange(const std::string& text, std::uint64_t min, std::uint64_t max,
                            const std::string& name) {
    std::uint64_t value = 0;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (text.empty() || error != std::errc() || end != last || value < min || value > max) {
        throw po::error(name + " must be a whole number from " + std::to_string(min) + " to " +
                        std::to_string(max) + ", not \"" + text + "\"");
    }
    return value;
}

}  // namespace kelvo::host::app
