#pragma once

#include "exception/error_category.h"
#include "exception/exception.h"

// XML processing errors: name, code and message (UTF-8) of each.
#define KELVO_XML_ERRORS(X)                                                                      \
    X(NoRoot, 31000, "Отсутствует корневой элемент")                                             \
    X(NoAttribute, 31001, "Отсутствует атрибут")                                                 \
    X(NoValue, 31002, "Отсутствует значение")                                                    \
    X(NoElement, 31003, "Отсутствует элемент")                                                   \
    X(NoChild, 31004, "Отсутствует дочерний элемент")                                            \
    X(NoNextSibling, 31005, "Отсутствует следующий соседний элемент")                            \
    X(DomParseFailed, 31006, "Ошибка при разборе DOM")                                           \
    X(XsdValidationFailed, 31007, "Ошибка проверки XSD (XML Schema Definition) на соответствие") \
    X(DomSerializeFailed, 31008, "Ошибка сериализации DOM")                                      \
    X(XpathRequestFailed, 31009, "Ошибка выполнения запроса XPath")                              \
    X(XsltTransformFailed, 31010, "Ошибка преобразования XSLT")                                  \
    X(NoPrevSibling, 31011, "Отсутствует предыдущий соседний элемент")                           \
    X(IncorrectSignXPath, 31012, "Некорректное значение параметра signToElementXPath")           \
    X(NamespaceIsExpected, 31013, "Ожидается namespace")

namespace kelvo::plugin::xml::exception {

enum XmlErrc : int { KELVO_XML_ERRORS(KELVO_ERROR_ENUMERATOR) };

class XmlCategory : public kelvo::plugin::exception::ErrorCategory {
public:
    const char* name() const noexcept override;
    const kelvo::plugin::exception::CodeTable& codeTable() const override;
};

const XmlCategory& xmlCategory();

}  // namespace kelvo::plugin::xml::exception
