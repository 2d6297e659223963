#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <boost/core/ref.hpp>
#include <boost/iostreams/filtering_stream.hpp>

#include "shared/char_remover.h"
#include "shared/stream_interrupter.h"

namespace io = boost::iostreams;
using kelvo::plugin::filter::iostream::CharRemover;
using kelvo::plugin::filter::iostream::StreamInterrupter;

namespace {

std::string readAll(std::istream& stream) {
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

}  // namespace

TEST(StreamInterrupter, StopsAtTheFirstStopCharacterUntilClosed) {
    StreamInterrupter interrupter({'=', '#'});
    {
        std::istringstream source("abc#def=ghi");
        io::filtering_istream chain;
        chain.push(boost::ref(interrupter));
        chain.push(source);
        EXPECT_EQ("abc", readAll(chain));
        EXPECT_TRUE(interrupter.interrupted());
        chain.reset();
    }
    EXPECT_FALSE(interrupter.interrupted());
    {
        std::istringstream source("=abc");
        io::filtering_istream chain;
        chain.push(boost::ref(interrupter));
        chain.push(source);
        EXPECT_EQ("", readAll(chain));
    }
    {
        std::istringstream source("plain text");
        io::filtering_istream chain;
        chain.push(StreamInterrupter({'='}));
        chain.push(source);
        EXPECT_EQ("plain text", readAll(chain));
    }
}

TEST(CharRemover, DropsListedCharactersAcrossBlocks) {
    // Long runs of removed characters span whole read blocks and must not end the stream.
    const std::string text = "a\r\n" + std::string(10000, '\n') + "b\rc";
    std::istringstream source(text);
    io::filtering_istream chain;
    chain.push(CharRemover({'\r', '\n'}));
    chain.push(source);
    EXPECT_EQ("abc", readAll(chain));

    std::istringstream onlyRemoved(std::string(5000, '\r'));
    io::filtering_istream empty;
    empty.push(CharRemover({'\r'}));
    empty.push(onlyRemoved);
    EXPECT_EQ("", readAll(empty));
}
