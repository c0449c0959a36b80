// SPDX-License-Identifier: BSD-3-Clause
#include "history/sql_values.h"

#include "core/utf8.h"

namespace snr::history {

QString sql_text(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t at = 0; at < bytes.size();) {
        const Utf8Char character = utf8_at(bytes, at);
        if (character.length == 0) {
            text += QChar(static_cast<unsigned char>(bytes[at]));
            ++at;
            continue;
        }
        if (character.code == 0)
            text += QChar(0xFFFD);
        else if (character.length == 1)
            text += QChar(static_cast<char16_t>(character.code));
        else
            text += QString::fromUtf8(bytes.data() + at, static_cast<qsizetype>(character.length));
        at += character.length;
    }
    return text;
}

QVariant value_of(const std::optional<double>& figure)
{
    return figure ? QVariant(*figure) : QVariant(QMetaType::fromType<double>());
}

std::string string_of(const QVariant& value) { return value.toString().toStdString(); }

std::optional<double> figure_of(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toDouble();
}

}  // namespace snr::history
