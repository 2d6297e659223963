#include "shared/module_meta.h"

#include <array>
#include <stdexcept>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace kelvo::plugin::shared {

namespace {

rapidjson::Value text(const std::string& value) {
    // The document only lives inside toJson, so it may refer to the record's text.
    return rapidjson::Value(rapidjson::StringRef(value.data(), value.size()));
}

rapidjson::Value formatObject(const FormatRecord& format, rapidjson::Document::AllocatorType& a) {
    rapidjson::Value object(rapidjson::kObjectType);
    object.AddMember("type", text(format.type), a);
    object.AddMember("version", text(format.version), a);
    object.AddMember("category", text(format.category), a);
    object.AddMember("description", text(format.description), a);
    return object;
}

}  // namespace

const std::string& loadStateName(int state) {
    static const std::array<std::string, 6> names{
        "",        "loaded", "load failed", "not found", "conflict [ not found dependencies ]",
        "disabled"};
    return names.at(static_cast<std::size_t>(state));
}

std::string toJson(const FormatEntries& entries) {
    rapidjson::Document document(rapidjson::kArrayType);
    auto& allocator = document.GetAllocator();
    for (const FormatEntry& entry : entries) {
        rapidjson::Value object(rapidjson::kObjectType);
        object.AddMember("format", formatObject(entry.format, allocator), allocator);
        object.AddMember("data", text(entry.data), allocator);
        document.PushBack(object, allocator);
    }
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    if (!document.Accept(writer)) {
        throw std::runtime_error("to_json: output_doc.Accept(writer) returns false");
    }
    return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace kelvo::plugin::shared
