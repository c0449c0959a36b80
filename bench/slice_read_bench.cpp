// SPDX-License-Identifier: BSD-3-Clause
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/slice_file.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"
#include "tools/snrmap/dicom_file.h"
#include "tools/snrmap/phantom.h"

namespace {

// One slice from the page cache: a raw file (tail rule), a phantom image (Pixel Data at the
// end) and a scanner-like image (rescale, padding after Pixel Data); and the check that
// snr_consecutive makes of every file before a run.
struct Files {
    snr::test::TempFolder tmp;
    Files()
    {
        snr::snrmap::NormalNoise noise(1);
        const snr::StoredPixels pixels = snr::snrmap::phantom_image(noise, false, 2.0);
        snr::test::write_slice(tmp.file("raw"), pixels);
        const std::string phantom = snr::snrmap::dicom_bytes({"1.2", "1.2", "1.2", 1}, pixels);
        snr::test::write_bytes(tmp.file("phantom.dcm"), std::vector<std::uint8_t>(phantom.begin(), phantom.end()));
        snr::test::write_dicom(tmp.file("scanner.dcm"), pixels,
                               {.rescale_slope = "2.468", .rescale_intercept = "-5053", .manufacturer = "Maker",
                                .series_description = "SNR", .padding = 370});
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

void check_file(benchmark::State& state, const char* name)
{
    Files files;
    const std::string path = files.tmp.file(name);
    for (auto _ : state)
        benchmark::DoNotOptimize(snr::check_slice(path).refusal.size());
}
BENCHMARK_CAPTURE(check_file, raw, "raw")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(check_file, scanner_dicom, "scanner.dcm")->Unit(benchmark::kMicrosecond);

}  // namespace
