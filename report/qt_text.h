// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <string>

namespace snr {

// A text of ours (UTF-8) as Qt holds it.
inline QString q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace snr

namespace snr::report {

// A result item's caption as the report writes it: the list's text, every SNR map spelt
// "SNR map" (the difference method's list has "PIあり SNRmap").
inline QString item_caption(const std::string& item)
{
    return q(item).replace(QStringLiteral("SNRmap"), QStringLiteral("SNR map"));
}

}  // namespace snr::report
