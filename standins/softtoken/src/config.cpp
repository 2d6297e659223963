#include "config.h"

#include <algorithm>
#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace softtoken {

namespace {

CK_VERSION parseVersion(const std::string& text) {
    unsigned major = 0;
    unsigned minor = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u.%u%c", &major, &minor, &tail) != 2 || major > 255 ||
        minor > 255) {
        throw std::runtime_error("malformed version '" + text + "' (expected major.minor)");
    }
    return CK_VERSION{static_cast<CK_BYTE>(major), static_cast<CK_BYTE>(minor)};
}

std::string defaultSerial(CK_SLOT_ID id) {
    char serial[17];
    std::snprintf(serial, sizeof serial, "%010lu", 1234UL + id);
    return serial;
}

SlotConfig slotFrom(CK_SLOT_ID id, const boost::property_tree::ptree& section) {
    SlotConfig slot;
    slot.id = id;
    slot.serial = defaultSerial(id);
    slot.model = section.get("model", slot.model);
    slot.serial = section.get("serial", slot.serial);
    slot.manufacturer = section.get("manufacturer", slot.manufacturer);
    slot.description = section.get("description", slot.description);
    slot.soPin = section.get("so-pin", slot.soPin);
    if (auto hardware = section.get_optional<std::string>("hardware")) {
        slot.hardware = parseVersion(*hardware);
    }
    if (auto firmware = section.get_optional<std::string>("firmware")) {
        slot.firmware = parseVersion(*firmware);
    }
    return slot;
}

}  // namespace

std::filesystem::path storageDirectory() {
    if (const char* dir = std::getenv("ZOLVEX_SOFTTOKEN_DIR"); dir && *dir) {
        return dir;
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return std::filesystem::path(data) / "zolvex-softtoken";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".local/share/zolvex-softtoken";
}

Config loadConfig(const std::filesystem::path& directory) {
    Config config;
    const auto file = directory / kConfigFileName;
    if (std::filesystem::exists(file)) {
        boost::property_tree::ptree tree;
        try {
            boost::property_tree::read_ini(file.string(), tree);
        } catch (const boost::property_tree::ini_parser_error& error) {
            throw std::runtime_error(error.what());
        }
        for (const auto& [name, section] : tree) {
            constexpr const char* kPrefix = "slot.";
            if (name.rfind(kPrefix, 0) == 0) {
                const std::string number = name.substr(5);
                char* end = nullptr;
                const unsigned long id = std::strtoul(number.c_str(), &end, 10);
                if (number.empty() || *end != '\0' || id > 0xFFFF) {
                    throw std::runtime_error("malformed slot section [" + name + "]");
                }
                config.slots.push_back(slotFrom(id, section));
            }
        }
        config.faults = tree.get("faults.rules", std::string());
    }
    if (config.slots.empty()) {
        config.slots.push_back(slotFrom(0, {}));
    }
    std::sort(config.slots.begin(), config.slots.end(),
              [](const SlotConfig& a, const SlotConfig& b) { return a.id < b.id; });
    return config;
}

}  // namespace softtoken
