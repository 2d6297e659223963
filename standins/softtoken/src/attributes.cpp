#include "attributes.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "error.h"

namespace softtoken {

namespace {

const CK_ATTRIBUTE_TYPE kBoolTypes[] = {
    CKA_TOKEN,
    CKA_PRIVATE,
    CKA_TRUSTED,
    CKA_SENSITIVE,
    CKA_ENCRYPT,
    CKA_DECRYPT,
    CKA_WRAP,
    CKA_UNWRAP,
    CKA_SIGN,
    CKA_SIGN_RECOVER,
    CKA_VERIFY,
    CKA_VERIFY_RECOVER,
    CKA_DERIVE,
    CKA_EXTRACTABLE,
    CKA_LOCAL,
    CKA_NEVER_EXTRACTABLE,
    CKA_ALWAYS_SENSITIVE,
    CKA_MODIFIABLE,
    CKA_ALWAYS_AUTHENTICATE,
    CKA_WRAP_WITH_TRUSTED,
    CKA_COPYABLE,
    CKA_DESTROYABLE,
};

const CK_ATTRIBUTE_TYPE kUlongTypes[] = {
    CKA_CLASS,
    CKA_KEY_TYPE,
    CKA_CERTIFICATE_TYPE,
    CKA_CERTIFICATE_CATEGORY,
    CKA_KEY_GEN_MECHANISM,
    CKA_MODULUS_BITS,
    CKA_VALUE_LEN,
};

bool contains(const CK_ATTRIBUTE_TYPE* begin, const CK_ATTRIBUTE_TYPE* end,
              CK_ATTRIBUTE_TYPE type) {
    return std::find(begin, end, type) != end;
}

}  // namespace

bool hasValidSize(CK_ATTRIBUTE_TYPE type, const Bytes& value) {
    if (contains(std::begin(kBoolTypes), std::end(kBoolTypes), type)) {
        return value.size() == sizeof(CK_BBOOL);
    }
    if (contains(std::begin(kUlongTypes), std::end(kUlongTypes), type)) {
        return value.size() == sizeof(CK_ULONG);
    }
    return true;
}

Bytes ulongValue(CK_ULONG value) {
    return toBytes(&value, sizeof value);
}

Bytes boolValue(bool value) {
    return Bytes(1, value ? CK_TRUE : CK_FALSE);
}

namespace {

// Reads a template; a type given twice with different values sets `contradictory`.
AttributeMap readAttributes(const CK_ATTRIBUTE* attributes, CK_ULONG count, bool& contradictory) {
    require(attributes != nullptr || count == 0, CKR_ARGUMENTS_BAD);
    AttributeMap map;
    contradictory = false;
    for (CK_ULONG i = 0; i < count; ++i) {
        const CK_ATTRIBUTE& attribute = attributes[i];
        require(attribute.pValue != nullptr || attribute.ulValueLen == 0, CKR_ARGUMENTS_BAD);
        Bytes value = toBytes(attribute.pValue, attribute.ulValueLen);
        require(hasValidSize(attribute.type, value), CKR_ATTRIBUTE_VALUE_INVALID);
        if (contains(std::begin(kBoolTypes), std::end(kBoolTypes), attribute.type)) {
            value[0] = value[0] ? CK_TRUE : CK_FALSE;
        }
        const auto [it, inserted] = map.emplace(attribute.type, value);
        contradictory = contradictory || (!inserted && it->second != value);
    }
    return map;
}

}  // namespace

AttributeMap readTemplate(const CK_ATTRIBUTE* attributes, CK_ULONG count) {
    bool contradictory = false;
    AttributeMap map = readAttributes(attributes, count, contradictory);
    require(!contradictory, CKR_TEMPLATE_INCONSISTENT);
    return map;
}

std::optional<AttributeMap> readSearchTemplate(const CK_ATTRIBUTE* attributes, CK_ULONG count) {
    bool contradictory = false;
    AttributeMap map = readAttributes(attributes, count, contradictory);
    return contradictory ? std::nullopt : std::optional<AttributeMap>(std::move(map));
}

std::optional<CK_ULONG> ulongOf(const AttributeMap& map, CK_ATTRIBUTE_TYPE type) {
    const auto it = map.find(type);
    if (it == map.end() || it->second.size() != sizeof(CK_ULONG)) {
        return std::nullopt;
    }
    CK_ULONG value = 0;
    std::memcpy(&value, it->second.data(), sizeof value);
    return value;
}

std::optional<bool> boolOf(const AttributeMap& map, CK_ATTRIBUTE_TYPE type) {
    const auto it = map.find(type);
    if (it == map.end() || it->second.size() != 1) {
        return std::nullopt;
    }
    return it->second[0] != 0;
}

bool boolOr(const AttributeMap& map, CK_ATTRIBUTE_TYPE type, bool fallback) {
    return boolOf(map, type).value_or(fallback);
}

bool matches(const AttributeMap& object, const AttributeMap& pattern) {
    return std::all_of(pattern.begin(), pattern.end(), [&object](const auto& entry) {
        const auto it = object.find(entry.first);
        return it != object.end() && it->second == entry.second;
    });
}

void setDefault(AttributeMap& map, CK_ATTRIBUTE_TYPE type, const Bytes& value) {
    map.emplace(type, value);
}

}  // namespace softtoken
