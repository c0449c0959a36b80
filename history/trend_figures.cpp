// SPDX-License-Identifier: BSD-3-Clause
#include <charconv>
#include <cmath>

#include "history/history_rows.h"

#include "record/plane_summary.h"

namespace snr::history {

std::string scanner_text(const Scanner& scanner)
{
    std::string text;
    for (const std::string& part : scanner.facts) {
        if (part.empty())
            continue;
        if (!text.empty())
            text += ' ';
        text += part;
    }
    return text;
}

std::string trend_title(const Trend& trend)
{
    std::string title = trend.item;
    if (!trend.caption.empty() && trend.caption != trend.item)
        title += " (" + trend.caption + ")";
    if (trend.roi > 0) {
        const Roi& roi = trend.roi_place;
        title += ", region " + std::to_string(trend.roi) + " at " + std::to_string(roi.row) + "," +
                 std::to_string(roi.column) + "," + std::to_string(roi.height) + "," + std::to_string(roi.width);
    }
    return title + ", " + trend.figure;
}

std::string region_note(const Trend& trend)
{
    if (trend.region.empty())
        return {};
    std::string note = "region: " + trend.region;
    if (trend.other_region_runs > 0) {
        const std::string other = trend.region == "phantom" ? "all" : "phantom";
        note += " (" + std::to_string(trend.other_region_runs) + (trend.other_region_runs == 1 ? " run" : " runs") +
                " over " + other + " left out; --baseline one of them follows those)";
    }
    return note;
}

const std::vector<std::string>& plane_figure_names()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> keys;
        for (const PlaneFigure& figure : plane_figures)
            keys.emplace_back(figure.key);
        return keys;
    }();
    return names;
}

const std::vector<std::string>& roi_figure_names()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> keys;
        for (const RoiFigure& figure : roi_figures)
            keys.emplace_back(figure.key);
        keys.emplace_back("n");
        return keys;
    }();
    return names;
}

double change_as_shown(double change)
{
    char text[400];
    const auto written = std::to_chars(text, text + sizeof text, change, std::chars_format::fixed, 2);
    double shown = change;
    std::from_chars(text, written.ptr, shown);
    return shown;
}

void compare_with_baseline(Trend& trend)
{
    for (TrendPoint& point : trend.points) {
        point.change.reset();
        point.beyond = false;
        if (!trend.baseline_value)
            continue;
        const double base = *trend.baseline_value;
        if (point.value && (base != 0 || *point.value == 0))
            point.change = base == 0 ? 0.0 : (*point.value - base) / std::fabs(base) * 100.0;
        if (trend.tolerance)
            point.beyond = point.change ? std::fabs(change_as_shown(*point.change)) > *trend.tolerance : true;
    }
}

bool newest_beyond(const Trend& trend) { return !trend.points.empty() && trend.points.back().beyond; }

}  // namespace snr::history
