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

// The report of the output folder of a 64 + 64 run, made once: the whole process, the report
// module and Qt's start included.
void BM_snrmap_report_64_64(benchmark::State& state)
{
    const auto& tmp = phantom_folder();
    const std::string phantom = tmp.file("phantom");
    const std::string out = tmp.file("reported");
    static const bool measured = snr::bench::run_process(
        {SNRMAP_EXECUTABLE, "consecutive", phantom + "/nopi", phantom + "/pi", "--out", out, "--quiet", "--roi",
         "100,100,20,20"});
    if (!measured) {
        state.SkipWithError("the run to report failed");
        return;
    }
    run_snrmap(state, {"report", out});
}
BENCHMARK(BM_snrmap_report_64_64)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 64 + 64 run that also writes its report and the DICOM maps.
void BM_snrmap_consecutive_64_64_report_maps(benchmark::State& state)
{
    const auto& tmp = phantom_folder();
    const std::string phantom = tmp.file("phantom");
    const std::string out = tmp.file("consecutive_report");
    run_snrmap(state, {"consecutive", phantom + "/nopi", phantom + "/pi", "--out", out, "--quiet", "--report",
                       out + "/report.pdf", "--dicom-maps"});
}
BENCHMARK(BM_snrmap_consecutive_64_64_report_maps)->Unit(benchmark::kMillisecond)->UseRealTime();

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
