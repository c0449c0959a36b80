// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <string>

namespace snr {

// A text of ours (UTF-8) as Qt holds it.
inline QString q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace snr
