#include "player/render/blend.h"

#include <algorithm>
#include <optional>

#include <QImage>
#include <QPainter>
#include <QRect>

namespace vistrel::player {
namespace {

inline int mul255(int a, int b)
{
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

// Modes whose formula Qt's raster compositing implements as such.
std::optional<QPainter::CompositionMode> painterMode(BlendMode mode)
{
    switch (mode) {
    case BlendMode::Normal:
    case BlendMode::Layer: return QPainter::CompositionMode_SourceOver;
    case BlendMode::Multiply: return QPainter::CompositionMode_Multiply;
    case BlendMode::Screen: return QPainter::CompositionMode_Screen;
    case BlendMode::Lighten: return QPainter::CompositionMode_Lighten;
    case BlendMode::Darken: return QPainter::CompositionMode_Darken;
    case BlendMode::Difference: return QPainter::CompositionMode_Difference;
    case BlendMode::Add: return QPainter::CompositionMode_Plus;
    case BlendMode::Alpha: return QPainter::CompositionMode_DestinationIn;
    case BlendMode::Erase: return QPainter::CompositionMode_DestinationOut;
    case BlendMode::Overlay: return QPainter::CompositionMode_Overlay;
    case BlendMode::Hardlight: return QPainter::CompositionMode_HardLight;
    case BlendMode::Subtract:
    case BlendMode::Invert: break;
    }
    return std::nullopt;
}

// Target minus layer colour where they overlap, the usual source-over coverage elsewhere:
// result = S(1 - Da) + D(1 - Sa) + Sa*Da*max(0, d - s) in straight terms.
QRgb subtractPixel(QRgb s, QRgb d)
{
    const int sa = qAlpha(s);
    const int da = qAlpha(d);
    if (sa == 0)
        return d;
    const auto channel = [&](int sc, int dc) {
        // Sa*Da*max(0, dc/Da - sc/Sa) = max(0, dc*Sa - sc*Da), all premultiplied.
        const int both = std::max(0, mul255(dc, sa) - mul255(sc, da));
        return std::min(255, mul255(sc, 255 - da) + mul255(dc, 255 - sa) + both);
    };
    const int a = std::min(255, sa + da - mul255(sa, da));
    return qRgba(std::min(a, channel(qRed(s), qRed(d))), std::min(a, channel(qGreen(s), qGreen(d))),
                 std::min(a, channel(qBlue(s), qBlue(d))), a);
}

// The target's colour inverted in proportion to the layer's coverage; its alpha is kept.
QRgb invertPixel(QRgb s, QRgb d)
{
    const int sa = qAlpha(s);
    const int da = qAlpha(d);
    const auto channel = [&](int dc) { return mul255(dc, 255 - sa) + mul255(da - dc, sa); };
    return qRgba(channel(qRed(d)), channel(qGreen(d)), channel(qBlue(d)), da);
}

} // namespace

BlendMode blendModeFromByte(std::uint8_t value)
{
    if (value >= std::uint8_t(BlendMode::Layer) && value <= std::uint8_t(BlendMode::Hardlight))
        return BlendMode(value);
    return BlendMode::Normal;
}

void blendLayer(QImage& target, const QImage& layer, QPoint at, BlendMode mode)
{
    if (target.isNull() || layer.isNull())
        return;
    if (target.format() != QImage::Format_ARGB32_Premultiplied)
        target = target.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage source = layer.format() == QImage::Format_ARGB32_Premultiplied
                              ? layer
                              : layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);

    if (const auto composition = painterMode(mode)) {
        QPainter painter(&target);
        painter.setCompositionMode(*composition);
        painter.drawImage(at, source);
        return;
    }

    const QRect area = QRect(at, source.size()).intersected(target.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* dst = reinterpret_cast<QRgb*>(target.scanLine(y));
        const auto* src = reinterpret_cast<const QRgb*>(source.constScanLine(y - at.y()));
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb s = src[x - at.x()];
            dst[x] = mode == BlendMode::Subtract ? subtractPixel(s, dst[x]) : invertPixel(s, dst[x]);
        }
    }
}

} // namespace vistrel::player
