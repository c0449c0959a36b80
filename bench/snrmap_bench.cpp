#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

#include "tests/support/temp_folder.h"
#include "tools/snrmap/output_folder.h"
#include "tools/snrmap/phantom.h"

extern char** environ;

namespace {

// One phantom of 64 + 64 slices and its pairs, made once for all runs.
const snr::test::TempFolder& phantom_folder()
{
    static const snr::test::TempFolder folder;
    static const bool written = [] {
        snr::snrmap::StagedOutput output(folder.file("phantom"));
        snr::snrmap::write_phantom(snr::snrmap::PhantomSettings{64, 1, 2.0}, output);
        output.commit();
        return true;
    }();
    (void)written;
    return folder;
}

// Starts the built snrmap and waits for it: the whole process, start-up and output included.
void run_snrmap(benchmark::State& state, std::vector<std::string> args)
{
    args.insert(args.begin(), SNRMAP_EXECUTABLE);
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        pid_t child = 0;
        if (::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("cannot start snrmap");
            return;
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
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
