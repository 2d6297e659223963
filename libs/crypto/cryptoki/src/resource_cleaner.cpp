#include "cryptoki/resource_cleaner.h"

#include <exception>

#include <boost/log/trivial.hpp>

namespace kelvo::plugin::cryptoki {

ResourceCleaner::ResourceCleaner(std::function<void()> cleanup)
    : cleanup_(std::move(cleanup)), uncaughtAtStart_(std::uncaught_exceptions()) {}

ResourceCleaner::~ResourceCleaner() {
    if (std::uncaught_exceptions() > uncaughtAtStart_) {
        BOOST_LOG_TRIVIAL(warning) << "~ResourceCleaner() stack unwinding";
    }
    try {
        cleanup_();
    } catch (const std::exception& e) {
        // A clean-up step must not end the process; what it could not release is logged.
        BOOST_LOG_TRIVIAL(error) << "cryptoki: clean-up failed: " << e.what();
    }
}

}  // namespace kelvo::plugin::cryptoki
