#include "fault_injector.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace softtoken {

namespace {

unsigned long parseNumber(const std::string& text, const std::string& rule) {
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0 || text[0] == '-') {
        throw std::invalid_argument("malformed fault rule '" + rule + "'");
    }
    return value;
}

}  // namespace

std::vector<FaultInjector::Rule> FaultInjector::parse(const std::string& rules) {
    std::vector<std::string> entries;
    boost::algorithm::split(entries, rules, boost::algorithm::is_any_of(",; \t\r\n"),
                            boost::algorithm::token_compress_on);
    std::vector<Rule> parsed;
    for (const auto& entry : entries) {
        if (entry.empty()) {
            continue;
        }
        std::vector<std::string> fields;
        boost::algorithm::split(fields, entry, boost::algorithm::is_any_of(":"));
        if (fields.size() != 3 || fields[0].rfind("C_", 0) != 0) {
            throw std::invalid_argument("malformed fault rule '" + entry + "'");
        }
        Rule rule;
        rule.function = fields[0];
        if (fields[1] != "*") {
            rule.call = parseNumber(fields[1], entry);
            if (rule.call == 0) {
                throw std::invalid_argument("calls are counted from 1 in '" + entry + "'");
            }
        }
        rule.rv = parseNumber(fields[2], entry);
        parsed.push_back(rule);
    }
    return parsed;
}

std::optional<CK_RV> FaultInjector::onCall(const std::string& function) {
    const unsigned long call = ++calls_[function];
    for (const auto& rule : rules_) {
        if (rule.function == function && (rule.call == 0 || rule.call == call)) {
            return rule.rv;
        }
    }
    return std::nullopt;
}

}  // namespace softtoken
