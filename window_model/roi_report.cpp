// SPDX-License-Identifier: BSD-3-Clause
#include "window_model/roi_report.h"

#include <charconv>

namespace snr {

std::string exact_number(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
    return std::string(buffer, result.ptr);
}

std::string record(const std::vector<std::string>& fields, char separator)
{
    std::string line;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k > 0)
            line += separator;
        const std::string& field = fields[k];
        if (field.find_first_of(std::string{separator, '"', '\n', '\r'}) == std::string::npos) {
            line += field;
            continue;
        }
        line += '"';
        for (char c : field)
            line += c == '"' ? std::string("\"\"") : std::string(1, c);
        line += '"';
    }
    return line + "\n";
}

std::string figures_record(std::vector<std::string> leading, const RoiStats& stats, char separator)
{
    leading.push_back(std::to_string(stats.n));
    for (const auto& figure : {stats.mean, stats.sd, stats.min, stats.max})
        leading.push_back(figure ? exact_number(*figure) : std::string());
    return record(leading, separator);
}

std::string roi_table_text(const Roi& roi, const std::vector<RoiRow>& rows, char separator)
{
    std::string text =
        record({"row", "column", "height", "width", "plane", "n", "mean", "sd", "min", "max"}, separator);
    for (const auto& row : rows) {
        text += figures_record({std::to_string(roi.row), std::to_string(roi.column), std::to_string(roi.height),
                                std::to_string(roi.width), row.plane},
                               row.stats, separator);
    }
    return text;
}

std::string roi_extent_text(const Roi& roi)
{
    const auto span = [](int first, int count) {
        return std::to_string(first) + "–" + std::to_string(first + count - 1);
    };
    return "行 " + span(roi.row, roi.height) + "　列 " + span(roi.column, roi.width) + "　(" +
           std::to_string(roi.height) + " × " + std::to_string(roi.width) + " 画素)";
}

std::string shown_figure(std::optional<double> figure, ItemKind kind)
{
    if (!figure)
        return "–";
    return format_fixed(*figure, kind == ItemKind::GFactor ? 3 : 2);
}

}  // namespace snr
