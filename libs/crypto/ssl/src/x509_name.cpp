#include "x509_name.h"

#include <openssl/objects.h>
#include <boost/locale/encoding_utf.hpp>

#include "catalogue/name_alias.h"
#include "ssl/tools.h"

namespace kelvo::plugin::ssl {

namespace {

std::wstring wide(const std::string& utf8) {
    return boost::locale::conv::utf_to_utf<wchar_t>(utf8);
}

std::string entryKey(const ASN1_OBJECT* object) {
    const int nid = OBJ_obj2nid(object);
    const char* shortName = nid == NID_undef ? nullptr : OBJ_nid2sn(nid);
    return crypto::catalogue::resolveAlias(shortName != nullptr ? shortName : oidText(object));
}

}  // namespace

std::vector<std::pair<std::string, std::string>> nameEntries(const X509_NAME* name) {
    std::vector<std::pair<std::string, std::string>> entries;
    if (name == nullptr) {
        return entries;
    }
    const int count = X509_NAME_entry_count(name);
    for (int i = 0; i < count; ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        const ASN1_STRING* data = X509_NAME_ENTRY_get_data(entry);
        const unsigned char* bytes = data != nullptr ? ASN1_STRING_get0_data(data) : nullptr;
        const int length = data != nullptr ? ASN1_STRING_length(data) : 0;
        entries.emplace_back(entryKey(X509_NAME_ENTRY_get_object(entry)),
                             bytes != nullptr && length > 0
                                 ? std::string(reinterpret_cast<const char*>(bytes),
                                               static_cast<std::size_t>(length))
                                 : std::string());
    }
    return entries;
}

std::string nameText(const X509_NAME* name) {
    std::string text;
    for (const auto& [key, value] : nameEntries(name)) {
        if (!text.empty()) {
            text += "; ";
        }
        text += key + "=" + value;
    }
    return text;
}

crypto::NameRecord nameRecord(const X509_NAME* name) {
    crypto::NameRecord record;
    for (const wchar_t* oid :
         {L"2.5.4.3", L"2.5.4.4", L"2.5.4.42", L"1.2.840.113549.1.9.1", L"1.2.643.100.3",
          L"2.5.4.11", L"2.5.4.10", L"1.2.643.3.131.1.1", L"1.2.643.100.4",
          L"1.2.643.3.61.502710.1.7", L"1.2.643.100.1", L"1.2.643.100.5", L"2.5.4.17.2", L"2.5.4.9",
          L"2.5.4.8", L"2.5.4.7", L"2.5.4.6", L"2.5.4.12"}) {
        record.emplace(oid, boost::none);
    }
    for (const auto& [key, value] : nameEntries(name)) {
        const auto found = record.find(wide(key));
        if (found != record.end()) {
            found->second = wide(value);
        }
    }
    return record;
}

}  // namespace kelvo::plugin::ssl
