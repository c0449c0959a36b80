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
    {&DicomAttributes::receive_coil, "receive_coil", "receive_coil", 1, "受信コイル"},
    {&DicomAttributes::series_number, "series_number", nullptr, 1, "シリーズ番号"},
    {&DicomAttributes::series_description, "series_description", "series_description", 1, "シリーズ記述"},
    {&DicomAttributes::protocol_name, "protocol_name", "protocol_name", 1},
    {&DicomAttributes::acquisition_date, "acquisition_date", "acquisition_date", 1, "撮像日", FactForm::Date},
    {&DicomAttributes::acquisition_time, "acquisition_time", nullptr, 1, "撮像時刻", FactForm::Time},
    {&DicomAttributes::magnetic_field_strength, "magnetic_field_strength", "magnetic_field_strength", 2, "静磁場強度", FactForm::Text, " T"},
    {&DicomAttributes::repetition_time, "repetition_time", nullptr, 1, "TR", FactForm::Text, " ms"},
    {&DicomAttributes::echo_time, "echo_time", nullptr, 1, "TE", FactForm::Text, " ms"},
    {&DicomAttributes::pixel_spacing, "pixel_spacing", nullptr, 1, "ピクセル間隔", FactForm::Spacing},
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
