// SPDX-License-Identifier: BSD-3-Clause
// The DICOM reader on files of any content: a slice or a refusal, never a crash, a hang or a
// sample beyond a double; the check and the read agree, and a refusal leaves the samples alone.
// The same for the frames of a file of several, each read as a slice.
//
// Input: one byte of options, then the head of the file. Option 1 appends 131,072 pixel bytes
// per frame (a pattern drawn from the options; bits 2-3 + 1 frames), so the Pixel Data of a
// head can be read; option 2 then appends a trailing padding element. Whole files (compressed
// ones, for instance) come with neither.

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/slice_file.h"
#include "fuzz/fuzz_support.h"

using namespace snr;

namespace {

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
