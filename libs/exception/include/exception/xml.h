#pragma once

#include "exception/error_category.h"
#include "exception/exception.h"

namespace kelvo::plugin::xml::exception {

enum XmlErrc : int {
    NoRoot = 31000,
    NoAttribute = 31001,
    NoValue = 31002,
    NoElement = 31003,
    NoChild = 31004,
    NoNextSibling = 31005,
    DomParseFailed = 31006,
    XsdValidationFailed = 31007,
    DomSerializeFailed = 31008,
    XpathRequestFailed = 31009,
    XsltTransformFailed = 31010,
    NoPrevSibling = 31011,
    IncorrectSignXPath = 31012,
    NamespaceIsExpected = 31013,
};

class XmlCategory : public kelvo::plugin::exception::ErrorCategory {
public:
    const char* name() const noexcept override;
    const kelvo::plugin::exception::CodeTable& codeTable() const override;
};

const XmlCategory& xmlCategory();

}  // namespace kelvo::plugin::xml::exception
