#include <algorithm>
#include <istream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "progress_bar.h"
#include "progress_streambuf.h"

using namespace kelvo::host::app;

namespace {

std::string pattern(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    }
    return data;
}

// Reads a stream the way the token's hash does: whole chunks until the stream fails.
std::string readInChunks(std::istream& in, std::size_t chunk) {
    std::string result;
    std::vector<char> buffer(chunk);
    while (in.good()) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        result.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    return result;
}

struct Report {
    int pass;
    std::uint64_t position;
};

}  // namespace

TEST(ProgressStreambuf, PassesTheDataThroughAndReportsEachPass) {
    const std::string data = pattern(300000);
    std::stringbuf source(data);
    std::vector<Report> reports;
    ProgressStreambuf counting(
        source,
        [&reports](int pass, std::uint64_t position) {
            reports.push_back({pass, position});
        },
        4096);
    std::istream in(&counting);

    ASSERT_NE(in.peek(), std::istream::traits_type::eof());
    EXPECT_EQ(readInChunks(in, 65536 + 3), data);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().pass, 0);
    EXPECT_EQ(reports.back().position, data.size());
    EXPECT_TRUE(
        std::is_sorted(reports.begin(), reports.end(),
                       [](const Report& a, const Report& b) { return a.position < b.position; }));

    // Rewinding to sign: a second pass over the same bytes.
    reports.clear();
    in.clear();
    in.seekg(0);
    EXPECT_EQ(counting.pass(), 1);
    EXPECT_EQ(readInChunks(in, 1000), data);
    EXPECT_EQ(reports.back().pass, 1);
    EXPECT_EQ(reports.back().position, data.size());
}

TEST(ProgressStreambuf, KnowsWhereTheReaderIs) {
    const std::string data = pattern(10000);
    std::stringbuf source(data);
    ProgressStreambuf counting(source, nullptr, 4096);
    std::istream in(&counting);
    char byte = 0;
    in.get(byte);
    EXPECT_EQ(byte, data[0]);
    EXPECT_EQ(in.tellg(), 1);
    in.seekg(5000);
    in.get(byte);
    EXPECT_EQ(byte, data[5000]);
    EXPECT_EQ(counting.pass(), 0);  // only a seek to the start begins a new pass
}

TEST(ProgressStreambuf, EmptySourceEndsAtOnce) {
    std::stringbuf source;
    int reports = 0;
    ProgressStreambuf counting(source, [&reports](int, std::uint64_t) { ++reports; });
    std::istream in(&counting);
    EXPECT_EQ(in.peek(), std::istream::traits_type::eof());
    EXPECT_EQ(reports, 0);
}

TEST(ProgressBar, RedrawsOnlyWhenThePercentageChangesAndLabelsEachPass) {
    std::ostringstream out;
    {
        ProgressBar bar(out, 1000, {"digest", "signature"}, 10);
        for (std::uint64_t position = 1; position <= 1000; ++position) {
            bar.update(0, position);
        }
        bar.update(1, 500);
        bar.update(1, 1000);
    }
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'),
              101 + 2);  // 0% to 100%, then 50% and 100%
    EXPECT_NE(text.find("digest    [##########] 100%"), std::string::npos);
    EXPECT_NE(text.find("signature [#####.....]  50%"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

TEST(ProgressBar, StaysSilentWhenNothingWasRead) {
    std::ostringstream out;
    { ProgressBar bar(out, 100, {"digest"}); }
    EXPECT_TRUE(out.str().empty());
}
