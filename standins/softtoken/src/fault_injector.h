// Fault injection for robustness tests of the token's clients.
//
// Rules look like "C_Login:2:0xA0" (the 2nd call of C_Login returns 0xA0 and does nothing)
// or "C_OpenSession:*:0x6" (every call); several rules are separated by commas, semicolons
// or blanks. Calls are counted per function for the life of the process.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "pkcs11_gost.h"

namespace softtoken {

class FaultInjector {
public:
    struct Rule {
        std::string function;
        unsigned long call = 0;  // 0: every call
        CK_RV rv = CKR_OK;
    };

    // Throws std::invalid_argument naming the malformed rule.
    static std::vector<Rule> parse(const std::string& rules);

    // Replaces the rules; call counters are kept.
    void setRules(std::vector<Rule> rules) { rules_ = std::move(rules); }

    // Counts the call and returns the value to fail it with, if a rule says so.
    std::optional<CK_RV> onCall(const std::string& function);

private:
    std::vector<Rule> rules_;
    std::map<std::string, unsigned long> calls_;
};

}  // namespace softtoken
