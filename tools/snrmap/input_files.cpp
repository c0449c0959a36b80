// SPDX-License-Identifier: BSD-3-Clause
#include "tools/snrmap/input_files.h"

#include "tools/snrmap/json_text.h"

namespace snr::snrmap {

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
            json.field("manufacturer", dicom.manufacturer);
            json.field("model", dicom.model);
            json.field("series_number", dicom.series_number);
            json.field("series_description", dicom.series_description);
            json.field("rescale_slope", dicom.rescale_slope);
            json.field("rescale_intercept", dicom.rescale_intercept);
            json.field("pixel_offset", dicom.pixel_offset);
        }
        json.end_object();
        if (k + 1 == files.size() || files[k + 1].role != file.role)
            json.end_object();
    }
    json.end_object();
}

void warn_about_inputs(std::ostream& err, const std::vector<InputFile>& files, const std::vector<std::string>& notices)
{
    for (const InputFile& file : files) {
        if (file.source.dicm_marker)
            err << "snrmap: " << file.path
                << ": warning: DICMの印がありますがDICOMのデータセットが見つからないため、最後の131,072バイトを画素として"
                   "読みました\n";
    }
    for (const std::string& notice : notices)
        err << "snrmap: warning: " << notice << "\n";
    err << std::flush;
}

}  // namespace snr::snrmap
