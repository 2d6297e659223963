#include "exception/xml.h"

namespace kelvo::plugin::xml::exception {

const char* XmlCategory::name() const noexcept {
    return "Xml";
}

const kelvo::plugin::exception::CodeTable& XmlCategory::codeTable() const {
    static const kelvo::plugin::exception::CodeTable table{KELVO_XML_ERRORS(KELVO_ERROR_TABLE_ROW)};
    return table;
}

const XmlCategory& xmlCategory() {
    static const XmlCategory category;
    return category;
}

}  // namespace kelvo::plugin::xml::exception
