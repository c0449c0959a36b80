// SPDX-License-Identifier: BSD-3-Clause
#include "report/run_report.h"

#include <QBuffer>
#include <algorithm>
#include <cmath>
#include <functional>

#include "core/file_io.h"
#include "record/json_text.h"
#include "report/histogram.h"
#include "report/input_facts.h"
#include "report/map_figure.h"
#include "report/pdf_sheet.h"
#include "window_model/roi_report.h"

namespace snr::report {

namespace {

QString share_text(std::optional<double> share)
{
    return share ? q(format_fixed(static_cast<long double>(*share) * 100, 2)) + QStringLiteral(" %")
                 : QStringLiteral("–");
}

// One line per input that has a text, each led by its role's caption.
QString per_input(const RunRecord& run, bool pi_only, const std::function<QString(const DicomAttributes&)>& text)
{
    QString lines;
    for (const auto& [role, path] : run.inputs) {
        const InputFile* first = first_dicom_file(run, role);
        if (first == nullptr || (pi_only && role.rfind("pi", 0) != 0))
            continue;
        lines += (lines.isEmpty() ? QString() : QStringLiteral("\n")) + role_caption(role) + QStringLiteral(": ") +
                 text(first->source.attributes);
    }
    return lines.isEmpty() ? QStringLiteral("–") : lines;
}

void settings_section(PdfSheet& sheet, const RunRecord& run)
{
    sheet.heading(QStringLiteral("測定条件"));
    Table table{{{QStringLiteral("項目"), 130}, {QStringLiteral("値"), sheet.content().width() - 130}}, {}};
    table.rows.push_back({QStringLiteral("方法"), method_caption(run.method)});
    // When the phantom was scanned, and apart from it when the scans were measured.
    table.rows.push_back({QStringLiteral("撮像日時 (入力の DICOM)"), per_input(run, false, scan_time_text)});
    table.rows.push_back({QStringLiteral("解析日時 (測定の実行)"), q(run.time)});
    table.rows.push_back({QStringLiteral("プログラム"), q(run.program)});
    table.rows.push_back({QStringLiteral("g-factor"), run.gfactor ? QStringLiteral("あり") : QStringLiteral("なし")});
    table.rows.push_back({QStringLiteral("R (入力値、g の計算に使用)"), run.r ? q(json_number(*run.r)) : "–"});
    if (run.gfactor)
        table.rows.push_back({QStringLiteral("R (PIありのヘッダ)"), per_input(run, true, header_r_text)});
    table.rows.push_back({QStringLiteral("スケール設定 (最低値 / 間隔)"),
                          q(json_number(run.scale_min) + " / " + json_number(run.scale_step))});
    if (run.dicom_maps) {
        QString files;
        for (const auto& file : run.dicom_maps->files)
            files += (files.isEmpty() ? "" : ", ") + q(file);
        files += run.dicom_maps->new_study ? QStringLiteral(" (新しい検査: 入力に DICOM の検査情報なし)")
                                           : QStringLiteral(" (入力の検査に新しいシリーズ)");
        table.rows.push_back({QStringLiteral("DICOM パラメトリックマップ"), files});
    }
    sheet.table(table);
}

// What was computed, as the computation does it.
void method_section(PdfSheet& sheet, const RunRecord& run)
{
    sheet.heading(QStringLiteral("測定方法"));
    if (run.method == "consecutive") {
        QString counts;
        for (const auto& [role, slices] : run.slice_counts)
            counts += (counts.isEmpty() ? QString() : QStringLiteral("、")) + role_caption(role) +
                      QStringLiteral(" N = %1 枚").arg(slices);
        sheet.paragraph(QStringLiteral("連続撮像法: 同じ条件で繰り返し撮像した N 枚のスライス (") + counts +
                        QStringLiteral(") から画素ごとに平均を信号、標準偏差 (除数 N − 1) を雑音とし、"
                                       "SNR = 平均 ÷ 標準偏差。標準偏差が 0 の画素の SNR は 0。"));
    } else if (run.method == "submap") {
        sheet.paragraph(QStringLiteral(
            "差分マップ法: 画素ごとにそれを中心とする 7 × 7 画素の範囲で、信号を画像1の局所平均、雑音を差分画像 "
            "(画像1 − 画像2) の局所標準偏差 (範囲の平均からの偏差、除数 49 − 1 = 48) ÷ √2 (1 枚の画像の雑音) とし、"
            "SNR = 信号 ÷ 雑音。中心は行・列 3–252 の画素。雑音が 0 の画素の SNR は 0。"));
    }
    if (run.gfactor)
        sheet.paragraph(QStringLiteral("g-factor: 画素ごとに g = SNR(PIなし) / (√R × SNR(PIあり))、R は入力値 (") +
                        (run.r ? q(json_number(*run.r)) : QStringLiteral("–")) +
                        QStringLiteral(")。SNR(PIあり) が 0 の画素は g なし (0)。g-factor map の値は 100 × g。"));
}

// What differs between the inputs, before their facts: what a reader should look at first.
void notices_section(PdfSheet& sheet, const RunRecord& run)
{
    if (run.notices.empty())
        return;
    sheet.heading(QStringLiteral("入力についての注意"));
    for (const auto& notice : run.notices)
        sheet.paragraph(QStringLiteral("・") + q(notice));
}

// One column per input, so that the facts of the inputs stand side by side.
void inputs_section(PdfSheet& sheet, const RunRecord& run)
{
    sheet.heading(QStringLiteral("入力"));
    constexpr double caption_width = 110;
    const double width = (sheet.content().width() - caption_width) / std::max<std::size_t>(run.inputs.size(), 1);
    Table table{{{QStringLiteral("項目"), caption_width}}, {{QStringLiteral("パス")}}};
    for (const auto& [role, path] : run.inputs) {
        table.columns.push_back({role_caption(role), width});
        table.rows[0].push_back(sheet.fitted_path(q(path), width));
        const auto facts = input_facts(run, role);
        for (std::size_t k = 0; k < facts.size(); ++k) {
            if (table.rows.size() == k + 1)
                table.rows.push_back({facts[k].first});
            table.rows[k + 1].push_back(facts[k].second);
        }
    }
    sheet.table(table);
}

void pictures_section(PdfSheet& sheet, const RunRecord& run, std::vector<PicturePlace>* places)
{
    std::vector<Roi> rois;
    for (const auto& figures : run.rois)
        rois.push_back(figures.roi);
    sheet.new_page();
    sheet.heading(QStringLiteral("結果画像"));
    // Two figures side by side; each row starts on a whole pixel at 96 dpi.
    for (std::size_t first = 0; first < run.planes.size(); first += 2) {
        sheet.skip(std::ceil(sheet.cursor() / 3) * 3 - sheet.cursor());
        const QRectF row = sheet.place(figure_height);
        for (std::size_t k = first; k < first + 2 && k < run.planes.size(); ++k) {
            const QPointF top_left(row.left() + static_cast<double>(k - first) * figure_width, row.top());
            if (sheet.painting())
                draw_map_figure(sheet.painter(), top_left, run.planes[k], rois, run.region);
            if (places != nullptr)
                places->push_back({sheet.page(), picture_place(top_left)});
        }
    }
}

// How the figures' pixels were chosen, with the region's size and place.
QString region_statement(const MeasuredRegion& region)
{
    const QString extent = region.pixels == 0 ? QString()
                                              : QStringLiteral("、行 %1–%2、列 %3–%4")
                                                    .arg(region.top)
                                                    .arg(region.bottom)
                                                    .arg(region.left)
                                                    .arg(region.right);
    if (region.kind == RegionKind::All)
        return QStringLiteral("測定領域: 凡例枠 (行 52–203、列 234–251) の外の全画素 (%1 画素%2)。")
            .arg(region.pixels)
            .arg(extent);
    return QStringLiteral("測定領域: PIなし 信号値画像で99パーセンタイルの1/10 (%1) を超える連続した領域 "
                          "(穴を埋めて %2 画素) を縁から均等に縮めて面積の75%以上を残し、凡例枠を除いたもの "
                          "(%3 画素%4、画像に水色の線で示す)。")
        .arg(q(shown_figure(region.threshold, ItemKind::Other)))
        .arg(region.phantom_pixels)
        .arg(region.pixels)
        .arg(extent);
}

void figures_section(PdfSheet& sheet, const RunRecord& run)
{
    sheet.skip(6);
    sheet.heading(QStringLiteral("画像ごとの集計"));
    sheet.paragraph(region_statement(run.region) +
                    QStringLiteral("値が 0 の画素 (未定義) は除き、画素数は集計した画素の数。g-factor map は g (値 ÷ 100) で集計。"));
    // The shares of g beyond 1.2 and 1.5 only where there is a g-factor map.
    const bool with_g = std::any_of(run.planes.begin(), run.planes.end(),
                                    [](const ResultPlane& plane) { return plane.kind == ItemKind::GFactor; });
    const double figure = with_g ? 43 : 60, percentile = with_g ? 73 : 76;
    Table table{{{QStringLiteral("画像"), with_g ? 86.0 : 120.0},
                 {QStringLiteral("画素数"), with_g ? 36.0 : 42.0, true},
                 {QStringLiteral("平均"), figure, true},
                 {QStringLiteral("5 パーセンタイル"), percentile, true},
                 {QStringLiteral("50 パーセンタイル"), percentile, true},
                 {QStringLiteral("95 パーセンタイル"), percentile, true},
                 {QStringLiteral("最大"), figure, true}},
                {}};
    if (with_g) {
        table.columns.push_back({QStringLiteral("g > 1.2"), 40, true});
        table.columns.push_back({QStringLiteral("g > 1.5"), 40, true});
    }
    for (const ResultPlane& plane : run.planes) {
        const PlaneSummary& f = plane.figures;
        table.rows.push_back({item_caption(plane.item), QString::number(f.pixels), q(shown_figure(f.mean, plane.kind)),
                              q(shown_figure(f.p5, plane.kind)), q(shown_figure(f.p50, plane.kind)),
                              q(shown_figure(f.p95, plane.kind)), q(shown_figure(f.max, plane.kind))});
        if (plane.kind == ItemKind::GFactor) {
            table.rows.back().push_back(share_text(f.above_1_2));
            table.rows.back().push_back(share_text(f.above_1_5));
        }
    }
    sheet.table(table);

    sheet.heading(QStringLiteral("ROI 統計"));
    if (run.rois.empty())
        sheet.paragraph(QStringLiteral("ROI なし"));
    for (std::size_t number = 1; number <= run.rois.size(); ++number) {
        const RoiFigures& roi = run.rois[number - 1];
        sheet.skip(3);
        sheet.paragraph(QStringLiteral("ROI ") + QString::number(number) + QStringLiteral(": ") +
                            q(roi_extent_text(roi.roi)),
                        9);
        Table rows{{{QStringLiteral("画像"), 150},
                    {QStringLiteral("n"), 50, true},
                    {QStringLiteral("平均"), 65, true},
                    {QStringLiteral("SD"), 65, true},
                    {QStringLiteral("最小"), 65, true},
                    {QStringLiteral("最大"), 65, true}},
                   {}};
        for (std::size_t k = 0; k < roi.planes.size() && k < run.planes.size(); ++k) {
            const RoiStats& stats = roi.planes[k];
            const ItemKind kind = run.planes[k].kind;
            rows.rows.push_back({item_caption(run.planes[k].item), QString::number(stats.n),
                                 q(shown_figure(stats.mean, kind)), q(shown_figure(stats.sd, kind)),
                                 q(shown_figure(stats.min, kind)), q(shown_figure(stats.max, kind))});
        }
        sheet.table(rows);
    }
}

void histograms_section(PdfSheet& sheet, const RunRecord& run)
{
    bool first = true;
    for (const ResultPlane& plane : run.planes) {
        if (plane.kind == ItemKind::Other)
            continue;
        if (first)
            sheet.new_page();
        if (first)
            sheet.heading(QStringLiteral("ヒストグラム"));
        first = false;
        sheet.skip(4);
        const QRectF place = sheet.place(215);
        if (sheet.painting())
            draw_chart(sheet.painter(), place, map_histogram(plane, run.region));
    }
}

}  // namespace

QByteArray report_pdf(const RunRecord& run, std::vector<PicturePlace>* pictures)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QString title = QStringLiteral("SNR・g-factor 測定レポート");
    const QString footer = q(run.program) + QStringLiteral("　") + method_caption(run.method) +
                           QStringLiteral("　解析 ") + q(run.time);
    PdfSheet::write(buffer, {title, q(run.program), footer}, [&](PdfSheet& sheet) {
        if (pictures != nullptr)
            pictures->clear();
        sheet.title(title);
        settings_section(sheet, run);
        method_section(sheet, run);
        notices_section(sheet, run);
        inputs_section(sheet, run);
        pictures_section(sheet, run, pictures);
        figures_section(sheet, run);
        histograms_section(sheet, run);
    });
    return bytes;
}

void save_report(const RunRecord& run, const std::string& path)
{
    const QByteArray pdf = report_pdf(run);
    write_file_atomically(path, std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
}

}  // namespace snr::report
