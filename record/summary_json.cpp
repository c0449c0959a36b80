// SPDX-License-Identifier: BSD-3-Clause
#include "record/summary_json.h"

#include "record/input_facts.h"
#include "record/json_text.h"
#include "window_model/roi_report.h"

namespace snr {

namespace {

// "files": for each role, in order, each file by name with "read_as" ("dicom" or "raw");
// "dicm_marker": true for a raw file that carries the marker; for a DICOM image what it says
// about itself as written (empty when absent; its first frame's, for a file of several),
// "transfer_syntax_detected": true where the syntax was detected, "frames" where there are
// several, and the byte offset of its Pixel Data (-1 where compressed).
void write_input_files(JsonText& json, const std::vector<InputFile>& files)
{
    json.begin_object("files");
    for (std::size_t k = 0; k < files.size(); ++k) {
        const InputFile& file = files[k];
        if (k == 0 || files[k - 1].role != file.role)
            json.begin_object(file.role);
        json.begin_object(file.name);
        json.field("read_as", file.source.dicom ? "dicom" : "raw");
        // What sets a file apart from the usual is said only where it does.
        if (file.source.dicm_marker)
            json.field("dicm_marker", true);
        if (file.source.dicom) {
            const DicomAttributes& dicom = file.source.attributes;
            json.field("transfer_syntax", dicom.transfer_syntax);
            if (dicom.syntax_detected)
                json.field("transfer_syntax_detected", true);
            if (dicom.frames > 1)
                json.field("frames", static_cast<long long>(dicom.frames));
            for (const InputFact& fact : input_facts)
                json.field(fact.key, dicom.*fact.field);
            json.field("pixel_offset", dicom.pixel_offset);
            if (dicom.rows > 0 && dicom.columns > 0) {
                json.field("rows", static_cast<long long>(dicom.rows));
                json.field("columns", static_cast<long long>(dicom.columns));
            }
        }
        json.end_object();
        if (k + 1 == files.size() || files[k + 1].role != file.role)
            json.end_object();
    }
    json.end_object();
}

const char* kind_name(ItemKind kind)
{
    switch (kind) {
    case ItemKind::SnrMap: return "snr_map";
    case ItemKind::GFactor: return "gfactor_map";
    case ItemKind::Other: break;
    }
    return "image";
}

// "display": the result list in its order (a reader may not keep the order of the members of
// "planes"), each plane with its kind, the window its list selection sets and, for a map, the
// legend texts its labels are computed from.
void write_display(JsonText& json, const std::vector<ResultPlane>& planes)
{
    json.begin_array("display");
    for (const ResultPlane& plane : planes) {
        json.begin_object();
        json.field("plane", plane.name);
        json.field("kind", kind_name(plane.kind));
        json.begin_object("window");
        json.field("wl", static_cast<long long>(plane.window.wl));
        json.field("ww", static_cast<long long>(plane.window.ww));
        json.end_object();
        if (plane.legend) {
            json.begin_object("legend");
            // As texts, the way the legend edits hold them.
            json.field("min", json_number(plane.legend->minimum));
            json.field("step", json_number(plane.legend->step));
            json.end_object();
        }
        json.end_object();
    }
    json.end_array();
}

void write_planes(JsonText& json, const std::vector<ResultPlane>& planes)
{
    json.begin_object("planes");
    for (const ResultPlane& plane : planes) {
        const PlaneSummary& figures = plane.figures;
        json.begin_object(plane.name);
        json.field("item", plane.item);
        if (plane.kind == ItemKind::GFactor)
            json.field("unit", "g");
        json.field("pixels", figures.pixels);
        for (const PlaneFigure& figure : plane_figures) {
            if (!figure.gfactor_only || plane.kind == ItemKind::GFactor)
                json.field(figure.key, figures.*figure.value);
        }
        json.end_object();
    }
    json.end_object();
}

// "rois": per region its place and, per plane name, n, mean, sd, min and max in 17
// significant digits, null where a figure is empty.
void write_rois(JsonText& json, const RunRecord& run)
{
    json.begin_array("rois");
    for (const auto& [roi, stats] : run.rois) {
        json.begin_object();
        write_roi_place(json, roi);
        json.begin_object("planes");
        for (std::size_t k = 0; k < stats.size(); ++k) {
            json.begin_object(run.planes[k].name);
            json.field("n", stats[k].n);
            for (const RoiFigure& figure : roi_figures)
                json.exact_field(figure.key, stats[k].*figure.value);
            json.end_object();
        }
        json.end_object();
        json.end_object();
    }
    json.end_array();
}

// "dicom_maps": the Parametric Maps written and the study and series they belong to; null
// when none were asked for.
void write_dicom_maps(JsonText& json, const std::optional<DicomMapsRecord>& maps)
{
    if (!maps) {
        json.field("dicom_maps", std::optional<double>());
        return;
    }
    json.begin_object("dicom_maps");
    json.begin_array("files");
    for (const std::string& file : maps->files)
        json.field({}, file);
    json.end_array();
    if (!maps->documents.empty()) {
        json.begin_array("documents");
        for (const std::string& file : maps->documents)
            json.field({}, file);
        json.end_array();
    }
    // Raw slices name no study: the maps then start one of their own.
    json.field("study", maps->new_study ? "new" : "inputs");
    json.field("study_instance_uid", maps->study_instance_uid);
    json.field("series_instance_uid", maps->series_instance_uid);
    json.field("frame_of_reference_uid", maps->frame_of_reference_uid);
    json.end_object();
}

// "region": the pixels every plane's figures are over, how they were found, how many and the
// rows and columns they span (null where none).
void write_region(JsonText& json, const MeasuredRegion& region)
{
    json.begin_object("region");
    json.field("kind", region_kind_name(region.kind));
    if (region.kind == RegionKind::Phantom) {
        json.field("found_in", region_source_plane);
        json.field("threshold", region.threshold);
        json.field("phantom_pixels", region.phantom_pixels);
    }
    json.field("pixels", region.pixels);
    if (region.pixels == 0) {
        json.field("box", std::optional<double>());
    } else {
        json.begin_object("box");
        json.field("top", static_cast<long long>(region.top));
        json.field("left", static_cast<long long>(region.left));
        json.field("bottom", static_cast<long long>(region.bottom));
        json.field("right", static_cast<long long>(region.right));
        json.end_object();
    }
    json.end_object();
}

}  // namespace

std::string summary_json(const RunRecord& run)
{
    JsonText json;
    json.begin_object();
    json.field("program", run.program);
    json.field("time", run.time);
    json.field("method", run.method);
    json.field("gfactor", run.gfactor);
    json.begin_object("inputs");
    for (const auto& [role, path] : run.inputs)
        json.field(role, path);
    json.end_object();
    write_input_files(json, run.files);
    json.begin_array("notices");
    for (const std::string& notice : run.notices)
        json.field({}, notice);
    json.end_array();
    json.begin_object("slice_counts");
    for (const auto& [role, count] : run.slice_counts)
        json.field(role, count);
    json.end_object();
    json.field("r", run.r);
    json.field("scale_min", run.scale_min);
    json.field("scale_step", run.scale_step);
    write_region(json, run.region);
    write_planes(json, run.planes);
    write_rois(json, run);
    write_display(json, run.planes);
    write_dicom_maps(json, run.dicom_maps);
    json.end_object();
    return json.text();
}

void write_roi_place(JsonText& json, const Roi& roi)
{
    json.field("row", static_cast<long long>(roi.row));
    json.field("column", static_cast<long long>(roi.column));
    json.field("height", static_cast<long long>(roi.height));
    json.field("width", static_cast<long long>(roi.width));
}

std::string roi_csv(const RunRecord& run)
{
    std::string text = record({"roi", "plane", "n", "mean", "sd", "min", "max"}, ',');
    for (std::size_t number = 1; number <= run.rois.size(); ++number) {
        const auto& stats = run.rois[number - 1].planes;
        for (std::size_t k = 0; k < stats.size(); ++k)
            text += figures_record({std::to_string(number), run.planes[k].name}, stats[k], ',');
    }
    return text;
}

}  // namespace snr
