#pragma once

#include <string>

namespace kelvo::plugin::exception {

// A lasting copy of the text: valid on every thread for as long as this library is loaded.
// what() and message() hand out these instead of per-thread buffers, whose destructors would
// keep the plug-in mapped after the host unloads it. Memory grows with the number of distinct
// texts only.
const char* pooledText(std::string text);

}  // namespace kelvo::plugin::exception
