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
        if (file.source.dicom) {
            const DicomAttributes& dicom = file.source.attributes;
            json.field("transfer_syntax", dicom.transfer_syntax);
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

}  // namespace snr::snrmap
