// SPDX-License-Identifier: BSD-3-Clause
#include "core/dicom_codecs.h"

#include <cstdlib>
#include <memory>
#include <vector>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmjpeg/djcparam.h>
#include <dcmtk/dcmjpeg/djdijg12.h>
#include <dcmtk/dcmjpeg/djdijg16.h>
#include <dcmtk/dcmjpeg/djdijg8.h>
#include <dcmtk/dcmjpeg/djutils.h>
#include <dcmtk/dcmjpls/djdecode.h>

#include "core/modules.h"

namespace {

void register_codecs()
{
    DJLSDecoderRegistration::registerCodecs();
    // Taken out of the toolkit's list before its end, which would otherwise lose it.
    std::atexit([] { DJLSDecoderRegistration::cleanup(); });
}

// A decoder of the IJG library that remembers whether it warned: libjpeg goes on past corrupt
// data (filling in what it could not decode) and only warns.
template <class Decompressor>
class Watched final : public Decompressor {
public:
    explicit Watched(const DJCodecParameter& parameter) : Decompressor(parameter, OFFalse) {}
    void emitMessage(int level) const override { warned_ = warned_ || level < 0; }
    bool warned() const { return warned_; }

private:
    mutable bool warned_ = false;
};

template <class Decompressor>
std::string decode_with(const std::uint8_t* stream, std::size_t size, Uint8* out, std::size_t out_bytes)
{
    static const DJCodecParameter parameter(ECC_lossyYCbCr, EDC_never, EUC_never, EPC_default);
    Watched<Decompressor> decoder(parameter);
    if (OFCondition started = decoder.init(); started.bad())
        return started.text();
    // The decoder reads, never writes, the stream it is handed.
    const OFCondition decoded = decoder.decode(const_cast<Uint8*>(stream), static_cast<Uint32>(size), out,
                                               static_cast<Uint32>(out_bytes), OFFalse);
    if (decoded == EJ_Suspension)
        return "画像の途中でデータが終わっています";
    if (decoded.bad())
        return decoded.text();
    if (decoder.warned())
        return "圧縮データが壊れています";
    return {};
}

std::string decode_jpeg(const std::uint8_t* stream, std::size_t size, int precision, std::uint16_t* words,
                        std::size_t samples)
{
    auto* out = reinterpret_cast<Uint8*>(words);
    if (precision > 12)
        return decode_with<DJDecompressIJG16Bit>(stream, size, out, samples * 2);
    if (precision > 8)
        return decode_with<DJDecompressIJG12Bit>(stream, size, out, samples * 2);
    // Eight bits or fewer come a byte a sample, widened here from the last.
    std::string failure = decode_with<DJDecompressIJG8Bit>(stream, size, out, samples);
    for (std::size_t k = samples; failure.empty() && k-- > 0;)
        words[k] = out[k];
    return failure;
}

const snr::CodecModule functions{register_codecs, decode_jpeg};

}  // namespace

extern "C" const snr::ModuleEntry* snr_maps_module()
{
    static const snr::ModuleEntry entry{SNR_VERSION, &functions};
    return &entry;
}
