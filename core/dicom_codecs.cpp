// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_codecs.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <cstdlib>

#include "core/modules.h"

namespace {

void register_codecs()
{
    DJDecoderRegistration::registerCodecs();
    DJLSDecoderRegistration::registerCodecs();
    // Taken out of the toolkit's list before its end, which would otherwise lose them.
    std::atexit([] {
        DJDecoderRegistration::cleanup();
        DJLSDecoderRegistration::cleanup();
    });
}

const snr::CodecModule functions{register_codecs};

}  // namespace

extern "C" const snr::ModuleEntry* snr_maps_module()
{
    static const snr::ModuleEntry entry{SNR_VERSION, &functions};
    return &entry;
}
