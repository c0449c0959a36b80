// SPDX-License-Identifier: BSD-3-Clause
#include "report/input_facts.h"

#include <algorithm>
#include <cctype>

#include "record/input_facts.h"
#include "report/qt_text.h"

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

QString with_unit(const std::string& value, const char* unit)
{
    const QString text = fact_text(value);
    return text.isEmpty() ? text : text + QString::fromUtf8(unit);
}

QString spacing_text(const std::string& spacing)
{
    QString text = fact_text(spacing);
    if (text.isEmpty())
        return text;
    return text.replace(QLatin1Char('\\'), QStringLiteral(" × ")) + QStringLiteral(" mm");
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

std::vector<std::pair<QString, QString>> input_facts(const RunRecord& run, const std::string& role)
{
    long long dicom = 0, raw = 0;
    const InputFile* first = nullptr;
    for (const InputFile& file : run.files) {
        if (file.role != role)
            continue;
        (file.source.dicom ? dicom : raw) += 1;
        if (file.source.dicom && first == nullptr)
            first = &file;
    }
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
    }
    return facts;
}

}  // namespace snr::report
