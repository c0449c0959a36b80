// SPDX-License-Identifier: BSD-3-Clause
// snrmap listen as a process of its own, with DCMTK's echoscu and storescu as the clients (with
// their own dictionary: the reader in this process names an empty one in DCMDICTPATH).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/node/node_test_support.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tool_output.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/command_line.h"

namespace snr::test {
namespace {

using namespace std::chrono_literals;

std::string store_command(int port, const std::string& calling, const std::string& files)
{
    return "env -u DCMDICTPATH timeout 30 storescu -aet " + calling + " -aec SNRMAP 127.0.0.1 " + std::to_string(port) + " " + files;
}

// A phantom study: nopi/ and pi/, five images each, two series of one study.
std::string phantom(const TempFolder& tmp)
{
    const std::string folder = tmp.file("phantom");
    EXPECT_EQ(run_snrmap_here({"phantom", "--out", folder, "--repeats", "5"}).code, 0);
    return folder;
}

// The files of that name under a folder, at any depth.
std::vector<std::string> named_under(const std::string& out, const std::string& name = "snr_nopi.dcm")
{
    std::vector<std::string> found;
    for (const std::string& file : files_under(out)) {
        if (file.ends_with("/" + name))
            found.push_back(file);
    }
    return found;
}

std::size_t count_of(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class Listen : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!have_tool("storescu") || !have_tool("echoscu"))
            GTEST_SKIP() << "DCMTK's storescu and echoscu are not installed";
    }
    TempFolder tmp;
    const int port = free_loopback_port();
    std::vector<std::string> options(const std::string& timeout)
    {
        return {"--port", std::to_string(port), "--spool", tmp.file("spool"), "--out", tmp.file("out"),
                "--study-timeout", timeout, "--allow", "STORESCU", "--allow", "ECHOSCU"};
    }
};

TEST_F(Listen, AnswersStoresMeasuresAQuietStudyAndStops)
{
    const std::string images = phantom(tmp);
    NodeProcess node(options("1"), tmp.file("node.log"), port);
    // Port probes (a monitor's, a scanner's) that close before asking for an association.
    for (int probe = 0; probe < 50; ++probe)
        EXPECT_TRUE(accepting(port));
    EXPECT_EQ(tool_output("env -u DCMDICTPATH timeout 10 echoscu -aec SNRMAP 127.0.0.1 " + std::to_string(port)).status, 0)
        << node.log();
    const ToolOutput stranger = tool_output(store_command(port, "STRANGER", quoted(images + "/nopi/nopi_001.dcm")));
    EXPECT_NE(stranger.status, 0);
    EXPECT_NE(stranger.text.find("Calling AE Title Not Recognized"), std::string::npos) << stranger.text;

    // Beside the phantom, a study of an image whose headers say nothing of parallel imaging.
    DicomOptions silent;
    silent.series_number = "7";
    silent.elements = {{0x0008, 0x0018, "1.2.3.4.1"}, {0x0020, 0x000D, "1.2.3"}, {0x0020, 0x000E, "1.2.3.4"}};
    write_dicom(tmp.file("silent.dcm"), filled(100), silent);
    const ToolOutput stored = tool_output(store_command(
        port, "STORESCU", quoted(images + "/nopi") + " " + quoted(images + "/pi") + " " + quoted(tmp.file("silent.dcm")) + " +sd"));
    ASSERT_EQ(stored.status, 0) << stored.text;
    // The two series paired by their parallel-imaging facts into one g-factor run; the study's
    // instances kept for a later series to pair with, nothing left waiting.
    ASSERT_TRUE(wait_for([&] { return named_under(tmp.file("out"), "gfactor_map.dcm").size() == 1; }, 20s))
        << node.log();
    EXPECT_TRUE(wait_for([&] { return count_of(node.log(), ": done, ") == 2; }, 10s)) << node.log();
    EXPECT_EQ(named_under(tmp.file("out")).size(), 1u);
    EXPECT_TRUE(files_under(tmp.file("spool/incoming")).empty());
    EXPECT_TRUE(files_under(tmp.file("spool/measuring")).empty());
    EXPECT_EQ(files_under(tmp.file("spool/measured")).size(), 11u);
    EXPECT_EQ(node.stop(), 0);

    const std::string log = node.log();
    EXPECT_NE(log.find("association from STRANGER refused"), std::string::npos) << log;
    EXPECT_NE(log.find("association from STORESCU (127.0.0.1): 11 stored, 0 refused"), std::string::npos) << log;
    EXPECT_NE(log.find("quiet, 10 instances in 2 series"), std::string::npos) << log;
    EXPECT_NE(log.find("study 1.2.3: series 7 not measured: the headers say nothing of parallel imaging"),
              std::string::npos) << log;
    EXPECT_NE(log.find("study 1.2.3: done, 0 results"), std::string::npos) << log;
    EXPECT_NE(log.find("(consecutive, g-factor R 2): done"), std::string::npos) << log;
    EXPECT_NE(log.find(": done, 5 results"), std::string::npos) << log;
    EXPECT_EQ(log.find("PHANTOM"), std::string::npos) << "a patient's name in the log";
}

TEST_F(Listen, MeasuresAStudyExtendedLaterForItsNewSeriesOnly)
{
    const std::string images = phantom(tmp);
    NodeProcess node(options("1"), tmp.file("node.log"), port);
    const auto study_done = [&](std::size_t times) {
        return wait_for([&] { return count_of(node.log(), ": done, ") == times; }, 20s);
    };
    ASSERT_EQ(tool_output(store_command(port, "STORESCU", quoted(images + "/nopi") + " +sd")).status, 0);
    ASSERT_TRUE(study_done(1)) << node.log();
    const std::vector<std::string> first = named_under(tmp.file("out"));
    ASSERT_EQ(first.size(), 1u) << node.log();
    const std::string first_summary = read_text(first[0].substr(0, first[0].rfind('/')) + "/summary.json");

    // The PI series alone, later: it pairs with the no-PI series of the first batch.
    ASSERT_EQ(tool_output(store_command(port, "STORESCU", quoted(images + "/pi") + " +sd")).status, 0);
    ASSERT_TRUE(study_done(2)) << node.log();
    EXPECT_EQ(named_under(tmp.file("out"), "gfactor_map.dcm").size(), 1u) << node.log();
    EXPECT_EQ(named_under(tmp.file("out")).size(), 2u);
    EXPECT_EQ(read_text(first[0].substr(0, first[0].rfind('/')) + "/summary.json"), first_summary)
        << "the first run made again";
    EXPECT_NE(node.log().find(": done, 5 results"), std::string::npos) << node.log();

    // The same series sent again: nothing new to measure.
    ASSERT_EQ(tool_output(store_command(port, "STORESCU", quoted(images + "/pi") + " +sd")).status, 0);
    ASSERT_TRUE(study_done(3)) << node.log();
    EXPECT_EQ(node.stop(), 0);
    const std::string log = node.log();
    EXPECT_NE(log.find("1 run made earlier"), std::string::npos) << log;
    EXPECT_NE(log.find(": done, 0 results"), std::string::npos) << log;
    EXPECT_EQ(count_of(log, "): done"), 2u) << log;
    EXPECT_EQ(named_under(tmp.file("out")).size(), 2u);
}

TEST_F(Listen, TakesTheLosslessSyntaxesTheReaderMeasuresAndNoLossyOne)
{
    const auto image = [&](const std::string& name, const char* syntax, const char* uid) {
        DicomOptions options;
        options.transfer_syntax = syntax;
        options.elements = {{0x0008, 0x0018, uid}, {0x0020, 0x000D, "1.2.3"}, {0x0020, 0x000E, "1.2.3.4"}};
        write_dicom(tmp.file(name), filled(100), options);
        return tmp.file(name);
    };
    const std::string lossless = image("lossless.dcm", jpeg_lossless, "1.2.3.4.1");
    const std::string rle = image("rle.dcm", rle_lossless, "1.2.3.4.2");
    const std::string lossy = image("lossy.dcm", jpeg_baseline, "1.2.3.4.3");
    NodeProcess node(options("600"), tmp.file("node.log"), port);
    EXPECT_EQ(tool_output(store_command(port, "STORESCU", "-xs " + quoted(lossless))).status, 0);
    EXPECT_EQ(tool_output(store_command(port, "STORESCU", "-xr " + quoted(rle))).status, 0);
    // Offered beside the uncompressed syntaxes, into which storescu cannot turn it.
    const ToolOutput refused = tool_output(store_command(port, "STORESCU", "-xb " + quoted(lossy)));
    EXPECT_NE(refused.status, 0) << refused.text;
    EXPECT_EQ(node.stop(), 0);
    const std::string series = tmp.file("spool/incoming/1.2.3/1.2.3.4/");
    EXPECT_EQ(read_bytes(series + "1.2.3.4.1.dcm").size(), read_bytes(lossless).size());
    EXPECT_TRUE(std::filesystem::exists(series + "1.2.3.4.2.dcm"));
    EXPECT_FALSE(std::filesystem::exists(series + "1.2.3.4.3.dcm"));
}

TEST_F(Listen, MeasuresAfterARestartWhatWasPending)
{
    const std::string images = phantom(tmp);
    {
        NodeProcess node(options("600"), tmp.file("first.log"), port);
        ASSERT_EQ(tool_output(store_command(port, "STORESCU", quoted(images + "/nopi") + " +sd")).status, 0);
        EXPECT_EQ(node.stop(), 0);
    }
    EXPECT_EQ(files_under(tmp.file("spool/incoming")).size(), 5u);
    EXPECT_TRUE(named_under(tmp.file("out")).empty());
    NodeProcess again(options("1"), tmp.file("second.log"), port);
    EXPECT_TRUE(wait_for([&] { return named_under(tmp.file("out")).size() == 1; }, 20s)) << again.log();
    EXPECT_EQ(again.stop(), 0);
}

TEST(ListenOptions, ComeFromTheCommandLineAndTheConfigFile)
{
    TempFolder tmp;
    std::ofstream(tmp.file("node.conf")) << "# the node\n"
                                            "port = 4242\n"
                                            "aet = QA_NODE\n"
                                            "allow = MODALITY1\n"
                                            "allow = ARCHIVE\n"
                                            "spool = /var/spool/x\n"
                                            "out = /srv/results\n"
                                            "record = yes\n"
                                            "send-to = ARCHIVE@127.0.0.1:4242\n"
                                            "region = all\n";
    const snrmap::CommandLine line =
        snrmap::parse_command_line({"listen", "--config", tmp.file("node.conf"), "--port", "104", "--report"});
    EXPECT_EQ(line.port, 104);  // the command line wins
    EXPECT_EQ(line.aet, "QA_NODE");
    EXPECT_EQ(line.allow, (std::vector<std::string>{"MODALITY1", "ARCHIVE"}));
    EXPECT_EQ(line.spool, "/var/spool/x");
    EXPECT_TRUE(line.record);
    EXPECT_TRUE(line.run_reports);
    EXPECT_EQ(line.study_timeout, 30);
    EXPECT_EQ(line.send_to, "ARCHIVE@127.0.0.1:4242");
    EXPECT_EQ(line.region, RegionKind::All);  // passed on to every run it makes

    const auto refusal = [&](const std::vector<std::string>& args) {
        try {
            snrmap::parse_command_line(args);
        } catch (const snrmap::UsageError& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    EXPECT_EQ(refusal({"listen", "--out", "o"}), "listen wants --spool DIR, where received instances wait");
    EXPECT_EQ(refusal({"listen", "--spool", "s", "--out", "o", "--aet", "SEVENTEEN_LETTERS"}),
              "--aet wants an AE title of 1 to 16 characters, not 'SEVENTEEN_LETTERS'");
    EXPECT_EQ(refusal({"listen", "--spool", "s", "--out", "o", "--send-to", "ARCHIVE@host"}),
              "--send-to wants AET@HOST:PORT, not 'ARCHIVE@host'");
    std::ofstream(tmp.file("bad.conf")) << "port = 1\nspeed = 3\n";
    EXPECT_EQ(refusal({"listen", "--config", tmp.file("bad.conf")}), tmp.file("bad.conf") + ":2: unknown key 'speed'");
}

}  // namespace
}  // namespace snr::test
