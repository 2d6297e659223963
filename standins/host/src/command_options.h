#pragma once

#include <cstdint>
#include <string>

#include <boost/program_options.hpp>

#include "command_context.h"

namespace kelvo::host::app {

// Parses a command's arguments; throws boost::program_options::error on bad usage.
boost::program_options::variables_map parseArguments(
    const Arguments& arguments, const boost::program_options::options_description& options,
    const boost::program_options::positional_options_description& positional = {});

// A whole decimal number from min to max; throws boost::program_options::error naming the
// option and the range otherwise.
std::uint64_t numberInRange(const std::string& text, std::uint64_t min, std::uint64_t max,
                            const std::string& name);

}  // namespace kelvo::host::app
