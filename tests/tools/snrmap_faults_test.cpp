// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <map>
#include <sstream>
#include <sys/mount.h>

#include "tests/support/fault_injection.h"
#include "tests/support/temp_folder.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr::snrmap {
namespace {

namespace fs = std::filesystem;
using test::Call;

using Outcome = test::SnrmapOutcome;
constexpr auto run = test::run_snrmap_here;

// Every entry below a folder with its bytes ("/" for a folder), hidden ones included.
std::map<std::string, std::string> contents(const std::string& folder)
{
    std::map<std::string, std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).string();
        if (entry.is_directory()) {
            found[name] = "/";
        } else {
            const auto bytes = test::read_bytes(entry.path().string());
            found[name] = std::string(bytes.begin(), bytes.end());
        }
    }
    return found;
}

struct Fault {
    Call call;
    int error;
    const char* message;
};

std::string describe(const Fault& fault, int successes)
{
    return "call " + std::to_string(static_cast<int>(fault.call)) + ", errno " + std::to_string(fault.error) +
           ", after " + std::to_string(successes);
}

// A run of four planes into `out`, below `results`: either an existing folder with an earlier
// version of one output file, an earlier plane file this run does not make and a file of the
// user's, or a folder that does not exist yet, one level further down than anything that does.
class OutputFaults : public ::testing::Test {
protected:
    test::TempFolder tmp;
    std::string nopi = tmp.folder("nopi");
    std::string results = tmp.folder("results");

    void SetUp() override
    {
        test::write_slice(nopi + "/s1", 10);
        test::write_slice(nopi + "/s2", 14);
    }

    void empty_results()
    {
        for (const auto& entry : fs::directory_iterator(results))
            fs::remove_all(entry.path());
    }

    std::string existing_output()
    {
        empty_results();
        const std::string out = results + "/out";
        fs::create_directory(out);
        test::write_bytes(out + "/snr_nopi.npy", {'e', 'a', 'r', 'l', 'i', 'e', 'r'});
        test::write_bytes(out + "/gfactor_map.png", {'e'});  // of an earlier run with the g-factor
        test::write_bytes(out + "/mine.txt", {'m'});
        return out;
    }

    std::string new_output()
    {
        empty_results();
        return results + "/week/out";
    }

    std::vector<std::string> options;  // beside the folder and --out
    std::string report;                // the run's report, if any

    Outcome run_into(const std::string& out)
    {
        std::vector<std::string> args{"consecutive", nopi, "--out", out};
        args.insert(args.end(), options.begin(), options.end());
        return run(args);
    }

    // Fails the n-th call of the fault's kind for n = 1, 2, ... until a run gets through; each
    // failed run must leave everything as it was. Returns how many runs failed.
    int sweep(const Fault& fault, bool existing)
    {
        int failed = 0;
        for (int successes = 0; successes < 100; ++successes) {
            const std::string out = existing ? existing_output() : new_output();
            const auto before = contents(results);
            Outcome outcome{};
            {
                test::InjectFault inject(fault.call, fault.error, successes, 1);
                outcome = run_into(out);
                if (inject.failures() == 0) {
                    EXPECT_EQ(outcome.code, 0) << describe(fault, successes) << ": " << outcome.err;
                    return failed;
                }
            }
            if (outcome.code == 0)
                continue;  // a failure the run may ignore: the folder flush after the commit
            ++failed;
            EXPECT_EQ(outcome.code, 1) << describe(fault, successes);
            // About the output folder as given, the report's own file, or a slice it could not read.
            const std::string reason = std::string(": ") + fault.message + "\n";
            EXPECT_TRUE(outcome.err == "snrmap: " + out + reason || outcome.err == "snrmap: " + report + reason ||
                        (outcome.err.starts_with("snrmap: " + nopi + "/") && outcome.err.ends_with(reason)))
                << describe(fault, successes) << ": " << outcome.err;
            EXPECT_EQ(contents(results), before) << describe(fault, successes);
        }
        ADD_FAILURE() << "no run got through: " << describe(fault, 100);
        return failed;
    }
};

TEST_F(OutputFaults, AFailureAtAnyCallLeavesTheOutputAsItWasAndNothingBehind)
{
    const Fault faults[] = {
        {Call::Mkdtemp, EACCES, "ファイルへのアクセスが拒否されました"},  // read-only output folder
        {Call::Open, EROFS, "ファイルへのアクセスが拒否されました"},
        {Call::Write, ENOSPC, "ディスクがいっぱいです"},
        {Call::Write, 0, "ディスクがいっぱいです"},  // nothing more could be written
        {Call::Fsync, ENOSPC, "ディスクがいっぱいです"},
        {Call::Close, EIO, "I/O エラー (1117)"},
        {Call::Mkdir, ENOSPC, "ディスクがいっぱいです"},
        {Call::Rename, EACCES, "ファイルへのアクセスが拒否されました"},
        {Call::Exchange, EIO, "I/O エラー (1117)"},
        {Call::Link, EIO, "I/O エラー (1117)"},
    };
    for (const auto& fault : faults) {
        for (const bool existing : {true, false}) {
            // An existing folder gets its other entries linked into the staged one and is
            // swapped with it; a new one is made and renamed into place.
            const bool reached = existing ? fault.call != Call::Rename && fault.call != Call::Mkdir
                                          : fault.call != Call::Exchange && fault.call != Call::Link;
            if (!reached)
                continue;
            const int failed = sweep(fault, existing);
            EXPECT_GT(failed, 0) << describe(fault, 0) << (existing ? " into an existing folder" : " into a new one");
        }
    }
}

TEST_F(OutputFaults, DicomMapsAndAReportInTheOutputAreStagedLikeTheOtherFiles)
{
    report = results + "/out/report.pdf";
    options = {"--dicom-maps", "--report", report};
    const Fault faults[] = {
        {Call::Write, ENOSPC, "ディスクがいっぱいです"},
        {Call::Exchange, EACCES, "ファイルへのアクセスが拒否されました"},
    };
    for (const auto& fault : faults)
        EXPECT_GT(sweep(fault, true), 0) << describe(fault, 0);
    EXPECT_EQ(test::folder_entries(results + "/out").size(), 4u * 2 + 2 + 1 + 1 + 1);  // and mine.txt
}

TEST_F(OutputFaults, WithoutHardLinksTheEarlierFilesAreMovedAsideAndReplaced)
{
    const std::string out = existing_output();
    {
        test::InjectFault no_links(Call::Link, EPERM);
        ASSERT_EQ(run_into(out).code, 0);
    }
    EXPECT_EQ(test::folder_entries(out).size(), 4u * 2 + 3);
    EXPECT_FALSE(fs::exists(out + "/gfactor_map.png"));
    EXPECT_NO_THROW(test::read_npy_plane(out + "/snr_nopi.npy"));
    EXPECT_EQ(test::read_bytes(out + "/mine.txt"), std::vector<std::uint8_t>{'m'});
}

TEST_F(OutputFaults, RenamesThatKeepFailingLoseNoEarlierFile)
{
    // Every output name exists already; after the first replacement no rename works any more,
    // so the first earlier file cannot go back. It stays in the staging folder. (A name that
    // leaves no room for a staging folder beside it is staged inside and moved entry by entry.)
    const std::string out = results + "/" + std::string(NAME_MAX - 10, 'o');
    fs::create_directory(out);
    std::map<std::string, std::string> earlier;
    for (const char* plane : {"rep_nopi", "signal_nopi", "noise_nopi", "snr_nopi"}) {
        for (const char* suffix : {".npy", ".png"})
            earlier[std::string(plane) + suffix] = std::string("earlier ") + plane + suffix;
    }
    earlier["summary.json"] = "earlier summary";
    for (const auto& [name, bytes] : earlier)
        test::write_bytes(out + "/" + name, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    {
        test::InjectFault inject(Call::Rename, EIO, 1);
        const Outcome outcome = run_into(out);
        EXPECT_EQ(outcome.code, 1);
        EXPECT_EQ(outcome.err, "snrmap: " + out + ": I/O エラー (1117)\n");
    }
    std::multiset<std::string> kept;
    for (const auto& [name, bytes] : contents(out))
        kept.insert(bytes);
    for (const auto& [name, bytes] : earlier)
        EXPECT_GE(kept.count(bytes), 1u) << name;
}

TEST_F(OutputFaults, ARealFullDiskAndARealReadOnlyFolder)
{
    // The four planes take 2 MB: the second file no longer fits.
    const auto full = test::on_small_file_system(results, "size=1m", [&] {
        const std::string out = existing_output();
        const auto before = contents(results);
        const Outcome outcome = run_into(out);
        const std::string named = "snrmap: " + out + ": ";
        const std::string err = outcome.err.starts_with(named) ? outcome.err.substr(named.size()) : outcome.err;
        return std::to_string(outcome.code) + " " + err + (contents(results) == before ? "intact" : "changed");
    });
    if (!full)
        GTEST_SKIP() << "no private mount namespace here; the injected faults cover these cases";
    EXPECT_EQ(*full, "1 ディスクがいっぱいです\nintact");

    const auto read_only = test::on_small_file_system(results, "size=1m", [&] {
        const std::string out = existing_output();
        const auto before = contents(results);
        if (::mount(nullptr, results.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            return std::string("remount failed");
        std::string report;
        for (const std::string& target : {out, results + "/new", results + "/new/deeper"}) {
            const Outcome outcome = run_into(target);
            const std::string named = "snrmap: " + target + ": ";
            report += std::to_string(outcome.code) + " " +
                      (outcome.err.starts_with(named) ? outcome.err.substr(named.size()) : outcome.err);
        }
        return report + (contents(results) == before ? "intact" : "changed");
    });
    ASSERT_TRUE(read_only);
    const std::string denied = "1 ファイルへのアクセスが拒否されました\n";
    EXPECT_EQ(*read_only, denied + denied + denied + "intact");
}

}  // namespace
}  // namespace snr::snrmap
