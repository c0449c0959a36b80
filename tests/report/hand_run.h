// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "core/legend.h"
#include "record/run_record.h"

namespace snr::test {

// A run filled in by hand, as a window or snrmap would leave it: a signal image and the three
// maps of a disc (each value differs from its neighbours), stamped with their legends; two
// DICOM inputs whose facts are all there (but the PI image's acquisition date and time), a
// notice and one ROI.
inline RunRecord hand_run()
{
    struct Store {
        std::vector<Plane> planes = std::vector<Plane>(4);
        std::array<LegendBoxValues, 4> boxes{};  // the maps' values under the box, before the stamp
    };
    const auto store = std::make_shared<Store>();
    std::vector<Plane>* planes = &store->planes;
    for (int row = 0; row < plane_side; ++row) {
        for (int column = 0; column < plane_side; ++column) {
            const int dy = row - 128, dx = column - 110;
            if (dx * dx + dy * dy > 90 * 90)
                continue;
            at((*planes)[0], row, column) = 900 + (row * 7 + column * 3) % 200;
            at((*planes)[1], row, column) = 40 + (row * 7 + column * 13) % 31 + 0.25;
            at((*planes)[2], row, column) = 20 + (row * 5 + column * 11) % 23 + 0.5;
            at((*planes)[3], row, column) = 95 + (row + 3 * column) % 90 + 0.125;
        }
    }
    for (int k = 1; k < 4; ++k) {
        store->boxes[k] = box_values((*planes)[k]);
        stamp_legend((*planes)[k], LegendSettings{60, 20});
    }

    RunRecord run;
    run.program = "snrmap 0.1.0";
    run.method = "consecutive";
    run.time = "2026-12-08T13:45:00+09:00";
    run.gfactor = true;
    run.inputs = {{"nopi", "/data/qa/nopi"}, {"pi", "/data/qa/pi"}};
    run.slice_counts = {{"nopi", 64}, {"pi", 64}};
    run.r = 2;
    run.scale_min = 60;
    run.scale_step = 20;
    run.notices = {"PIなしとPIありでTRが違います (500 / 510)"};
    for (const char* role : {"nopi", "pi"}) {
        InputFile file{role, std::string(role) + "_IM0001", {true, {}}};
        DicomAttributes& a = file.source.attributes;
        const bool pi = role[0] == 'p';
        a.sop_class_uid = "1.2.840.10008.5.1.4.1.1.4";
        a.sop_instance_uid = pi ? "1.2.826.0.1.3680043.2.1125.1.2" : "1.2.826.0.1.3680043.2.1125.1.1";
        a.series_instance_uid = pi ? "1.2.826.0.1.3680043.2.1125.3.2" : "1.2.826.0.1.3680043.2.1125.3.1";
        a.study_instance_uid = "1.2.826.0.1.3680043.2.1125.4";
        a.frame_of_reference_uid = "1.2.826.0.1.3680043.2.1125.5";
        a.manufacturer = "Maker";
        a.model = "Model One";
        a.station_name = "MRC1";
        a.magnetic_field_strength = "3";
        a.device_serial_number = "SN4711";
        a.receive_coil = "Head 32ch";
        a.series_number = pi ? "6" : "5";
        a.series_description = pi ? "SNR PI" : "SNR noPI";
        a.institution_name = "Klinik Süd";
        a.software_versions = "syngo MR E11\\N4_VE11E";
        a.sequence_name = "*se2d1";
        a.scanning_sequence = "SE";
        // The PI image's acquisition time is missing: its series' stands in.
        a.acquisition_date = pi ? "" : "20261208";
        a.acquisition_time = pi ? "" : "134500.25";
        a.series_date = "20261208";
        a.series_time = pi ? "135012" : "134455";
        a.repetition_time = pi ? "510" : "500";
        a.echo_time = "30";
        a.flip_angle = "90";
        a.number_of_averages = "2";
        a.pixel_bandwidth = "130";
        a.parallel_acquisition = pi ? "YES" : "NO";
        a.parallel_factor_in_plane = pi ? "2" : "1";
        a.rows = a.columns = 256;
        a.pixel_spacing = "0.9375\\0.9375";
        a.slice_thickness = "5";
        a.image_orientation = "1\\0\\0\\0\\1\\0";
        a.image_position = "-120\\-120\\10";
        a.patient_name = "QA^PHANTOM";
        a.patient_id = "PH001";
        a.patient_sex = "O";
        a.study_date = "20261208";
        a.study_time = "130000";
        a.study_id = "QA1";
        run.files.push_back(file);
    }
    run.region = phantom_region((*planes)[0]);
    const char* names[] = {"signal_nopi", "snr_nopi", "snr_pi", "gfactor_map"};
    const char* items[] = {"PIなし 信号値画像", "PIなし SNR map", "PIあり SNR map", "g-factor map"};
    const ItemKind kinds[] = {ItemKind::Other, ItemKind::SnrMap, ItemKind::SnrMap, ItemKind::GFactor};
    const DisplayWindow windows[] = {{549, 1098, 1099}, {160, 460, 300}, {160, 460, 300}, {200, 400, 300}};
    for (int k = 0; k < 4; ++k) {
        ResultPlane plane{names[k], items[k], &(*planes)[k], kinds[k], windows[k]};
        if (kinds[k] == ItemKind::SnrMap)
            plane.legend = LegendScale{60, 20};
        if (kinds[k] == ItemKind::GFactor)
            plane.legend = LegendScale{0.6, 0.2};
        if (kinds[k] != ItemKind::Other)
            plane.legend_box = &store->boxes[k];
        plane.figures = summarize_result(plane, run.region);
        run.planes.push_back(plane);
    }
    run.rois = measure_rois({Roi{100, 90, 20, 30}}, run.planes);
    run.store = std::shared_ptr<const std::vector<Plane>>(store, planes);  // the planes, holding the boxes too
    return run;
}

}  // namespace snr::test
