// SPDX-License-Identifier: BSD-3-Clause
// A private Orthanc as the archive: it holds a phantom study, sends it to the node through its
// REST API, and receives the results back into the same study.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <sys/wait.h>

#include "core/path.h"

#include "tests/node/node_test_support.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tool_output.h"
#include "tests/tools/tool_files.h"

namespace snr::test {
namespace {

using namespace std::chrono_literals;

constexpr char orthanc_program[] = "/usr/sbin/Orthanc";

// Orthanc on loopback ports of its own, its storage in a temporary folder; stopped at the end.
class PrivateOrthanc {
public:
    PrivateOrthanc(const TempFolder& tmp, int node_port) : http(free_loopback_port()), dicom(free_loopback_port())
    {
        const std::string config = tmp.file("orthanc.json");
        std::ofstream(config) << "{ \"Name\": \"snrtest\", \"StorageDirectory\": \"" << tmp.file("orthanc")
                              << "\", \"IndexDirectory\": \"" << tmp.file("orthanc") << "\", \"HttpPort\": " << http
                              << ", \"DicomPort\": " << dicom
                              << ", \"DicomAet\": \"ORTHANC\", \"RemoteAccessAllowed\": false,"
                                 " \"AuthenticationEnabled\": false, \"Plugins\": [], \"DicomCheckCalledAet\": false,"
                                 " \"DicomModalities\": { \"snrmap\": [ \"SNRMAP\", \"127.0.0.1\", "
                              << node_port << " ] } }\n";
        // Its own dictionary: the reader in this process names an empty one in DCMDICTPATH.
        pid_ = start_program({"/usr/bin/env", "-u", "DCMDICTPATH", orthanc_program, config}, tmp.file("orthanc.log"));
        ready = wait_for([&] { return get("/system").find("\"DicomAet\"") != std::string::npos; }, 20s);
    }
    ~PrivateOrthanc()
    {
        ::kill(pid_, SIGTERM);
        if (!wait_for([&] { return ::waitpid(pid_, nullptr, WNOHANG) == pid_; }, 10s)) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    std::string get(const std::string& path) const
    {
        return tool_output("curl -s --max-time 10 http://127.0.0.1:" + std::to_string(http) + path).text;
    }
    std::string post(const std::string& path, const std::string& data) const
    {
        return tool_output("curl -s --max-time 60 -X POST http://127.0.0.1:" + std::to_string(http) + path + " " + data)
            .text;
    }
    const int http, dicom;
    bool ready = false;

private:
    pid_t pid_ = -1;
};

// The Orthanc ids in a JSON list of them.
std::vector<std::string> ids_in(const std::string& json)
{
    std::vector<std::string> ids;
    for (std::size_t at = 0; (at = json.find('"', at)) != std::string::npos;) {
        const std::size_t end = json.find('"', at + 1);
        ids.push_back(json.substr(at + 1, end - at - 1));
        at = end + 1;
    }
    return ids;
}

TEST(OrthancArchive, SendsAStudyToTheNodeAndGetsItsResultsBackInTheSameStudy)
{
    if (!have_tool(orthanc_program) || !have_tool("curl"))
        GTEST_SKIP() << "Orthanc or curl is not installed";
    TempFolder tmp;
    ASSERT_EQ(run_snrmap_here({"phantom", "--out", tmp.file("phantom"), "--repeats", "5"}).code, 0);
    const int node_port = free_loopback_port();
    PrivateOrthanc orthanc(tmp, node_port);
    ASSERT_TRUE(orthanc.ready) << tool_output("cat " + quoted(tmp.file("orthanc.log"))).text;
    NodeProcess node({"--port", std::to_string(node_port), "--spool", tmp.file("spool"), "--out", tmp.file("out"),
                      "--study-timeout", "1", "--allow", "ORTHANC", "--send-to",
                      "ORTHANC@127.0.0.1:" + std::to_string(orthanc.dicom)},
                     tmp.file("node.log"), node_port);

    for (const std::string& file : files_under(tmp.file("phantom"))) {
        if (file.ends_with(".dcm"))
            orthanc.post("/instances", "--data-binary @" + quoted(file));
    }
    const std::vector<std::string> studies = ids_in(orthanc.get("/studies"));
    ASSERT_EQ(studies.size(), 1u);
    const std::string study = studies[0];
    const auto series = [&] { return ids_in(orthanc.get("/series")); };  // of the one study
    // nopi, pi and the two pairs' folder are series of their own.
    const std::size_t inputs = series().size();
    orthanc.post("/modalities/snrmap/store", "-d " + study);

    // The no-PI and PI images paired into one g-factor run: its maps, its report and its figures,
    // three new series.
    EXPECT_TRUE(wait_for([&] { return series().size() == inputs + 3; }, 40s)) << node.log();
    EXPECT_EQ(ids_in(orthanc.get("/studies")).size(), 1u);
    const std::string tags = orthanc.get("/studies/" + study + "/series?expand");
    EXPECT_NE(tags.find("\"Modality\" : \"DOC\""), std::string::npos) << tags;
    EXPECT_NE(tags.find("\"Modality\" : \"SR\""), std::string::npos);
    EXPECT_NE(tags.find("\"SeriesDescription\" : \"SNR and g-factor maps\""), std::string::npos);
    // Every result the node made, the g-factor map among them, becomes an instance of the study.
    std::vector<std::string> results, uids;
    for (const std::string& file : files_under(tmp.file("out"))) {
        if (!file.ends_with(".dcm"))
            continue;
        results.push_back(file_name_part(file));
        uids.push_back(sop_instance_uid(file));
        EXPECT_FALSE(uids.back().empty()) << file;
    }
    std::sort(results.begin(), results.end());
    EXPECT_EQ(results, (std::vector<std::string>{"gfactor_map.dcm", "measurements.dcm", "report.dcm", "snr_nopi.dcm",
                                                 "snr_pi.dcm"}));
    const auto all_held = [&] {
        const std::string held = orthanc.get("/studies/" + study + "/instances");
        return std::all_of(uids.begin(), uids.end(),
                           [&](const std::string& uid) { return held.find("\"" + uid + "\"") != std::string::npos; });
    };
    EXPECT_TRUE(wait_for(all_held, 10s)) << orthanc.get("/studies/" + study + "/instances");
    EXPECT_EQ(node.stop(), 0);
    EXPECT_NE(node.log().find("stored by ORTHANC"), std::string::npos) << node.log();
}

}  // namespace
}  // namespace snr::test
