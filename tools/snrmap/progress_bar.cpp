// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/progress_bar.h"

#include <algorithm>
#include <string>

namespace snr::snrmap {

namespace {
constexpr int bar_width = 40;
constexpr int line_width = bar_width + 8;  // "[" + bar + "] " + "100 %"
}  // namespace

void ProgressBar::show(int position)
{
    position = std::clamp(position, 0, 100);
    if (!enabled_ || position == position_)
        return;
    position_ = position;
    const int filled = position * bar_width / 100;
    std::string line = "\r[" + std::string(filled, '#') + std::string(bar_width - filled, '.') + "] ";
    const std::string figure = std::to_string(position);
    line += std::string(3 - figure.size(), ' ') + figure + " %";
    out_ << line << std::flush;
    drawn_ = true;
}

void ProgressBar::clear()
{
    if (!drawn_)
        return;
    out_ << '\r' << std::string(line_width + 1, ' ') << '\r' << std::flush;
    drawn_ = false;
    position_ = -1;
}

}  // namespace snr::snrmap
