#include "catalogue/stores.h"

#include <map>

#include <boost/locale/encoding.hpp>

namespace kelvo::plugin::crypto::catalogue {

namespace {

std::string cp1251(const std::string& utf8) {
    return boost::locale::conv::from_utf(utf8, "CP1251");
}

const std::map<std::string, Store>& stores() {
    static const std::map<std::string, Store> table = {
        {"my", {"My", cp1251(u8"личных сертификатов")}},
        {"root", {"Root", cp1251(u8"доверенного корневого центра сертификации")}},
        {"authroot", {"AuthRoot", cp1251(u8"сторонних центров сертификации (ЦС)")}},
        {"disallowed", {"Disallowed", cp1251(u8"отозванных сертификатов")}},
        {"addressbook", {"AddressBook", cp1251(u8"других пользователей")}},
        {"trustedpeople", {"TrustedPeople", cp1251(u8"непосредственно доверенных лиц и ресурсов")}},
        {"trustedpublisher",
         {"TrustedPublisher", cp1251(u8"непосредственно доверенных издателей")}},
        {"ca", {"CertificateAuthority", cp1251(u8"промежуточных центров сертификации")}},
    };
    return table;
}

}  // namespace

boost::optional<Store> findStore(const std::string& key) {
    const auto found = stores().find(key);
    if (found == stores().end()) {
        return boost::none;
    }
    return found->second;
}

const std::vector<std::string>& storeKeys() {
    static const std::vector<std::string> keys = {
        "my",          "root",          "authroot",         "disallowed",
        "addressbook", "trustedpeople", "trustedpublisher", "ca"};
    return keys;
}

const std::vector<std::string>& trustedStoreKeys() {
    static const std::vector<std::string> keys = {"root", "authroot", "trustedpeople",
                                                  "trustedpublisher"};
    return keys;
}

}  // namespace kelvo::plugin::crypto::catalogue
