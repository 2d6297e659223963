#include "output_file.h"

#include <stdexcept>

#include <QSaveFile>
#include <QString>

namespace kelvo::host::app {

OutputFile::OutputFile(const std::string& path)
    : path_(path), file_(std::make_unique<QSaveFile>(QString::fromStdString(path))) {
    if (!file_->open(QIODevice::WriteOnly)) {
        fail();
    }
}

OutputFile::~OutputFile() = default;
OutputFile::OutputFile(OutputFile&&) noexcept = default;
OutputFile& OutputFile::operator=(OutputFile&&) noexcept = default;

void OutputFile::commit(const std::string& bytes) {
    if (file_->write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !file_->commit()) {
        fail();
    }
}

void OutputFile::fail() const {
    throw std::runtime_error("cannot write " + path_ + ": " + file_->errorString().toStdString());
}

std::optional<OutputFile> outputFileIfNamed(const std::string& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    return OutputFile(path);
}

}  // namespace kelvo::host::app
