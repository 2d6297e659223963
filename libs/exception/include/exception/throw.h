#pragma once

#include <string_view>

#include <boost/throw_exception.hpp>

namespace kelvo::plugin::exception {

// The compiler calls every lambda's call operator "operator()"; the host's diagnostics
// spell it "operator ()".
constexpr const char* throwFunctionName(const char* function) noexcept {
    return std::string_view(function) == "operator()" ? "operator ()" : function;
}

}  // namespace kelvo::plugin::exception

// Throw locations record the bare name of the throwing function ("attribute", "functions"),
// which is what the host shows in its diagnostics, instead of the full signature.
#undef BOOST_CURRENT_LOCATION
#define BOOST_CURRENT_LOCATION                   \
    ::boost::source_location(__FILE__, __LINE__, \
                             ::kelvo::plugin::exception::throwFunctionName(__func__))
