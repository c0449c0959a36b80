// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <QVariant>
#include <optional>
#include <string>
#include <string_view>

namespace snr::history {

// Text from files as the database keeps it: valid UTF-8 as it is, a byte that is not part of
// valid UTF-8 as the character of its value (U+0080 to U+00FF, as summary.json's \u00XX has
// it), NUL, which no text column of PostgreSQL holds, as U+FFFD.
QString sql_text(std::string_view bytes);

// A figure, NULL where it is empty.
QVariant value_of(const std::optional<double>& figure);

std::string string_of(const QVariant& value);
std::optional<double> figure_of(const QVariant& value);

}  // namespace snr::history
