#include "player/render/bitmap_fill.h"

#include <algorithm>
#include <cmath>

namespace vistrel::player {

namespace {

// Blends four premultiplied pixels with weights out of 256 on each axis.
QRgb bilinear(QRgb tl, QRgb tr, QRgb bl, QRgb br, int fx, int fy) {
    auto channel = [&](int shift) {
        const int top = ((tl >> shift) & 0xff) * (256 - fx) + ((tr >> shift) & 0xff) * fx;
        const int bottom = ((bl >> shift) & 0xff) * (256 - fx) + ((br >> shift) & 0xff) * fx;
        return static_cast<QRgb>(((top * (256 - fy) + bottom * fy) >> 16) & 0xff) << shift;
    };
    return channel(24) | channel(16) | channel(8) | channel(0);
}

}  // namespace

void renderClampedBitmap(const QImage& bitmap, const QTransform& bitmapToDevice, const QRect& area, bool smooth,
                         QImage& out) {
    if (out.isNull() || out.size() != area.size() || out.format() != QImage::Format_ARGB32_Premultiplied) return;
    bool invertible = false;
    const QTransform inverse = bitmapToDevice.inverted(&invertible);
    if (!invertible || bitmap.isNull()) {
        out.fill(Qt::transparent);
        return;
    }
    const QImage source = bitmap.format() == QImage::Format_ARGB32_Premultiplied
                              ? bitmap
                              : bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = source.width(), h = source.height();
    auto pixel = [&](int x, int y) {
        return reinterpret_cast<const QRgb*>(source.constScanLine(std::clamp(y, 0, h - 1)))[std::clamp(x, 0, w - 1)];
    };
    // Far-off coordinates only pick edge pixels; the clamp keeps the integer conversions defined.
    const double limit = 1e7;
    for (int row = 0; row < area.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(row));
        // Each device pixel takes the bitmap's colour at its centre, worked out from the device's left
        // edge so that a pixel gets the same colour whatever part of the fill is drawn.
        const QPointF start = inverse.map(QPointF(0.5, area.top() + row + 0.5));
        for (int col = 0; col < area.width(); ++col) {
            const double x = area.left() + col;
            const double u = std::clamp(start.x() + inverse.m11() * x, -limit, limit);
            const double v = std::clamp(start.y() + inverse.m12() * x, -limit, limit);
            if (!smooth) {
                line[col] = pixel(static_cast<int>(std::floor(u)), static_cast<int>(std::floor(v)));
                continue;
            }
            const double su = u - 0.5, sv = v - 0.5;
            const int x0 = static_cast<int>(std::floor(su)), y0 = static_cast<int>(std::floor(sv));
            const int fx = static_cast<int>((su - x0) * 256), fy = static_cast<int>((sv - y0) * 256);
            line[col] = bilinear(pixel(x0, y0), pixel(x0 + 1, y0), pixel(x0, y0 + 1), pixel(x0 + 1, y0 + 1), fx, fy);
        }
    }
}

bool bitmapCovers(const QImage& bitmap, const QTransform& bitmapToShape, const QRectF& pathBounds) {
    bool invertible = false;
    const QTransform inverse = bitmapToShape.inverted(&invertible);
    if (!invertible) return false;
    // A hair of slack: outlines drawn exactly along the picture's edges count as inside.
    const QRectF inBitmap = inverse.mapRect(pathBounds);
    return QRectF(0, 0, bitmap.width(), bitmap.height()).adjusted(-0.01, -0.01, 0.01, 0.01).contains(inBitmap);
}

}  // namespace vistrel::player
