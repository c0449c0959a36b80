// SPDX-License-Identifier: BSD-3-Clause
#include "report/input_facts.h"

#include <algorithm>
#include <cctype>

#include "core/dicom_text.h"

#include "record/input_facts.h"
#include "report/qt_text.h"
#include "run/reduction_factor.h"

namespace snr::report {

namespace {

QString fact_text(const std::string& text) { return QString::fromStdString(text).trimmed(); }

QString or_dash(const QString& text) { return text.isEmpty() ? QStringLiteral("–") : text; }

bool digits(const std::string& text, std::size_t from, std::size_t count)
{
    if (text.size() < from + count)
        return false;
    return std::all_of(text.begin() + static_cast<long>(from), text.begin() + static_cast<long>(from + count),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

// A DICOM date (YYYYMMDD) as 2026-12-08; anything else as written.
QString date_text(const std::string& date)
{
    const QString trimmed = fact_text(date);
    const std::string plain = trimmed.toStdString();
    if (plain.size() != 8 || !digits(plain, 0, 8))
        return trimmed;
    return fact_text(plain.substr(0, 4) + "-" + plain.substr(4, 2) + "-" + plain.substr(6, 2));
}

// A DICOM time (HHMMSS with an optional fraction) as 13:45:00.5; anything else as written.
QString time_text(const std::string& time)
{
    const QString trimmed = fact_text(time);
    const std::string plain = trimmed.toStdString();
    if (plain.size() < 6 || !digits(plain, 0, 6))
        return trimmed;
    return fact_text(plain.substr(0, 2) + ":" + plain.substr(2, 2) + ":" + plain.substr(4));
}

// The values of a multi-valued text ("syngo MR E11\\N4_VE11E") separated by commas.
QString with_unit(const std::string& value, const char* unit)
{
    QString text = fact_text(value);
    text.replace(QLatin1Char('\\'), QStringLiteral(", "));
    return text.isEmpty() ? text : text + QString::fromUtf8(unit);
}

QString spacing_text(const std::string& spacing)
{
    QString text = fact_text(spacing);
    if (text.isEmpty())
        return text;
    return text.replace(QLatin1Char('\\'), QStringLiteral(" × ")) + QStringLiteral(" mm");
}

// The field of view the image covers, rows × spacing between rows by columns × spacing
// between columns (Pixel Spacing gives the rows' first), in the matrix's order.
QString field_of_view_text(const DicomAttributes& a)
{
    const std::string& spacing = a.pixel_spacing;
    const std::size_t split = spacing.find('\\');
    const auto between_rows = decimal(spacing.substr(0, split));
    const auto between_columns = split == std::string::npos ? std::nullopt : decimal(spacing.substr(split + 1));
    if (a.rows == 0 || a.columns == 0 || !between_rows || !between_columns)
        return {};
    const auto mm = [](long double length) { return QString::number(static_cast<double>(length), 'g', 6); };
    return mm(a.rows * *between_rows) + QStringLiteral(" × ") + mm(a.columns * *between_columns) + QStringLiteral(" mm");
}

}  // namespace

QString method_caption(const std::string& method)
{
    if (method == "consecutive")
        return QStringLiteral("連続撮像法 (consecutive)");
    if (method == "submap")
        return QStringLiteral("差分マップ法 (submap)");
    return q(method);
}

QString role_caption(const std::string& role)
{
    const bool pi = role.rfind("pi", 0) == 0;
    QString caption = pi ? QStringLiteral("PIあり") : QStringLiteral("PIなし");
    if (role.size() > 2 && (role.back() == '1' || role.back() == '2'))
        caption += QStringLiteral(" 画像") + QChar(role.back());
    return caption;
}

const InputFile* first_dicom_file(const RunRecord& run, const std::string& role)
{
    for (const InputFile& file : run.files) {
        if (file.role == role && file.source.dicom)
            return &file;
    }
    return nullptr;
}

QString scan_time_text(const DicomAttributes& a)
{
    const struct {
        const std::string& date;
        const std::string& time;
        const char* source;
    } times[] = {{a.acquisition_date, a.acquisition_time, ""},
                 {a.series_date, a.series_time, " (シリーズの日時)"},
                 {a.study_date, a.study_time, " (検査の日時)"}};
    for (const auto& [date, time, source] : times) {
        const QString day = date_text(date);
        if (!day.isEmpty())
            return (day + QLatin1Char(' ') + time_text(time)).trimmed() + QString::fromUtf8(source);
    }
    return QStringLiteral("–");
}

QString header_r_text(const DicomAttributes& a)
{
    const auto reduction = header_reduction(a);
    if (!reduction)
        return QStringLiteral("–");
    return q(reduction_text(reduction->r) + " (" + reduction->source + ")");
}

std::vector<std::pair<QString, QString>> input_facts(const RunRecord& run, const std::string& role)
{
    long long dicom = 0, raw = 0;
    for (const InputFile& file : run.files) {
        if (file.role == role)
            (file.source.dicom ? dicom : raw) += 1;
    }
    const InputFile* first = first_dicom_file(run, role);
    long long count = dicom + raw;
    for (const auto& [counted, slices] : run.slice_counts) {
        if (counted == role)
            count = slices;
    }
    std::vector<std::pair<QString, QString>> facts;
    facts.emplace_back(QStringLiteral("枚数"), QString::number(count));
    QString read = QStringLiteral("DICOM %1 枚").arg(dicom);
    if (raw > 0)
        read = dicom > 0 ? read + QStringLiteral("、raw %1 枚").arg(raw) : QStringLiteral("raw %1 枚").arg(raw);
    facts.emplace_back(QStringLiteral("読み方"), read);
    static const DicomAttributes none;
    const DicomAttributes& a = first != nullptr ? first->source.attributes : none;
    const QString matrix = a.rows > 0 && a.columns > 0 ? QStringLiteral("%1 × %2").arg(a.rows).arg(a.columns)
                                                       : QString();
    facts.emplace_back(QStringLiteral("DICOM 情報の出所"), or_dash(first != nullptr ? fact_text(first->name) : QString()));
    for (const InputFact& fact : snr::input_facts) {
        if (fact.caption == nullptr)
            continue;
        const std::string& value = a.*fact.field;
        QString text;
        switch (fact.form) {
        case FactForm::Text: text = with_unit(value, fact.unit); break;
        case FactForm::Date: text = date_text(value); break;
        case FactForm::Time: text = time_text(value); break;
        case FactForm::Spacing:
            // The matrix goes with the spacing of its pixels.
            facts.emplace_back(QStringLiteral("マトリクス"), or_dash(matrix));
            text = spacing_text(value);
            break;
        }
        facts.emplace_back(QString::fromUtf8(fact.caption), or_dash(text));
        if (fact.form == FactForm::Spacing)
            facts.emplace_back(QStringLiteral("FOV (マトリクス × 間隔)"), or_dash(field_of_view_text(a)));
    }
    facts.emplace_back(QStringLiteral("R (ヘッダ)"), header_r_text(a));
    return facts;
}

}  // namespace snr::report
