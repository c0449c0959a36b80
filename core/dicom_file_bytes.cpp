// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_file_bytes.h"

#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcostrmb.h>

#include "core/errors.h"

namespace snr {

std::string dicom_file_bytes(DcmFileFormat& file, E_TransferSyntax xfer)
{
    if (file.validateMetaInfo(xfer).bad())
        throw Error("DICOM file meta group not made");
    std::string bytes(file.calcElementLength(xfer, EET_ExplicitLength) + 4096, '\0');
    DcmOutputBufferStream stream(bytes.data(), static_cast<offile_off_t>(bytes.size()));
    file.transferInit();
    const OFCondition written = file.write(stream, xfer, EET_ExplicitLength, nullptr);
    file.transferEnd();
    void* start = nullptr;
    offile_off_t length = 0;
    stream.flushBuffer(start, length);
    if (written.bad())
        throw Error(std::string("DICOM file not written: ") + written.text());
    bytes.resize(static_cast<std::size_t>(length));
    return bytes;
}

}  // namespace snr
