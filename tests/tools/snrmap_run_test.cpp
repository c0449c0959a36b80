// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <sstream>

#include "core/legend.h"
#include "window_model/roi_report.h"
#include "core/slice_file.h"
#include "tests/support/dicom_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/tools/tool_files.h"
#include "tools/snrmap/dicom_file.h"
#include "tools/snrmap/interrupt.h"
#include "record/plane_summary.h"
#include "tools/snrmap/snrmap_main.h"

namespace snr::snrmap {
namespace {

struct Outcome {
    int code;
    std::string out, err;
};

// The JSON text without its line breaks and indentation.
std::string compact(const std::string& json)
{
    std::string text;
    for (std::size_t k = 0; k < json.size(); ++k) {
        if (json[k] == '\n') {
            while (k + 1 < json.size() && json[k + 1] == ' ')
                ++k;
            continue;
        }
        text += json[k];
    }
    return text;
}

class SnrmapRun : public ::testing::Test {
protected:
    test::TempFolder tmp;
    std::string out = tmp.file("out");

    Outcome run(std::vector<std::string> args, bool terminal = false)
    {
        std::ostringstream o, e;
        const int code = run_snrmap(args, o, e, terminal);
        return {code, o.str(), e.str()};
    }

    std::string series(const std::string& name, std::initializer_list<std::int16_t> values)
    {
        return test::write_series(tmp, name, values);
    }

    std::string dicom(const std::string& name, const StoredPixels& samples)
    {
        return test::write_dicom(tmp, name, samples);
    }

    std::string summary()
    {
        const auto bytes = test::read_bytes(out + "/summary.json");
        return compact(std::string(bytes.begin(), bytes.end()));
    }

    QImage picture(const std::string& name) { return QImage(QString::fromStdString(out + "/" + name + ".png")); }

    // The output folder holds exactly what was there before, and nothing was left beside it.
    void expect_untouched(const std::vector<std::string>& before_top)
    {
        EXPECT_EQ(test::folder_entries(tmp.path()), before_top);
        EXPECT_EQ(test::folder_entries(out), std::vector<std::string>{"summary.json"});
        const auto bytes = test::read_bytes(out + "/summary.json");
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old");
    }
};

TEST_F(SnrmapRun, ConsecutiveWritesEveryPlaneItsPictureAndTheSummary)
{
    const std::string nopi = series("nopi", {10, 12, 14});
    const std::string pi = series("pi", {10, 14, 18});
    const Outcome result = run({"consecutive", nopi, pi, "--out", out});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_TRUE(result.err.empty());
    EXPECT_TRUE(result.out.empty());

    const std::map<std::string, double> expected = {
        {"rep_nopi", 14},  {"signal_nopi", 12}, {"noise_nopi", 2}, {"snr_nopi", 6},
        {"rep_pi", 18},    {"signal_pi", 14},   {"noise_pi", 4},   {"snr_pi", 3.5},
        {"gfactor_map", static_cast<double>(600.0L / (std::sqrt(2.0L) * 3.5L))},
    };
    std::vector<std::string> files{"summary.json", "roi.csv"};
    for (const auto& [name, value] : expected) {
        files.push_back(name + ".npy");
        files.push_back(name + ".png");
        const Plane plane = test::read_npy_plane(out + "/" + name + ".npy");
        EXPECT_DOUBLE_EQ(at(plane, 10, 10), value) << name;
        const bool map = name.find("snr") == 0 || name == "gfactor_map";
        EXPECT_EQ(at(plane, legend::frame_top, legend::frame_left), map ? 300.0 : value) << name;
        EXPECT_EQ(at(plane, legend::wedge_top, legend::wedge_left), map ? 60.0 : value) << name;
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(test::folder_entries(out), files);

    // The pictures as the list selection shows them: SNR maps through 160 / 460 whatever the
    // legend settings, the g-factor map through 200 / 400, the others through the automatic window.
    EXPECT_EQ(test::png_grey(picture("snr_nopi"), 10, 10), (6 + 70) * 256 / 460);
    EXPECT_EQ(test::png_grey(picture("snr_pi"), legend::frame_top, legend::frame_left), (300 + 70) * 256 / 460);
    EXPECT_EQ(test::png_grey(picture("gfactor_map"), 10, 10), 121 * 256 / 400);
    EXPECT_EQ(test::png_grey(picture("rep_nopi"), 10, 10), 255);
    EXPECT_EQ(test::png_grey(picture("signal_pi"), 10, 10), 255);
    EXPECT_EQ(picture("noise_pi").size(), QSize(256, 256));

    const std::string json = summary();
    EXPECT_NE(json.find("\"method\": \"consecutive\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"inputs\": {\"nopi\": \"" + nopi + "\",\"pi\": \"" + pi + "\"}"), std::string::npos) << json;
    EXPECT_NE(json.find("\"slice_counts\": {\"nopi\": 3,\"pi\": 3}"), std::string::npos) << json;
    EXPECT_NE(json.find("\"r\": 2,\"scale_min\": 60,\"scale_step\": 20"), std::string::npos) << json;
    // A phantom filling the plane: its middle three quarters (at least 49152 of 65536 pixels),
    // less the legend box.
    EXPECT_NE(json.find("\"region\": {\"kind\": \"phantom\",\"found_in\": \"signal_nopi\",\"threshold\": 1.2,"
                        "\"phantom_pixels\": 65536,\"pixels\": 48524,\"box\": {\"top\": 17,\"left\": 17,\"bottom\": 238,"
                        "\"right\": 238}}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"snr_nopi\": {\"item\": \"PIなし SNR map\",\"pixels\": 48524,\"min\": 6,\"max\": 6,\"mean\": 6,\"p5\": 6,\"p50\": 6,\"p95\": 6}"),
              std::string::npos)
        << json;
    // In g, with the 95th percentile.
    const std::string g = std::to_string(expected.at("gfactor_map") / 100).substr(0, 6);
    const auto block = json.substr(json.find("\"gfactor_map\""));
    EXPECT_NE(block.find("\"unit\": \"g\",\"pixels\": 48524,\"min\": " + g), std::string::npos) << block;
    EXPECT_NE(block.find("\"p95\": " + g), std::string::npos) << block;

    // Over every pixel outside the legend box, as asked.
    ASSERT_EQ(run({"consecutive", nopi, pi, "--out", out, "--region", "all"}).code, 0);
    const std::string all = summary();
    EXPECT_NE(all.find("\"region\": {\"kind\": \"all\",\"pixels\": 62800,\"box\": {\"top\": 0,\"left\": 0,"
                       "\"bottom\": 255,\"right\": 255}}"),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("\"PIなし SNR map\",\"pixels\": 62800,\"min\": 6"), std::string::npos) << all;
    const Outcome middle = run({"consecutive", nopi, "--out", out, "--region", "middle"});
    EXPECT_EQ(middle.code, 2);
    EXPECT_EQ(middle.err.rfind("snrmap: --region wants phantom or all, not 'middle'\n", 0), 0u) << middle.err;
}

TEST_F(SnrmapRun, RoisInTheSummaryAndInRoiCsv)
{
    // Rows 50-53 x columns 230-235 less the legend box's corner: 20 pixels. The second ROI lies
    // in the box, the third is one pixel.
    const Outcome result = run({"consecutive", series("nopi", {10, 12, 14}), series("pi", {10, 14, 18}), "--out",
                                out, "--roi", "50,230,4,6", "--roi", "60,240,2,2", "--roi=0,0,1,1"});
    ASSERT_EQ(result.code, 0) << result.err;
    // The g-factor map's value, stored, then in g.
    const auto map = static_cast<double>(600 / (std::sqrt(2.0L) * 3.5L));
    const auto g = static_cast<double>(static_cast<long double>(map) / 100);
    const std::string json = summary();
    EXPECT_NE(json.find("\"rois\": [{\"row\": 50,\"column\": 230,\"height\": 4,\"width\": 6,\"planes\": {\"rep_nopi\": "
                        "{\"n\": 20,\"mean\": 14,\"sd\": 0,\"min\": 14,\"max\": 14},"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"gfactor_map\": {\"n\": 20,\"mean\": " + exact_number(g) + ",\"sd\": 0,"), std::string::npos);
    EXPECT_NE(json.find("\"snr_nopi\": {\"n\": 0,\"mean\": null,\"sd\": null,\"min\": null,\"max\": null}"),
              std::string::npos);
    EXPECT_NE(json.find("\"rep_pi\": {\"n\": 1,\"mean\": 18,\"sd\": null,\"min\": 18,\"max\": 18}"), std::string::npos);

    const auto bytes = test::read_bytes(out + "/roi.csv");
    std::istringstream csv(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(csv, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 1u + 3 * 9);
    EXPECT_EQ(lines[0], "roi,plane,n,mean,sd,min,max");
    EXPECT_EQ(lines[4], "1,snr_nopi,20,6,0,6,6");
    EXPECT_EQ(lines[9], "1,gfactor_map,20," + exact_number(g) + ",0," + exact_number(g) + "," + exact_number(g));
    EXPECT_EQ(std::strtod(exact_number(g).c_str(), nullptr), g);
    EXPECT_EQ(lines[18], "2,gfactor_map,0,,,,");
    EXPECT_EQ(lines[19], "3,rep_nopi,1,14,,14,14");

    // Without --roi: no ROIs, and a roi.csv of its header alone in place of the earlier one.
    ASSERT_EQ(run({"consecutive", series("again", {1, 2}), "--out", out}).code, 0);
    EXPECT_NE(summary().find("\"rois\": []"), std::string::npos);
    EXPECT_EQ(test::read_bytes(out + "/roi.csv").size(), lines[0].size() + 1);
}

TEST_F(SnrmapRun, WithoutPiFolderTheFourPlanesOfTheSingleLayout)
{
    // Identical slices: the noise plane's maximum is 0, which the window cannot draw; the
    // picture takes width 1 and shows it black.
    const Outcome result = run({"consecutive", series("same", {5, 5}), "--out", out, "--scale-min", "40"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(test::folder_entries(out).size(), 4u * 2 + 2);
    EXPECT_EQ(test::png_grey(picture("noise_nopi"), 10, 10), 0);
    EXPECT_EQ(at(test::read_npy_plane(out + "/snr_nopi.npy"), legend::wedge_top, legend::wedge_left), 40.0);
    const std::string json = summary();
    EXPECT_NE(json.find("\"gfactor\": false"), std::string::npos);
    EXPECT_NE(json.find("\"slice_counts\": {\"nopi\": 2}"), std::string::npos);
    EXPECT_NE(json.find("\"r\": null"), std::string::npos);
    EXPECT_NE(json.find("\"noise_nopi\": {\"item\": \"PIなし 雑音値画像\",\"pixels\": 0,\"min\": null"),
              std::string::npos)
        << json;
}

TEST_F(SnrmapRun, OneMeasurementPerOutputFolder)
{
    // With the g-factor, then without it into the same folder, then the other method: each
    // run leaves its own planes alone beside its summary. Files of the user's stay, and so
    // does a folder under a plane file's name; a failed run leaves the earlier run whole.
    const std::string nopi = series("nopi", {10, 12, 14});
    const std::string pi = series("pi", {10, 14, 18});
    ASSERT_EQ(run({"consecutive", nopi, pi, "--out", out}).code, 0);
    EXPECT_EQ(test::folder_entries(out).size(), 9u * 2 + 2);
    test::write_bytes(out + "/notes.txt", {'n'});
    std::filesystem::create_directory(out + "/img1_pi.png");
    const std::vector<std::string> user{"img1_pi.png", "notes.txt"};
    const auto with_user = [&](std::vector<std::string> names) {
        names.insert(names.end(), user.begin(), user.end());
        std::sort(names.begin(), names.end());
        return names;
    };

    ASSERT_EQ(run({"consecutive", nopi, "--out", out}).code, 0);
    const auto single = with_user({"noise_nopi.npy", "noise_nopi.png", "rep_nopi.npy", "rep_nopi.png", "roi.csv",
                                   "signal_nopi.npy", "signal_nopi.png", "snr_nopi.npy", "snr_nopi.png",
                                   "summary.json"});
    EXPECT_EQ(test::folder_entries(out), single);
    const auto earlier = test::read_bytes(out + "/summary.json");
    EXPECT_EQ(run({"consecutive", nopi, tmp.file("missing"), "--out", out}).code, 1);
    EXPECT_EQ(test::folder_entries(out), single);
    EXPECT_EQ(test::read_bytes(out + "/summary.json"), earlier);

    const std::string a = dicom("a.dcm", test::filled(100));
    StoredPixels dented = test::filled(100);
    dented[10 * 256 + 10] = 93;
    ASSERT_EQ(run({"submap", a, dicom("b.dcm", dented), "--out", out}).code, 0);
    EXPECT_EQ(test::folder_entries(out),
              with_user({"img1_nopi.npy", "img1_nopi.png", "img2_nopi.npy", "img2_nopi.png", "noise_nopi.npy",
                         "noise_nopi.png", "roi.csv", "signal_nopi.npy", "signal_nopi.png", "snr_nopi.npy",
                         "snr_nopi.png", "summary.json"}));
}

TEST_F(SnrmapRun, AFailureAboutAFileNamesItAsGiven)
{
    // A rescale that overflows for some stored value, in a folder and as an image; a marked
    // file cut inside its file meta. Each message is "snrmap: PATH: reason", the path as given.
    const std::string folder = series("nopi", {10, 12});
    test::write_dicom(folder + "/huge", test::filled(2), {.rescale_slope = "1e306"});
    const std::string overflow = "リスケール値が読めません (Rescale Slope 1e306)";
    EXPECT_EQ(run({"consecutive", folder, "--out", out}).err, "snrmap: " + folder + "/huge: " + overflow + "\n");
    const std::string image = dicom("a.dcm", test::filled(100));
    EXPECT_EQ(run({"submap", image, folder + "/huge", "--out", out}).err,
              "snrmap: " + folder + "/huge: " + overflow + "\n");

    std::vector<std::uint8_t> cut(128, 0);
    for (char c : std::string("DICM\x02\x00\x00\x00UL\x04\x00"))
        cut.push_back(static_cast<std::uint8_t>(c));
    test::write_bytes(tmp.file("cut.dcm"), cut);
    const std::string relative = std::filesystem::relative(tmp.file("cut.dcm")).string();
    const Outcome named = run({"submap", image, relative, "--out", out});
    EXPECT_EQ(named.code, 1);
    EXPECT_TRUE(named.err.starts_with("snrmap: " + relative + ": ")) << named.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(SnrmapRun, AFailedMeasurementReportsTheSystemsMessageAndWritesNothing)
{
    const std::string nopi = series("nopi", {10, 12, 14});
    const std::string pi = series("pi", {10, 14, 18});
    const std::string one = series("one", {7});
    const std::string empty = tmp.folder("empty");
    test::write_bytes(tmp.folder("short") + "/slice", std::vector<std::uint8_t>(131071));
    test::write_bytes(tmp.file("plain"), {'p'});
    tmp.folder("out");
    test::write_bytes(out + "/summary.json", {'o', 'l', 'd'});
    const auto before = test::folder_entries(tmp.path());

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"consecutive", nopi, tmp.file("short")}, "snrmap: " + tmp.file("short") + "/slice: I/O エラー (131)"},
        {{"consecutive", nopi, pi, "--r", "0"}, "reduction factorが不正です"},
        {{"consecutive", nopi, "--r", "0"}, "reduction factorが不正です"},  // also without the g-factor
        {{"consecutive", nopi, pi, "--r", "0.0"}, "0 による浮動小数点数除算"},
        {{"consecutive", nopi, pi, "--r", "-2"}, "不正な浮動小数点数演算命令"},
        {{"consecutive", nopi, pi, "--scale-step", "2O"}, "'2O' は浮動小数点数ではありません"},
        {{"consecutive", empty}, "不正な浮動小数点数演算命令"},
        {{"consecutive", one}, "不正な浮動小数点数演算命令"},
        {{"consecutive", tmp.file("missing"), pi}, "snrmap: " + tmp.file("missing") + ": ファイルが見つかりません"},
    };
    for (auto [args, message] : cases) {
        args.insert(args.end(), {"--out", out});
        const Outcome result = run(args);
        EXPECT_EQ(result.code, 1) << message;
        EXPECT_EQ(result.err, message + "\n");
        EXPECT_TRUE(result.out.empty());
    }
    const Outcome not_a_folder = run({"consecutive", nopi, "--out", tmp.file("plain")});
    EXPECT_EQ(not_a_folder.code, 1);
    EXPECT_EQ(not_a_folder.err, "snrmap: " + tmp.file("plain") + ": ファイル名の指定が間違っています\n");
    expect_untouched(before);
}

TEST_F(SnrmapRun, AnInterruptedRunLeavesNothingBehind)
{
    const std::string nopi = series("nopi", {10, 12, 14});
    const auto before = test::folder_entries(tmp.path());
    request_interrupt(SIGINT);
    EXPECT_EQ(run({"consecutive", nopi, "--out", out}).code, 128 + SIGINT);
    EXPECT_EQ(run({"phantom", "--out", out}).code, 128 + SIGINT);
    clear_interrupt();
    EXPECT_EQ(test::folder_entries(tmp.path()), before);
}

TEST_F(SnrmapRun, TheOutputCannotBeASliceFolder)
{
    const std::string nopi = series("nopi", {10, 12, 14});
    const Outcome result = run({"consecutive", nopi, "--out", nopi + "/."});
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.err.rfind("snrmap: --out must not be a slice folder", 0), 0u) << result.err;
    EXPECT_EQ(test::folder_entries(nopi).size(), 3u);
}

TEST_F(SnrmapRun, SubmapChecksTheMarkerAndMeasuresThePairs)
{
    // The worked example of the difference method: one pixel of image 2 is 7 lower.
    StoredPixels dented = test::filled(100);
    dented[10 * 256 + 10] = 93;
    const std::string a = dicom("a.dcm", test::filled(100));
    const std::string b = dicom("b.dcm", dented);
    test::write_slice(tmp.file("raw.img"), 100);  // enough bytes, but no DICM marker

    tmp.folder("out");
    test::write_bytes(out + "/summary.json", {'o', 'l', 'd'});
    const auto before = test::folder_entries(tmp.path());
    const Outcome refused = run({"submap", a, b, a, tmp.file("raw.img"), "--out", out});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err, "snrmap: " + tmp.file("raw.img") + ": dicom画像ではありません!!\n");
    const Outcome missing = run({"submap", a, tmp.file("gone.dcm"), "--out", out});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err, "snrmap: " + tmp.file("gone.dcm") + ": ファイルが見つかりません\n");
    const Outcome zero = run({"submap", a, b, "--r", "0", "--out", out});
    EXPECT_EQ(zero.err, "reduction factorが不正です\n");
    expect_untouched(before);

    // The dent lies in a corner, outside the phantom's middle: every pixel is measured.
    const Outcome result = run({"submap", a, b, a, b, "--out", out, "--region", "all"});
    ASSERT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(test::folder_entries(out).size(), 11u * 2 + 2);
    EXPECT_NEAR(at(test::read_npy_plane(out + "/snr_nopi.npy"), 10, 10), 100 * std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(at(test::read_npy_plane(out + "/gfactor_map.npy"), 10, 10), 100 / std::sqrt(2.0), 1e-9);
    EXPECT_EQ(at(test::read_npy_plane(out + "/img2_pi.npy"), 10, 10), 93.0);
    // SNR maps through their automatic window (the frame's 300 gives 150 / 300), the g-factor
    // map through 100 / 200.
    EXPECT_EQ(test::png_grey(picture("snr_pi"), 10, 10), 141 * 256 / 300);
    EXPECT_EQ(test::png_grey(picture("gfactor_map"), 10, 10), 70 * 256 / 200);
    const std::string json = summary();
    EXPECT_NE(json.find("\"method\": \"submap\""), std::string::npos);
    EXPECT_NE(json.find("\"inputs\": {\"nopi_1\": \"" + a + "\",\"nopi_2\": \"" + b + "\",\"pi_1\": \"" + a +
                        "\",\"pi_2\": \"" + b + "\"}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"gfactor_map\": {\"item\": \"g-factor map\",\"unit\": \"g\",\"pixels\": 49,"),
              std::string::npos)
        << json;

    const Outcome single = run({"submap", a, b, "--out", tmp.file("single")});
    ASSERT_EQ(single.code, 0);
    EXPECT_EQ(test::folder_entries(tmp.file("single")).size(), 5u * 2 + 2);
}

TEST_F(SnrmapRun, TheSummaryTellsHowEachFileWasReadAndARefusedImageWritesNothing)
{
    const std::string nopi = tmp.folder("nopi");
    // The blank after the intercept pads its value; it is no part of the text.
    test::write_dicom(nopi + "/IM1", test::filled(3000),
                      {.rescale_slope = "2.468", .rescale_intercept = "-5053 ", .manufacturer = "Maker",
                       .model = "M1", .series_number = "4", .series_description = "SNR", .padding = 370,
                       .elements = {{0x0008, 0x0080, "QA Lab"}, {0x0018, 0x0095, "130"}, {0x0018, 0x9069, "2"}}});
    test::write_slice(nopi + "/raw", 2351);
    Samples samples;
    const long long offset = read_slice(nopi + "/IM1", samples).attributes.pixel_offset;
    ASSERT_EQ(run({"consecutive", nopi, "--out", out}).code, 0);
    const std::string record = "\"files\": {\"nopi\": {\"IM1\": {\"read_as\": \"dicom\",\"transfer_syntax\": "
                               "\"1.2.840.10008.1.2.1\",\"manufacturer\": \"Maker\",\"model\": \"M1\","
                               "\"station_name\": \"\",\"device_serial_number\": \"\",\"institution_name\": "
                               "\"QA Lab\",\"software_versions\": \"\",\"receive_coil\": \"\","
                               "\"series_number\": \"4\",\"series_description\": \"SNR\",\"protocol_name\": \"\","
                               "\"sequence_name\": \"\",\"scanning_sequence\": \"\","
                               "\"acquisition_date\": \"\",\"acquisition_time\": \"\",\"series_date\": \"\","
                               "\"series_time\": \"\",\"study_date\": \"\",\"study_time\": \"\","
                               "\"magnetic_field_strength\": \"\",\"repetition_time\": \"\",\"echo_time\": \"\","
                               "\"flip_angle\": \"\",\"number_of_averages\": \"\",\"pixel_bandwidth\": \"130\","
                               "\"slice_thickness\": \"\",\"pixel_spacing\": \"\",\"parallel_acquisition\": \"\","
                               "\"parallel_reduction_factor_in_plane\": \"2\","
                               "\"parallel_reduction_factor_out_of_plane\": \"\",\"maker_parallel_factors\": \"\","
                               "\"rescale_slope\": \"2.468\",\"rescale_intercept\": "
                               "\"-5053\",\"pixel_offset\": " +
                               std::to_string(offset) +
                               ",\"rows\": 256,\"columns\": 256},"
                               "\"raw\": {\"read_as\": \"raw\"}}},";
    EXPECT_NE(summary().find(record), std::string::npos) << summary();

    test::write_dicom(nopi + "/big", test::filled(1), {.rows = 512, .columns = 512});
    test::write_dicom(tmp.file("two.dcm"), test::filled(1), {.frames = 2});
    const auto before = test::folder_entries(out);
    const Outcome consecutive = run({"consecutive", nopi, "--out", out});
    EXPECT_EQ(consecutive.code, 1);
    EXPECT_EQ(consecutive.err, "snrmap: " + nopi + "/big: 256×256の16ビット画像ではありません (512×512)\n");
    const Outcome submap = run({"submap", nopi + "/IM1", tmp.file("two.dcm"), "--out", out});
    EXPECT_EQ(submap.code, 1);
    EXPECT_EQ(submap.err, "snrmap: " + tmp.file("two.dcm") + ": 1フレームの画像ではありません (2フレーム)\n");
    EXPECT_EQ(test::folder_entries(out), before);
}

TEST_F(SnrmapRun, FramesCountAsSlicesAndWhatSetsAnInputApartIsWarnedOfAndListed)
{
    const std::string nopi = tmp.folder("nopi"), pi = tmp.folder("pi");
    std::vector<StoredPixels> frames(3, test::filled(700));
    frames[1][0] = 710;
    test::write_dicom_frames(nopi + "/series", frames,
                             {.transfer_syntax = test::jpeg_ls_lossless, .manufacturer = "Maker", .enhanced = true});
    test::write_dicom(pi + "/IM1", test::filled(700), {.manufacturer = "Maker", .meta_syntax = ""});
    test::write_marked_slice(pi + "/IM2", test::filled(720));
    const Outcome outcome = run({"consecutive", nopi, pi, "--out", out});
    ASSERT_EQ(outcome.code, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "snrmap: " + pi + "/IM2: warning: DICMの印がありますがDICOMのデータセットが見つからないため、"
                                             "最後の131,072バイトを画素として読みました\n"
                                             "snrmap: warning: " + pi + "のIM1とIM2で読み方が違います (DICOM画像 / 生データ)\n");
    const std::string json = summary();
    EXPECT_NE(json.find("\"notices\": [\"" + pi + "のIM1とIM2で読み方が違います (DICOM画像 / 生データ)\"]"),
              std::string::npos) << json;
    EXPECT_NE(json.find("\"series\": {\"read_as\": \"dicom\",\"transfer_syntax\": \"1.2.840.10008.1.2.4.80\","
                        "\"frames\": 3,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"IM1\": {\"read_as\": \"dicom\",\"transfer_syntax\": \"1.2.840.10008.1.2.1\","
                        "\"transfer_syntax_detected\": true,"), std::string::npos) << json;
    EXPECT_NE(json.find("\"IM2\": {\"read_as\": \"raw\",\"dicm_marker\": true}"), std::string::npos) << json;
    EXPECT_NE(json.find("\"slice_counts\": {\"nopi\": 3,\"pi\": 2}"), std::string::npos) << json;

    // Alike inputs: no warning, and an empty list.
    const Outcome alike = run({"consecutive", nopi, "--out", out});
    ASSERT_EQ(alike.code, 0);
    EXPECT_EQ(alike.err, "");
    EXPECT_NE(summary().find("\"notices\": [],"), std::string::npos) << summary();
}

TEST_F(SnrmapRun, TheProgressBarFollowsTheWindowsPositionsOnATerminalOnly)
{
    const std::string nopi = series("nopi", {10, 12, 14});
    const std::string pi = series("pi", {10, 14, 18});
    const Outcome shown = run({"consecutive", nopi, pi, "--out", out}, true);
    ASSERT_EQ(shown.code, 0);
    for (const char* position : {"  8 %", " 25 %", " 33 %", " 50 %", " 75 %", "100 %"})
        EXPECT_NE(shown.err.find(position), std::string::npos) << position;
    EXPECT_EQ(shown.err.find(" 24 %"), std::string::npos);
    EXPECT_EQ(shown.err.back(), '\r') << "the line is blanked at the end";

    EXPECT_TRUE(run({"consecutive", nopi, pi, "--out", out, "--quiet"}, true).err.empty());
    EXPECT_TRUE(run({"consecutive", nopi, pi, "--out", out}, false).err.empty());

    const Outcome failed = run({"consecutive", nopi, tmp.file("missing"), "--out", out}, true);
    EXPECT_EQ(failed.code, 1);
    const Outcome failed_late = run({"consecutive", nopi, series("bad", {1, 2}), "--r", "0.0", "--out", out}, true);
    EXPECT_EQ(failed_late.err.substr(failed_late.err.rfind('\r') + 1), "0 による浮動小数点数除算\n");
}

}  // namespace
}  // namespace snr::snrmap
