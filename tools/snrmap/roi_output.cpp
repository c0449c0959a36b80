// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/roi_output.h"

#include "window_model/roi_report.h"

namespace snr::snrmap {

std::vector<RoiFigures> measure_rois(const std::vector<Roi>& rois, const std::vector<ResultPlane>& planes)
{
    std::vector<RoiFigures> figures;
    for (const Roi& roi : rois) {
        RoiFigures& measured = figures.emplace_back(RoiFigures{roi, {}});
        for (const auto& plane : planes)
            measured.planes.push_back(roi_statistics(*plane.plane, roi, plane.kind));
    }
    return figures;
}

void add_rois(JsonText& json, const Measurement& measurement)
{
    json.begin_array("rois");
    for (const auto& [roi, stats] : measurement.rois) {
        json.begin_object();
        json.field("row", static_cast<long long>(roi.row));
        json.field("column", static_cast<long long>(roi.column));
        json.field("height", static_cast<long long>(roi.height));
        json.field("width", static_cast<long long>(roi.width));
        json.begin_object("planes");
        for (std::size_t k = 0; k < stats.size(); ++k) {
            json.begin_object(measurement.planes[k].name);
            json.field("n", stats[k].n);
            json.exact_field("mean", stats[k].mean);
            json.exact_field("sd", stats[k].sd);
            json.exact_field("min", stats[k].min);
            json.exact_field("max", stats[k].max);
            json.end_object();
        }
        json.end_object();
        json.end_object();
    }
    json.end_array();
}

std::string roi_csv(const Measurement& measurement)
{
    std::string text = record({"roi", "plane", "n", "mean", "sd", "min", "max"}, ',');
    for (std::size_t number = 1; number <= measurement.rois.size(); ++number) {
        const auto& stats = measurement.rois[number - 1].planes;
        for (std::size_t k = 0; k < stats.size(); ++k)
            text += figures_record({std::to_string(number), measurement.planes[k].name}, stats[k], ',');
    }
    return text;
}

}  // namespace snr::snrmap
