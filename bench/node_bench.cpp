// SPDX-License-Identifier: BSD-3-Clause
// The node: its receiving rate (64 phantom images stored over loopback in one association, or
// four at once, each round, into a spool on the disk of the temporary folder, each instance
// flushed and renamed), and a whole study's road through `snrmap listen` from its last instance
// received to its results stored back in an archive.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <thread>

#include "node/spool.h"
#include "node/storage_scp.h"
#include "tests/node/node_test_support.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tool_output.h"
#include "tools/snrmap/snrmap_main.h"

namespace {

using Clock = std::chrono::steady_clock;

// The phantom's no-PI and PI images of `repeats` each, in name order.
std::vector<std::string> phantom_study(const std::string& folder, int repeats, int seed)
{
    std::ostringstream out, err;
    snr::snrmap::run_snrmap({"phantom", "--out", folder, "--repeats", std::to_string(repeats), "--seed",
                             std::to_string(seed)},
                            out, err, false);
    std::vector<std::string> files;
    for (const char* series : {"/nopi", "/pi"}) {
        std::vector<std::string> own = snr::test::files_under(folder + series);
        std::sort(own.begin(), own.end());
        files.insert(files.end(), own.begin(), own.end());
    }
    return files;
}

void ReceiveInstances(benchmark::State& state)
{
    ::setenv("TCP_NODELAY", "1", 0);  // as snrmap listen sets it
    snr::test::TempFolder tmp;
    std::vector<std::string> nopi = phantom_study(tmp.file("phantom"), 64, 1);
    nopi.resize(64);  // the no-PI images
    const int port = snr::test::free_loopback_port();
    snr::node::NodeLog log([](const std::string&) {});
    snr::node::Spool spool(tmp.file("spool"));
    snr::node::StorageScp scp(snr::node::ScpSettings{port, "SNRMAP", {}, 4}, spool, log);
    std::thread listening([&] { scp.run(); });
    snr::test::wait_for([&] { return snr::test::accepting(port); }, std::chrono::seconds(10));
    // The images dealt out to as many associations at once as the argument says.
    const auto senders = static_cast<std::size_t>(state.range(0));
    std::vector<std::vector<std::string>> shares(senders);
    for (std::size_t k = 0; k < nopi.size(); ++k)
        shares[k % senders].push_back(nopi[k]);
    for (auto _ : state) {
        std::vector<std::thread> sending;
        std::atomic<bool> stored = true;
        for (const auto& share : shares)
            sending.emplace_back([&, share] {
                if (!snr::test::store_files(port, share))
                    stored = false;
            });
        for (std::thread& sender : sending)
            sender.join();
        if (!stored) {
            state.SkipWithError("not stored");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(nopi.size()));
    scp.stop();
    listening.join();
}
BENCHMARK(ReceiveInstances)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// DCMTK's storescp as the archive the results go back to, stopped at the end.
class Archive {
public:
    Archive(const std::string& folder, const std::string& log) : port(snr::test::free_loopback_port()), folder_(folder)
    {
        std::filesystem::create_directories(folder);
        pid_ = snr::test::start_program({"/usr/bin/env", "-u", "DCMDICTPATH", "storescp", "-aet", "ARCHIVE", "-od",
                                         folder, std::to_string(port)},
                                        log);
        snr::test::wait_for([&] { return snr::test::accepting(port); }, std::chrono::seconds(10));
    }
    ~Archive()
    {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    std::size_t held() const { return snr::test::files_under(folder_).size(); }
    const int port;

private:
    std::string folder_;
    pid_t pid_ = -1;
};

// A 64 + 64 study sent to `snrmap listen` (a study timeout of 1 s, its results sent to the
// archive): the time from its last instance received to its five results (three maps, the
// report, the figures) stored in the archive, against 2 s, the timeout + 1 s. Each round is a
// new study (another seed); the first pays for loading the report's module.
void StudyToResultsStoredBack(benchmark::State& state)
{
    if (!snr::test::have_tool("storescp")) {
        state.SkipWithError("DCMTK's storescp is not installed");
        return;
    }
    snr::test::TempFolder tmp;
    Archive archive(tmp.file("archive"), tmp.file("archive.log"));
    const int port = snr::test::free_loopback_port();
    snr::test::NodeProcess node({"--port", std::to_string(port), "--spool", tmp.file("spool"), "--out", tmp.file("out"),
                                 "--study-timeout", "1", "--send-to", "ARCHIVE@127.0.0.1:" + std::to_string(archive.port)},
                                tmp.file("node.log"), port);
    double receiving = 0, slowest = 0;
    long long received = 0;
    int seed = 0;
    for (auto _ : state) {
        const std::string folder = tmp.file("phantom" + std::to_string(++seed));
        const std::vector<std::string> study = phantom_study(folder, 64, seed);
        const std::size_t before = archive.held();
        const auto start = Clock::now();
        if (!snr::test::store_files(port, study)) {
            state.SkipWithError("not stored");
            break;
        }
        const auto last = Clock::now();
        while (archive.held() < before + 5 && Clock::now() - last < std::chrono::seconds(60))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const auto back = Clock::now();
        if (archive.held() < before + 5) {
            state.SkipWithError(("no results back: " + node.log()).c_str());
            break;
        }
        const double seconds = std::chrono::duration<double>(back - last).count();
        state.SetIterationTime(seconds);
        slowest = std::max(slowest, seconds);
        receiving += std::chrono::duration<double>(last - start).count();
        received += static_cast<long long>(study.size());
        std::filesystem::remove_all(folder);
    }
    state.counters["instances_per_s"] = receiving > 0 ? static_cast<double>(received) / receiving : 0;
    state.counters["slowest_s"] = slowest;
    state.counters["limit_s"] = 2.0;
    node.stop();
}
BENCHMARK(StudyToResultsStoredBack)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace
