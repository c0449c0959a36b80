// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>
#include <vector>

#include "core/dicom_image.h"

namespace snr {

// How the report shows a fact of an input.
enum class FactForm { Text, Date, Time, Spacing };

// A text fact of a DICOM input as the record keeps it: its key in summary.json's "files", its
// column in the history's run_inputs (none where the history does not keep it) and the
// schema version that added that column, its caption in the report's table of inputs (none
// where the report does not show it), how it is shown there and its unit, and whether it is
// one of the facts that tell a scanner (a trend follows the runs of one scanner and coil).
struct InputFact {
    std::string DicomAttributes::*field;
    const char* key;
    const char* column = nullptr;
    int since = 1;
    const char* caption = nullptr;
    FactForm form = FactForm::Text;
    const char* unit = "";
    bool scanner = false;
};

// In the order summary.json and the report give them. Adding a fact: its element in the
// reader's table (core/dicom_facts.cpp), its field in DicomAttributes, and a row here; a new
// column takes the next schema version, whose migration adds it.
inline constexpr InputFact input_facts[] = {
    {&DicomAttributes::manufacturer, "manufacturer", "manufacturer", 1, "メーカー", FactForm::Text, "", true},
    {&DicomAttributes::model, "model", "model", 1, "装置モデル", FactForm::Text, "", true},
    {&DicomAttributes::station_name, "station_name", "station_name", 1, "ステーション名", FactForm::Text, "", true},
    {&DicomAttributes::device_serial_number, "device_serial_number", "device_serial_number", 1, "装置シリアル番号", FactForm::Text, "", true},
    {&DicomAttributes::institution_name, "institution_name", nullptr, 1, "施設名"},
    {&DicomAttributes::software_versions, "software_versions", nullptr, 1, "ソフトウェアバージョン"},
    {&DicomAttributes::receive_coil, "receive_coil", "receive_coil", 1, "受信コイル"},
    {&DicomAttributes::series_number, "series_number", nullptr, 1, "シリーズ番号"},
    {&DicomAttributes::series_description, "series_description", "series_description", 1, "シリーズ記述"},
    {&DicomAttributes::protocol_name, "protocol_name", "protocol_name", 1},
    {&DicomAttributes::sequence_name, "sequence_name", nullptr, 1, "シーケンス名"},
    {&DicomAttributes::scanning_sequence, "scanning_sequence", nullptr, 1, "スキャンシーケンス"},
    {&DicomAttributes::acquisition_date, "acquisition_date", "acquisition_date", 1, "撮像日", FactForm::Date},
    {&DicomAttributes::acquisition_time, "acquisition_time", nullptr, 1, "撮像時刻", FactForm::Time},
    // Where the acquisition's own date and time are missing, the report's time of the scan.
    {&DicomAttributes::series_date, "series_date"},
    {&DicomAttributes::series_time, "series_time"},
    {&DicomAttributes::study_date, "study_date"},
    {&DicomAttributes::study_time, "study_time"},
    {&DicomAttributes::magnetic_field_strength, "magnetic_field_strength", "magnetic_field_strength", 2, "静磁場強度", FactForm::Text, " T"},
    {&DicomAttributes::repetition_time, "repetition_time", nullptr, 1, "TR", FactForm::Text, " ms"},
    {&DicomAttributes::echo_time, "echo_time", nullptr, 1, "TE", FactForm::Text, " ms"},
    {&DicomAttributes::flip_angle, "flip_angle", nullptr, 1, "フリップ角", FactForm::Text, "°"},
    {&DicomAttributes::number_of_averages, "number_of_averages", nullptr, 1, "加算回数"},
    {&DicomAttributes::pixel_bandwidth, "pixel_bandwidth", nullptr, 1, "ピクセルバンド幅", FactForm::Text, " Hz/pixel"},
    {&DicomAttributes::slice_thickness, "slice_thickness", nullptr, 1, "スライス厚", FactForm::Text, " mm"},
    {&DicomAttributes::pixel_spacing, "pixel_spacing", nullptr, 1, "ピクセル間隔", FactForm::Spacing},
    // The report shows the R they give (reduction_factor.h) rather than each.
    {&DicomAttributes::parallel_acquisition, "parallel_acquisition"},
    {&DicomAttributes::parallel_factor_in_plane, "parallel_reduction_factor_in_plane"},
    {&DicomAttributes::parallel_factor_out_of_plane, "parallel_reduction_factor_out_of_plane"},
    {&DicomAttributes::maker_parallel_factors, "maker_parallel_factors"},
    {&DicomAttributes::rescale_slope, "rescale_slope"},
    {&DicomAttributes::rescale_intercept, "rescale_intercept"},
};

// The facts that tell a scanner, in their order above.
inline std::vector<const InputFact*> scanner_facts()
{
    std::vector<const InputFact*> facts;
    for (const InputFact& fact : input_facts) {
        if (fact.scanner)
            facts.push_back(&fact);
    }
    return facts;
}

}  // namespace snr
