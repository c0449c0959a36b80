// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <ostream>

namespace snr::snrmap {

// The window's progress bar as one line of text, drawn only when enabled (standard error is
// a terminal and --quiet was not given). Positions run from 0 to 100.
class ProgressBar {
public:
    ProgressBar(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}
    ~ProgressBar() { clear(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void show(int position);
    // Blanks the line, so a message or the shell prompt starts at its beginning.
    void clear();

private:
    std::ostream& out_;
    bool enabled_;
    bool drawn_ = false;
    int position_ = -1;
};

}  // namespace snr::snrmap
