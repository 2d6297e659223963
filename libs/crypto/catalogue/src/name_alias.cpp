#include "catalogue/name_alias.h"

#include <algorithm>

namespace kelvo::plugin::crypto::catalogue {

namespace {

std::map<std::string, std::string> buildTable() {
    std::map<std::string, std::string> table = {
        // Subject attributes.
        {"cn", "2.5.4.3"},
        {"sn", "2.5.4.4"},
        {"g", "2.5.4.42"},
        {"gn", "2.5.4.42"},
        {"t", "2.5.4.12"},
        {"title", "2.5.4.12"},
        {"o", "2.5.4.10"},
        {"ou", "2.5.4.11"},
        {"e", "1.2.840.113549.1.9.1"},
        {"emailaddress", "1.2.840.113549.1.9.1"},
        {"un", "1.2.840.113549.1.9.2"},
        {"snils", "1.2.643.100.3"},
        {"inn", "1.2.643.3.131.1.1"},
        {"innle", "1.2.643.100.4"},
        {"ogrn", "1.2.643.100.1"},
        {"ogrnip", "1.2.643.100.5"},
        {"kpp", "1.2.643.3.61.502710.1.7"},
        {"street", "2.5.4.9"},
        {"st", "2.5.4.8"},
        {"l", "2.5.4.7"},
        {"c", "2.5.4.6"},
        // GOST parameter sets.
        {"gost2001cryptoproa", "1.2.643.2.2.35.1"},
        {"gost2001cryptoprob", "1.2.643.2.2.35.2"},
        {"gost2001cryptoproc", "1.2.643.2.2.35.3"},
        {"gost2001cryptoproxcha", "1.2.643.2.2.36.0"},
        {"gost2001cryptoproxchb", "1.2.643.2.2.36.1"},
        {"gost2012256cryptoproa", "1.2.643.2.2.35.1"},
        {"gost2012256cryptoprob", "1.2.643.2.2.35.2"},
        {"gost2012256cryptoproc", "1.2.643.2.2.35.3"},
        {"gost2012256cryptoproxcha", "1.2.643.2.2.36.0"},
        {"gost2012256cryptoproxchb", "1.2.643.2.2.36.1"},
        {"gost2012512tc26a", "1.2.643.7.1.2.1.2.1"},
        {"gost2012512tc26b", "1.2.643.7.1.2.1.2.2"},
        {"gost2012512tc26c", "1.2.643.7.1.2.1.2.3"},
        {"gost2012256tc26a", "1.2.643.7.1.2.1.1.1"},
        {"gost2012256tc26b", "1.2.643.7.1.2.1.1.2"},
        {"gost2012256tc26c", "1.2.643.7.1.2.1.1.3"},
        {"gost2012256tc26d", "1.2.643.7.1.2.1.1.4"},
        // Foreign hash names.
        {"md4", "md4"},
        {"md5", "md5"},
        {"sha1", "sha1"},
        {"sha224", "sha224"},
        {"sha256", "sha256"},
        {"sha384", "sha384"},
        {"sha512", "sha512"},
        // XML transforms.
        {"urismevtransform", "urn://smev-gov-ru/xmldsig/transform"},
        {kExclusiveC14nAlias, "http://www.w3.org/2001/10/xml-exc-c14n#"},
        {"urienvelope", "http://www.w3.org/2000/09/xmldsig#enveloped-signature"},
        // Signature profiles.
        {"smev2", "wssecurity"},
        {"smev3", "detached"},
        // Key usages.
        {"digitalsignature", "digitalsignature"},
        {"nonrepudiation", "nonrepudiation"},
        {"keyencipherment", "keyencipherment"},
        {"dataencipherment", "dataencipherment"},
        {"keyagreement", "keyagreement"},
        {"keycertsign", "keycertsign"},
        {"crlsign", "crlsign"},
        {"encipheronly", "encipheronly"},
        {"decipheronly", "decipheronly"},
        // Token models as users type them; the Cyrillic keys are never folded.
        {u8"рутокен эцп 2.0", "Rutoken ECP"},
        {u8"рутокен эцп 3.0", "Rutoken ECP 3.0"},
        {u8"jacarta se 2 гост", "JaCarta GOST 2.0"},
        {"zolvex token gost", "ZOLVEXToken GOST"},
        // Identification kinds.
        {"personal", "personal"},
        {"remotecert", "remotecert"},
        {"remotepassport", "remotepassport"},
        {"remotesystem", "remotesystem"},
        // Certificate stores.
        {"certificateauthority", "ca"},
        {"certificate authority", "ca"},
        {"ca", "ca"},
        // ASN.1 value types.
        {"utf8string", "utf8string"},
        {"octetstring", "octetstring"},
        {"integer", "integer"},
        {"utctime", "utctime"},
        {"generalizedtime", "generalizedtime"},
        // Signed attributes.
        {"authattributesigningtime", "1.2.840.113549.1.9.5"},
        {"authattributedocumentname", "1.3.6.1.4.1.311.88.2.1"},
        {"authattributedocumentdescription", "1.3.6.1.4.1.311.88.2.2"},
    };
    return table;
}

}  // namespace

std::string foldName(const std::string& name) {
    const bool ascii = std::none_of(name.begin(), name.end(),
                                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (!ascii) {
        return name;
    }
    std::string folded;
    folded.reserve(name.size());
    for (char c : name) {
        if (c == '-' || c == '_') {
            continue;
        }
        folded.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return folded;
}

const std::map<std::string, std::string>& aliasTable() {
    static const std::map<std::string, std::string> table = buildTable();
    return table;
}

std::string resolveAlias(const std::string& name) {
    const auto found = aliasTable().find(foldName(name));
    return found == aliasTable().end() ? name : found->second;
}

}  // namespace kelvo::plugin::crypto::catalogue
