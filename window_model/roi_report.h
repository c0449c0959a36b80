// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/roi_stats.h"

namespace snr {

// 17 significant digits, which read back as the same double, whatever the locale.
std::string exact_number(double value);

// Fields joined by `separator` and ended by a line break. A field holding the separator, a
// quote or a line break is quoted, its quotes doubled.
std::string record(const std::vector<std::string>& fields, char separator);

// The record of `leading` fields followed by n, mean, sd, min and max as exact texts; an empty
// figure is an empty field.
std::string figures_record(std::vector<std::string> leading, const RoiStats& stats, char separator);

// One row of the windows' ROI table: a plane of the result list under its list caption.
struct RoiRow {
    std::string plane;
    ItemKind kind = ItemKind::Other;
    RoiStats stats;
};

// The table as a file or the clipboard gets it: a header, then one record per row, each with
// the ROI's place, the plane and its exact figures.
std::string roi_table_text(const Roi& roi, const std::vector<RoiRow>& rows, char separator);

// The ROI's rows and columns, zero-based and inclusive, as the readout counts them.
std::string roi_extent_text(const Roi& roi);

// A figure as the table shows it: "%.2f", in g "%.3f"; "–" for an empty figure.
std::string shown_figure(std::optional<double> figure, ItemKind kind);

}  // namespace snr
