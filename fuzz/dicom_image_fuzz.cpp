// SPDX-License-Identifier: BSD-3-Clause
// The DICOM reader on files of any content: a slice or a refusal, never a crash, a hang or a
// sample beyond a double; the check and the read agree, and a refusal leaves the samples alone.
// The same for the frames of a file of several, each read as a slice. A compressed slice that
// is read is what DCMTK's decoders make of the whole file, without a warning.
//
// Input: one byte of options, then the head of the file. Option 1 appends 131,072 pixel bytes
// per frame (a pattern drawn from the options; bits 2-3 + 1 frames), so the Pixel Data of a
// head can be read; option 2 then appends a trailing padding element. Whole files (compressed
// ones, for instance) come with neither.

#include <algorithm>
#include <cmath>
#include <memory>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcrledrg.h>
#include <dcmtk/dcmjpeg/djdecode.h>
#include <dcmtk/dcmjpls/djdecode.h>
#include <dcmtk/oflog/oflog.h>
#include <dcmtk/oflog/spi/logevent.h>

#include "core/dicom_syntax.h"
#include "core/slice_file.h"
#include "fuzz/fuzz_support.h"

using namespace snr;

namespace {

// Counts what DCMTK's decoders warn of.
class Warnings final : public dcmtk::log4cplus::Appender {
public:
    void close() override {}
    int count = 0;

protected:
    void append(const dcmtk::log4cplus::spi::InternalLoggingEvent& event) override
    {
        count += event.getLogLevel() >= OFLogger::WARN_LOG_LEVEL;
    }
};

Warnings& decoder_warnings()
{
    static Warnings* const warnings = [] {
        DJDecoderRegistration::registerCodecs();
        DJLSDecoderRegistration::registerCodecs();
        DcmRLEDecoderRegistration::registerCodecs();
        auto* appender = new Warnings;
        const dcmtk::log4cplus::SharedAppenderPtr shared(appender);
        for (const char* name : {"dcmtk.dcmjpeg", "dcmtk.dcmjpls", "dcmtk.dcmdata"}) {
            OFLogger logger = OFLog::getLogger(name);
            logger.setLogLevel(OFLogger::WARN_LOG_LEVEL);
            logger.setAdditivity(false);
            logger.addAppender(shared);
        }
        return appender;
    }();
    return *warnings;
}

// A compressed frame that the reader accepted decodes to the same values through DCMTK's own
// decoders, decoding the whole file, without a word of warning.
void compare_with_dcmtk(const std::string& path, const std::string& syntax, const SliceValues& values)
{
    Warnings& warnings = decoder_warnings();
    // Where DCMTK cannot parse the file as the reader did (a damaged meta group), it is no judge.
    DcmFileFormat file;
    if (file.loadFile(path.c_str()).bad() || file.getDataset()->getOriginalXfer() != DcmXfer(syntax.c_str()).getXfer())
        return;
    DcmDataset& data = *file.getDataset();
    warnings.count = 0;
    const OFCondition decoded = data.chooseRepresentation(EXS_LittleEndianExplicit, nullptr);
    fuzz::check(decoded.good(), std::string("the reader accepted a frame DCMTK cannot decode: ") + decoded.text());
    fuzz::check(warnings.count == 0, "the reader accepted a frame DCMTK warns of");
    const Uint16* words = nullptr;
    Uint16 bits_stored = 16, representation = 1;
    data.findAndGetUint16(DCM_BitsStored, bits_stored);
    data.findAndGetUint16(DCM_PixelRepresentation, representation);
    unsigned long count = 0;
    fuzz::check(data.findAndGetUint16Array(DCM_PixelData, words, &count).good() && count >= plane_pixels,
                "DCMTK decoded fewer words than a frame");
    const int mask = (1 << bits_stored) - 1, sign = representation == 1 ? 1 << (bits_stored - 1) : 0;
    for (int p = 0; p < plane_pixels; ++p) {
        if (((words[p] & mask) ^ sign) - sign != values.stored[p])
            fuzz::fail("a compressed frame reads otherwise than through DCMTK at " + std::to_string(p));
    }
}

bool finite(const Samples& samples)
{
    bool all = true;
    for (double sample : samples)
        all &= std::isfinite(sample);
    return all;
}

// Every frame where a file of several is taken: what the check accepts reads whole, twice
// alike (parsed, and by the layout the check kept); what it refuses, the reading refuses.
void read_every_frame(const std::string& path)
{
    const SliceCheck check = check_slice(path, FrameRule::Several);
    // A refused file is read as far as it says it reaches.
    const long long frames = check.refusal.empty() ? std::max<long long>(static_cast<long long>(check.frames.size()), 1)
                                                   : check.source.attributes.frames;
    if (frames < 1 || frames > 16)
        return;
    std::vector<SliceValues> values(static_cast<std::size_t>(frames)), again(values.size());
    std::vector<SliceSource> sources(values.size());
    int frames_read = 0;
    try {
        read_slice_frames(path, 0, values, nullptr, sources, frames_read);
        fuzz::check(check.refusal.empty(), "read frames the check refused: " + check.refusal);
        read_slice_frames(path, 0, again, &check.layout, sources, frames_read);
        for (std::size_t k = 0; k < values.size(); ++k) {
            fuzz::check(values[k].stored == again[k].stored && values[k].slope == again[k].slope &&
                            values[k].intercept == again[k].intercept,
                        "a frame reads otherwise by the kept layout");
            Samples samples;
            make_samples(values[k], samples);
            if (!finite(samples))
                fuzz::fail("a frame's sample is not finite");
        }
    } catch (const UnreadableImage& error) {
        fuzz::check(!check.refusal.empty() && error.what() == refusal_text(path, check.refusal),
                    std::string("frames refused as ") + error.what() + " after the check said " + check.refusal);
    } catch (const IoError& error) {
        fuzz::check(error.code() == io_code::short_slice && !check.source.dicom,
                    std::string("unexpected ") + error.what());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t options = input.byte();
    std::vector<std::uint8_t> bytes = input.rest();
    if (options & 1) {
        const long long frames = 1 + (options >> 2 & 3);
        for (long long k = 0; k < frames * slice_bytes; ++k)
            bytes.push_back(static_cast<std::uint8_t>(k * (options | 1) >> (options >> 5)));
    }
    if (options & 2) {
        const std::uint8_t padding[] = {0xFC, 0xFF, 0xFC, 0xFF, 'O', 'B', 0, 0, 4, 0, 0, 0, 0, 0, 0, 0};
        bytes.insert(bytes.end(), std::begin(padding), std::end(padding));
    }
    const std::string path = fuzz::scratch().file("image");
    fuzz::write_file(path, bytes);

    const SliceCheck check = check_slice(path);
    Samples samples;
    samples.fill(0.5);
    try {
        const SliceSource source = read_slice(path, samples);
        fuzz::check(check.refusal.empty(), "read what the check refused: " + check.refusal);
        fuzz::check(source.dicom == check.source.dicom && source.dicm_marker == check.source.dicm_marker,
                    "the check and the read disagree on the kind");
        if (source.dicom) {
            // -1 where the pixels are compressed or deflated.
            const long long offset = source.attributes.pixel_offset;
            fuzz::check(offset == -1 || (offset >= 132 && offset + slice_bytes <= static_cast<long long>(bytes.size())),
                        "pixel data at " + std::to_string(offset) + " of " + std::to_string(bytes.size()));
            if (!finite(samples))
                fuzz::fail("a sample is not finite");
            // Read again by the layout the check kept: the same samples, without a parse.
            Samples known;
            known.fill(0.25);
            const SliceSource again = read_slice(path, known, &check.layout);
            fuzz::check(known == samples && again.attributes.pixel_offset == offset, "the kept layout reads otherwise");
            if (transfer_syntax(source.attributes.transfer_syntax).use == SyntaxUse::Decoded) {
                auto values = std::make_unique<SliceValues>();
                read_slice_values(path, *values);
                compare_with_dcmtk(path, source.attributes.transfer_syntax, *values);
            }
        }
    } catch (const UnreadableImage& error) {
        fuzz::check(!check.refusal.empty() && error.what() == refusal_text(path, check.refusal),
                    std::string("refused as ") + error.what() + " after the check said " + check.refusal);
        fuzz::check(samples[0] == 0.5 && samples[plane_pixels - 1] == 0.5, "a refusal wrote samples");
    } catch (const IoError& error) {
        fuzz::check(error.code() == io_code::short_slice && !check.source.dicom && bytes.size() < slice_bytes,
                    std::string("unexpected ") + error.what());
    }
    read_every_frame(path);
    return 0;
}
