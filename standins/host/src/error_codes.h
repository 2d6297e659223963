#pragma once

#include <string>

#include <boost/optional.hpp>

namespace kelvo::host::app {

// One code of the module's error model.
struct ErrorCodeInfo {
    int code = 0;
    std::string name;
    std::string category;
    std::string message;  // Russian, UTF-8
};

// Looks a bare number up in every error category (the ranges are disjoint).
boost::optional<ErrorCodeInfo> describeError(int code);

}  // namespace kelvo::host::app
