#include "exception/exception.h"

#include <string>
#include <vector>

#include <boost/algorithm/string/join.hpp>
#include <boost/exception/get_error_info.hpp>
#include <boost/exception/info.hpp>

#include "exception/last_error.h"
#include "text_pool.h"

namespace kelvo::plugin::exception {

namespace {

std::string fileName(const char* path) {
    const std::string text(path);
    const auto separator = text.find_last_of("/\\");
    return separator == std::string::npos ? text : text.substr(separator + 1);
}

std::string attachedTexts() {
    std::vector<std::string> texts;
    for (const char* name : {last_error::kFileInfo, last_error::kString}) {
        if (last_error::has(name)) {
            texts.push_back(last_error::read(name));
        }
    }
    return texts.empty() ? std::string() : ": " + boost::algorithm::join(texts, ",");
}

}  // namespace

Exception::Exception(std::error_code code) : std::system_error(code) {
    last_error::record(code, std::system_error::what());
}

const char* Exception::what() const noexcept {
    try {
        std::string text = last_error::read(last_error::kCode) + " " +
                           last_error::read(last_error::kCategory) + " '" +
                           last_error::read(last_error::kMessage) + "'" + attachedTexts();
        const char* const* file = boost::get_error_info<boost::throw_file>(*this);
        const int* line = boost::get_error_info<boost::throw_line>(*this);
        const char* const* function = boost::get_error_info<boost::throw_function>(*this);
        if (file && *file && line && *line != -1 && function && *function) {
            text += "\t(" + fileName(*file) + ":" + std::to_string(*line) + ") " + *function;
        }
        return pooledText(std::move(text));
    } catch (...) {
        return "";
    }
}

const char* Exception::message() const noexcept {
    try {
        return pooledText(last_error::read(last_error::kMessage));
    } catch (...) {
        return "";
    }
}

}  // namespace kelvo::plugin::exception
