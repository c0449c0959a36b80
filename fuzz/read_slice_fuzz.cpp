// SPDX-License-Identifier: BSD-3-Clause
// The slice reader on raw files of any size and content: either the last whole 65,536
// records, or I/O error 131 for a file too short to hold them. DICOM images are
// dicom_image_fuzz's.
//
// Input: one byte choosing how the size is drawn, a 32-bit size, then the bytes that fill
// the file over and over.

#include "core/slice_file.h"
#include "fuzz/fuzz_support.h"

using namespace snr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Input input(data, size);
    const std::uint8_t mode = input.byte();
    const std::uint32_t drawn = input.word() | (static_cast<std::uint32_t>(input.word()) << 16);
    // Most sizes near the boundary of one slice, the rest anywhere up to three slices.
    const std::size_t file_size = (mode & 1) ? drawn % (3 * slice_bytes)
                                             : static_cast<std::size_t>(slice_bytes) - 512 + drawn % 1024;
    auto fill = input.rest();
    if (fill.empty())
        fill.push_back(0);
    std::vector<std::uint8_t> bytes(file_size);
    for (std::size_t i = 0; i < file_size; ++i)
        bytes[i] = static_cast<std::uint8_t>(fill[i % fill.size()] + (mode & 2 ? i / fill.size() : 0));

    const std::string path = fuzz::scratch().file("slice");
    fuzz::write_file(path, bytes);
    if (check_slice(path).source.dicom)
        return 0;
    Samples samples;
    samples.fill(0x1234);
    try {
        read_slice(path, samples);
    } catch (const IoError& error) {
        fuzz::check(error.code() == io_code::short_slice && file_size < slice_bytes,
                    std::string("unexpected ") + error.what() + " for " + std::to_string(file_size) + " bytes");
        return 0;
    }
    fuzz::check(file_size >= slice_bytes, "read a slice from " + std::to_string(file_size) + " bytes");
    const std::size_t start = 2 * (file_size / 2 - plane_pixels);
    for (int p = 0; p < plane_pixels; ++p) {
        const auto value = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(bytes[start + 2 * p] | (bytes[start + 2 * p + 1] << 8)));
        if (samples[p] != value)
            fuzz::fail("sample " + std::to_string(p) + " of " + std::to_string(file_size));
    }
    return 0;
}
