#pragma once

#include <set>

#include <boost/smart_ptr/owner_less.hpp>
#include <boost/smart_ptr/shared_ptr.hpp>

namespace kelvo::plugin::crypto {

// Sets of shared objects handed to the host are ordered by owner identity: two handles to
// one object are one entry, two equal objects are two entries.
template <class T>
using SharedSet = std::set<boost::shared_ptr<T>, boost::owner_less<boost::shared_ptr<T>>>;

}  // namespace kelvo::plugin::crypto
