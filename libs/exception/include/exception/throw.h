#pragma once

#include <boost/throw_exception.hpp>

// Throw locations record the bare name of the throwing function ("attribute", "functions"),
// which is what the host shows in its diagnostics, instead of the full signature.
#undef BOOST_CURRENT_LOCATION
#define BOOST_CURRENT_LOCATION ::boost::source_location(__FILE__, __LINE__, __func__)
