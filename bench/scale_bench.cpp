// SPDX-License-Identifier: BSD-3-Clause
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <unistd.h>

#include "bench/bench_support.h"
#include "tools/snrmap/dicom_file.h"

namespace {

constexpr int most_slices = 1000;

// N + N noisy phantom slices as DICOM files (Pixel Data last), written once for all sizes: one
// image's header, each file with pixels of its own, straight to the page cache.
struct Series {
    snr::test::TempFolder tmp;
    Series()
    {
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0.0, 20.0);
        snr::StoredPixels pixels;
        for (auto& value : pixels)
            value = static_cast<std::int16_t>(1000 + noise(random));
        const std::string image = snr::snrmap::dicom_bytes({"2.25.7", "2.25.8", "2.25.9", 1}, pixels);
        const std::size_t header = image.size() - sizeof pixels;
        std::string bytes = image;
        for (const char* half : {"nopi", "pi"}) {
            const std::string all = tmp.folder(std::string(half) + std::to_string(most_slices));
            for (int k = 0; k < most_slices; ++k) {
                // A different slice each time: the pixels rotated by k places.
                const std::size_t shift = (2 * static_cast<std::size_t>(k) * 97) % sizeof pixels;
                std::memcpy(bytes.data() + header, reinterpret_cast<const char*>(pixels.data()) + shift,
                            sizeof pixels - shift);
                std::memcpy(bytes.data() + header + sizeof pixels - shift, pixels.data(), shift);
                const int fd = ::open(name(all, k).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
                    std::abort();
                ::close(fd);
            }
            // The smaller series are the first slices of the largest, linked.
            for (int n : {250, 500}) {
                const std::string some = tmp.folder(std::string(half) + std::to_string(n));
                for (int k = 0; k < n; ++k) {
                    if (::link(name(all, k).c_str(), name(some, k).c_str()) != 0)
                        std::abort();
                }
            }
        }
        ::sync();  // the runs' own flushes should not wait behind these 256 MiB
    }
    static std::string name(const std::string& folder, int k) { return folder + "/" + std::to_string(100000 + k); }
};

const Series& series()
{
    static const Series written;
    return written;
}

// The whole snrmap process on N + N slices; its peak resident memory from the kernel's
// account of the finished child.
void BM_snrmap_consecutive_scale(benchmark::State& state)
{
    const auto& tmp = series().tmp;
    const std::string n = std::to_string(state.range(0));
    long peak_kib = 0;
    for (auto _ : state) {
        rusage usage{};
        if (!snr::bench::run_process({SNRMAP_EXECUTABLE, "consecutive", tmp.file("nopi" + n), tmp.file("pi" + n),
                                      "--out", tmp.file("out"), "--quiet"},
                                     &usage)) {
            state.SkipWithError("snrmap failed");
            return;
        }
        peak_kib = std::max(peak_kib, usage.ru_maxrss);
    }
    state.counters["peak_MiB"] = static_cast<double>(peak_kib) / 1024;
    state.counters["slices"] = static_cast<double>(2 * state.range(0));
    state.counters["per_slice"] =
        benchmark::Counter(static_cast<double>(2 * state.range(0)), benchmark::Counter::kIsIterationInvariantRate |
                                                                        benchmark::Counter::kInvert);
}
BENCHMARK(BM_snrmap_consecutive_scale)->Arg(250)->Arg(500)->Arg(most_slices)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
