// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <vector>

#include "history/history_rows.h"

namespace snr::snrmap {

// The runs of `snrmap history` as a table for people, CSV or JSON (format "table", "csv",
// "json"). Texts from files appear as they were recorded.
std::string runs_text(const std::vector<history::RunListing>& runs, const std::string& format);

// The series of `snrmap trend` in one of the same formats.
std::string trend_text(const history::Trend& trend, const std::string& format);

}  // namespace snr::snrmap
