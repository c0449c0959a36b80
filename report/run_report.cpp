// SPDX-License-Identifier: BSD-3-Clause
#include "report/run_report.h"

#include <QBuffer>
#include <algorithm>
#include <cmath>

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

void settings_section(PdfSheet& sheet, const RunRecord& run)
{
    sheet.heading(QStringLiteral("測定条件"));
    Table table{{{QStringLiteral("項目"), 130}, {QStringLiteral("値"), sheet.content().width() - 130}}, {}};
    table.rows.push_back({QStringLiteral("方法"), method_caption(run.method)});
    table.rows.push_back({QStringLiteral("測定日時"), q(run.time)});
    table.rows.push_back({QStringLiteral("プログラム"), q(run.program)});
    table.rows.push_back({QStringLiteral("g-factor"), run.gfactor ? QStringLiteral("あり") : QStringLiteral("なし")});
    table.rows.push_back({QStringLiteral("R (reduction factor)"), run.r ? q(json_number(*run.r)) : "–"});
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

// One column per input, so that the facts of the inputs stand side by side.
void inputs_section(PdfSheet& sheet, const RunRecord& run)
{
    sheet.heading(QStringLiteral("入力"));
    constexpr double caption_width = 110;
    const double width = (sheet.content().width() - caption_width) / std::max<std::size_t>(run.inputs.size(), 1);
    Table table{{{QStringLiteral("項目"), caption_width}}, {{QStringLiteral("パス")}}};
    for (const auto& [role, path] : run.inputs) {
        table.columns.push_back({role_caption(role), width});
        table.rows[0].push_back(q(path));
        const auto facts = input_facts(run, role);
        for (std::size_t k = 0; k < facts.size(); ++k) {
            if (table.rows.size() == k + 1)
                table.rows.push_back({facts[k].first});
            table.rows[k + 1].push_back(facts[k].second);
        }
    }
    sheet.table(table);
    if (!run.notices.empty()) {
        sheet.heading(QStringLiteral("入力についての注意"));
        for (const auto& notice : run.notices)
            sheet.paragraph(QStringLiteral("・") + q(notice));
    }
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
    Table table{{{QStringLiteral("画像"), 110},
                 {QStringLiteral("画素数"), 44, true},
                 {QStringLiteral("平均"), 50, true},
                 {QStringLiteral("5%"), 50, true},
                 {QStringLiteral("50%"), 50, true},
                 {QStringLiteral("95%"), 50, true},
                 {QStringLiteral("最大"), 52, true},
                 {QStringLiteral("g > 1.2"), 52, true},
                 {QStringLiteral("g > 1.5"), 52, true}},
                {}};
    for (const ResultPlane& plane : run.planes) {
        const PlaneSummary& f = plane.figures;
        const bool in_g = plane.kind == ItemKind::GFactor;
        table.rows.push_back({q(plane.item), QString::number(f.pixels), q(shown_figure(f.mean, plane.kind)),
                              q(shown_figure(f.p5, plane.kind)), q(shown_figure(f.p50, plane.kind)),
                              q(shown_figure(f.p95, plane.kind)), q(shown_figure(f.max, plane.kind)),
                              in_g ? share_text(f.above_1_2) : QString(), in_g ? share_text(f.above_1_5) : QString()});
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
            rows.rows.push_back({q(run.planes[k].item), QString::number(stats.n),
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
        draw_chart(sheet.painter(), sheet.place(215), map_histogram(plane, run.region));
    }
}

}  // namespace

QByteArray report_pdf(const RunRecord& run, std::vector<PicturePlace>* pictures)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        const QString footer = q(run.program) + QStringLiteral("　") + method_caption(run.method) +
                               QStringLiteral("　") + q(run.time);
        PdfSheet sheet(buffer, QStringLiteral("SNR・g-factor 測定レポート"), footer);
        sheet.title(QStringLiteral("SNR・g-factor 測定レポート"));
        settings_section(sheet, run);
        inputs_section(sheet, run);
        pictures_section(sheet, run, pictures);
        figures_section(sheet, run);
        histograms_section(sheet, run);
    }
    return bytes;
}

void save_report(const RunRecord& run, const std::string& path)
{
    const QByteArray pdf = report_pdf(run);
    write_file_atomically(path, std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
}

}  // namespace snr::report
