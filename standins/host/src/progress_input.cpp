#include "progress_input.h"

namespace kelvo::host::app {

ProgressInput::ProgressInput(InputFile& file, std::ostream& terminal, bool show,
                             std::vector<std::string> passes) {
    if (show && file.size()) {
        bar_.emplace(terminal, *file.size(), std::move(passes));
    }
    buffer_.emplace(file, [this](int pass, std::uint64_t position) {
        if (bar_) {
            bar_->update(pass, position);
        }
    });
    stream_.rdbuf(&*buffer_);
    stream_.exceptions(std::ios::badbit);
}

void ProgressInput::finish() {
    if (bar_) {
        bar_->finish();
    }
}

}  // namespace kelvo::host::app
