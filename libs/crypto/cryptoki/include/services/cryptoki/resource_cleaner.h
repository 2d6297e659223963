#pragma once

#include <functional>

namespace kelvo::plugin::cryptoki {

// Runs one clean-up step when the scope ends, on every path out of it.
class ResourceCleaner {
public:
    explicit ResourceCleaner(std::function<void()> cleanup);
    ~ResourceCleaner();
    ResourceCleaner(const ResourceCleaner&) = delete;
    ResourceCleaner& operator=(const ResourceCleaner&) = delete;

private:
    std::function<void()> cleanup_;
    int uncaughtAtStart_;
};

}  // namespace kelvo::plugin::cryptoki
