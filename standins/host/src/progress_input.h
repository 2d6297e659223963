#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "input_file.h"
#include "progress_bar.h"
#include "progress_streambuf.h"

namespace kelvo::host::app {

// The input as a stream that reports progress on the terminal while it is read, one bar
// label a pass. A read error leaves the stream as the reader's exception, never as an early
// end of the data.
class ProgressInput {
public:
    ProgressInput(InputFile& file, std::ostream& terminal, bool show,
                  std::vector<std::string> passes);
    ProgressInput(const ProgressInput&) = delete;
    ProgressInput& operator=(const ProgressInput&) = delete;

    std::istream& stream() { return stream_; }
    void finish();

private:
    std::optional<ProgressBar> bar_;
    std::optional<ProgressStreambuf> buffer_;
    std::istream stream_{nullptr};
};

}  // namespace kelvo::host::app
