#include "token_state.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <stdexcept>
#include <string>

namespace softtoken {

namespace {

constexpr int kFormatVersion = 1;

using Writer = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

void writeString(Writer& writer, const std::string& text) {
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void writePin(Writer& writer, const char* name, const std::optional<PinRecord>& pin) {
    writer.Key(name);
    if (!pin) {
        writer.Null();
        return;
    }
    writer.StartObject();
    writer.Key("salt");
    writeString(writer, toHex(pin->salt));
    writer.Key("hash");
    writeString(writer, toHex(pin->hash));
    writer.EndObject();
}

const rapidjson::Value& member(const rapidjson::Value& object, const char* name) {
    if (!object.IsObject() || !object.HasMember(name)) {
        throw std::runtime_error(std::string("token file lacks ") + name);
    }
    return object[name];
}

std::string text(const rapidjson::Value& value) {
    if (!value.IsString()) {
        throw std::runtime_error("token file: string expected");
    }
    return std::string(value.GetString(), value.GetStringLength());
}

std::uint64_t number(const rapidjson::Value& value) {
    if (!value.IsUint64()) {
        throw std::runtime_error("token file: number expected");
    }
    return value.GetUint64();
}

std::optional<PinRecord> readPin(const rapidjson::Value& value) {
    if (value.IsNull()) {
        return std::nullopt;
    }
    return PinRecord{fromHex(text(member(value, "salt"))), fromHex(text(member(value, "hash")))};
}

}  // namespace

std::string toJson(const TokenState& state) {
    rapidjson::StringBuffer buffer;
    Writer writer(buffer);
    writer.StartObject();
    writer.Key("format");
    writer.Int(kFormatVersion);
    writer.Key("initialized");
    writer.Bool(state.initialized);
    writer.Key("label");
    writeString(writer, state.label);
    writePin(writer, "soPin", state.soPin);
    writePin(writer, "userPin", state.userPin);
    writer.Key("userFailures");
    writer.Uint(state.userFailures);
    writer.Key("soFailures");
    writer.Uint(state.soFailures);
    writer.Key("nextId");
    writer.Uint64(state.nextId);
    writer.Key("objects");
    writer.StartArray();
    for (const auto& [id, object] : state.objects) {
        writer.StartObject();
        writer.Key("id");
        writer.Uint64(id);
        writer.Key("attributes");
        writer.StartObject();
        for (const auto& [type, value] : object.attributes) {
            writeString(writer, std::to_string(type));
            writeString(writer, toHex(value));
        }
        writer.EndObject();
        writer.Key("secret");
        writeString(writer, toHex(object.secret));
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

TokenState fromJson(const std::string& json) {
    rapidjson::Document document;
    document.Parse(json.data(), json.size());
    if (document.HasParseError() || !document.IsObject()) {
        throw std::runtime_error("token file is not valid JSON");
    }
    if (number(member(document, "format")) != kFormatVersion) {
        throw std::runtime_error("unsupported token file format");
    }
    TokenState state;
    const auto& initialized = member(document, "initialized");
    if (!initialized.IsBool()) {
        throw std::runtime_error("token file: boolean expected");
    }
    state.initialized = initialized.GetBool();
    state.label = text(member(document, "label"));
    state.soPin = readPin(member(document, "soPin"));
    state.userPin = readPin(member(document, "userPin"));
    state.userFailures = static_cast<unsigned>(number(member(document, "userFailures")));
    state.soFailures = static_cast<unsigned>(number(member(document, "soFailures")));
    state.nextId = number(member(document, "nextId"));
    const auto& objects = member(document, "objects");
    if (!objects.IsArray()) {
        throw std::runtime_error("token file: object list expected");
    }
    for (const auto& entry : objects.GetArray()) {
        StoredObject object;
        const auto& attributes = member(entry, "attributes");
        if (!attributes.IsObject()) {
            throw std::runtime_error("token file: attribute map expected");
        }
        for (const auto& attribute : attributes.GetObject()) {
            const CK_ATTRIBUTE_TYPE type = std::stoul(text(attribute.name));
            object.attributes[type] = fromHex(text(attribute.value));
        }
        object.secret = fromHex(text(member(entry, "secret")));
        state.objects[number(member(entry, "id"))] = std::move(object);
    }
    return state;
}

}  // namespace softtoken
