// SPDX-License-Identifier: BSD-3-Clause
// An existing output folder replaced under kill -9, and the staging folders that killed runs
// leave behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "tests/support/temp_folder.h"
#include "tests/support/tool_output.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/output_folder.h"

namespace snr::snrmap {
namespace {

namespace fs = std::filesystem;

// The staging folders of an output in a folder.
std::vector<std::string> staging_folders(const std::string& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().find(".snrmap-") != std::string::npos)
            found.push_back(entry.path().string());
    }
    return found;
}

TEST(StagingFolders, ThoseOfNoLiveRunGoALiveRunsStay)
{
    test::TempFolder tmp;
    const std::string out = tmp.folder("out");
    test::write_bytes(out + "/a.txt", {'a'});
    const std::string stale = tmp.folder(".out.snrmap-AAAAAA"), live = tmp.folder(".other.snrmap-BBBBBB");
    const std::string inner = tmp.folder("out/.snrmap-CCCCCC"), aside = tmp.folder(".out.snrmap-DDDDDD/.previous");
    const std::string unlike = tmp.folder(".out.snrmap-EEE");  // no staging folder's name
    test::write_bytes(stale + "/snr_nopi.npy", {'s'});
    test::write_bytes(aside + "/b.txt", {'b'});  // an earlier entry a killed run had moved aside
    test::write_bytes(aside + "/a.txt", {'x'});  // and one whose place is taken
    const int lock = ::open(live.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    {
        StagedOutput output(out);
        output.write("c.txt", "c");
        EXPECT_FALSE(fs::exists(stale));
        EXPECT_FALSE(fs::exists(inner));
        EXPECT_TRUE(fs::exists(live));
        EXPECT_TRUE(fs::exists(unlike));
        output.commit();
    }
    ::close(lock);
    EXPECT_EQ(test::folder_entries(out), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(test::read_text(out + "/a.txt"), "a");
    EXPECT_EQ(test::folder_entries(tmp.path()),
              (std::vector<std::string>{".other.snrmap-BBBBBB", ".out.snrmap-EEE", "out"}));
}

// Two measurements of other files and planes replace each other in one folder while kill -9
// falls near the end of each, where the folder is swapped: it is always wholly one of them.
TEST(OutputSwap, AKillAtAnyMomentLeavesOneWholeMeasurement)
{
    test::TempFolder tmp;
    const std::string phantom = tmp.file("phantom"), out = tmp.file("runs/out");
    ASSERT_EQ(test::run_snrmap_here({"phantom", "--out", phantom, "--repeats", "4"}).code, 0);
    const std::vector<std::string> with_pi{"consecutive", phantom + "/nopi", phantom + "/pi"};
    const std::vector<std::string> without{"consecutive", phantom + "/pi"};

    // Each measurement's files but its summary (which holds the time), and what tells the
    // summaries apart.
    std::map<std::string, std::string> expected[2];
    for (int k = 0; k < 2; ++k) {
        std::vector<std::string> args = k == 0 ? with_pi : without;
        args.insert(args.end(), {"--out", tmp.file("ref" + std::to_string(k))});
        ASSERT_EQ(test::run_snrmap_here(args).code, 0);
        for (const auto& name : test::folder_entries(tmp.file("ref" + std::to_string(k))))
            expected[k][name] = name == "summary.json" ? "" : test::read_text(tmp.file("ref" + std::to_string(k)) + "/" + name);
    }
    ASSERT_NE(expected[0].size(), expected[1].size());
    const auto which = [&]() {
        std::map<std::string, std::string> found;
        for (const auto& name : test::folder_entries(out))
            found[name] = name == "summary.json" ? "" : test::read_text(out + "/" + name);
        const bool pi = test::read_text(out + "/summary.json").find(phantom + "/nopi") != std::string::npos;
        return found == expected[0] && pi ? 0 : found == expected[1] && !pi ? 1 : -1;
    };

    std::vector<std::string> first = with_pi;
    first.insert(first.end(), {"--out", out});
    ASSERT_EQ(test::run_snrmap_here(first).code, 0);
    std::mt19937 random(20260);
    int killed = 0;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    for (int round = 1; round <= 40 && std::chrono::steady_clock::now() < give_up; ++round) {
        std::vector<std::string> args = round % 2 == 0 ? with_pi : without;
        args.insert(args.end(), {"--out", out});
        const auto left = staging_folders(tmp.file("runs"));  // by the run killed before
        args.insert(args.begin(), SNRMAP_EXECUTABLE);
        const pid_t pid = test::start_program(args, "/dev/null");
        // Its summary is staged last: the swap follows within milliseconds.
        int status = 0;
        bool ended = false;
        for (int k = 0; k < 100000 && !(ended = ::waitpid(pid, &status, WNOHANG) == pid); ++k) {
            bool staged = false;
            for (const auto& folder : staging_folders(tmp.file("runs")))
                staged = staged || (std::find(left.begin(), left.end(), folder) == left.end() &&
                                    fs::exists(folder + "/summary.json"));
            if (staged)
                break;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        if (!ended) {
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            killed += WIFSIGNALED(status) ? 1 : 0;
        }
        ASSERT_NE(which(), -1) << "round " << round << ": " << ::testing::PrintToString(test::folder_entries(out));
    }
    EXPECT_GT(killed, 0);

    // The next run clears what the killed ones left.
    std::vector<std::string> last = without;
    last.insert(last.end(), {"--out", out});
    ASSERT_EQ(test::run_snrmap_here(last).code, 0);
    EXPECT_EQ(which(), 1);
    EXPECT_TRUE(staging_folders(tmp.file("runs")).empty());
}

}  // namespace
}  // namespace snr::snrmap
