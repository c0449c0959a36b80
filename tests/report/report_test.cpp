// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <cstring>

#include "record/json_text.h"
#include "record/summary_json.h"
#include "report/map_figure.h"
#include "report/pdf_sheet.h"
#include "report/run_report.h"
#include "record/summary_reading.h"
#include "tests/report/hand_run.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tool_output.h"
#include "window_model/legend_edit.h"
#include "window_model/roi_report.h"

namespace snr::report {
namespace {

std::string write_pdf(const test::TempFolder& tmp, const QByteArray& pdf)
{
    const std::string path = tmp.file("report.pdf");
    test::write_bytes(path, std::vector<std::uint8_t>(pdf.begin(), pdf.end()));
    return path;
}

// pdftotext puts a table cell or label on a line of its own.
bool has_line(const std::string& text, const std::string& line)
{
    return ("\n" + text + "\n").find("\n" + line + "\n") != std::string::npos;
}

TEST(Report, ItsTextHoldsTheCaptionsTheFactsAndEveryFigure)
{
    if (!test::have_tool("pdftotext") || !test::have_tool("pdffonts") || !test::have_tool("pdfimages"))
        GTEST_SKIP() << "poppler-utils are not installed";
    test::TempFolder tmp;
    const RunRecord run = test::hand_run();
    const std::string path = write_pdf(tmp, report_pdf(run));
    const std::string text = test::pdf_text(path);

    for (const char* caption : {"SNR・g-factor 測定レポート", "測定条件", "入力", "結果画像", "画像ごとの集計",
                                "ROI 統計", "ヒストグラム", "入力についての注意"})
        EXPECT_NE(text.find(caption), std::string::npos) << caption;
    // The settings and the inputs with the DICOM facts of their first file.
    for (const char* fact : {"連続撮像法 (consecutive)",
                             "2026-12-08T13:45:00+09:00",
                             "snrmap 0.1.0",
                             "60 / 20",
                             "PIなし",
                             "/data/qa/nopi",
                             "PIあり",
                             "/data/qa/pi",
                             "64",
                             "DICOM 1 枚",
                             "Maker",
                             "Model One",
                             "MRC1",
                             "SN4711",
                             "Head 32ch",
                             "SNR noPI",
                             "SNR PI",
                             "2026-12-08",
                             "13:45:00.25",
                             "静磁場強度",
                             "3T",  // pdftotext closes up "3 T"
                             "500 ms",
                             "510 ms",
                             "30 ms",
                             "256 × 256",
                             "0.9375 × 0.9375 mm"})
        EXPECT_TRUE(has_line(text, fact)) << fact;
    EXPECT_NE(text.find("PIなしとPIありでTRが違います (500 / 510)"), std::string::npos);

    // Every plane's caption and window, the legend labels of the maps and the scale bars' ends.
    for (const ResultPlane& plane : run.planes)
        EXPECT_TRUE(has_line(text, plane.item)) << plane.item;
    EXPECT_TRUE(has_line(text, "( WL,WW ) = ( 160 , 460 )"));
    EXPECT_TRUE(has_line(text, "( WL,WW ) = ( 2.00 , 4.00 )"));
    for (const char* ends : {"-70", "390", "0.00", "4.00", "1098"})
        EXPECT_TRUE(has_line(text, ends)) << ends;
    for (const ResultPlane& plane : run.planes) {
        if (plane.kind == ItemKind::Other)
            continue;
        const auto labels = legend_label_texts(plane.kind, *plane.legend);
        for (const std::string& label : *labels)
            EXPECT_TRUE(has_line(text, label)) << plane.item << " " << label;
    }

    // The figures of each plane, the g-factor map's shares and every ROI figure, as shown.
    for (const ResultPlane& plane : run.planes) {
        const PlaneSummary& f = plane.figures;
        EXPECT_TRUE(has_line(text, std::to_string(f.pixels)));
        for (const auto& figure : {f.mean, f.p5, f.p50, f.p95, f.max})
            EXPECT_TRUE(has_line(text, shown_figure(figure, plane.kind))) << plane.item;
    }
    const PlaneSummary& g = run.planes[3].figures;
    EXPECT_TRUE(has_line(text, format_fixed(static_cast<long double>(*g.above_1_2) * 100, 2) + " %"));
    EXPECT_TRUE(has_line(text, format_fixed(static_cast<long double>(*g.above_1_5) * 100, 2) + " %"));
    // pdftotext gives the ideographic spaces of the extent as plain ones.
    std::string extent = roi_extent_text(run.rois[0].roi);
    for (std::size_t at; (at = extent.find("　")) != std::string::npos;)
        extent.replace(at, std::string("　").size(), " ");
    EXPECT_TRUE(has_line(text, "ROI 1: " + extent)) << extent;
    for (std::size_t k = 0; k < run.planes.size(); ++k) {
        const RoiStats& stats = run.rois[0].planes[k];
        EXPECT_TRUE(has_line(text, std::to_string(stats.n)));
        for (const auto& figure : {stats.mean, stats.sd, stats.min, stats.max})
            EXPECT_TRUE(has_line(text, shown_figure(figure, run.planes[k].kind))) << run.planes[k].item;
    }

    // The face is embedded; every picture is kept without loss (no JPEG).
    const std::string fonts = test::tool_output("pdffonts " + test::quoted(path)).text;
    EXPECT_NE(fonts.find("IPAPGothic"), std::string::npos) << fonts;
    EXPECT_NE(fonts.find(" yes "), std::string::npos) << fonts;
    const std::string images = test::tool_output("pdfimages -list " + test::quoted(path)).text;
    EXPECT_NE(images.find(" image "), std::string::npos) << images;
    EXPECT_EQ(images.find("jpeg"), std::string::npos) << images;
}

// A text without its blanks and the line breaks pdftotext puts where a paragraph or cell wraps
// (a blank where it wrapped is lost).
std::string unwrapped(std::string text)
{
    std::erase_if(text, [](char c) { return c == '\n' || c == ' '; });
    return text;
}

TEST(Report, AsARecordToFileItSaysWhenWhatAndHowItWasMeasuredAndNamesItself)
{
    if (!test::have_tool("pdftotext") || !test::have_tool("pdfinfo"))
        GTEST_SKIP() << "poppler-utils are not installed";
    test::TempFolder tmp;
    RunRecord run = test::hand_run();
    run.planes[2].item = "PIあり SNRmap";  // as the difference method's list has it
    run.notices.push_back("入力したRとparallel imaging ありのpi_IM0001のヘッダ (Parallel Reduction Factor) でRが違います "
                          "(3 / 2)");
    run.r = 3;
    // A path far longer than its column: its beginning and its end stay.
    std::string folder = "/archive/qa/site-7";
    for (int k = 0; k < 12; ++k)
        folder += "/middle_of_the_path_" + std::to_string(k);
    run.inputs[1].second = folder + "/series_PI_0042";
    const std::string path = write_pdf(tmp, report_pdf(run));
    const std::string text = test::pdf_text(path);
    const std::string flat = unwrapped(text);

    // When scanned (the PI image's series time standing in for its acquisition's) apart from
    // when measured; R typed and in the headers; what was computed.
    for (const char* shown : {"撮像日時 (入力の DICOM)", "PIなし: 2026-12-08 13:45:00.25",
                              "PIあり: 2026-12-08 13:50:12 (シリーズの日時)", "解析日時 (測定の実行)",
                              "2026-12-08T13:45:00+09:00", "R (入力値、g の計算に使用)", "R (PIありのヘッダ)",
                              "PIあり: 2 (Parallel Reduction Factor)", "1 (Parallel Acquisition NO)",
                              "(Parallel Reduction Factor) でRが違います (3 / 2)", "測定方法",
                              "(PIなし N = 64 枚、PIあり N = 64 枚)", "標準偏差 (除数 N − 1)",
                              "g = SNR(PIなし) / (√R × SNR(PIあり))、R は入力値 (3)"})
        EXPECT_NE(flat.find(unwrapped(shown)), std::string::npos) << shown << "\n" << text;
    // The acquisition's facts, each beside its caption.
    for (const char* fact : {"施設名", "Klinik Süd", "ソフトウェアバージョン", "syngo MR E11, N4_VE11E", "シーケンス名",
                             "*se2d1", "スキャンシーケンス", "SE", "フリップ角", "90°", "加算回数", "2",
                             "ピクセルバンド幅", "130 Hz/pixel", "スライス厚", "5 mm", "FOV (マトリクス × 間隔)",
                             "240 × 240 mm"})
        EXPECT_TRUE(has_line(text, fact)) << fact;

    // Every SNR map is captioned alike; the list's own text is not shown.
    EXPECT_EQ(text.find("SNRmap"), std::string::npos);
    EXPECT_TRUE(has_line(text, "PIあり SNR map"));
    EXPECT_TRUE(has_line(text, "ヒストグラム: PIあり SNR map"));

    // The path: its beginning and its end, "…" where its middle was.
    EXPECT_NE(flat.find("/archive/qa/site-7/middle"), std::string::npos) << text;
    EXPECT_NE(flat.find("…"), std::string::npos) << text;
    EXPECT_NE(flat.find("middle_of_the_path_11/series_PI_0042"), std::string::npos) << text;
    EXPECT_EQ(flat.find("middle_of_the_path_5/"), std::string::npos) << text;

    // Each page numbered among all of them.
    const std::string info = test::tool_output("pdfinfo " + test::quoted(path)).text;
    const std::size_t at = info.find("Pages:");
    ASSERT_NE(at, std::string::npos) << info;
    const int pages = std::stoi(info.substr(at + 6));
    EXPECT_GE(pages, 4);
    std::size_t start = 0;
    for (int page = 1; page <= pages; ++page) {
        const std::size_t end = text.find('\f', start);
        const std::string page_text = text.substr(start, end - start);
        EXPECT_TRUE(has_line(page_text, std::to_string(page) + " / " + std::to_string(pages) + " ページ"))
            << page << "\n" << page_text;
        start = end + 1;
    }
    // The document names itself and its program; it says when it was made.
    EXPECT_NE(info.find("Title:           SNR・g-factor 測定レポート\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Creator:         snrmap 0.1.0\n"), std::string::npos) << info;
    EXPECT_NE(info.find("CreationDate:"), std::string::npos) << info;
}

// A text that wraps at its blanks takes more lines than one broken anywhere: its cell is as
// high as the lines drawn, and none is cut off.
TEST(Report, ATextWrappedAtItsBlanksKeepsEveryLine)
{
    if (!test::have_tool("pdftotext"))
        GTEST_SKIP() << "poppler-utils are not installed";
    test::TempFolder tmp;
    const std::string text = "/home/physicist/QA data/20261208 head coil/no parallel imaging/series 0005";
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        PdfSheet sheet(buffer, "title", "footer");
        for (const double width : {45.0, 50.0, 63.0})
            sheet.table(Table{{{QStringLiteral("パス"), width}}, {{q(text)}}});
        sheet.paragraph(QStringLiteral("段落: ") + q(text));
    }
    const std::string read = test::pdf_text(write_pdf(tmp, pdf));
    std::size_t count = 0;
    for (std::size_t at = 0; (at = unwrapped(read).find(unwrapped(text), at)) != std::string::npos; ++at)
        ++count;
    EXPECT_EQ(count, 4u) << read;
}

// The figures' columns: percentiles said as such, and no columns of g without a g-factor map.
TEST(Report, TheFiguresHaveColumnsOnlyForWhatTheRunHas)
{
    if (!test::have_tool("pdftotext"))
        GTEST_SKIP() << "poppler-utils are not installed";
    test::TempFolder tmp;
    RunRecord run = test::hand_run();
    const std::string with_g = test::pdf_text(write_pdf(tmp, report_pdf(run)));
    for (const char* title : {"5 パーセンタイル", "50 パーセンタイル", "95 パーセンタイル", "g > 1.2", "g > 1.5"})
        EXPECT_TRUE(has_line(with_g, title)) << title;
    EXPECT_FALSE(has_line(with_g, "5%"));

    run.gfactor = false;
    run.r.reset();
    run.planes.pop_back();
    run.files.pop_back();
    run.inputs.pop_back();
    run.slice_counts.pop_back();
    for (RoiFigures& roi : run.rois)
        roi.planes.pop_back();
    const std::string without = test::pdf_text(write_pdf(tmp, report_pdf(run)));
    EXPECT_TRUE(has_line(without, "50 パーセンタイル"));
    EXPECT_EQ(without.find("g > 1."), std::string::npos) << without;
    EXPECT_EQ(without.find("R (PIありのヘッダ)"), std::string::npos);
    EXPECT_EQ(without.find("g = SNR"), std::string::npos);
}

TEST(Report, APictureOnItsPageIsThePlaneAsTheWindowsRenderItAndNoPlaneChanges)
{
    if (!test::have_tool("pdftoppm"))
        GTEST_SKIP() << "poppler-utils are not installed";
    test::TempFolder tmp;
    RunRecord run = test::hand_run();
    run.planes[0].window.ww = 0;  // a plane the windows cannot draw: shown as with width 1
    const auto before = *std::static_pointer_cast<const std::vector<Plane>>(run.store);
    std::vector<PicturePlace> places;
    const std::string path = write_pdf(tmp, report_pdf(run, &places));
    ASSERT_EQ(places.size(), run.planes.size());
    EXPECT_EQ(*std::static_pointer_cast<const std::vector<Plane>>(run.store), before);

    // At 576 dpi a point is 8 page pixels and a plane pixel 6 × 6 of them, all on whole pixels;
    // the middle of each holds the plane pixel's grey (poppler smooths pictures enlarged less
    // than fourfold).
    constexpr int scale = 6;
    for (const std::size_t k : {std::size_t{0}, std::size_t{3}}) {
        const QRectF& place = places[k].place;
        const test::GreyPage picture = test::pdf_page(path, places[k].page, 576, static_cast<int>(place.left() * 8),
                                                      static_cast<int>(place.top() * 8), scale * plane_side,
                                                      scale * plane_side, tmp.file("page"));
        const QImage expected = plane_picture(*run.planes[k].plane, run.planes[k].window);
        int differing = 0, compared = 0;
        for (int row = 0; row < plane_side; ++row) {
            for (int column = 0; column < plane_side; ++column) {
                // The ROI's outline and name are drawn over the picture.
                const Roi& roi = run.rois[0].roi;
                if (row >= roi.row - 12 && row <= roi.row + roi.height && column >= roi.column - 1 &&
                    column <= roi.column + roi.width + 20)
                    continue;
                ++compared;
                differing += picture.at(scale * column + scale / 2, scale * row + scale / 2) !=
                             expected.constScanLine(row)[column];
            }
        }
        EXPECT_GT(compared, 63000);
        EXPECT_EQ(differing, 0) << run.planes[k].item;
    }
}

TEST(SummaryReading, ASummaryReadsBackAsTheRecordItWasWrittenFrom)
{
    RunRecord run = test::hand_run();
    run.dicom_maps =
        DicomMapsRecord{{"snr_nopi.dcm", "snr_pi.dcm", "gfactor_map.dcm"}, true, "2.25.1", "2.25.2", "2.25.3",
                        {"report.dcm", "measurements.dcm"}};
    // Bytes of no valid UTF-8 in a path come back as they were.
    run.inputs[0].second = "/data/qa/\xff\xfe nopi";
    run.files[0].name = "IM\x81";
    const std::string json = summary_json(run);
    const RunRecord read = read_summary(json);
    EXPECT_EQ(read.inputs[0].second, run.inputs[0].second);
    // Written again, the record gives the same text: nothing was lost or changed on the way.
    EXPECT_EQ(summary_json(read), json);
    ASSERT_EQ(read.planes.size(), run.planes.size());
    EXPECT_EQ(read.planes[3].name, "gfactor_map");
    EXPECT_EQ(read.planes[3].plane, nullptr);
    EXPECT_EQ(read.files[1].source.attributes.receive_coil, "Head 32ch");
    EXPECT_EQ(read.rois[0].planes[2].sd, run.rois[0].planes[2].sd);

    // A member missing or of the wrong kind is named.
    const auto refusal = [](std::string text) {
        try {
            read_summary(text);
        } catch (const SummaryError& error) {
            return std::string(error.what());
        }
        return std::string("read");
    };
    auto damaged = json;
    damaged.replace(damaged.find("\"ww\": 460"), 9, "\"ww\": 46000");
    EXPECT_EQ(refusal(damaged), "summary.json として読めません: display[1].window.ww (範囲外の数値)");
    damaged = json;
    damaged.replace(damaged.find("\"min\": \"0.6\""), 12, "\"min\": \"0,6\"");
    EXPECT_EQ(refusal(damaged), "summary.json として読めません: display[3].legend.min (数値の文字列ではありません)");
    damaged = json;
    damaged.replace(damaged.find("\"plane\": \"snr_pi\""), 17, "\"plane\": \"snr_x\"");
    EXPECT_EQ(refusal(damaged), "summary.json として読めません: planes.snr_x (オブジェクトがありません)");
    EXPECT_EQ(refusal(json.substr(0, json.size() / 2)).rfind("JSON として読めません (", 0), 0u);
    EXPECT_EQ(refusal("[]"), "summary.json として読めません (オブジェクトがありません)");
}

}  // namespace
}  // namespace snr::report
