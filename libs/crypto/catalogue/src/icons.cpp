#include "catalogue/icons.h"

#include <map>

#include <QtCore/QtGlobal>

// The icons live in a static library: their resource initialiser is only linked in when
// referenced, and Q_INIT_RESOURCE must be used outside any namespace.
static void registerIconResources() {
    Q_INIT_RESOURCE(file_extension);
}

namespace kelvo::plugin::crypto::catalogue {

namespace {

const std::map<std::string, std::string>& icons() {
    static const std::map<std::string, std::string> table = [] {
        registerIconResources();
        const std::map<std::string, std::string> names = {
            {".avi", "avi"},  {".bmp", "bmp"},
            {".cer", "crt"},  {".crt", "crt"},
            {".csr", "csr"},  {".csv", "csv"},
            {".doc", "doc"},  {".docx", "doc"},
            {".docm", "doc"}, {".exe", "exe"},
            {".flv", "flv"},  {".gif", "gif"},
            {".gz", "gz"},    {".htm", "htm"},
            {".html", "htm"}, {".jpg", "jpg"},
            {".jpeg", "jpg"}, {".jpe", "jpg"},
            {".jfif", "jpg"}, {".key", "key"},
            {".mkv", "mkv"},  {".mov", "mov"},
            {".mp4", "mp4"},  {".mpg", "mpg"},
            {".ods", "ods"},  {".pcx", "pcx"},
            {".pdf", "pdf"},  {".png", "png"},
            {".pps", "pps"},  {".ppsx", "pps"},
            {".ppt", "ppt"},  {".pptx", "ppt"},
            {".pptm", "ppt"}, {".rar", "rar"},
            {".rtf", "rtf"},  {".run", "run"},
            {".sig", "sig"},  {".tgz", "tgz"},
            {".tif", "tif"},  {".tiff", "tif"},
            {".txt", "txt"},  {".xls", "xls"},
            {".xlsx", "xls"}, {".xlsm", "xls"},
            {".xml", "xml"},  {".zip", "zip"},
            {".p7s", "unw"},  {".sgn", "unw"},
            {".unw", "unw"},  {kSignedXmlExtension, "xml+sig"},
        };
        std::map<std::string, std::string> paths;
        for (const auto& [extension, name] : names) {
            paths.emplace(extension, ":/file_extension/" + name + ".png");
        }
        return paths;
    }();
    return table;
}

}  // namespace

boost::optional<std::string> iconPath(const std::string& extension) {
    const auto found = icons().find(extension);
    if (found == icons().end()) {
        return boost::none;
    }
    return found->second;
}

std::vector<std::string> iconExtensions() {
    std::vector<std::string> result;
    for (const auto& row : icons()) {
        result.push_back(row.first);
    }
    return result;
}

const std::vector<std::string>& imageExtensions() {
    static const std::vector<std::string> extensions = {".png", ".bmp", ".jpg", ".jpeg"};
    return extensions;
}

const std::vector<std::string>& animatedImageExtensions() {
    static const std::vector<std::string> extensions = {".gif", ".mng"};
    return extensions;
}

}  // namespace kelvo::plugin::crypto::catalogue
