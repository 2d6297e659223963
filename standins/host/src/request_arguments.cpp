#include "request_arguments.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include <openssl/err.h>
#include <openssl/objects.h>
#include <boost/algorithm/string/case_conv.hpp>
#include <boost/algorithm/string/erase.hpp>
#include <boost/algorithm/string/join.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>
#include <boost/program_options/errors.hpp>
#include <boost/range/adaptor/map.hpp>

namespace kelvo::host::app {

namespace po = boost::program_options;

namespace {

const std::map<std::string, std::uint32_t>& keyUsageBits() {
    static const std::map<std::string, std::uint32_t> bits{
        {"digitalSignature", 0x80}, {"nonRepudiation", 0x40}, {"keyEncipherment", 0x20},
        {"dataEncipherment", 0x10}, {"keyAgreement", 0x08},   {"keyCertSign", 0x04},
        {"cRLSign", 0x02},          {"encipherOnly", 0x01},   {"decipherOnly", 0x8000}};
    return bits;
}

// OpenSSL's names of the extended key usages a signing certificate asks for.
const std::set<std::string>& extendedKeyUsageNames() {
    static const std::set<std::string> names{
        "serverAuth",  "clientAuth",       "codeSigning", "emailProtection",    "timeStamping",
        "OCSPSigning", "msSmartcardLogin", "msEFS",       "anyExtendedKeyUsage"};
    return names;
}

// Subject names the request builder knows besides OpenSSL's own, compared without case,
// "-" and "_".
const std::set<std::string>& subjectNames() {
    static const std::set<std::string> names{
        "cn",  "sn",           "g",  "gn",    "t",   "title", "o",    "ou",
        "e",   "emailaddress", "un", "snils", "inn", "innle", "ogrn", "ogrnip",
        "kpp", "street",       "st", "l",     "c"};
    return names;
}

std::string fold(std::string name) {
    boost::algorithm::erase_all(name, "-");
    boost::algorithm::erase_all(name, "_");
    return boost::algorithm::to_lower_copy(name);
}

// Whether OpenSSL reads the text as an object; numericOnly refuses names. The failure leaves
// nothing in OpenSSL's error queue, where it would show up in a later error text.
bool isObject(const std::string& text, bool numericOnly) {
    ERR_set_mark();
    ASN1_OBJECT* object = OBJ_txt2obj(text.c_str(), numericOnly ? 1 : 0);
    ERR_pop_to_mark();
    ASN1_OBJECT_free(object);
    return object != nullptr;
}

std::vector<std::string> commaSeparated(const std::string& text) {
    std::vector<std::string> items;
    boost::algorithm::split(items, text, [](char c) { return c == ','; });
    for (auto& item : items) {
        boost::algorithm::trim(item);
    }
    return items;
}

std::string keyUsageNames() {
    return boost::algorithm::join(keyUsageBits() | boost::adaptors::map_keys, ", ");
}

std::uint32_t keyUsageNumber(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* first = text.data() + (hex ? 2 : 0);
    const char* last = text.data() + text.size();
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value, hex ? 16 : 10);
    std::uint32_t known = 0;
    for (const auto& [name, bit] : keyUsageBits()) {
        known |= bit;
    }
    if (error != std::errc() || end != last || (value & ~known) != 0) {
        throw po::error("--key-usage: \"" + text + "\" is no key-usage number; valid: " +
                        keyUsageNames() + ", or a number of their bits");
    }
    return value;
}

}  // namespace

std::uint32_t keyUsageMask(const std::string& text) {
    if (text.empty()) {
        return 0;
    }
    if (std::isdigit(static_cast<unsigned char>(text.front()))) {
        return keyUsageNumber(text);
    }
    std::uint32_t mask = 0;
    for (const auto& name : commaSeparated(text)) {
        const auto found = keyUsageBits().find(name);
        if (found == keyUsageBits().end()) {
            throw po::error("--key-usage: unknown key usage \"" + name +
                            "\"; valid: " + keyUsageNames() + ", or a number of their bits");
        }
        mask |= found->second;
    }
    return mask;
}

std::vector<std::string> extendedKeyUsages(const std::vector<std::string>& items) {
    std::vector<std::string> usages;
    for (const auto& item : items) {
        for (const auto& usage : commaSeparated(item)) {
            if (!extendedKeyUsageNames().count(usage) && !isObject(usage, true)) {
                throw po::error("--eku: unknown extended key usage \"" + usage + "\"; valid: " +
                                boost::algorithm::join(extendedKeyUsageNames(), ", ") +
                                ", or a dotted OID");
            }
            usages.push_back(usage);
        }
    }
    return usages;
}

void checkOid(const std::string& text, const std::string& option) {
    if (!isObject(text, true)) {
        throw po::error("--" + option + ": \"" + text +
                        "\" is no dotted OID (such as 1.2.643.7.1.1.2.2)");
    }
}

void checkSubject(const std::string& subject) {
    std::vector<std::string> items;
    boost::algorithm::split(items, subject, [](char c) { return c == ';'; });
    for (const auto& item : items) {
        const std::string name = item.substr(0, item.find('='));
        // Empty items are skipped by the request builder.
        if (name.empty() && item.empty()) {
            continue;
        }
        if (name.empty() || name == item ||
            (!subjectNames().count(fold(name)) && !isObject(name, false))) {
            throw po::error("--subject: \"" + item + "\" is no NAME=VALUE with a known name; " +
                            "names: " + boost::algorithm::join(subjectNames(), ", ") +
                            ", OpenSSL's attribute names or dotted OIDs");
        }
    }
}

void checkIdentificationKind(const std::string& kind) {
    static const std::set<std::string> kinds{"personal", "remotecert", "remotepassport",
                                             "remotesystem"};
    if (!kind.empty() && !kinds.count(kind)) {
        throw po::error("--identification-kind: unknown kind \"" + kind +
                        "\"; valid: " + boost::algorithm::join(kinds, ", "));
    }
}

}  // namespace kelvo::host::app
