#include "config.h"

#include <algorithm>
#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "file_io.h"

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

// A whole decimal number from minimum to maximum; nothing for other text.
std::optional<unsigned long> decimal(const std::string& text, unsigned long minimum,
                                     unsigned long maximum) {
    unsigned long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < minimum || value > maximum) {
        return std::nullopt;
    }
    return value;
}

void warn(const std::string& what) {
    std::fprintf(stderr, "zolvex-softtoken: %s\n", what.c_str());
}

unsigned kdfCost(const boost::property_tree::ptree& section, unsigned fallback,
                 const std::string& where) {
    const auto text = section.get_optional<std::string>("kdf-cost");
    if (!text) {
        return fallback;
    }
    const auto cost = decimal(*text, kMinKdfCost, kMaxKdfCost);
    if (!cost) {
        throw std::runtime_error("kdf-cost in [" + where + "] must be a whole number from " +
                                 std::to_string(kMinKdfCost) + " to " +
                                 std::to_string(kMaxKdfCost) + ", not '" + *text + "'");
    }
    if (*cost < kdfFloor()) {
        warn("kdf-cost " + *text + " in [" + where + "] is below the floor of " +
             std::to_string(kdfFloor()) + " and is ignored");
        return kdfFloor();
    }
    return static_cast<unsigned>(*cost);
}

// An absolute folder from the variable, nothing when it is unset, empty or relative.
std::optional<std::filesystem::path> absoluteFrom(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value || !*value) {
        return std::nullopt;
    }
    std::filesystem::path path(value);
    if (path.is_relative()) {
        warn(std::string(variable) + " is a relative path and is ignored");
        return std::nullopt;
    }
    return path;
}

SlotConfig slotFrom(CK_SLOT_ID id, const boost::property_tree::ptree& section,
                    const std::string& name, unsigned defaultKdfCost) {
    SlotConfig slot;
    slot.id = id;
    slot.kdfCost = kdfCost(section, defaultKdfCost, name);
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
    if (auto dir = absoluteFrom("ZOLVEX_SOFTTOKEN_DIR")) {
        return *dir;
    }
    if (auto data = absoluteFrom("XDG_DATA_HOME")) {
        return *data / "zolvex-softtoken";
    }
    if (auto home = absoluteFrom("HOME")) {
        return *home / ".local/share/zolvex-softtoken";
    }
    throw std::runtime_error(
        "no token folder: set ZOLVEX_SOFTTOKEN_DIR or HOME to an absolute path");
}

Config loadConfig(const std::filesystem::path& directory) {
    Config config;
    const auto file = directory / kConfigFileName;
    unsigned defaultKdfCost = kDefaultKdfCost;
    if (const auto text = readOwnFile(file, kMaxConfigSize)) {
        boost::property_tree::ptree tree;
        try {
            std::istringstream stream(*text);
            boost::property_tree::read_ini(stream, tree);
        } catch (const boost::property_tree::ini_parser_error& error) {
            throw std::runtime_error(file.string() + ": " + error.what());
        }
        if (const auto pin = tree.get_child_optional("pin")) {
            defaultKdfCost = kdfCost(*pin, kDefaultKdfCost, "pin");
        }
        std::map<CK_SLOT_ID, std::string> named;
        for (const auto& [name, section] : tree) {
            constexpr const char* kPrefix = "slot.";
            if (name.rfind(kPrefix, 0) != 0) {
                continue;
            }
            const auto id = decimal(name.substr(5), 0, 0xFFFF);
            if (!id) {
                throw std::runtime_error("malformed slot section [" + name + "]");
            }
            if (const auto [earlier, added] = named.emplace(*id, name); !added) {
                throw std::runtime_error("slot " + std::to_string(*id) +
                                         " is configured twice, in [" + earlier->second +
                                         "] and [" + name + "]");
            }
            config.slots.push_back(slotFrom(*id, section, name, defaultKdfCost));
        }
        if (tree.get_child_optional("faults")) {
            warn("[faults] in " + file.string() +
                 " is ignored: fault rules come only from ZOLVEX_SOFTTOKEN_FAULTS");
        }
    }
    if (config.slots.empty()) {
        config.slots.push_back(slotFrom(0, {}, "slot.0", defaultKdfCost));
    }
    std::sort(config.slots.begin(), config.slots.end(),
              [](const SlotConfig& a, const SlotConfig& b) { return a.id < b.id; });
    return config;
}

}  // namespace softtoken
