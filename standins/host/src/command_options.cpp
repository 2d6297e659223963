#include "command_options.h"

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

}  // namespace kelvo::host::app
