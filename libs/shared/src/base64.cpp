#include "shared/base64.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <sstream>
#include <unordered_set>

#include <boost/archive/iterators/binary_from_base64.hpp>
#include <boost/archive/iterators/dataflow_exception.hpp>
#include <boost/archive/iterators/transform_width.hpp>
#include <boost/core/ref.hpp>
#include <boost/exception/errinfo_nested_exception.hpp>
#include <boost/exception/info.hpp>
#include <boost/exception_ptr.hpp>
#include <boost/iostreams/device/array.hpp>
#include <boost/iostreams/filtering_stream.hpp>
#include <boost/iostreams/stream.hpp>

#include "exception/throw.h"
#include "shared/char_remover.h"
#include "shared/stream_interrupter.h"

namespace kelvo::plugin::base64 {

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

const std::unordered_set<char>& alphabet() {
    static const std::unordered_set<char> set(std::begin(kAlphabet), std::end(kAlphabet) - 1);
    return set;
}

using Decoder = boost::archive::iterators::transform_width<
    boost::archive::iterators::binary_from_base64<std::istreambuf_iterator<char>>, 8, 6>;

}  // namespace

DecodeError::DecodeError()
    : std::system_error(std::make_error_code(std::errc::illegal_byte_sequence)) {}

bool isBase64Char(char c) {
    return c == '\n' || c == '\r' || alphabet().count(c) != 0;
}

void decode(std::istream& input, std::ostream& output, const char* removed, std::size_t count) {
    // Each decode has an interrupter of its own, so decodes on several threads do not share
    // the padding state.
    filter::iostream::StreamInterrupter padding({'='});
    boost::iostreams::filtering_istream chain;
    chain.push(boost::ref(padding));
    if (count != 0) {
        chain.push(filter::iostream::CharRemover(std::set<char>(removed, removed + count)));
    }
    chain.push(input);
    try {
        std::copy(Decoder(std::istreambuf_iterator<char>(chain)),
                  Decoder(std::istreambuf_iterator<char>()),
                  std::ostreambuf_iterator<char>(output));
    } catch (const boost::archive::iterators::dataflow_exception&) {
        chain.reset();
        BOOST_THROW_EXCEPTION(DecodeError()
                              << boost::errinfo_nested_exception(boost::current_exception()));
    } catch (...) {
        chain.reset();
        BOOST_THROW_EXCEPTION(DecodeError()
                              << boost::errinfo_nested_exception(boost::current_exception()));
    }
    chain.reset();
}

std::string decode(const char* data, std::size_t size) {
    if (data == nullptr) {
        size = 0;
        data = "";
    }
    boost::iostreams::stream<boost::iostreams::array_source> input(data, size);
    std::ostringstream output;
    decode(input, output, nullptr, 0);
    return output.str();
}

}  // namespace kelvo::plugin::base64
