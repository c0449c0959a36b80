#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/slice_file.h"
#include "tests/support/temp_folder.h"
#include "tools/snrmap/phantom.h"
#include "tools/snrmap/dicom_file.h"

namespace {

// One slice read from the page cache: a raw file (tail rule) and a phantom DICOM image.
void read_repeatedly(benchmark::State& state, const std::string& path)
{
    snr::Samples samples;
    for (auto _ : state) {
        snr::read_slice(path, samples);
        benchmark::DoNotOptimize(samples.data());
    }
}

void BM_read_raw_slice(benchmark::State& state)
{
    snr::test::TempFolder tmp;
    snr::snrmap::NormalNoise noise(1);
    snr::test::write_slice(tmp.file("raw"), snr::snrmap::phantom_image(noise, false, 2.0));
    read_repeatedly(state, tmp.file("raw"));
}
BENCHMARK(BM_read_raw_slice)->Unit(benchmark::kMicrosecond);

void BM_read_dicom_slice(benchmark::State& state)
{
    snr::test::TempFolder tmp;
    snr::snrmap::NormalNoise noise(1);
    const std::string bytes = snr::snrmap::dicom_bytes({"1.2", "1.2", "1.2", 1}, snr::snrmap::phantom_image(noise, false, 2.0));
    snr::test::write_bytes(tmp.file("image.dcm"), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    read_repeatedly(state, tmp.file("image.dcm"));
}
BENCHMARK(BM_read_dicom_slice)->Unit(benchmark::kMicrosecond);

}  // namespace
