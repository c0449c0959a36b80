#include "tools/snrmap/plane_picture.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cstring>
#include <stdexcept>

#include "core/display.h"

namespace snr::snrmap {

std::string png_bytes(const Plane& plane, std::int16_t wl, std::int16_t ww)
{
    if (ww == 0)
        ww = 1;
    QImage bitmap(plane_side, plane_side, QImage::Format_RGB888);
    render_display(plane, wl, ww, bitmap.bits(), bitmap.bytesPerLine());

    // The three bytes of a pixel are equal; keep one.
    QImage grey(plane_side, plane_side, QImage::Format_Grayscale8);
    for (int row = 0; row < plane_side; ++row) {
        const uchar* from = bitmap.constScanLine(row);
        uchar* to = grey.scanLine(row);
        for (int column = 0; column < plane_side; ++column)
            to[column] = from[display_bytes_per_pixel * column];
    }

    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!grey.save(&buffer, "PNG"))
        throw std::runtime_error("PNG encoding failed");
    return std::string(encoded.constData(), static_cast<std::size_t>(encoded.size()));
}

}  // namespace snr::snrmap
