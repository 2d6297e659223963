// Object attributes: storage, template parsing and template matching.
#pragma once

#include <map>
#include <optional>

#include "bytes.h"

namespace softtoken {

using AttributeMap = std::map<CK_ATTRIBUTE_TYPE, Bytes>;

Bytes ulongValue(CK_ULONG value);
Bytes boolValue(bool value);

// Booleans take one byte and numbers a CK_ULONG; other values any length.
bool hasValidSize(CK_ATTRIBUTE_TYPE type, const Bytes& value);

// Reads a caller's template. Null values with a non-zero length give CKR_ARGUMENTS_BAD,
// a type listed twice with different values CKR_TEMPLATE_INCONSISTENT, and booleans or
// numbers of the wrong size CKR_ATTRIBUTE_VALUE_INVALID (all thrown as CkrError).
AttributeMap readTemplate(const CK_ATTRIBUTE* attributes, CK_ULONG count);
// A search template; none when it names a type twice with different values (matches nothing).
std::optional<AttributeMap> readSearchTemplate(const CK_ATTRIBUTE* attributes, CK_ULONG count);

// Typed reads of a stored or parsed map; absent gives nullopt.
std::optional<CK_ULONG> ulongOf(const AttributeMap& map, CK_ATTRIBUTE_TYPE type);
std::optional<bool> boolOf(const AttributeMap& map, CK_ATTRIBUTE_TYPE type);
bool boolOr(const AttributeMap& map, CK_ATTRIBUTE_TYPE type, bool fallback);

// True when every template entry is present in the object with an equal value.
bool matches(const AttributeMap& object, const AttributeMap& pattern);

// Adds the entry unless the map already has the type.
void setDefault(AttributeMap& map, CK_ATTRIBUTE_TYPE type, const Bytes& value);

}  // namespace softtoken
