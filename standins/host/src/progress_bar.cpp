#include "progress_bar.h"

#include <algorithm>

#include <boost/format.hpp>

namespace kelvo::host::app {

ProgressBar::ProgressBar(std::ostream& out, std::uint64_t total,
                         std::vector<std::string> passLabels, int width)
    : out_(out), total_(total), labels_(std::move(passLabels)), width_(width) {}

ProgressBar::~ProgressBar() {
    finish();
}

void ProgressBar::update(int pass, std::uint64_t position) {
    const std::uint64_t done = std::min(position, total_);
    const int percent = total_ == 0 ? 100 : static_cast<int>(done * 100 / total_);
    if (pass == pass_ && percent == percent_) {
        return;
    }
    if (pass != pass_ && pass_ >= 0) {
        out_ << '\n';
    }
    pass_ = pass;
    percent_ = percent;
    draw(pass, percent);
}

void ProgressBar::draw(int pass, int percent) {
    const std::string label = pass < static_cast<int>(labels_.size()) ? labels_[pass]
                              : labels_.empty()                       ? ""
                                                                      : labels_.back();
    const int filled = width_ * percent / 100;
    const double mib = 1024.0 * 1024.0;
    out_ << '\r'
         << boost::format("%-9s [%s%s] %3d%% %7.1f of %.1f MiB") % label %
                std::string(filled, '#') % std::string(width_ - filled, '.') % percent %
                (static_cast<double>(std::min<std::uint64_t>(
                     total_, total_ * static_cast<std::uint64_t>(percent) / 100)) /
                 mib) %
                (static_cast<double>(total_) / mib)
         << std::flush;
}

void ProgressBar::finish() {
    if (!finished_ && pass_ >= 0) {
        out_ << '\n' << std::flush;
    }
    finished_ = true;
}

}  // namespace kelvo::host::app
