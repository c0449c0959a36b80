// SPDX-License-Identifier: BSD-3-Clause
// The results history in SQLite: recording a run, and listing and following runs in a history
// of 10,000, in this process and as whole snrmap processes (module loading included).
#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <ctime>
#include <filesystem>

#include "bench/bench_support.h"
#include "history/history_database.h"
#include "tests/history/history_samples.h"

namespace {

using snr::history::HistoryDatabase;
using snr::history::parse_database_url;

// "YYYY-MM-DDTHH:MM:SS+09:00" of hour `k` after the start of 2000.
std::string hour_after_2000(long k)
{
    const std::time_t seconds = 946684800 + k * 3600;
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S+00:00", &utc);
    return text;
}

// Four scanners with two coils each, runs an hour apart, every figure a little different.
snr::RunRecord history_run(long k)
{
    snr::test::ScannerFacts facts;
    facts.station = "MR" + std::to_string(k % 4);
    facts.coil = k % 8 < 4 ? "Head 32" : "Body 18";
    return snr::test::sample_run(hour_after_2000(k), 50 + static_cast<double>(k % 97) / 10, facts);
}

const snr::test::TempFolder& folder()
{
    static const snr::test::TempFolder tmp;
    return tmp;
}

// The history of 10,000 runs, made once (it takes a while: each run is a transaction of its own).
const std::string& history_of_10000()
{
    static const std::string url = [] {
        const std::string url = "sqlite:" + folder().file("history.sqlite");
        HistoryDatabase database(parse_database_url(url));
        for (long k = 0; k < 10000; ++k)
            database.record(history_run(k));
        return url;
    }();
    return url;
}

// A copy of it that recording may grow.
std::string copy_of_history(const std::string& name)
{
    history_of_10000();
    std::filesystem::copy_file(folder().file("history.sqlite"), folder().file(name),
                               std::filesystem::copy_options::overwrite_existing);
    return "sqlite:" + folder().file(name);
}

void BM_history_open_and_record(benchmark::State& state)
{
    const auto location = parse_database_url(copy_of_history("record.sqlite"));
    const snr::RunRecord run = history_run(10001);
    for (auto _ : state) {
        HistoryDatabase database(location);
        benchmark::DoNotOptimize(database.record(run));
    }
}
BENCHMARK(BM_history_open_and_record)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_history_list_10000(benchmark::State& state)
{
    const auto location = parse_database_url(history_of_10000());
    for (auto _ : state) {
        HistoryDatabase database(location);
        benchmark::DoNotOptimize(database.runs({}).size());
    }
}
BENCHMARK(BM_history_list_10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_history_trend_10000(benchmark::State& state)
{
    const auto location = parse_database_url(history_of_10000());
    snr::history::TrendQuery query;
    query.item = "snr_nopi";
    query.tolerance = 5;
    for (auto _ : state) {
        HistoryDatabase database(location);
        benchmark::DoNotOptimize(database.trend(query).points.size());
    }
}
BENCHMARK(BM_history_trend_10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void run_snrmap(benchmark::State& state, std::vector<std::string> args)
{
    args.insert(args.begin(), SNRMAP_EXECUTABLE);
    for (auto _ : state) {
        if (!snr::bench::run_process(args, nullptr, true)) {
            state.SkipWithError("snrmap failed");
            return;
        }
    }
}

void BM_snrmap_history_10000(benchmark::State& state) { run_snrmap(state, {"history", "--db", history_of_10000()}); }
BENCHMARK(BM_snrmap_history_10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_snrmap_trend_10000(benchmark::State& state)
{
    run_snrmap(state, {"trend", "--item", "snr_nopi", "--db", history_of_10000()});
}
BENCHMARK(BM_snrmap_trend_10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_snrmap_consecutive_64_64_record(benchmark::State& state)
{
    const auto& tmp = snr::bench::phantom_folder();
    const std::string phantom = tmp.file("phantom");
    run_snrmap(state, {"consecutive", phantom + "/nopi", phantom + "/pi", "--out", tmp.file("consecutive"), "--quiet",
                       "--record", "--db", copy_of_history("snrmap.sqlite")});
}
BENCHMARK(BM_snrmap_consecutive_64_64_record)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);  // Qt loads its database drivers through it
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
