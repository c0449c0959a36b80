// SPDX-License-Identifier: BSD-3-Clause
#include "record/run_record.h"

#include <ctime>

namespace snr {

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

PlaneSummary summarize_result(const ResultPlane& plane, const MeasuredRegion& region)
{
    return summarize_plane(*plane.plane, plane.kind == ItemKind::GFactor, true, region);
}

void find_measured_region(RunRecord& run)
{
    for (const ResultPlane& plane : run.planes) {
        if (plane.name == region_source_plane && plane.plane != nullptr) {
            run.region = measured_region(run.region.kind, *plane.plane);
            return;
        }
    }
}

std::string record_time_now()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    // +0900 as +09:00
    const std::string time = text;
    const std::size_t minutes = time.size() - 2;
    return time.substr(0, minutes) + ":" + time.substr(minutes);
}

}  // namespace snr
