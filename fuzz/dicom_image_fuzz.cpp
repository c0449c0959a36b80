// SPDX-License-Identifier: BSD-3-Clause
// The DICOM reader on files of any content: a slice or a refusal, never a crash, a hang or a
// sample beyond a double; the check and the read agree, and a refusal leaves the samples alone.
//
// Input: one byte of options, then the head of the file. Option 1 appends 131,072 pixel bytes
// (a pattern drawn from the options), so the Pixel Data of a head can be read; option 2 then
// appends a trailing padding element.

#include <cmath>

#include "core/slice_file.h"
#include "fuzz/fuzz_support.h"

using namespace snr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t options = input.byte();
    std::vector<std::uint8_t> bytes = input.rest();
    if (options & 1) {
        for (long long k = 0; k < slice_bytes; ++k)
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
        fuzz::check(source.dicom == check.source.dicom, "the check and the read disagree on the kind");
        if (!source.dicom)
            return 0;
        const long long offset = source.attributes.pixel_offset;
        fuzz::check(offset >= 132 && offset + slice_bytes <= static_cast<long long>(bytes.size()),
                    "pixel data at " + std::to_string(offset) + " of " + std::to_string(bytes.size()));
        for (double sample : samples) {
            if (!std::isfinite(sample))
                fuzz::fail("sample " + std::to_string(sample));
        }
        // Read again by the layout the check kept: the same samples, without a parse.
        Samples known;
        known.fill(0.25);
        const SliceSource again = read_slice(path, known, &check.layout);
        fuzz::check(known == samples && again.attributes.pixel_offset == offset, "the kept layout reads otherwise");
    } catch (const UnreadableImage& error) {
        fuzz::check(!check.refusal.empty() && error.what() == refusal_text(path, check.refusal),
                    std::string("refused as ") + error.what() + " after the check said " + check.refusal);
        fuzz::check(samples[0] == 0.5 && samples[plane_pixels - 1] == 0.5, "a refusal wrote samples");
    } catch (const IoError& error) {
        fuzz::check(error.code() == io_code::short_slice && !check.source.dicom && bytes.size() < slice_bytes,
                    std::string("unexpected ") + error.what());
    }
    return 0;
}
