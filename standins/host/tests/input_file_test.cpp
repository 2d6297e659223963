#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <istream>
#include <iterator>
#include <string>
#include <system_error>

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "input_file.h"
#include "progress_streambuf.h"

using namespace kelvo::host::app;

namespace {

std::string write(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
    return path;
}

// Reads the stream to its end the way the token's hash does.
std::string readAll(std::istream& in) {
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The message of what reading the file throws; empty when it reads to the end.
std::string readFailure(InputFile& file) {
    std::istream in(&file);
    in.exceptions(std::ios::badbit);
    try {
        readAll(in);
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(InputFile, RefusesWhatIsNoRegularFileNamingIt) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string fifo = folder + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {folder, folder + " is a directory, not a file"},
        {fifo, fifo + " is not a regular file"},  // and no wait for a writer
        {folder + "/absent", "cannot read " + folder + "/absent: No such file or directory"}};
    for (const auto& [path, message] : cases) {
        try {
            InputFile file(path);
            ADD_FAILURE() << path << " was opened";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
}

TEST(InputFile, ReadsEachPassWholeThroughTheProgressBuffer) {
    QTemporaryDir dir;
    std::string data(300000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i * 7 + i / 251);
    }
    InputFile file(write(dir.path().toStdString() + "/data", data));
    ASSERT_EQ(file.size().value_or(0), data.size());
    ProgressStreambuf progress(file, nullptr, 4096);
    std::istream in(&progress);
    in.exceptions(std::ios::badbit);
    EXPECT_EQ(readAll(in), data);
    in.clear();
    in.seekg(0);
    EXPECT_EQ(readAll(in), data);
}

TEST(InputFile, AFailedOrShortReadIsAnErrorNotTheEnd) {
    // The kernel refuses to read address 0 of the process's memory file.
    InputFile memory("/proc/self/mem");
    EXPECT_EQ(readFailure(memory), "cannot read /proc/self/mem: Input/output error");

    QTemporaryDir dir;
    const std::string path = write(dir.path().toStdString() + "/data", std::string(10000, 'x'));
    InputFile shrunk(path);
    ASSERT_EQ(::truncate(path.c_str(), 4000), 0);
    EXPECT_EQ(readFailure(shrunk),
              path + " changed while it was read (10000 bytes when opened, 4000 bytes read)");

    InputFile grown(path);
    std::ofstream(path, std::ios::app) << "more";
    EXPECT_NE(readFailure(grown).find("changed while it was read"), std::string::npos);
}
