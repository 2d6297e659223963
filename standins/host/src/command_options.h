#pragma once

#include <string>

#include <boost/program_options.hpp>

#include "command_context.h"

namespace kelvo::host::app {

// Parses a command's arguments; throws boost::program_options::error on bad usage.
boost::program_options::variables_map parseArguments(
    const Arguments& arguments, const boost::program_options::options_description& options,
    const boost::program_options::positional_options_description& positional = {});

}  // namespace kelvo::host::app
