// SPDX-License-Identifier: BSD-3-Clause
// snrmap scan: the index of an archive of small synthetic files, and a whole archive planned,
// measured and recorded. SNR_BENCH_ARCHIVE=FOLDER writes the archive there and keeps it (for
// bench/compare-pydicom).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "bench/bench_support.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"
#include "tools/snrmap/scan_groups.h"
#include "tools/snrmap/scan_index.h"
#include "tools/snrmap/scan_plan.h"

namespace {

using namespace snr;

// `studies` studies of 16 no-PI and 16 PI repeats each, the repeats two series of 8, under
// nested folders; each image 256 x 256 (some 130 kB).
std::string write_archive(const std::string& root, int studies)
{
    if (std::filesystem::exists(root + "/done"))
        return root;
    for (int study = 0; study < studies; ++study) {
        for (int k = 0; k < 32; ++k) {
            const bool pi = k >= 16;
            test::DicomOptions options;
            options.manufacturer = "Maker";
            options.model = "Model 3T";
            options.series_number = std::to_string(1 + k / 8);
            options.series_description = pi ? "SNR PI" : "SNR";
            options.sop_instance_uid = "1.2.3." + std::to_string(study) + "." + std::to_string(k);
            options.elements = {{0x0020, 0x000D, "1.2.3." + std::to_string(study)},
                                {0x0008, 0x1010, "STATION" + std::to_string(study % 4)},
                                {0x0008, 0x0020, "2024" + std::to_string(1001 + study % 200)},
                                {0x0018, 0x1250, "Head 32"},
                                {0x0018, 0x0080, "500"},
                                {0x0018, 0x0081, "15"},
                                {0x0028, 0x0030, "1\\1"},
                                {0x0020, 0x0013, std::to_string(1 + k % 16)},
                                {0x0018, 0x9077, pi ? "YES" : "NO"},
                                {0x0018, 0x9069, pi ? "2" : "1"}};
            const std::string folder = root + "/" + std::to_string(study % 10) + "/" + std::to_string(study);
            std::filesystem::create_directories(folder);
            test::write_dicom(folder + "/" + std::to_string((k * 7919) % 101),
                              test::filled(static_cast<std::int16_t>(100 + (k * 37) % 11)), options);
        }
    }
    std::filesystem::create_directories(root + "/done");
    return root;
}

const std::string& archive(int studies)
{
    static test::TempFolder own;
    static std::string root;
    if (root.empty()) {
        const char* kept = std::getenv("SNR_BENCH_ARCHIVE");
        root = write_archive(kept != nullptr && *kept != '\0' ? kept : own.file("archive"), studies);
    }
    return root;
}

// Headers of 3,200 files (warm cache after the first pass) on two threads: files a second.
void BM_IndexArchive(benchmark::State& state)
{
    const std::string& root = archive(100);
    long long files = 0;
    for (auto _ : state) {
        const scan::ArchiveIndex index = scan::index_archive({root});
        files += index.files_seen;
        benchmark::DoNotOptimize(index.images.data());
    }
    state.counters["files_per_s"] = benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IndexArchive)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GroupAndPlan(benchmark::State& state)
{
    const scan::ArchiveIndex index = scan::index_archive({archive(100)});
    for (auto _ : state) {
        const auto groups = scan::group_images(index, {});
        const scan::ScanPlan plan = scan::plan_runs(index, groups);
        benchmark::DoNotOptimize(plan.runs.data());
    }
}
BENCHMARK(BM_GroupAndPlan)->Unit(benchmark::kMillisecond);

// The whole command on the archive as snrmap processes: plan only, measured, measured and
// recorded into a new SQLite history. The differences split the time.
void BM_ScanEndToEnd(benchmark::State& state)
{
    const std::string& root = archive(100);
    test::TempFolder tmp;
    const auto seconds = [](std::vector<std::string> args) {
        const auto start = std::chrono::steady_clock::now();
        if (!bench::run_process(std::move(args), nullptr, true))
            throw std::runtime_error("snrmap scan failed");
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double plan = 0, measure = 0, record = 0;
    int round = 0;
    for (auto _ : state) {
        const std::string n = std::to_string(round++);
        plan = seconds({SNRMAP_EXECUTABLE, "scan", root, "--dry-run", "--quiet"});
        measure = seconds({SNRMAP_EXECUTABLE, "scan", root, "--out", tmp.file("plain" + n), "--quiet"});
        record = seconds({SNRMAP_EXECUTABLE, "scan", root, "--out", tmp.file("recorded" + n), "--quiet", "--record",
                          "--db", "sqlite:" + tmp.file("history" + n + ".sqlite")});
    }
    state.counters["index_and_plan_s"] = plan;
    state.counters["runs_s"] = measure - plan;
    state.counters["record_s"] = record - measure;
    state.counters["total_s"] = record;
}
BENCHMARK(BM_ScanEndToEnd)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
