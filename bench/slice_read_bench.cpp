// SPDX-License-Identifier: BSD-3-Clause
#include <benchmark/benchmark.h>

#include <span>
#include <string>
#include <vector>

#include "core/slice_file.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"
#include "tools/snrmap/dicom_file.h"
#include "tools/snrmap/phantom.h"

namespace {

// One slice from the page cache: a raw file (tail rule), a phantom image (Pixel Data at the
// end) and a scanner-like image (rescale, padding after Pixel Data), that image compressed in
// each lossless syntax the reader decodes and as one frame of an enhanced image of 16; and the
// check that snr_consecutive makes of every file before a run.
struct Files {
    snr::test::TempFolder tmp;
    Files()
    {
        snr::snrmap::NormalNoise noise(1);
        const snr::StoredPixels pixels = snr::snrmap::phantom_image(noise, false, 2.0);
        snr::test::write_slice(tmp.file("raw"), pixels);
        const std::string phantom = snr::snrmap::dicom_bytes({"1.2", "1.2", "1.2", 1}, pixels);
        snr::test::write_bytes(tmp.file("phantom.dcm"), std::vector<std::uint8_t>(phantom.begin(), phantom.end()));
        snr::test::DicomOptions scanner{.rescale_slope = "2.468", .rescale_intercept = "-5053",
                                        .manufacturer = "Maker", .series_description = "SNR", .padding = 370};
        snr::test::write_dicom(tmp.file("scanner.dcm"), pixels, scanner);
        for (const auto& [name, syntax] : {std::pair{"jpeg.dcm", snr::test::jpeg_lossless},
                                           {"jpeg_ls.dcm", snr::test::jpeg_ls_lossless},
                                           {"rle.dcm", snr::test::rle_lossless},
                                           {"deflated.dcm", snr::test::deflated_little_endian}}) {
            scanner.transfer_syntax = syntax;
            snr::test::write_dicom(tmp.file(name), pixels, scanner);
        }
        std::vector<std::vector<snr::test::Element>> positions;
        for (int k = 0; k < 16; ++k)
            positions.push_back({{0x0020, 0x0032, "0\\0\\" + std::to_string(k)}});
        snr::test::write_dicom_frames(tmp.file("enhanced.dcm"), std::vector<snr::StoredPixels>(16, pixels),
                                      {.rescale_slope = "2.468", .rescale_intercept = "0", .enhanced = true, .frame_elements = positions});
    }
};

void read_file(benchmark::State& state, const char* name)
{
    Files files;
    const std::string path = files.tmp.file(name);
    snr::Samples samples;
    for (auto _ : state) {
        snr::read_slice(path, samples);
        benchmark::DoNotOptimize(samples.data());
    }
}
BENCHMARK_CAPTURE(read_file, raw, "raw")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(read_file, phantom_dicom, "phantom.dcm")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(read_file, scanner_dicom, "scanner.dcm")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(read_file, jpeg_lossless, "jpeg.dcm")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(read_file, jpeg_ls_lossless, "jpeg_ls.dcm")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(read_file, rle_lossless, "rle.dcm")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(read_file, deflated, "deflated.dcm")->Unit(benchmark::kMicrosecond);

// A frame of an enhanced image of 16, parsed, and by the layout its check kept (as the passes
// of snr_consecutive read it).
void read_frame(benchmark::State& state, bool kept)
{
    Files files;
    const std::string path = files.tmp.file("enhanced.dcm");
    const snr::SliceCheck check = snr::check_slice(path, snr::FrameRule::Several);
    snr::SliceValues values;
    snr::SliceSource source;
    int frames_read = 0;
    for (auto _ : state) {
        snr::read_slice_frames(path, 7, std::span(&values, 1), kept ? &check.layout : nullptr, std::span(&source, 1),
                               frames_read);
        benchmark::DoNotOptimize(values.stored.data());
    }
}
BENCHMARK_CAPTURE(read_frame, enhanced_parsed, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(read_frame, enhanced_kept_layout, true)->Unit(benchmark::kMicrosecond);

void check_file(benchmark::State& state, const char* name)
{
    Files files;
    const std::string path = files.tmp.file(name);
    for (auto _ : state)
        benchmark::DoNotOptimize(snr::check_slice(path).refusal.size());
}
BENCHMARK_CAPTURE(check_file, raw, "raw")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(check_file, scanner_dicom, "scanner.dcm")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(check_file, jpeg_lossless, "jpeg.dcm")->Unit(benchmark::kMicrosecond);

}  // namespace
