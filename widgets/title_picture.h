// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QImage>
#include <QString>

namespace snr {

// The picture the image control holds until the first rendering: a dark axial head slice
// under a fine green grid, the measurement's purpose in green and the method below it.
QImage make_title_picture(const QString& method);

}  // namespace snr
