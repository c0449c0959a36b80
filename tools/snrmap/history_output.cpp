// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/history_output.h"

#include <cstdio>

#include "core/utf8.h"
#include "record/input_facts.h"
#include "record/json_text.h"
#include "record/summary_json.h"
#include "window_model/roi_report.h"

namespace snr::snrmap {

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Columns on a terminal: East Asian wide characters take two.
std::size_t shown_width(const std::string& text)
{
    std::size_t width = 0;
    for (std::size_t at = 0; at < text.size();) {
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            ++width;
            ++at;
            continue;
        }
        const Utf8Char character = utf8_at(text, at);
        const char32_t code = character.code;
        const bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                          (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                          (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                          (code >= 0xFFE0 && code <= 0xFFE6) || code >= 0x20000;
        width += wide ? 2 : 1;
        at += character.length == 0 ? 1 : character.length;
    }
    return width;
}

// Left-aligned columns two spaces apart, no spaces at the ends of the lines. Texts from files
// cannot steer the terminal: their control characters show as escapes.
std::string table(const std::vector<std::string>& header, Rows rows)
{
    for (auto& fields : rows) {
        for (auto& field : fields)
            field = visible_text(field);
    }
    std::vector<std::vector<std::size_t>> shown;  // the width of every field, header first
    std::vector<std::size_t> widths(header.size());
    const auto measure = [&](const std::vector<std::string>& fields) {
        auto& row = shown.emplace_back(fields.size());
        for (std::size_t k = 0; k < fields.size(); ++k) {
            row[k] = shown_width(fields[k]);
            widths[k] = std::max(widths[k], row[k]);
        }
    };
    measure(header);
    std::size_t size = 0;
    for (const auto& fields : rows) {
        measure(fields);
        for (const auto& field : fields)
            size += field.size();
    }
    std::string text;
    text.reserve(size + (rows.size() + 1) * (header.size() * 2 + 1));
    const auto line = [&](const std::vector<std::string>& fields, const std::vector<std::size_t>& field_widths) {
        for (std::size_t k = 0; k < fields.size(); ++k) {
            text += fields[k];
            if (k + 1 < fields.size())
                text.append(widths[k] - field_widths[k] + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        text += '\n';
    };
    line(header, shown[0]);
    for (std::size_t k = 0; k < rows.size(); ++k)
        line(rows[k], shown[k + 1]);
    return text;
}

std::string csv(const std::vector<std::string>& header, const Rows& rows)
{
    std::string text = record(header, ',');
    for (const auto& row : rows)
        text += record(row, ',');
    return text;
}

std::string exact(const std::optional<double>& value) { return value ? exact_number(*value) : std::string(); }

std::string readable(const std::optional<double>& value, const char* format = "%.6g")
{
    if (!value)
        return "-";
    char text[64];
    std::snprintf(text, sizeof text, format, *value);
    return text;
}

void scanner_fields(JsonText& json, const history::Scanner& scanner)
{
    const auto facts = scanner_facts();
    for (std::size_t k = 0; k < facts.size(); ++k)
        json.field(facts[k]->key, k < scanner.facts.size() ? scanner.facts[k] : std::string());
    json.field("receive_coil", scanner.receive_coil);
}

std::string runs_json(const std::vector<history::RunListing>& runs)
{
    JsonText json;
    json.begin_array();
    for (const auto& run : runs) {
        json.begin_object();
        json.field("run", static_cast<long long>(run.id));
        json.field("time", run.time);
        json.field("program", run.program);
        json.field("method", run.method);
        json.field("gfactor", run.gfactor);
        json.field("r", run.r);
        json.field("scale_min", run.scale_min);
        json.field("scale_step", run.scale_step);
        scanner_fields(json, run.scanner);
        json.field("protocol_name", run.protocol_name);
        json.field("series_description", run.series_description);
        json.field("acquisition_date", run.acquisition_date);
        json.field("notices", static_cast<long long>(run.notices));
        json.field("output_folder", run.output_folder);
        json.end_object();
    }
    json.end_array();
    return json.text();
}

}  // namespace

std::string runs_text(const std::vector<history::RunListing>& runs, const std::string& format)
{
    if (format == "json")
        return runs_json(runs);
    Rows rows;
    if (format == "csv") {
        std::vector<std::string> header{"run", "time", "program", "method", "gfactor", "r", "scale_min", "scale_step"};
        for (const InputFact* fact : scanner_facts())
            header.emplace_back(fact->key);
        for (const char* name : {"receive_coil", "protocol_name", "series_description", "acquisition_date", "notices",
                                 "output_folder"})
            header.emplace_back(name);
        for (const auto& run : runs) {
            std::vector<std::string> row{std::to_string(run.id), run.time, run.program, run.method,
                                         run.gfactor ? "true" : "false", exact(run.r), exact_number(run.scale_min),
                                         exact_number(run.scale_step)};
            row.insert(row.end(), run.scanner.facts.begin(), run.scanner.facts.end());
            for (const std::string& value : {run.scanner.receive_coil, run.protocol_name, run.series_description,
                                             run.acquisition_date, std::to_string(run.notices), run.output_folder})
                row.push_back(value);
            rows.push_back(std::move(row));
        }
        return csv(header, rows);
    }
    for (const auto& run : runs) {
        rows.push_back({std::to_string(run.id), run.time, run.method, run.gfactor ? readable(run.r) : "-",
                        history::scanner_text(run.scanner), run.scanner.receive_coil,
                        run.protocol_name.empty() ? run.series_description : run.protocol_name,
                        std::to_string(run.notices), run.output_folder});
    }
    return table({"run", "time", "method", "R", "scanner", "coil", "protocol", "notices", "output"}, rows);
}

std::string trend_text(const history::Trend& trend, const std::string& format)
{
    if (format == "json") {
        JsonText json;
        json.begin_object();
        json.field("item", trend.item);
        json.field("caption", trend.caption);
        json.field("figure", trend.figure);
        json.field("method", trend.method);
        if (!trend.region.empty()) {
            json.field("plane_region", trend.region);
            json.field("other_region_runs", trend.other_region_runs);
        }
        if (trend.roi > 0) {
            json.begin_object("region");
            json.field("number", static_cast<long long>(trend.roi));
            write_roi_place(json, trend.roi_place);
            json.end_object();
        }
        json.begin_object("scanner");
        scanner_fields(json, trend.scanner);
        json.end_object();
        json.field("baseline", static_cast<long long>(trend.baseline));
        json.field("baseline_value", trend.baseline_value);
        json.field("tolerance", trend.tolerance);
        json.field("newest_beyond", history::newest_beyond(trend));
        json.begin_array("runs");
        for (const auto& point : trend.points) {
            json.begin_object();
            json.field("run", static_cast<long long>(point.run));
            json.field("time", point.time);
            json.field("value", point.value);
            json.field("change", point.change);
            json.field("beyond", point.beyond);
            json.end_object();
        }
        json.end_array();
        json.end_object();
        return json.text();
    }
    Rows rows;
    const bool people = format == "table";
    for (const auto& point : trend.points) {
        const std::string mark = point.beyond ? (people ? "beyond" : "true") : (people ? "" : "false");
        rows.push_back({std::to_string(point.run), point.time, people ? readable(point.value) : exact(point.value),
                        people ? readable(point.change, "%+.2f %%") : exact(point.change), mark});
    }
    if (!people)
        return csv({"run", "time", "value", "change_percent", "beyond"}, rows);
    std::string text = visible_text(history::trend_title(trend)) + "\n";
    const std::string scanner = history::scanner_text(trend.scanner);
    text += visible_text("scanner: " + (scanner.empty() ? std::string("-") : scanner) + ", coil: " +
                         (trend.scanner.receive_coil.empty() ? std::string("-") : trend.scanner.receive_coil) +
                         ", method: " + trend.method) +
            "\n";
    if (const std::string note = history::region_note(trend); !note.empty())
        text += note + "\n";
    text += "baseline: run " + std::to_string(trend.baseline) + " (" + readable(trend.baseline_value) + ")";
    if (trend.tolerance)
        text += ", tolerance " + readable(trend.tolerance, "%g") + " %";
    return text + "\n" + table({"run", "time", "value", "change", ""}, rows);
}

}  // namespace snr::snrmap
