// SPDX-License-Identifier: BSD-3-Clause
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include "core/slice_file.h"
#include "tests/support/temp_folder.h"

namespace {

// A folder of 10,000 entries, as a scanner export of a long series may hold.
void BM_ListTenThousandSlices(benchmark::State& state)
{
    snr::test::TempFolder folder;
    for (int i = 0; i < 10000; ++i) {
        const int fd = ::open(folder.file("IM" + std::to_string((i * 7919) % 10000)).c_str(), O_WRONLY | O_CREAT, 0600);
        ::close(fd);
    }
    for (auto _ : state) {
        auto slices = snr::list_slices(folder.path());
        benchmark::DoNotOptimize(slices.data());
    }
}
BENCHMARK(BM_ListTenThousandSlices)->Unit(benchmark::kMillisecond);

}  // namespace
