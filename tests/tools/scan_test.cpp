// SPDX-License-Identifier: BSD-3-Clause
// snrmap scan over an archive the test writes: every form of the parallel-imaging facts,
// repeats split across series, two coils in a study, series the headers leave open, junk.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cstdlib>
#include <map>
#include <filesystem>
#include <fstream>

#include "core/path.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/scan_groups.h"
#include "tools/snrmap/scan_index.h"
#include "tools/snrmap/scan_plan.h"

namespace snr::snrmap {
namespace {

using Outcome = test::SnrmapOutcome;

// A series of an acquisition: its facts, and its images' pixel values in Instance Number order.
struct Series {
    std::string study, coil, number, description;
    std::vector<test::Element> facts;  // the parallel-imaging facts as the maker writes them
    int repeats = 6;
    int first_instance = 1;
    std::string private_factors;
    std::string syntax = test::explicit_little_endian;
};

class Scan : public ::testing::Test {
protected:
    test::TempFolder tmp;
    std::string archive = tmp.folder("archive");
    std::string out = tmp.file("out");
    int files = 0;

    void SetUp() override { ::unsetenv("SNR_MAPS_DB"); }

    test::DicomOptions options_of(const Series& series)
    {
        test::DicomOptions options;
        options.transfer_syntax = series.syntax;
        options.manufacturer = "Maker";
        options.model = "Model 3T";
        options.series_number = series.number;
        options.series_description = series.description;
        options.private_factors = series.private_factors;
        options.elements = {{0x0020, 0x000D, "1.2.3." + series.study},
                            {0x0020, 0x000E, "1.2.3." + series.study + "." + series.number},
                            {0x0008, 0x0020, "20240105"},
                            {0x0008, 0x1010, "STATION1"},
                            {0x0018, 0x1250, series.coil},
                            {0x0018, 0x0080, "500"},
                            {0x0018, 0x0081, "15"},
                            {0x0018, 0x1314, "90"},
                            {0x0028, 0x0030, "1\\1"},
                            {0x0018, 0x0050, "5"}};
        options.elements.insert(options.elements.end(), series.facts.begin(), series.facts.end());
        return options;
    }

    // Files under shuffled, nested, extensionless names; the instances are numbered on from
    // `first_instance`, each image's value following its number.
    std::vector<std::string> write(const Series& series)
    {
        std::vector<std::string> paths;
        for (int k = 0; k < series.repeats; ++k) {
            test::DicomOptions options = options_of(series);
            const int instance = series.first_instance + k;
            options.sop_instance_uid = "1.2.3." + series.study + "." + series.number + "." + std::to_string(instance);
            options.elements.push_back({0x0020, 0x0013, std::to_string(instance)});
            const int name = (files++ * 7919) % 10007;
            const std::string folder = archive + "/d" + std::to_string(name % 3) + "/x" + std::to_string(name % 2);
            std::filesystem::create_directories(folder);
            paths.push_back(folder + "/" + std::to_string(name));
            test::write_dicom(paths.back(), test::filled(static_cast<std::int16_t>(100 + (instance * 37) % 11)), options);
        }
        return paths;
    }

    std::vector<std::string> write_enhanced(const Series& series, const std::vector<test::Element>& modifier)
    {
        test::DicomOptions options = options_of(series);
        options.enhanced = true;
        options.sop_instance_uid = "1.2.3." + series.study + "." + series.number + ".1";
        options.elements.insert(options.elements.end(), modifier.begin(), modifier.end());
        std::vector<StoredPixels> frames;
        for (int k = 0; k < series.repeats; ++k)
            frames.push_back(test::filled(static_cast<std::int16_t>(100 + (k * 37) % 11)));
        const std::string path = archive + "/enhanced" + series.number;
        test::write_dicom_frames(path, frames, options);
        return {path};
    }

    // The archive of the issue: 5 runs, an unassigned series, junk.
    void write_archive()
    {
        const std::vector<test::Element> no_pi{{0x0018, 0x9077, "NO"}, {0x0018, 0x9069, "1"}};
        const std::vector<test::Element> pi_2{{0x0018, 0x9077, "YES"}, {0x0018, 0x9069, "2"}};
        // Study 1, head coil: the no-PI repeats split into two series of one acquisition.
        write({"1", "Head 32", "3", "SNR MEAS1", no_pi, 3, 1});
        write({"1", "Head 32", "4", "SNR MEAS2", no_pi, 3, 4});
        write({"1", "Head 32", "5", "SNR PI", pi_2});
        // Study 1, body coil: the maker's own factors, in implicit VR.
        write({"1", "Body", "6", "SNR SAG MEAS1", {}, 6, 1, "1\\1", test::implicit_little_endian});
        write({"1", "Body", "7", "SNR SAG PI", {}, 6, 1, "3\\1", test::implicit_little_endian});
        // Study 2: Enhanced MR, the facts in the MR Modifier group, R in-plane 2 times out-of-plane 2.
        write_enhanced({"2", "Head 32", "1", "EMR", {}}, {{0x0018, 0x9077, "NO"}});
        write_enhanced({"2", "Head 32", "2", "EMR PI", {}},
                       {{0x0018, 0x9077, "YES"}, {0x0018, 0x9069, "2"}, {0x0018, 0x9155, "2"}});
        // Study 3: silent headers, two pairs for the rules; and a localizer nothing decides.
        write({"3", "Head 32", "1", "QA NOPI", {}, 2, 1});
        write({"3", "Head 32", "2", "QA PI R2", {}, 2, 1});
        write({"3", "Head 32", "9", "LOCALIZER", {}, 1, 1});
        // Junk: text, an image of another size, a file cut short.
        std::ofstream(archive + "/README") << "exported by hand\n";
        test::DicomOptions big;
        big.rows = big.columns = 512;
        test::write_dicom(archive + "/d1/big", test::filled(1), big);
        test::write_dicom(archive + "/cut", test::filled(1));
        std::filesystem::resize_file(archive + "/cut", 2000);
        std::ofstream(tmp.file("rules")) << "# silent series\n"
                                            "description \"QA NOPI\" nopi\n"
                                            "description \"qa pi r*\" pi 2   # case is ignored\n";
    }

    static Outcome run(const std::vector<std::string>& args) { return test::run_snrmap_here(args); }

    // What ends the folder names of study 1's runs: its tag, from its UID.
    std::string tag = [] {
        DicomAttributes study_1;
        study_1.study_instance_uid = "1.2.3.1";
        study_1.parallel_acquisition = "NO";
        scan::ArchiveIndex index;
        index.images = {{"a", {study_1}}, {"b", {study_1}}};
        const auto plan = scan::plan_runs(index, scan::group_images(index, {}));
        return plan.runs.at(0).name.substr(plan.runs.at(0).name.rfind('_') + 1);
    }();
};

TEST_F(Scan, GroupsPairsAndPlansTheArchiveByItsHeaders)
{
    write_archive();
    const scan::ArchiveIndex index = scan::index_archive({archive});
    EXPECT_EQ(index.files_seen, 34);
    ASSERT_EQ(index.skipped.size(), 3u);
    std::map<std::string, std::string> skipped;
    for (const auto& file : index.skipped)
        skipped[file_name_part(file.path)] = file.reason;
    EXPECT_EQ(skipped["README"], "not a DICOM image");
    EXPECT_EQ(skipped["big"], "bigは256×256の16ビット画像ではありません (512×512)");
    EXPECT_NE(skipped["cut"].find("cut"), std::string::npos) << skipped["cut"];

    const auto rules = scan::read_rules(tmp.file("rules"));
    const auto groups = scan::group_images(index, rules);
    const scan::ScanPlan plan = scan::plan_runs(index, groups);
    // Each run as method, R, no-PI series / files, PI series / files.
    const auto series = [&](std::size_t g) {
        std::string text;
        for (const auto& number : groups[g].series)
            text += (text.empty() ? "" : ",") + number;
        return text;
    };
    std::map<std::string, std::string> runs;
    for (const scan::PlannedRun& run : plan.runs) {
        ASSERT_TRUE(run.gfactor && run.pi_group) << run.name;
        runs[run.name.substr(0, run.name.rfind('_'))] = run.method + " " + run.r_text + " " + series(run.nopi_group) + "/" +
                         std::to_string(run.nopi_files.size()) + " " + series(*run.pi_group) + "/" +
                         std::to_string(run.pi_files.size());
    }
    EXPECT_EQ(runs, (std::map<std::string, std::string>{{"STATION1_20240105_s3-s4-s5", "consecutive 2 3,4/6 5/6"},
                                                       {"STATION1_20240105_s6-s7", "consecutive 3 6/6 7/6"},
                                                       {"Model_3T_unknown_s1-s2", "consecutive 4 1/1 2/1"},
                                                       {"STATION1_20240105_s1-s2", "submap 2 1/2 2/2"}}));
    // The split repeats in Instance Number order, whatever their names.
    std::vector<std::string> instances;
    const auto split = std::find_if(plan.runs.begin(), plan.runs.end(),
                                    [](const auto& run) { return run.name.starts_with("STATION1_20240105_s3-s4-s5_"); });
    ASSERT_NE(split, plan.runs.end());
    for (const auto& [role, uid] : split->instances)
        instances.push_back(role + " " + uid);
    EXPECT_EQ(instances.front(), "nopi 1.2.3.1.3.1");
    EXPECT_EQ(instances[5], "nopi 1.2.3.1.4.6");
    ASSERT_EQ(plan.unplanned.size(), 1u);
    EXPECT_EQ(groups[plan.unplanned[0].group].series, std::vector<std::string>{"9"});
    EXPECT_EQ(plan.unplanned[0].reason, "the headers say nothing of parallel imaging and no rule matches");

    // Without the rules the silent series stay apart and unmeasured; a boundary of 7 slices
    // sends the six-image acquisitions to the difference method.
    EXPECT_EQ(scan::plan_runs(index, scan::group_images(index, {})).runs.size(), 3u);
    const scan::ScanPlan pairs = scan::plan_runs(index, groups, 7);
    EXPECT_EQ(pairs.runs[0].method, "submap");
    EXPECT_EQ(pairs.runs[0].nopi_files.size(), 2u);
}

TEST_F(Scan, RunsOfTwoStudiesAlikeNeverShareAFolderWhicheverScanFindsThem)
{
    const std::vector<test::Element> no_pi{{0x0018, 0x9077, "NO"}};
    const std::vector<test::Element> pi_2{{0x0018, 0x9077, "YES"}, {0x0018, 0x9069, "2"}};
    write({"7", "Head 32", "3", "SNR", no_pi});
    write({"7", "Head 32", "4", "SNR PI", pi_2});
    const scan::ArchiveIndex first = scan::index_archive({archive});
    const std::string earlier = scan::plan_runs(first, scan::group_images(first, {})).runs.at(0).name;
    // The same protocol on the same day in another study, found first by the next scan.
    archive = tmp.folder("archive/0");
    write({"8", "Head 32", "3", "SNR", no_pi});
    write({"8", "Head 32", "4", "SNR PI", pi_2});
    const scan::ArchiveIndex both = scan::index_archive({tmp.file("archive")});
    const scan::ScanPlan plan = scan::plan_runs(both, scan::group_images(both, {}));
    ASSERT_EQ(plan.runs.size(), 2u);
    EXPECT_NE(plan.runs[0].name, plan.runs[1].name);
    for (const scan::PlannedRun& run : plan.runs) {
        if (run.instances.front().second.starts_with("1.2.3.7.")) {
            EXPECT_EQ(run.name, earlier);
        }
    }
}

TEST_F(Scan, AnImageExportedTwiceCountsOnce)
{
    const std::vector<std::string> paths = write({"7", "Head 32", "3", "SNR", {{0x0018, 0x9077, "NO"}}});
    const std::string copy = tmp.folder("archive/zz") + "/again";
    std::filesystem::copy_file(paths[2], copy);
    const scan::ArchiveIndex index = scan::index_archive({archive});
    EXPECT_EQ(index.images.size(), 6u);
    ASSERT_EQ(index.skipped.size(), 1u);
    EXPECT_EQ(index.skipped[0].path, copy);
    EXPECT_EQ(index.skipped[0].reason, "the same SOP Instance UID as " + paths[2]);
    EXPECT_EQ(scan::plan_runs(index, scan::group_images(index, {})).runs.at(0).nopi_files.size(), 6u);
}

TEST_F(Scan, DryRunPrintsThePlanAndWritesNothing)
{
    write_archive();
    const Outcome table = run({"scan", archive, "--rules", tmp.file("rules"), "--dry-run", "--out", out});
    ASSERT_EQ(table.code, 0) << table.err;
    EXPECT_EQ(table.out.substr(0, table.out.find('\n')), "34 files: 31 images, 3 skipped; 9 groups; 4 runs");
    EXPECT_NE(table.out.find("not measured: series 9 (LOCALIZER)"), std::string::npos) << table.out;
    const Outcome json = run({"scan", archive, "--rules", tmp.file("rules"), "--dry-run", "--format", "json"});
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_NE(json.out.find("\"role_from\": \"(0043,1083)\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"role_from\": \"rules line 3\""), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));

    std::ofstream(tmp.file("bad rules")) << "description \"QA* nopi\n";
    const Outcome bad = run({"scan", archive, "--rules", tmp.file("bad rules"), "--dry-run"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_EQ(bad.err, "snrmap: " + tmp.file("bad rules") + ": line 1: a quote is not closed\n");
}

TEST_F(Scan, MeasuresEachRunAsTheSameRunGivenByHandAndRecordsItOnce)
{
    write_archive();
    const std::string db = "sqlite:" + tmp.file("history.sqlite");
    const std::vector<std::string> args{"scan", archive, "--rules", tmp.file("rules"), "--out", out, "--record", "--db", db};
    const Outcome first = run(args);
    ASSERT_EQ(first.code, 0) << first.err;
    EXPECT_NE(first.out.find("STATION1_20240105_s3-s4-s5_" + tag + ": done (run 2 recorded in " + db + ")"), std::string::npos)
        << first.out;
    std::ifstream scan_json(out + "/scan.json");
    const std::string summary((std::istreambuf_iterator<char>(scan_json)), {});
    EXPECT_NE(summary.find("\"status\": \"done\""), std::string::npos);

    // The same run by hand: the files in the plan's order, R typed.
    const scan::ArchiveIndex index = scan::index_archive({archive});
    const auto plan = scan::plan_runs(index, scan::group_images(index, scan::read_rules(tmp.file("rules"))));
    const auto& planned = *std::find_if(plan.runs.begin(), plan.runs.end(),
                                        [](const auto& run) { return run.name.starts_with("STATION1_20240105_s3-s4-s5_"); });
    const std::string nopi = tmp.folder("nopi"), pi = tmp.folder("pi");
    for (const auto& [folder, files] : {std::pair{nopi, &planned.nopi_files}, {pi, &planned.pi_files}}) {
        for (std::size_t k = 0; k < files->size(); ++k)
            std::filesystem::copy_file((*files)[k], folder + "/" + std::to_string(10 + k));
    }
    const Outcome by_hand = run({"consecutive", nopi, pi, "--r", "2", "--out", tmp.file("hand")});
    ASSERT_EQ(by_hand.code, 0) << by_hand.err;
    for (const char* plane : {"snr_nopi", "snr_pi", "gfactor_map", "noise_nopi"}) {
        EXPECT_EQ(test::read_bytes(out + "/" + planned.name + "/" + plane + ".npy"),
                  test::read_bytes(tmp.file("hand") + "/" + plane + ".npy"))
            << plane;
    }

    // A second scan measures nothing again; --again does.
    const Outcome second = run(args);
    ASSERT_EQ(second.code, 0) << second.err;
    EXPECT_NE(second.out.find("STATION1_20240105_s3-s4-s5_" + tag + ": recorded earlier"), std::string::npos) << second.out;
    EXPECT_EQ(second.out.find("done"), std::string::npos) << second.out;
    const Outcome listed = run({"history", "--db", db, "--format", "csv"});
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 5) << listed.out;
    std::vector<std::string> again = args;
    again.push_back("--again");
    const Outcome forced = run(again);
    ASSERT_EQ(forced.code, 0) << forced.err;
    EXPECT_NE(forced.out.find("STATION1_20240105_s3-s4-s5_" + tag + ": done (run 6 recorded"), std::string::npos) << forced.out;
}

TEST_F(Scan, OneFailedRunDoesNotStopTheOthers)
{
    write_archive();
    // A file of the PI series of the body coil whose pixels the headers do not show as wrong:
    // unsigned values above 32767 are refused when the run reads them.
    test::DicomOptions options = options_of({"1", "Body", "7", "SNR SAG PI", {}, 6, 1, "3\\1"});
    options.pixel_representation = 0;
    options.sop_instance_uid = "1.2.3.1.7.99";
    options.elements.push_back({0x0020, 0x0013, "99"});
    test::write_dicom(archive + "/bad", test::filled(-1), options);
    const Outcome scanned = run({"scan", archive, "--rules", tmp.file("rules"), "--out", out});
    EXPECT_EQ(scanned.code, 1);
    EXPECT_NE(scanned.out.find("STATION1_20240105_s6-s7_" + tag + ": failed"), std::string::npos) << scanned.out;
    EXPECT_NE(scanned.err.find("bad"), std::string::npos) << scanned.err;
    EXPECT_TRUE(std::filesystem::exists(out + "/STATION1_20240105_s3-s4-s5_" + tag + "/gfactor_map.npy"));
    EXPECT_FALSE(std::filesystem::exists(out + "/STATION1_20240105_s6-s7_" + tag));
    std::ifstream scan_json(out + "/scan.json");
    const std::string summary((std::istreambuf_iterator<char>(scan_json)), {});
    EXPECT_NE(summary.find("\"status\": \"failed\""), std::string::npos);
}

TEST_F(Scan, PairsThePhantomIntoAGFactorRunWithItsDicomResults)
{
    const std::string phantom = tmp.file("phantom");
    ASSERT_EQ(run({"phantom", "--out", phantom, "--repeats", "5", "--r", "3"}).code, 0);
    const Outcome scanned = run({"scan", phantom, "--out", out, "--dicom-results"});
    ASSERT_EQ(scanned.code, 0) << scanned.err;
    // R from the images' own reduction factor, not the default the run would type.
    const std::string summary = test::read_text(out + "/scan.json");
    EXPECT_NE(summary.find("\"role_from\": \"Parallel Acquisition NO\""), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"role_from\": \"Parallel Reduction Factor\""), std::string::npos);
    EXPECT_NE(summary.find("\"gfactor\": true"), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"r\": \"3\""), std::string::npos);
    std::vector<std::string> runs = test::folder_entries(out);
    runs.erase(std::remove(runs.begin(), runs.end(), "scan.json"), runs.end());
    ASSERT_EQ(runs.size(), 1u);
    std::vector<std::string> objects;
    for (const std::string& name : test::folder_entries(out + "/" + runs[0])) {
        if (name.ends_with(".dcm"))
            objects.push_back(name);
    }
    EXPECT_EQ(objects, (std::vector<std::string>{"gfactor_map.dcm", "measurements.dcm", "report.dcm", "snr_nopi.dcm",
                                                 "snr_pi.dcm"}));
    EXPECT_FALSE(std::filesystem::exists(out + "/" + runs[0] + "/report.pdf"));
}

}  // namespace
}  // namespace snr::snrmap
