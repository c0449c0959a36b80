// SPDX-License-Identifier: BSD-3-Clause
// The node's parts in this process, where the system calls can be made to fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <sys/wait.h>
#include <thread>

#include "core/errors.h"

#include "node/outbox.h"
#include "node/quiet_studies.h"
#include "node/spool.h"
#include "node/storage_scp.h"
#include "tests/node/node_test_support.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/fault_injection.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tool_output.h"

namespace snr::test {
namespace {

using namespace std::chrono_literals;

struct Lines {
    std::mutex mutex;
    std::vector<std::string> lines;
    node::NodeLog log{[this](const std::string& line) {
        const std::lock_guard lock(mutex);
        lines.push_back(line);
    }};
    bool has(const std::string& text)
    {
        const std::lock_guard lock(mutex);
        for (const std::string& line : lines) {
            if (line.find(text) != std::string::npos)
                return true;
        }
        return false;
    }
};

// A storage SCP on its own thread, stopped and joined at the end.
struct RunningScp {
    RunningScp(const std::string& spool_folder, int port, node::NodeLog& log, int associations = 4)
        : spool(spool_folder),
          scp(node::ScpSettings{port, "SNRMAP", {}, associations}, spool, log),
          thread([this] { scp.run(); })
    {
    }
    ~RunningScp()
    {
        scp.stop();
        thread.join();
    }
    node::Spool spool;
    node::StorageScp scp;
    std::thread thread;
};

std::string image(const TempFolder& tmp, const std::string& name, int frames = 1)
{
    DicomOptions options;
    options.enhanced = frames > 1;
    options.elements = {{0x0008, 0x0018, "1.2.3.4." + std::to_string(frames)},
                        {0x0020, 0x000D, "1.2.3"},
                        {0x0020, 0x000E, "1.2.3.4"}};
    write_dicom_frames(tmp.file(name), std::vector<StoredPixels>(static_cast<std::size_t>(frames), filled(7)), options);
    return tmp.file(name);
}

std::string store(int port, const std::string& file)
{
    return tool_output("env -u DCMDICTPATH timeout 30 storescu -v -aec SNRMAP 127.0.0.1 " + std::to_string(port) + " " + quoted(file)).text;
}

class NodeParts : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!have_tool("storescu"))
            GTEST_SKIP() << "DCMTK's storescu is not installed";
    }
    TempFolder tmp;
    Lines lines;
};

TEST_F(NodeParts, AFullDiskIsOutOfResourcesAndLeavesNothing)
{
    const std::string file = image(tmp, "one.dcm");
    const int port = free_loopback_port();
    RunningScp node(tmp.file("spool"), port, lines.log);
    {
        InjectFault full(Call::Write, ENOSPC);
        const std::string said = store(port, file);
        EXPECT_NE(said.find("Refused: OutOfResources"), std::string::npos) << said;
        EXPECT_TRUE(files_under(tmp.file("spool")).empty());
    }
    {
        InjectFault full(Call::Fsync, EIO);  // the rename's folder not flushed: not stored either
        store(port, file);
        EXPECT_TRUE(files_under(tmp.file("spool")).empty());
    }
    store(port, file);
    EXPECT_EQ(files_under(tmp.file("spool")).size(), 1u);
    EXPECT_TRUE(wait_for([&] { return lines.has("1 stored, 0 refused"); }, 5s));
    EXPECT_TRUE(lines.has("0 stored, 1 refused"));
}

TEST_F(NodeParts, AClientKilledMidTransferLeavesNoFile)
{
    const std::string big = image(tmp, "big.dcm", 600);  // some 80 MB
    const int port = free_loopback_port();
    RunningScp node(tmp.file("spool"), port, lines.log);
    const pid_t client =
        start_program({"/usr/bin/env", "-u", "DCMDICTPATH", "storescu", "-aec", "SNRMAP", "127.0.0.1", std::to_string(port), big}, "/dev/null");
    EXPECT_TRUE(wait_for([&] { return connected_to(port); }, 10s));
    std::this_thread::sleep_for(30ms);
    ::kill(client, SIGKILL);
    ::waitpid(client, nullptr, 0);
    ASSERT_TRUE(wait_for([&] { return lines.has("aborted"); }, 10s)) << "the transfer was not cut";
    EXPECT_TRUE(files_under(tmp.file("spool")).empty());
}

TEST_F(NodeParts, AssociationsUpToTheLimitAreTakenRoundAfterRound)
{
    const std::vector<std::string> share{image(tmp, "one.dcm")};
    const int port = free_loopback_port();
    RunningScp node(tmp.file("spool"), port, lines.log, 2);
    ASSERT_TRUE(wait_for([&] { return accepting(port); }, 10s));
    // Each round as many at once as the limit, as soon as the last round's are released; the same
    // image on both, as two archives sending one study at once would.
    for (int round = 0; round < 5; ++round) {
        std::atomic<int> stored = 0;
        std::vector<std::thread> senders;
        for (int sender = 0; sender < 2; ++sender) {
            senders.emplace_back([&] {
                if (store_files(port, share))
                    ++stored;
            });
        }
        for (std::thread& sender : senders)
            sender.join();
        EXPECT_EQ(stored, 2) << "round " << round;
    }
}

TEST_F(NodeParts, TheOutboxWaitsForItsDestinationAcrossARestart)
{
    const std::string result = image(tmp, "result.dcm");
    const int port = free_loopback_port();
    const node::Destination archive{"SNRMAP", "127.0.0.1", port};
    {
        node::Outbox outbox(tmp.file("outbox"), archive, "NODE", lines.log, 50ms, 200ms);
        outbox.add({result});
        std::thread sending([&] { outbox.run(); });
        EXPECT_TRUE(wait_for([&] { return lines.has("not sent to SNRMAP"); }, 10s));
        outbox.stop();
        sending.join();
        EXPECT_EQ(outbox.pending(), 1u);
    }
    RunningScp destination(tmp.file("archive"), port, lines.log);
    node::Outbox outbox(tmp.file("outbox"), archive, "NODE", lines.log, 50ms, 200ms);
    std::thread sending([&] { outbox.run(); });
    EXPECT_TRUE(wait_for([&] { return outbox.pending() == 0; }, 10s));
    outbox.stop();
    sending.join();
    EXPECT_EQ(files_under(tmp.file("archive/incoming")).size(), 1u);
    EXPECT_TRUE(lines.has(": 1 of 1 stored by SNRMAP"));
}

TEST(NodeSpool, KeepsAMeasuredStudyForItsLaterBatchesThenForgetsIt)
{
    TempFolder tmp;
    node::Spool spool(tmp.file("spool"));
    const auto later = node::Spool::Clock::now() + 1h;
    spool.store({"1.2", "1.2.3", "1.2.3.1"}, "first");
    std::vector<std::string> batches = spool.take_quiet(1s, later);
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(spool.measured_folder(batches[0]), tmp.file("spool/measured/1.2"));
    spool.finish(batches[0]);
    spool.store({"1.2", "1.2.4", "1.2.4.1"}, "second");
    spool.store({"1.5", "1.5.1", "1.5.1.1"}, "other study");
    batches = spool.take_quiet(1s, later);
    ASSERT_EQ(batches.size(), 2u);
    for (const std::string& batch : batches)
        spool.finish(batch);
    std::vector<std::string> kept = files_under(tmp.file("spool/measured"));
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{tmp.file("spool/measured/1.2/1.2.3/1.2.3.1.dcm"),
                                              tmp.file("spool/measured/1.2/1.2.4/1.2.4.1.dcm"),
                                              tmp.file("spool/measured/1.5/1.5.1/1.5.1.1.dcm")}));
    EXPECT_EQ(read_text(kept[1]), "second");
    EXPECT_TRUE(files_under(tmp.file("spool/measuring")).empty());
    EXPECT_TRUE(files_under(tmp.file("spool/incoming")).empty());

    // A week after its last batch a study is forgotten, not a moment before.
    const auto now = std::chrono::system_clock::now();
    EXPECT_EQ(spool.forget_measured(node::measured_kept_for, now + node::measured_kept_for - 1min), 0u);
    EXPECT_EQ(spool.forget_measured(node::measured_kept_for, now + node::measured_kept_for + 1min), 2u);
    EXPECT_TRUE(files_under(tmp.file("spool/measured")).empty());
    EXPECT_TRUE(std::filesystem::is_directory(tmp.file("spool/measured")));
}

TEST(NodeDestination, IsAnAeTitleAHostAndAPort)
{
    const node::Destination to = node::parse_destination("ORTHANC@127.0.0.1:4242");
    EXPECT_EQ(to.aet, "ORTHANC");
    EXPECT_EQ(to.host, "127.0.0.1");
    EXPECT_EQ(to.port, 4242);
    EXPECT_THROW(node::parse_destination("ORTHANC@127.0.0.1:0"), Error);
    EXPECT_THROW(node::parse_destination("127.0.0.1:104"), Error);
}

}  // namespace
}  // namespace snr::test
