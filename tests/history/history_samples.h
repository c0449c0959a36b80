// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <memory>
#include <string>

#include "history/history_database.h"
#include "record/run_record.h"
#include "tests/support/postgres_server.h"
#include "tests/support/temp_folder.h"

namespace snr::test {

// The facts a scanner writes into its images.
struct ScannerFacts {
    std::string manufacturer = "Maker", model = "Model 3T", station = "MR1", serial = "4711", coil = "Head 32";
};

// A consecutive run with the g-factor as snrmap records it, filled by hand: two inputs of two
// DICOM files each, two notices, three planes (the g-factor map last) and one region.
// `level` moves every figure, so runs differ.
inline RunRecord sample_run(const std::string& time, double level = 50, const ScannerFacts& facts = {})
{
    RunRecord run;
    run.program = "snrmap 0.1.0";
    run.method = "consecutive";
    run.time = time;
    run.gfactor = true;
    run.r = 2;
    run.scale_min = 60;
    run.scale_step = 20;
    run.output_folder = "/data/qa/" + time;
    run.inputs = {{"nopi", "/data/scan/nopi"}, {"pi", "/data/scan/pi"}};
    run.slice_counts = {{"nopi", 2}, {"pi", 2}};
    for (const char* role : {"nopi", "pi"}) {
        for (const char* name : {"IM0001", "IM0002"}) {
            InputFile file{role, name, {}};
            file.source.dicom = true;
            DicomAttributes& dicom = file.source.attributes;
            dicom.manufacturer = facts.manufacturer;
            dicom.model = facts.model;
            dicom.station_name = facts.station;
            dicom.device_serial_number = facts.serial;
            dicom.receive_coil = facts.coil;
            dicom.protocol_name = std::string("QA ") + role;
            dicom.series_description = "SNR series";
            dicom.acquisition_date = time.substr(0, 4) + time.substr(5, 2) + time.substr(8, 2);
            dicom.sop_instance_uid = "1.2.3." + time + "." + role + "." + name;
            run.files.push_back(file);
        }
    }
    run.notices = {"two makers", "two coils"};
    const auto plane = [&](const char* name, const char* item, ItemKind kind, double scale) {
        ResultPlane result{name, item, nullptr, kind, {}, {}, {}};
        result.window = {120, 240, 0};
        PlaneSummary& figures = result.figures;
        figures.pixels = 4000;
        figures.min = scale * level * 0.5;
        figures.max = scale * level * 1.5;
        figures.mean = scale * level;
        figures.p5 = scale * level * 0.6;
        figures.p50 = scale * level;
        figures.p95 = scale * level * 1.4;
        if (kind == ItemKind::GFactor) {
            figures.above_1_2 = 0.25;
            figures.above_1_5 = 0.0;
        }
        result.files = {{std::string(name) + ".png", std::string(64, 'a')},
                        {std::string(name) + ".npy", std::string(64, 'b')}};
        return result;
    };
    run.planes = {plane("snr_nopi", "PIなし SNR map", ItemKind::SnrMap, 1),
                  plane("snr_pi", "PIあり SNR map", ItemKind::SnrMap, 0.5),
                  plane("gfactor_map", "g-factor map", ItemKind::GFactor, 0.02)};
    RoiFigures roi{{100, 110, 20, 30}, {}};
    for (const ResultPlane& result : run.planes)
        roi.planes.push_back({600, result.figures.mean, 2.5, result.figures.min, result.figures.max});
    run.rois = {roi};
    return run;
}

}  // namespace snr::test
