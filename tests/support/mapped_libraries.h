#pragma once

#include <fstream>
#include <string>

namespace kelvo::test {

// Whether a file of that name is mapped into this process (a loaded library, say).
inline bool isMapped(const std::string& fileName) {
    std::ifstream maps("/proc/self/maps");
    const std::string suffix = "/" + fileName;
    for (std::string line; std::getline(maps, line);) {
        if (line.size() >= suffix.size() &&
            line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace kelvo::test
