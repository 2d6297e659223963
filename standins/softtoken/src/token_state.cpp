#include "token_state.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <charconv>
#include <stdexcept>
#include <string>

#include "aead.h"
#include "file_mac.h"
#include "kdf.h"
#include "sealed_box.h"

namespace softtoken {

namespace {

constexpr std::uint64_t kFormatVersion = 4;
constexpr std::size_t kMaxLabel = 32;

using Writer = rapidjson::PrettyWriter<rapidjson::StringBuffer>;
using Value = rapidjson::Value;

void writeString(Writer& writer, const std::string& text) {
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void writeRoleKey(Writer& writer, const char* name, const std::optional<RoleKey>& key) {
    writer.Key(name);
    if (!key) {
        writer.Null();
        return;
    }
    writer.StartObject();
    writer.Key("kdfCost");
    writer.Uint(key->privateKey.kdfCost);
    writer.Key("salt");
    writeString(writer, toHex(key->privateKey.salt));
    writer.Key("sealed");
    writeString(writer, toHex(key->privateKey.sealed));
    writer.Key("public");
    writeString(writer, toHex(key->publicKey));
    writer.Key("tokenKey");
    writeString(writer, toHex(key->sealedTokenKey));
    writer.EndObject();
}

void writeObject(Writer& writer, CK_ULONG id, const FileObject& object) {
    writer.StartObject();
    writer.Key("id");
    writer.Uint64(id);
    if (object.isPrivate()) {
        writer.Key("sealed");
        writeString(writer, toHex(object.sealed));
    } else {
        writer.Key("attributes");
        writer.StartObject();
        for (const auto& [type, value] : object.attributes) {
            writeString(writer, std::to_string(type));
            writeString(writer, toHex(value));
        }
        writer.EndObject();
    }
    writer.EndObject();
}

// Reading: every check names the place in the file ("objects[2].id") and what is wrong.
[[noreturn]] void wrong(const std::string& what) {
    throw std::runtime_error(what);
}

const Value& field(const Value& object, const std::string& path, const char* name) {
    if (!object.IsObject()) {
        wrong((path.empty() ? std::string("the top level") : path) + " is not a JSON object");
    }
    const auto it = object.FindMember(name);
    const std::string where = path.empty() ? name : path + "." + name;
    if (it == object.MemberEnd()) {
        wrong(where + " is missing");
    }
    return it->value;
}

std::uint64_t wholeNumber(const Value& value, const std::string& path, std::uint64_t minimum,
                          std::uint64_t maximum) {
    if (!value.IsUint64()) {
        wrong(path + " is not a whole number");
    }
    const std::uint64_t number = value.GetUint64();
    if (number < minimum || number > maximum) {
        wrong(path + " is " + std::to_string(number) + ", out of range (" +
              std::to_string(minimum) + " to " + std::to_string(maximum) + ")");
    }
    return number;
}

std::string text(const Value& value, const std::string& path) {
    if (!value.IsString()) {
        wrong(path + " is not a string");
    }
    return std::string(value.GetString(), value.GetStringLength());
}

Bytes hexBytes(const Value& value, const std::string& path) {
    try {
        return fromHex(text(value, path));
    } catch (const std::invalid_argument&) {
        wrong(path + " is not hexadecimal");
    }
}

std::optional<RoleKey> readRoleKey(const Value& document, const char* name) {
    const Value& value = field(document, "", name);
    if (value.IsNull()) {
        return std::nullopt;
    }
    const std::string path = name;
    RoleKey key;
    WrappedKey& wrapped = key.privateKey;
    wrapped.kdfCost = static_cast<unsigned>(
        wholeNumber(field(value, path, "kdfCost"), path + ".kdfCost", kMinKdfCost, kMaxKdfCost));
    wrapped.salt = hexBytes(field(value, path, "salt"), path + ".salt");
    wrapped.sealed = hexBytes(field(value, path, "sealed"), path + ".sealed");
    key.publicKey = hexBytes(field(value, path, "public"), path + ".public");
    key.sealedTokenKey = hexBytes(field(value, path, "tokenKey"), path + ".tokenKey");
    if (wrapped.salt.size() != kKdfSaltSize ||
        wrapped.sealed.size() != kAeadOverhead + kBoxKeySize + kFileKeySize ||
        key.publicKey.size() != kBoxKeySize ||
        key.sealedTokenKey.size() != kBoxOverhead + kAeadKeySize) {
        wrong(path + " has a salt, key or sealed key of the wrong size");
    }
    return key;
}

CK_ATTRIBUTE_TYPE attributeType(const Value& name, const std::string& path) {
    const std::string digits = text(name, path);
    CK_ATTRIBUTE_TYPE type = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), type);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        wrong(path + " names no attribute type ('" + digits + "')");
    }
    return type;
}

AttributeMap readAttributes(const Value& value, const std::string& path) {
    if (!value.IsObject()) {
        wrong(path + " is not a JSON object");
    }
    AttributeMap attributes;
    for (const auto& attribute : value.GetObject()) {
        const CK_ATTRIBUTE_TYPE type = attributeType(attribute.name, path);
        const std::string where = path + "." + std::to_string(type);
        Bytes bytes = hexBytes(attribute.value, where);
        if (!hasValidSize(type, bytes)) {
            wrong(where + " has a value of the wrong size");
        }
        if (!attributes.emplace(type, std::move(bytes)).second) {
            wrong(where + " is given twice");
        }
    }
    if (!ulongOf(attributes, CKA_CLASS)) {
        wrong(path + " has no object class");
    }
    if (boolOr(attributes, CKA_PRIVATE, false)) {
        wrong(path + " is a private object kept in clear");
    }
    return attributes;
}

FileObject readObject(const Value& entry, const std::string& path) {
    FileObject object;
    const bool sealed = entry.IsObject() && entry.HasMember("sealed");
    if (sealed == (entry.IsObject() && entry.HasMember("attributes"))) {
        wrong(path + " needs either attributes or a sealed value");
    }
    if (sealed) {
        object.sealed = hexBytes(field(entry, path, "sealed"), path + ".sealed");
        if (object.sealed.size() <= kAeadOverhead) {
            wrong(path + ".sealed is too short");
        }
    } else {
        object.attributes = readAttributes(field(entry, path, "attributes"), path + ".attributes");
    }
    return object;
}

void readObjects(const Value& document, TokenState& state) {
    const Value& objects = field(document, "", "objects");
    if (!objects.IsArray()) {
        wrong("objects is not a JSON array");
    }
    for (rapidjson::SizeType i = 0; i < objects.Size(); ++i) {
        const std::string path = "objects[" + std::to_string(i) + "]";
        const CK_ULONG id =
            wholeNumber(field(objects[i], path, "id"), path + ".id", 1, state.nextId - 1);
        if (!state.objects.emplace(id, readObject(objects[i], path)).second) {
            wrong(path + ".id " + std::to_string(id) + " is taken by an earlier object");
        }
    }
}

void checkFormat(const Value& document) {
    const Value& format = field(document, "", "format");
    if (format.IsUint64() && format.GetUint64() == 1) {
        wrong(
            "format 1 kept private keys unencrypted and is no longer read; remove the file "
            "and initialise the token again");
    }
    if (format.IsUint64() && format.GetUint64() == 2) {
        wrong(
            "format 2 kept one token key for every PIN change and is no longer read; remove "
            "the file and initialise the token again");
    }
    if (format.IsUint64() && format.GetUint64() == 3) {
        wrong(
            "format 3 did not authenticate its sealed token key and public objects and is no "
            "longer read; remove the file and initialise the token again");
    }
    if (!format.IsUint64() || format.GetUint64() != kFormatVersion) {
        wrong("unknown format (this token reads format " + std::to_string(kFormatVersion) + ")");
    }
}

}  // namespace

std::string toJson(const TokenState& state) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    writer.Key("format");
    writer.Uint64(kFormatVersion);
    writer.Key("label");
    writeString(writer, state.label);
    writeRoleKey(writer, "soKey", state.soKey);
    writeRoleKey(writer, "userKey", state.userKey);
    writer.Key("userFailures");
    writer.Uint(state.userFailures);
    writer.Key("soFailures");
    writer.Uint(state.soFailures);
    writer.Key("nextId");
    writer.Uint64(state.nextId);
    writer.Key("objects");
    writer.StartArray();
    for (const auto& [id, object] : state.objects) {
        writeObject(writer, id, object);
    }
    writer.EndArray();
    writer.Key("mac");
    writeString(writer, toHex(state.mac));
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

TokenState fromJson(const std::string& json) {
    rapidjson::Document document;
    // Iterative parsing: a hostile file of deeply nested brackets cannot exhaust the stack.
    document.Parse<rapidjson::kParseIterativeFlag>(json.data(), json.size());
    if (document.HasParseError()) {
        wrong(std::string("not JSON: ") + rapidjson::GetParseError_En(document.GetParseError()) +
              " (at byte " + std::to_string(document.GetErrorOffset()) + ")");
    }
    checkFormat(document);
    TokenState state;
    state.label = text(field(document, "", "label"), "label");
    if (state.label.size() > kMaxLabel) {
        wrong("label is longer than " + std::to_string(kMaxLabel) + " bytes");
    }
    state.soKey = readRoleKey(document, "soKey");
    state.userKey = readRoleKey(document, "userKey");
    if (state.userKey && !state.soKey) {
        wrong("userKey is set on a token that was never initialised");
    }
    state.userFailures = static_cast<unsigned>(
        wholeNumber(field(document, "", "userFailures"), "userFailures", 0, kMaxPinFailures));
    state.soFailures = static_cast<unsigned>(
        wholeNumber(field(document, "", "soFailures"), "soFailures", 0, kMaxPinFailures));
    state.nextId = wholeNumber(field(document, "", "nextId"), "nextId", 1, kFirstSessionObject);
    readObjects(document, state);
    state.mac = hexBytes(field(document, "", "mac"), "mac");
    if (state.mac.size() != (state.initialized() ? kFileMacSize : 0)) {
        wrong("mac has the wrong size");
    }
    return state;
}

}  // namespace softtoken
