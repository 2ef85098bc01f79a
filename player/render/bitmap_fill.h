// Bitmap fills drawn ourselves, so every device pixel takes the colour its own position gives it,
// whatever part of the fill is being drawn: clipped fills, whose edge pixels carry on outward, and
// repeating ones.
#pragma once

#include <QImage>
#include <QRect>
#include <QTransform>

namespace vistrel::player {

// Fills `out` (premultiplied ARGB32, the size of `area`) with what `area` (device pixels) shows
// of `bitmap` placed by `bitmapToDevice`, its edge pixels repeated beyond its sides; `smooth`
// blends neighbouring pixels. The bitmap should be premultiplied ARGB32 (others are converted).
// A transform that cannot be inverted leaves it transparent.
void renderClampedBitmap(const QImage& bitmap, const QTransform& bitmapToDevice, const QRect& area, bool smooth,
                         QImage& out);

// The same for a bitmap repeated without end in every direction; `smooth` blends across the seams
// between copies as inside one.
void renderRepeatedBitmap(const QImage& bitmap, const QTransform& bitmapToDevice, const QRect& area, bool smooth,
                          QImage& out);

// Whether the shape outline `path` (in the same units as `bitmapToShape` maps the bitmap's pixels
// to) stays inside the bitmap, so drawing the bitmap once covers it.
bool bitmapCovers(const QImage& bitmap, const QTransform& bitmapToShape, const QRectF& pathBounds);

}  // namespace vistrel::player
