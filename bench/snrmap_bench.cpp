// SPDX-License-Identifier: BSD-3-Clause
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"

namespace {

using snr::bench::phantom_folder;

// Starts the built snrmap and waits for it: the whole process, start-up and output included.
void run_snrmap(benchmark::State& state, std::vector<std::string> args)
{
    args.insert(args.begin(), SNRMAP_EXECUTABLE);
    for (auto _ : state) {
        if (!snr::bench::run_process(args)) {
            state.SkipWithError("snrmap failed");
            return;
        }
    }
}

void BM_snrmap_consecutive_64_64(benchmark::State& state)
{
    const auto& tmp = phantom_folder();
    const std::string phantom = tmp.file("phantom");
    run_snrmap(state, {"consecutive", phantom + "/nopi", phantom + "/pi", "--out", tmp.file("consecutive"), "--quiet"});
}
BENCHMARK(BM_snrmap_consecutive_64_64)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_snrmap_submap_pairs(benchmark::State& state)
{
    const auto& tmp = phantom_folder();
    const std::string pairs = tmp.file("phantom") + "/pairs/";
    run_snrmap(state, {"submap", pairs + "nopi_1.dcm", pairs + "nopi_2.dcm", pairs + "pi_1.dcm", pairs + "pi_2.dcm",
                       "--out", tmp.file("submap")});
}
BENCHMARK(BM_snrmap_submap_pairs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_snrmap_phantom_16(benchmark::State& state)
{
    const auto& tmp = phantom_folder();
    run_snrmap(state, {"phantom", "--out", tmp.file("phantom16")});
}
BENCHMARK(BM_snrmap_phantom_16)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
