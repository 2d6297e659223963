#include "catalogue/signature_formats.h"

#include <map>

#include <boost/locale/encoding.hpp>

namespace kelvo::plugin::crypto::catalogue {

const std::vector<std::string>& signatureFormats() {
    static const std::vector<std::string> formats = {"xmldsig", "attached", "detached"};
    return formats;
}

const std::vector<std::string>& reducedSignatureFormats() {
    static const std::vector<std::string> formats = {"xmldsig", "attached"};
    return formats;
}

boost::optional<std::string> signatureFormatName(const std::string& format) {
    static const std::map<std::string, std::string> names = {
        {"xmldsig", "XMLDSig"},
        {"attached", boost::locale::conv::from_utf(u8"присоединенная", "CP1251")},
        {"detached", boost::locale::conv::from_utf(u8"отсоединенная", "CP1251")},
    };
    const auto found = names.find(format);
    if (found == names.end()) {
        return boost::none;
    }
    return found->second;
}

}  // namespace kelvo::plugin::crypto::catalogue
