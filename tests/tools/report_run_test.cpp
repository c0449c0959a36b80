// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>

#include "core/gfactor.h"
#include "core/legend.h"
#include "core/slice_file.h"
#include "tests/support/fault_injection.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tool_output.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/output_folder.h"
#include "tools/snrmap/phantom.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr::snrmap {
namespace {

using Outcome = test::SnrmapOutcome;
constexpr auto run = test::run_snrmap_here;

class SnrmapReport : public ::testing::Test {
protected:
    test::TempFolder tmp;
    std::string out = tmp.file("out");
    std::string nopi = test::write_series(tmp, "nopi", {10, 12, 15});
    std::string pi = test::write_series(tmp, "pi", {10, 14, 19});

    void SetUp() override
    {
        if (!test::have_tool("pdftotext"))
            GTEST_SKIP() << "poppler-utils are not installed";
    }

    // A run of raw slices with its report and maps, and an earlier file beside the output.
    void measure()
    {
        ASSERT_EQ(run({"consecutive", nopi, pi, "--out", out, "--roi", "5,5,10,10", "--report", out + "/report.pdf",
                       "--dicom-maps"})
                      .code,
                  0);
    }
};

TEST_F(SnrmapReport, ARunsReportAndTheReportOfItsFolderSayTheSameAndChangeNoPlane)
{
    measure();
    const std::string json = test::read_text(out + "/summary.json");
    EXPECT_NE(json.find("\"dicom_maps\": {\n    \"files\": [\n      \"snr_nopi.dcm\",\n      \"snr_pi.dcm\",\n"
                        "      \"gfactor_map.dcm\"\n    ],\n    \"study\": \"new\""),
              std::string::npos)
        << json;
    const std::string text = test::pdf_text(out + "/report.pdf");
    for (const char* shown :
         {"連続撮像法 (consecutive)", nopi.c_str(), "raw 3 枚", "g-factor map", "ROI 1: 行 5–14 列 5–14 (10 × 10 画素)",
          "snr_nopi.dcm, snr_pi.dcm, gfactor_map.dcm (新しい検査: 入力に DICOM の検査情報なし)"})
        EXPECT_NE(text.find(shown), std::string::npos) << shown;

    const auto before = test::read_bytes(out + "/gfactor_map.npy");
    ASSERT_EQ(run({"report", out, "--out", tmp.file("again.pdf")}).code, 0);
    EXPECT_EQ(test::pdf_text(tmp.file("again.pdf")), text);
    EXPECT_EQ(test::read_bytes(out + "/gfactor_map.npy"), before);

    // By default beside the summary, in place of the earlier report.
    test::write_bytes(out + "/report.pdf", {'o', 'l', 'd'});
    ASSERT_EQ(run({"report", out}).code, 0);
    EXPECT_EQ(test::pdf_text(out + "/report.pdf"), text);

    // The maps hold the planes, bit for bit (the g-factor map in g), and under the legend box
    // what the computation gives without it: the SNR of each pixel's signal and noise, and g
    // from those SNRs.
    const auto plane_of = [&](const std::string& name) { return test::read_npy_plane(out + "/" + name + ".npy"); };
    const Plane signal_nopi = plane_of("signal_nopi"), noise_nopi = plane_of("noise_nopi");
    const Plane signal_pi = plane_of("signal_pi"), noise_pi = plane_of("noise_pi");
    for (const char* name : {"snr_nopi", "gfactor_map"}) {
        DcmFileFormat file;
        ASSERT_TRUE(file.loadFile((out + "/" + name + ".dcm").c_str()).good()) << name;
        const Float64* values = nullptr;
        unsigned long count = 0;
        ASSERT_TRUE(file.getDataset()->findAndGetFloat64Array(DCM_DoubleFloatPixelData, values, &count).good());
        ASSERT_EQ(count, static_cast<unsigned long>(plane_pixels));
        const bool g = std::strcmp(name, "gfactor_map") == 0;
        Plane plane = plane_of(name);
        for (int p = 0; p < plane_pixels; ++p) {
            if (!legend::in_box(p / plane_side, p % plane_side))
                continue;
            const double snr_nopi = static_cast<double>(static_cast<long double>(signal_nopi[p]) / noise_nopi[p]);
            const double snr_pi = static_cast<double>(static_cast<long double>(signal_pi[p]) / noise_pi[p]);
            plane[p] = g ? gfactor_pixel(snr_nopi, snr_pi, 2) : snr_nopi;
        }
        if (g)
            std::transform(plane.begin(), plane.end(), plane.begin(), in_g);
        EXPECT_EQ(std::memcmp(values, plane.data(), sizeof plane), 0) << name;
        EXPECT_NE(values[legend::frame_top * plane_side + 240], legend::frame_value);
    }
}

TEST_F(SnrmapReport, AMissingOrDamagedFileOfTheFolderIsNamedAndNothingIsWritten)
{
    measure();
    const std::string target = tmp.file("report.pdf");
    test::write_bytes(target, {'o', 'l', 'd'});
    const std::string json = test::read_text(out + "/summary.json");
    const auto npy = test::read_bytes(out + "/snr_pi.npy");
    const auto expect_refused = [&](const std::string& file, const std::string& reason) {
        const Outcome outcome = run({"report", out, "--out", target});
        EXPECT_EQ(outcome.code, 1);
        EXPECT_EQ(outcome.err.rfind("snrmap: " + out + "/" + file + ": " + reason, 0), 0u) << outcome.err;
        EXPECT_EQ(test::read_text(target), "old");
        EXPECT_EQ(test::folder_entries(tmp.path()),
                  (std::vector<std::string>{"again", "nopi", "out", "pi", "report.pdf"}));
    };
    tmp.folder("again");  // a folder of the same name as a report is no report

    test::write_bytes(out + "/summary.json", std::vector<std::uint8_t>(json.begin(), json.begin() + 200));
    expect_refused("summary.json", "JSON として読めません (");
    std::string other = json;
    other.replace(other.find("\"kind\": \"gfactor_map\""), 21, "\"kind\": \"g\"");
    test::write_bytes(out + "/summary.json", std::vector<std::uint8_t>(other.begin(), other.end()));
    expect_refused("summary.json", "summary.json として読めません: display[8].kind");
    std::filesystem::remove(out + "/summary.json");
    expect_refused("summary.json", "ファイルが見つかりません");

    test::write_bytes(out + "/summary.json", std::vector<std::uint8_t>(json.begin(), json.end()));
    test::write_bytes(out + "/snr_pi.npy", std::vector<std::uint8_t>(npy.begin(), npy.end() - 8));
    expect_refused("snr_pi.npy", "256×256 の float64 の .npy ではありません");
    std::filesystem::remove(out + "/snr_pi.npy");
    expect_refused("snr_pi.npy", "ファイルが見つかりません");
    test::write_bytes(out + "/snr_pi.npy", npy);

    // A target that cannot be written is named, and the earlier file stays.
    const Outcome folder = run({"report", out, "--out", tmp.file("again")});
    EXPECT_EQ(folder.err, "snrmap: " + tmp.file("again") + ": ファイルへのアクセスが拒否されました\n");
    {
        test::InjectFault no_rename(test::Call::Rename, EIO);
        const Outcome failed = run({"report", out, "--out", target});
        EXPECT_EQ(failed.code, 1);
        EXPECT_EQ(failed.err, "snrmap: " + target + ": I/O エラー (1117)\n");
    }
    EXPECT_EQ(test::read_text(target), "old");
    EXPECT_EQ(test::folder_entries(tmp.path()), (std::vector<std::string>{"again", "nopi", "out", "pi", "report.pdf"}));
    ASSERT_EQ(run({"report", out, "--out", target}).code, 0);
    EXPECT_NE(test::read_text(target), "old");
}

TEST_F(SnrmapReport, ARunsReportThatCannotBeWrittenStopsTheRunBeforeAnythingMoves)
{
    const std::string elsewhere = tmp.file("missing/report.pdf");
    const Outcome missing = run({"consecutive", nopi, "--out", out, "--report", elsewhere});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "snrmap: " + elsewhere + ": ファイル名の指定が間違っています\n");
    const Outcome taken = run({"consecutive", nopi, "--out", out, "--report", out + "/summary.json"});
    EXPECT_EQ(taken.code, 1);
    EXPECT_EQ(taken.err,
              "snrmap: " + out + "/summary.json: the run writes a file of this name into the output folder\n");
    EXPECT_EQ(test::folder_entries(tmp.path()), (std::vector<std::string>{"nopi", "pi"}));

    // Beside the output: written after the output has moved into place.
    test::write_bytes(tmp.file("report.pdf"), {'o', 'l', 'd'});
    ASSERT_EQ(run({"consecutive", nopi, "--out", out, "--report", tmp.file("report.pdf")}).code, 0);
    EXPECT_NE(test::pdf_text(tmp.file("report.pdf")).find("PIなし SNR map"), std::string::npos);
    EXPECT_EQ(test::folder_entries(tmp.path()), (std::vector<std::string>{"nopi", "out", "pi", "report.pdf"}));
}

// A phantom of two repeats in tmp/phantom, and what the first no-PI image says of itself.
SliceSource write_small_phantom(const test::TempFolder& tmp)
{
    StagedOutput phantom(tmp.file("phantom"));
    write_phantom(PhantomSettings{2, 1, 2.0}, phantom);
    phantom.commit();
    Samples samples;
    return read_slice(tmp.file("phantom/nopi/nopi_001.dcm"), samples);
}

TEST(SnrmapDicomMaps, MapsOfDicomInputsJoinTheirStudy)
{
    test::TempFolder tmp;
    const SliceSource source = write_small_phantom(tmp);
    const std::string nopi = tmp.file("phantom/nopi"), pi = tmp.file("phantom/pi");
    if (source.attributes.study_instance_uid.empty())
        GTEST_SKIP() << "the reader does not give the study of an image yet";
    ASSERT_EQ(run({"consecutive", nopi, pi, "--out", tmp.file("out"), "--dicom-maps"}).code, 0);
    DcmFileFormat map;
    ASSERT_TRUE(map.loadFile(tmp.file("out/gfactor_map.dcm").c_str()).good());
    OFString study, frame, series, thickness;
    map.getDataset()->findAndGetOFString(DCM_StudyInstanceUID, study);
    map.getDataset()->findAndGetOFString(DCM_FrameOfReferenceUID, frame);
    map.getDataset()->findAndGetOFString(DCM_SeriesNumber, series);
    map.getDataset()->findAndGetOFString(DCM_SliceThickness, thickness, 0, true);
    EXPECT_EQ(study.c_str(), source.attributes.study_instance_uid);
    EXPECT_EQ(frame.c_str(), source.attributes.frame_of_reference_uid);
    EXPECT_NE(series.c_str(), source.attributes.series_number);
    EXPECT_EQ(thickness.c_str(), source.attributes.slice_thickness);
    EXPECT_FALSE(source.attributes.slice_thickness.empty());
    const auto errors = test::dciodvfy_errors(tmp.file("out/gfactor_map.dcm"));
    if (errors) {
        EXPECT_EQ(*errors, std::vector<std::string>{});
    }

    // A map given back as an input is refused as what it is.
    const std::string map_path = tmp.file("out/snr_nopi.dcm");
    const Outcome refused = run({"submap", map_path, map_path, "--out", tmp.file("again")});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err,
              "snrmap: " + map_path +
                  ": 浮動小数点の画素の画像です。測定できるのは16ビットの画像です (パラメトリックマップ, Double "
                  "Float Pixel Data)\n");
}

TEST(SnrmapDicomResults, TheReportAndTheFiguresJoinTheMapsInTheInputsStudy)
{
    test::TempFolder tmp;
    const SliceSource source = write_small_phantom(tmp);
    const std::string nopi = tmp.file("phantom/nopi"), pi = tmp.file("phantom/pi");
    ASSERT_EQ(run({"consecutive", nopi, pi, "--out", tmp.file("out"), "--dicom-results", "--roi", "100,100,20,20"}).code, 0);
    for (const char* name : {"snr_nopi.dcm", "gfactor_map.dcm", "report.dcm", "measurements.dcm"}) {
        DcmFileFormat file;
        ASSERT_TRUE(file.loadFile(tmp.file(std::string("out/") + name).c_str()).good()) << name;
        OFString study;
        file.getDataset()->findAndGetOFString(DCM_StudyInstanceUID, study);
        EXPECT_EQ(study.c_str(), source.attributes.study_instance_uid) << name;
        if (const auto errors = test::dciodvfy_errors(tmp.file(std::string("out/") + name))) {
            EXPECT_EQ(*errors, std::vector<std::string>{}) << name;
        }
    }
    // The summary names every object the run wrote.
    const std::string json = test::read_text(tmp.file("out/summary.json"));
    EXPECT_NE(json.find("\"documents\": [\n      \"report.dcm\",\n      \"measurements.dcm\"\n    ]"), std::string::npos)
        << json;
    DcmFileFormat pdf;
    ASSERT_TRUE(pdf.loadFile(tmp.file("out/report.dcm").c_str()).good());
    const Uint8* bytes = nullptr;
    unsigned long length = 0;
    ASSERT_TRUE(pdf.getDataset()->findAndGetUint8Array(DCM_EncapsulatedDocument, bytes, &length).good());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 5), "%PDF-");

    // Each map's group and each ROI's on each map; the ROI drawn on the image it was measured in.
    DcmFileFormat sr;
    ASSERT_TRUE(sr.loadFile(tmp.file("out/measurements.dcm").c_str()).good());
    std::vector<std::string> groups, images;
    DcmStack stack;
    while (sr.getDataset()->search(DCM_TextValue, stack, ESM_afterStackTop, OFTrue).good()) {
        OFString text;
        static_cast<DcmElement*>(stack.top())->getOFString(text, 0);
        const std::string value = text.c_str();
        if (value.starts_with("snr_") || value.starts_with("ROI ") || value.starts_with("gfactor"))
            groups.push_back(value);
    }
    stack.clear();
    while (sr.getDataset()->search(DCM_ReferencedSOPInstanceUID, stack, ESM_afterStackTop, OFTrue).good()) {
        OFString uid;
        static_cast<DcmElement*>(stack.top())->getOFString(uid, 0);
        images.push_back(uid.c_str());
    }
    EXPECT_EQ(groups, (std::vector<std::string>{"snr_nopi", "ROI 1 snr_nopi", "snr_pi", "ROI 1 snr_pi", "gfactor_map",
                                                "ROI 1 gfactor_map"}));
    EXPECT_NE(std::find(images.begin(), images.end(), source.attributes.sop_instance_uid), images.end());
}

}  // namespace
}  // namespace snr::snrmap
