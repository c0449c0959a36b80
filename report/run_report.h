// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QRectF>
#include <string>
#include <vector>

#include "record/run_record.h"

namespace snr::report {

// Where the report drew the picture of a result plane: its page (from 1) and its place on
// the page in points from the page's top-left corner.
struct PicturePlace {
    int page = 0;
    QRectF place;
};

// The report of a run, A4, in the windows' language: the run's settings and inputs with their
// DICOM facts and notices; every result plane as the windows show it, with its legend labels,
// a scale bar and the regions; the figures of every plane and of every region; histograms of
// the maps. Reads the planes and changes nothing. Needs a QGuiApplication (for the fonts).
// With `pictures`, the place of each plane's picture in list order.
QByteArray report_pdf(const RunRecord& run, std::vector<PicturePlace>* pictures = nullptr);

// For a window: the report written beside `path` and renamed over it, so that a failure
// leaves an earlier file as it was. Raises IoError.
void save_report(const RunRecord& run, const std::string& path);

}  // namespace snr::report
