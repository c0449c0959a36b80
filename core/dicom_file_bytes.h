// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <string>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcxfer.h>

class DcmFileFormat;

namespace snr {

// The bytes of a DICOM file in `xfer`, its meta group made to fit. Raises Error.
std::string dicom_file_bytes(DcmFileFormat& file, E_TransferSyntax xfer);

}  // namespace snr
