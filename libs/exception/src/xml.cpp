#include "exception/xml.h"

namespace kelvo::plugin::xml::exception {

const char* XmlCategory::name() const noexcept {
    return "Xml";
}

const kelvo::plugin::exception::CodeTable& XmlCategory::codeTable() const {
    static const kelvo::plugin::exception::CodeTable table{
        {31000, {"NoRoot", "Отсутствует корневой элемент"}},
        {31001, {"NoAttribute", "Отсутствует атрибут"}},
        {31002, {"NoValue", "Отсутствует значение"}},
        {31003, {"NoElement", "Отсутствует элемент"}},
        {31004, {"NoChild", "Отсутствует дочерний элемент"}},
        {31005, {"NoNextSibling", "Отсутствует следующий соседний элемент"}},
        {31006, {"DomParseFailed", "Ошибка при разборе DOM"}},
        {31007,
         {"XsdValidationFailed", "Ошибка проверки XSD (XML Schema Definition) на соответствие"}},
        {31008, {"DomSerializeFailed", "Ошибка сериализации DOM"}},
        {31009, {"XpathRequestFailed", "Ошибка выполнения запроса XPath"}},
        {31010, {"XsltTransformFailed", "Ошибка преобразования XSLT"}},
        {31011, {"NoPrevSibling", "Отсутствует предыдущий соседний элемент"}},
        {31012, {"IncorrectSignXPath", "Некорректное значение параметра signToElementXPath"}},
        {31013, {"NamespaceIsExpected", "Ожидается namespace"}},
    };
    return table;
}

const XmlCategory& xmlCategory() {
    static const XmlCategory category;
    return category;
}

}  // namespace kelvo::plugin::xml::exception
