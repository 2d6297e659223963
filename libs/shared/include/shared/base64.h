#pragma once

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <system_error>

#include <boost/exception/exception.hpp>

namespace kelvo::plugin::base64 {

// Base64 text that cannot be decoded; the cause is attached as boost::errinfo_nested_exception.
struct DecodeError : public std::system_error, virtual public boost::exception {
    DecodeError();
};

// True for the standard alphabet, "=" and the line breaks LF and CR.
bool isBase64Char(char c);

// Decodes the text up to its first "="; any other character outside the alphabet is an error.
std::string decode(const char* data, std::size_t size);

// Streams the decoded bytes of the input text to the output after dropping the listed
// characters from the text. Bytes decoded before an error stay in the output.
void decode(std::istream& input, std::ostream& output, const char* removed, std::size_t count);

}  // namespace kelvo::plugin::base64
