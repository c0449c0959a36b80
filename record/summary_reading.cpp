// SPDX-License-Identifier: BSD-3-Clause
#include "record/summary_reading.h"

#include <algorithm>
#include <limits>

#include "core/extended.h"
#include "core/text_number.h"
#include "record/input_facts.h"
#include "record/json_reading.h"

namespace snr {

namespace {

// A member of the summary and where it lies ("planes.snr_nopi.window"), for the message; none
// where the summary has no such member.
class Member {
public:
    Member(const JsonValue* value, std::string path) : value_(value), path_(std::move(path)) {}

    Member operator[](const char* key) const { return operator[](std::string(key)); }
    Member operator[](const std::string& key) const { return {object().member(key), inner(key)}; }
    Member operator[](std::size_t index) const
    {
        const auto& items = array();
        return {index < items.size() ? &items[index] : nullptr, path_ + "[" + std::to_string(index) + "]"};
    }

    // The members of the object with their names, in the order of the text.
    std::vector<std::pair<std::string, Member>> members() const
    {
        std::vector<std::pair<std::string, Member>> named;
        for (const auto& [key, value] : object().members)
            named.emplace_back(key, Member(&value, inner(key)));
        return named;
    }

    [[noreturn]] void refuse(const char* wanted) const
    {
        throw SummaryError("summary.json として読めません: " + path_ + " (" + wanted + ")");
    }
    bool null() const { return is(JsonValue::Kind::Null); }
    bool contains(const char* key) const { return object().member(key) != nullptr; }
    const JsonValue& object() const
    {
        if (!is(JsonValue::Kind::Object))
            refuse("オブジェクトがありません");
        return *value_;
    }
    const std::vector<JsonValue>& array() const
    {
        if (!is(JsonValue::Kind::Array))
            refuse("配列がありません");
        return value_->items;
    }
    std::string text() const
    {
        if (!is(JsonValue::Kind::String))
            refuse("文字列がありません");
        return value_->text;
    }
    // A member written only for DICOM images, and only by some versions: empty when absent.
    std::string text_or_empty() const { return value_ == nullptr ? std::string() : text(); }
    bool flag() const
    {
        if (!is(JsonValue::Kind::Bool))
            refuse("真偽値がありません");
        return value_->flag;
    }
    double number() const
    {
        if (!is(JsonValue::Kind::Number))
            refuse("数値がありません");
        return value_->number;
    }
    std::optional<double> number_or_null() const
    {
        if (null())
            return std::nullopt;
        return number();
    }
    long long whole(long long low, long long high) const
    {
        const double value = number();
        if (!(value >= static_cast<double>(low) && value <= static_cast<double>(high)) ||
            value != static_cast<double>(static_cast<long long>(value)))
            refuse("範囲外の数値");
        return static_cast<long long>(value);
    }
    const std::string& path() const { return path_; }

private:
    bool is(JsonValue::Kind kind) const { return value_ != nullptr && value_->kind == kind; }
    std::string inner(const std::string& key) const { return path_.empty() ? key : path_ + "." + key; }

    const JsonValue* value_;
    std::string path_;
};

void read_files(const Member& files, RunRecord& run)
{
    for (const auto& [role, of_role] : files.members()) {
        for (const auto& [name, file] : of_role.members()) {
            InputFile input{role, name, {}};
            const std::string read_as = file["read_as"].text();
            if (read_as != "dicom" && read_as != "raw")
                file["read_as"].refuse("dicom か raw ではありません");
            input.source.dicom = read_as == "dicom";
            DicomAttributes& a = input.source.attributes;
            a.transfer_syntax = file["transfer_syntax"].text_or_empty();
            for (const InputFact& fact : input_facts)
                a.*fact.field = file[fact.key].text_or_empty();
            if (file.contains("pixel_offset"))
                a.pixel_offset = file["pixel_offset"].whole(-1, std::numeric_limits<std::int32_t>::max());
            for (const auto& [key, field] : {std::pair{"rows", &a.rows}, std::pair{"columns", &a.columns}}) {
                if (!file.contains(key))
                    continue;
                *field = static_cast<unsigned>(file[key].whole(0, 65535));
            }
            run.files.push_back(std::move(input));
        }
    }
}

ItemKind kind_of(const Member& member)
{
    const std::string kind = member.text();
    if (kind == "snr_map")
        return ItemKind::SnrMap;
    if (kind == "gfactor_map")
        return ItemKind::GFactor;
    if (kind != "image")
        member.refuse("snr_map、gfactor_map か image ではありません");
    return ItemKind::Other;
}

// A plane of the list: how it is shown from "display", its caption and figures from "planes".
ResultPlane read_plane(const Member& shown, const Member& planes)
{
    ResultPlane result;
    result.name = shown["plane"].text();
    const Member plane = planes[result.name];
    result.item = plane["item"].text();
    result.kind = kind_of(shown["kind"]);
    result.window.wl = static_cast<std::int16_t>(shown["window"]["wl"].whole(INT16_MIN, INT16_MAX));
    result.window.ww = static_cast<std::int16_t>(shown["window"]["ww"].whole(INT16_MIN, INT16_MAX));
    if (result.kind != ItemKind::Other) {
        result.legend.emplace();
        for (const auto& [key, number] : {std::pair{"min", &result.legend->minimum}, std::pair{"step", &result.legend->step}}) {
            const Member member = shown["legend"][key];
            try {
                *number = ext::store(text_to_float(member.text()));
            } catch (const Error&) {
                member.refuse("数値の文字列ではありません");
            }
        }
    }
    PlaneSummary& f = result.figures;
    f.pixels = plane["pixels"].whole(0, plane_pixels);
    for (const PlaneFigure& figure : plane_figures) {
        if (!figure.gfactor_only || result.kind == ItemKind::GFactor)
            f.*figure.value = plane[figure.key].number_or_null();
    }
    return result;
}

void read_planes(const Member& display, const Member& planes, RunRecord& run)
{
    for (std::size_t k = 0; k < display.array().size(); ++k) {
        ResultPlane plane = read_plane(display[k], planes);
        for (const ResultPlane& earlier : run.planes) {
            if (earlier.name == plane.name)
                display[k]["plane"].refuse("同じ画像が二度あります");
        }
        run.planes.push_back(std::move(plane));
    }
}

void read_rois(const Member& rois, RunRecord& run)
{
    for (std::size_t k = 0; k < rois.array().size(); ++k) {
        const Member roi = rois[k];
        RoiFigures figures;
        figures.roi.row = static_cast<int>(roi["row"].whole(0, plane_side - 1));
        figures.roi.column = static_cast<int>(roi["column"].whole(0, plane_side - 1));
        figures.roi.height = static_cast<int>(roi["height"].whole(1, plane_side - figures.roi.row));
        figures.roi.width = static_cast<int>(roi["width"].whole(1, plane_side - figures.roi.column));
        for (const ResultPlane& plane : run.planes) {
            const Member stats = roi["planes"][plane.name];
            RoiStats& read = figures.planes.emplace_back();
            read.n = stats["n"].whole(0, plane_pixels);
            for (const RoiFigure& figure : roi_figures)
                read.*figure.value = stats[figure.key].number_or_null();
        }
        run.rois.push_back(std::move(figures));
    }
}

// The region the figures are over, without its pixels; a summary written before regions
// were found had its figures over every pixel outside the legend box.
void read_region(const Member& region, RunRecord& run)
{
    MeasuredRegion& read = run.region;
    const std::string kind = region["kind"].text();
    if (kind != "phantom" && kind != "all")
        region["kind"].refuse("phantom か all ではありません");
    read.kind = kind == "phantom" ? RegionKind::Phantom : RegionKind::All;
    read.pixels = region["pixels"].whole(0, plane_pixels);
    if (read.kind == RegionKind::Phantom) {
        read.threshold = region["threshold"].number();
        read.phantom_pixels = region["phantom_pixels"].whole(0, plane_pixels);
    }
    const Member box = region["box"];
    if (box.null())
        return;
    for (const auto& [key, field] : {std::pair{"top", &read.top}, std::pair{"left", &read.left},
                                     std::pair{"bottom", &read.bottom}, std::pair{"right", &read.right}})
        *field = static_cast<int>(box[key].whole(0, plane_side - 1));
}

void read_dicom_maps(const Member& maps, RunRecord& run)
{
    if (maps.null() || !maps.contains("files"))
        return;  // none asked for, or a summary written before they existed
    DicomMapsRecord record;
    for (std::size_t k = 0; k < maps["files"].array().size(); ++k)
        record.files.push_back(maps["files"][k].text());
    if (maps.contains("documents")) {
        for (std::size_t k = 0; k < maps["documents"].array().size(); ++k)
            record.documents.push_back(maps["documents"][k].text());
    }
    record.new_study = maps["study"].text() == "new";
    record.study_instance_uid = maps["study_instance_uid"].text();
    record.series_instance_uid = maps["series_instance_uid"].text();
    record.frame_of_reference_uid = maps["frame_of_reference_uid"].text();
    run.dicom_maps = std::move(record);
}

}  // namespace

RunRecord read_summary(std::string_view json)
{
    JsonValue document;
    try {
        document = parse_json(json);
    } catch (const JsonSyntaxError& error) {
        throw SummaryError("JSON として読めません (" + std::to_string(error.offset) + " バイト目: " + error.reason + ")");
    }
    if (document.kind != JsonValue::Kind::Object)
        throw SummaryError("summary.json として読めません (オブジェクトがありません)");
    const Member top(&document, "");
    RunRecord run;
    run.program = top["program"].text();
    run.time = top["time"].text();
    run.method = top["method"].text();
    run.gfactor = top["gfactor"].flag();
    for (const auto& [role, path] : top["inputs"].members())
        run.inputs.emplace_back(role, path.text());
    read_files(top["files"], run);
    for (std::size_t k = 0; k < top["notices"].array().size(); ++k)
        run.notices.push_back(top["notices"][k].text());
    for (const auto& [role, slices] : top["slice_counts"].members())
        run.slice_counts.emplace_back(role, slices.whole(0, std::numeric_limits<int>::max()));
    run.r = top["r"].number_or_null();
    run.scale_min = top["scale_min"].number();
    run.scale_step = top["scale_step"].number();
    if (top.contains("region"))
        read_region(top["region"], run);
    read_planes(top["display"], top["planes"], run);
    read_rois(top["rois"], run);
    if (top.contains("dicom_maps"))
        read_dicom_maps(top["dicom_maps"], run);
    return run;
}

}  // namespace snr
