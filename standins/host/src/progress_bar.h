#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace kelvo::host::app {

// A one-line progress bar, redrawn in place with a carriage return whenever the shown
// percentage changes. Each pass over the data gets its own label.
class ProgressBar {
public:
    ProgressBar(std::ostream& out, std::uint64_t total, std::vector<std::string> passLabels,
                int width = 40);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(int pass, std::uint64_t position);
    // Ends the current line, once.
    void finish();

private:
    void draw(int pass, int percent);

    std::ostream& out_;
    std::uint64_t total_;
    std::vector<std::string> labels_;
    int width_;
    int pass_ = -1;
    int percent_ = -1;
    bool finished_ = false;
};

}  // namespace kelvo::host::app
