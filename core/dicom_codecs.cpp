// SPDX-License-Identifier: BSD-3-Clause
// DCMTK's JPEG and JPEG-LS decoders, as a module that the reader loads at its first file that
// needs them: linking them into the programs would load their libraries (and dcmimage's)
// at every start, a few milliseconds that most runs never use.
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) void snr_register_dicom_codecs()
{
    DJDecoderRegistration::registerCodecs();
    DJLSDecoderRegistration::registerCodecs();
    // Taken out of the toolkit's list before its end, which would otherwise lose them.
    std::atexit([] {
        DJDecoderRegistration::cleanup();
        DJLSDecoderRegistration::cleanup();
    });
}
