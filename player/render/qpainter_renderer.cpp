#include "player/render/qpainter_renderer.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstring>
#include <limits>

#include <QPainter>
#include <QPainterPathStroker>

#include "player/render/bitmap_fill.h"
#include "player/render/damage.h"
#include "player/render/fill_pieces.h"
#include "player/render/filters.h"
#include "player/render/gradient_fill.h"
#include "player/render/gradient_table.h"
#include "player/render/sampled_fill.h"
#include "player/shape_paths.h"

namespace vistrel::player {

namespace {

constexpr std::size_t kImageCacheSize = 256;
// Colour-transformed bitmaps kept across frames take no more memory than this.
constexpr std::size_t kImageCacheBytes = std::size_t{64} << 20;
// Straight-colour copies of pictures drawn under changing colour transforms take no more than this.
constexpr std::size_t kStraightBytes = std::size_t{32} << 20;
// Of those, the ones not yet drawn a second time take no more than this.
constexpr std::size_t kUntriedBytes = std::size_t{8} << 20;
// Colour-transformed pictures let go of, kept to be written again.
constexpr std::size_t kRecycledImages = 8;
// Pictures whose alpha values are known at once.
constexpr std::size_t kAlphaSets = 1024;
constexpr double kAliasNudge = 0.75 / 64;
// Device widths up to this are drawn as hairlines (with a margin over one pixel for rounding).
constexpr double kHairlineWidth = 1.01;
constexpr std::size_t kSpareLayers = 4;
// Seam bands kept beside the one a fill holds: per fill, and fills in all.
constexpr std::size_t kSeamBandsPerItem = 4;
constexpr std::size_t kSeamBandItems = 4096;
// Seam bands kept as pictures take no more memory than this.
constexpr std::size_t kKeptSeamBytes = std::size_t{32} << 20;
// Shapes further out than this many pixels are drawn as they are, not from kept pictures.
constexpr double kFarPixels = 1 << 24;

QColor toQColor(swf::Rgba c) { return QColor(c.r, c.g, c.b, c.a); }

Qt::PenCapStyle toCap(swf::CapStyle c) {
    switch (c) {
    case swf::CapStyle::None: return Qt::FlatCap;
    case swf::CapStyle::Square: return Qt::SquareCap;
    default: return Qt::RoundCap;
    }
}

Qt::PenJoinStyle toJoin(swf::JoinStyle j) {
    switch (j) {
    case swf::JoinStyle::Bevel: return Qt::BevelJoin;
    case swf::JoinStyle::Miter: return Qt::MiterJoin;
    default: return Qt::RoundJoin;
    }
}

double scaleOf(const QTransform& t) { return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21())); }

// The scale a line's width is measured at: how long the transform makes a step of one unit along
// both axes at once, per unit of that step (for a plain stretch, the root mean square of its two
// scales; turned as well, the stretch counts for less or more as it lines up with that diagonal).
double lineScaleOf(const QTransform& t) { return std::hypot(t.m11() + t.m21(), t.m12() + t.m22()) / std::sqrt(2.0); }

// A line is as wide in its shape's own space as its style says, and is stretched with the shape;
// only when that comes to less than one device pixel at the line scale is it widened to that pixel.
double lineWidthInShape(double width, const QTransform& device) {
    const double scale = lineScaleOf(device);
    return scale > 0 && std::isfinite(scale) ? std::max(width, 1.0 / scale) : width;
}

// The outline of a line along `path`, `width` wide, with `pen`'s ends and corners.
QPainterPath lineOutline(const QPainterPath& path, double width, const QPen& pen) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(pen.capStyle());
    stroker.setJoinStyle(pen.joinStyle());
    stroker.setMiterLimit(pen.miterLimit());
    return stroker.createStroke(path);
}

// How `t` scales: along axes that stay perpendicular, and by the same amount along both. Both
// within what a movie's fixed-point matrices can hold of a turn.
struct Scaling {
    bool square = true, even = true;
};
Scaling scalingOf(const QTransform& t) {
    constexpr double kFixedPointNoise = 1e-4;
    const double scaleX = std::hypot(t.m11(), t.m12()), scaleY = std::hypot(t.m21(), t.m22());
    return {std::abs(t.m11() * t.m21() + t.m12() * t.m22()) <= kFixedPointNoise * scaleX * scaleY,
            std::abs(scaleX - scaleY) <= kFixedPointNoise * std::max(scaleX, scaleY)};
}

// Whether every piece of `path` is a straight line along a pixel row or column.
bool alongPixelAxes(const QPainterPath& path) {
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) continue;
        if (!e.isLineTo()) return false;
        const QPainterPath::Element from = path.elementAt(i - 1);
        if (std::abs(e.x - from.x) > 1e-9 && std::abs(e.y - from.y) > 1e-9) return false;
    }
    return true;
}

// Whether every piece of `path` runs along a pixel row or column between whole pixel corners.
bool onWholePixels(const QPainterPath& path) {
    if (!alongPixelAxes(path)) return false;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (std::abs(e.x - std::round(e.x)) > 1e-9 || std::abs(e.y - std::round(e.y)) > 1e-9) return false;
    }
    return true;
}

}  // namespace

QPainterRenderer::QPainterRenderer(QImage& target) : m_target(target) {}

QPainterRenderer::~QPainterRenderer() {
    while (!m_layers.empty()) {
        m_layers.back().painter->end();
        m_layers.pop_back();
    }
}

QPainter& QPainterRenderer::painter() { return *m_layers.back().painter; }

void QPainterRenderer::prepare(QPainter& p) const {
    const bool aa = m_quality != RenderQuality::Low;
    p.setRenderHint(QPainter::Antialiasing, aa);
    p.setRenderHint(QPainter::SmoothPixmapTransform, m_quality == RenderQuality::Best);
}

bool QPainterRenderer::smoothBitmaps(const Paint& paint) const {
    if (m_quality == RenderQuality::Best) return true;
    if (m_quality == RenderQuality::Low) return false;
    return paint.smooth;
}

void QPainterRenderer::beginFrame(swf::Rgba background, const QTransform& stageToDevice, RenderQuality quality) {
    m_filtersStopped = false;
    m_layers.clear();
    m_building.clear();
    m_maskApplied.clear();
    m_masksApplied = 0;
    m_stage = m_stageExact = stageToDevice;
    m_quality = quality;
    // Without anti-aliasing a pixel belongs to a shape when its centre does, a centre on an edge
    // going to the shape below or right of it. The rasteriser rounds points to 1/64 pixel and
    // gives such centres the other way, so everything moves up-left by less than that step.
    if (quality == RenderQuality::Low) m_stage *= QTransform::fromTranslate(-kAliasNudge, -kAliasNudge);
    m_stageScale = scaleOf(m_stageExact);
    m_framePlan = m_plan;
    m_gradients.nextFrame();
    m_layerCalls = 0;
    m_skipDepth = 0;
    m_skipCached = nullptr;
    background.a = 255;
    Layer base;
    if (m_repaint.isEmpty()) {
        m_target.fill(toQColor(background));
    } else {
        const QRgb fill = qRgba(background.r, background.g, background.b, 255);
        uchar* const pixels = m_target.bits();
        for (const QRect& r : m_repaint.intersected(m_target.rect())) {
            // Through an image over the rectangle's own pixels, whose fill is far quicker than a loop.
            QImage part(pixels + static_cast<qsizetype>(r.top()) * m_target.bytesPerLine() + static_cast<qsizetype>(r.left()) * 4,
                        r.width(), r.height(), m_target.bytesPerLine(), m_target.format());
            part.fill(fill);
        }
        base.cull = true;
    }
    // The anti-aliasing rasteriser works through every row of an outline down to the device's last
    // one, clip or not, and for tall outlines (lines above all) that costs far more than the pixels
    // painted. A partial repaint draws on the picture's rows down to the last repainted one only: the
    // origin stays put, so each row is worked out exactly as on the whole picture (curves are cut into
    // lines after they are placed, and moved by whole rows they would be cut a little differently).
    const int rows = m_repaint.isEmpty() ? m_target.height()
                                         : std::clamp(m_repaint.boundingRect().bottom() + 1, 1, m_target.height());
    m_wantedWholeDevice = false;
    if (m_rowLimit && rows < m_target.height()) {
        m_rows = QImage(m_target.bits(), m_target.width(), rows, m_target.bytesPerLine(), m_target.format());
        base.painter = std::make_unique<QPainter>(&m_rows);
    } else {
        m_rows = QImage();
        base.painter = std::make_unique<QPainter>(&m_target);
    }
    if (!m_repaint.isEmpty()) base.painter->setClipRegion(m_repaint);
    prepare(*base.painter);
    m_layers.push_back(std::move(base));
}

void QPainterRenderer::endFrame() {
    while (!m_layers.empty()) {
        m_layers.back().painter->end();
        m_layers.pop_back();
    }
}

const std::bitset<256>& QPainterRenderer::alphasOf(const QImage& image) {
    const auto found = m_alphas.find(image.cacheKey());
    if (found != m_alphas.end()) return found->second;
    if (m_alphas.size() >= kAlphaSets) m_alphas.clear();
    std::bitset<256> alphas;
    if (!image.hasAlphaChannel()) {
        alphas.set(255);
    } else {
        const QImage argb = image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_ARGB32_Premultiplied
                                ? image
                                : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < argb.height() && !alphas.all(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < argb.width(); ++x) alphas.set(qAlpha(line[x]));
        }
    }
    return m_alphas.emplace(image.cacheKey(), alphas).first->second;
}

QImage QPainterRenderer::transformedImage(const QImage& image, const swf::ColorTransform& cx) {
    if (cx.isIdentity() || image.isNull()) return image;
    // Each channel maps on its own: a table per channel does the transform's arithmetic once.
    ChannelTables table;
    for (int v = 0; v < 256; ++v) {
        const auto u = static_cast<std::uint8_t>(v);
        const swf::Rgba c = cx.apply({u, u, u, u});
        table[0][static_cast<std::size_t>(v)] = c.r;
        table[1][static_cast<std::size_t>(v)] = c.g;
        table[2][static_cast<std::size_t>(v)] = c.b;
        table[3][static_cast<std::size_t>(v)] = c.a;
    }
    // Only the alpha values the picture holds matter: transforms that agree on those give the same
    // picture (fades of an opaque one beyond full, for one), so they share it, and one that leaves
    // them all clear or all as they were needs no new picture.
    const std::bitset<256>& alphas = alphasOf(image);
    bool sameAlpha = true, clear = true;
    for (std::size_t v = 0; v < 256; ++v) {
        if (!alphas.test(v)) {
            table[3][v] = 0;
            continue;
        }
        sameAlpha = sameAlpha && table[3][v] == v;
        clear = clear && table[3][v] == 0;
    }
    if (clear) return QImage();
    bool sameColor = sameAlpha;
    for (std::size_t c = 0; c < 3 && sameColor; ++c)
        for (std::size_t v = 0; v < 256 && sameColor; ++v) sameColor = table[c][v] == v;
    if (sameColor) return image;
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const auto& channel : table)
        for (const std::uint8_t v : channel) hash = (hash ^ v) * 0x100000001b3ull;
    for (auto it = m_imageCache.begin(); it != m_imageCache.end(); ++it) {
        if (it->key == image.cacheKey() && it->hash == hash && it->table == table) {
            if (!it->reused) {
                it->reused = true;
                m_untriedBytes -= static_cast<std::size_t>(it->image.sizeInBytes());
            }
            m_imageCache.splice(m_imageCache.begin(), m_imageCache, it);
            return it->image;
        }
    }
    // Fades change the transform every frame: the picture's straight colours are kept, so each new
    // transform costs one pass and one conversion rather than two.
    const QImage& straight = straightColors(image);
    // Memory of pictures the cache let go is written again: fresh memory costs more than the pass.
    QImage out;
    const auto spare = std::find_if(m_recycled.begin(), m_recycled.end(), [&](const QImage& i) {
        return i.size() == straight.size() && i.isDetached();
    });
    if (spare != m_recycled.end()) {
        out = std::move(*spare);
        m_recycled.erase(spare);
    } else {
        out = QImage(straight.size(), QImage::Format_ARGB32_Premultiplied);
    }
    for (int y = 0; y < out.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = from[x];
            line[x] = qPremultiply(qRgba(table[0][static_cast<std::size_t>(qRed(p))], table[1][static_cast<std::size_t>(qGreen(p))],
                                         table[2][static_cast<std::size_t>(qBlue(p))], table[3][static_cast<std::size_t>(qAlpha(p))]));
        }
    }
    const auto bytes = static_cast<std::size_t>(out.sizeInBytes());
    m_imageCache.push_front({image.cacheKey(), hash, table, out, false});
    m_imageCacheBytes += bytes;
    m_untriedBytes += bytes;
    const auto drop = [&](std::list<CachedImage>::iterator it) {
        const auto size = static_cast<std::size_t>(it->image.sizeInBytes());
        m_imageCacheBytes -= size;
        if (!it->reused) m_untriedBytes -= size;
        if (m_recycled.size() >= kRecycledImages) m_recycled.erase(m_recycled.begin());
        m_recycled.push_back(std::move(it->image));
        m_imageCache.erase(it);
    };
    // A fade makes a new picture every frame that is never asked for again: pictures not yet reused
    // make way among themselves first, so they neither push out the ones that are nor take much memory.
    while (m_untriedBytes > kUntriedBytes && m_imageCache.size() > 1) {
        auto it = std::prev(m_imageCache.end());
        while (it != m_imageCache.begin() && it->reused) --it;
        if (it == m_imageCache.begin()) break;
        drop(it);
    }
    while (m_imageCache.size() > 1 && (m_imageCache.size() > kImageCacheSize || m_imageCacheBytes > kImageCacheBytes))
        drop(std::prev(m_imageCache.end()));
    return out;
}

const QImage& QPainterRenderer::straightColors(const QImage& image) {
    for (auto it = m_straight.begin(); it != m_straight.end(); ++it) {
        if (it->first == image.cacheKey()) {
            m_straight.splice(m_straight.begin(), m_straight, it);
            return m_straight.front().second;
        }
    }
    QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    m_straightBytes += static_cast<std::size_t>(straight.sizeInBytes());
    m_straight.emplace_front(image.cacheKey(), std::move(straight));
    while (m_straight.size() > 1 && m_straightBytes > kStraightBytes) {
        m_straightBytes -= static_cast<std::size_t>(m_straight.back().second.sizeInBytes());
        m_straight.pop_back();
    }
    return m_straight.front().second;
}

QBrush QPainterRenderer::makeBrush(const Paint& paint, const swf::ColorTransform& cx, const QTransform& device) {
    if (paint.type == swf::FillType::Solid) return QBrush(toQColor(cx.apply(paint.color)));
    if (paint.image.isNull() && static_cast<std::uint8_t>(paint.type) >= 0x40) return QBrush(Qt::NoBrush);
    if (static_cast<std::uint8_t>(paint.type) >= 0x40) {
        const QImage image = transformedImage(paint.image, cx);
        if (image.isNull()) return QBrush(Qt::NoBrush);
        QBrush brush(image);
        brush.setTransform(paint.matrix);
        return brush;
    }
    const auto& records = paint.gradient.records;
    if (records.empty()) return QBrush(Qt::NoBrush);
    if (records.size() == 1) return QBrush(toQColor(cx.apply(records[0].color)));
    // Each of the 256 table entries covers its own slice of the gradient, without blending into
    // the next.
    const GradientTable table = buildGradientTable(paint.gradient, cx);
    QGradientStops stops;
    stops.reserve(512);
    for (int pos = 0; pos < 256; ++pos) {
        const QColor color = QColor::fromRgba(table[static_cast<std::size_t>(pos)]);
        stops.append({pos / 256.0, color});
        stops.append({(pos + 1) / 256.0 - 1e-6, color});
    }
    QGradient gradient;
    if (paint.type == swf::FillType::LinearGradient) {
        gradient = QLinearGradient(-kGradientHalf, 0, kGradientHalf, 0);
    } else {
        const double focal = std::clamp(paint.gradient.focalPoint, -0.998, 0.998);
        gradient = QRadialGradient(QPointF(0, 0), kGradientHalf,
                                   QPointF(paint.type == swf::FillType::FocalGradient ? focal * kGradientHalf : 0, 0));
    }
    gradient.setStops(stops);
    gradient.setSpread(paint.gradient.spread == 1   ? QGradient::ReflectSpread
                       : paint.gradient.spread == 2 ? QGradient::RepeatSpread
                                                    : QGradient::PadSpread);
    QBrush brush(gradient);
    // Gradients are sampled at each pixel's top-left corner rather than its centre: moving the
    // gradient half a device pixel right and down gives the same colours.
    QTransform shift = paint.matrix;
    if (device.isInvertible()) shift = paint.matrix * device * QTransform::fromTranslate(0.5, 0.5) * device.inverted();
    brush.setTransform(shift);
    return brush;
}

void QPainterRenderer::fillItem(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx) {
    const Paint& paint = item.paint;
    p.setTransform(device);
    p.setPen(Qt::NoPen);
    if (static_cast<std::uint8_t>(paint.type) >= 0x40) {
        if (paint.image.isNull()) return;
        // A transform that clears every pixel leaves nothing to draw.
        const QImage image = transformedImage(paint.image, cx);
        if (image.isNull()) return;
        p.setRenderHint(QPainter::SmoothPixmapTransform, smoothBitmaps(paint));
        const QTransform toDevice = paint.matrix * device;
        if (!paint.repeat && !bitmapCovers(paint.image, paint.matrix, item.path.boundingRect())) {
            // A clipped bitmap smaller than its shape: its edge pixels carry on to the outline.
            const bool smooth = smoothBitmaps(paint);
            fillDeviceImage(p, item, device, [&](const QRect& area, QImage& out) {
                renderClampedBitmap(image, toDevice, area, smooth, out);
            });
        } else if (!paint.repeat && onWholePixels(device.map(item.path))) {
            // Clipped bitmap whose outline runs along pixel edges: the picture once, cut to the shape.
            p.save();
            p.setClipPath(item.path, Qt::IntersectClip);
            p.setTransform(paint.matrix * device);
            p.drawImage(QPointF(0, 0), image);
            p.restore();
        } else if (!paint.repeat) {
            // Clipped bitmap: the picture once, laid into the covered device area, which the outline
            // then takes with the same soft edges as any fill.
            const bool smooth = smoothBitmaps(paint);
            const QRegion* clip = knownClip();
            inBands(p, device.map(item.path).boundingRect().toAlignedRect(), clip, [&] {
                fillDeviceImage(p, item, device, [&](const QRect& area, QImage& out) {
                    layCoveringBitmap(image, toDevice, area, smooth, clip, out);
                });
            });
        } else {
            // Repeating: sampled here too, since the painter's own sampling steps from where each
            // clipped span starts and a part repainted would not match the whole drawn at once.
            const bool smooth = smoothBitmaps(paint);
            fillDeviceImage(p, item, device, [&](const QRect& area, QImage& out) {
                renderRepeatedBitmap(image, toDevice, area, smooth, out);
            });
        }
        p.setRenderHint(QPainter::SmoothPixmapTransform, m_quality == RenderQuality::Best);
        return;
    }
    if (drawnAsGradient(paint)) {
        fillGradient(p, item, device, cx);
        return;
    }
    // Kept with the fill while its path stays the one they were made from (copies of an item share it).
    if (!item.pieces || !(item.pieces->source == item.path)) item.pieces = splitFill(item.path);
    fillInPieces(p, item.path, item.pieces.get(), makeBrush(paint, cx, device), knownClip());
}

bool QPainterRenderer::drawnAsGradient(const Paint& paint) {
    return paint.gradient.records.size() > 1 && (paint.type == swf::FillType::LinearGradient ||
                                                 paint.type == swf::FillType::RadialGradient ||
                                                 paint.type == swf::FillType::FocalGradient);
}

GradientSampling QPainterRenderer::gradientSampling() const {
    // Without anti-aliasing colours blend between entries; with it each pixel keeps one entry.
    return m_quality == RenderQuality::Low ? GradientSampling::Blended : GradientSampling::Stepped;
}

QTransform QPainterRenderer::gradientToDevice(const Paint& paint, const QTransform& device) const {
    // The nudge that settles aliased edges is for the rasteriser only: colours sample the exact place.
    QTransform toDevice = paint.matrix * device;
    if (m_quality == RenderQuality::Low) toDevice *= QTransform::fromTranslate(kAliasNudge, kAliasNudge);
    return toDevice;
}

QBrush QPainterRenderer::lineGradientBrush(const Paint& paint, const QTransform& device, const swf::ColorTransform& cx,
                                           QRect area) {
    // Lines take their gradient colours pixel by pixel as fills do: a picture of the device area the
    // line may cover, which the brush lays down where it stands.
    area &= m_target.rect();
    if (area.isEmpty()) return QBrush(Qt::NoBrush);
    const GradientSampling sampling = gradientSampling();
    const GradientTable table = buildGradientTable(paint.gradient, cx, sampling);
    QImage image(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return QBrush(Qt::NoBrush);
    renderGradient(paint.gradient, paint.type, table, gradientToDevice(paint, device), area, image, sampling);
    QBrush brush(image);
    brush.setTransform(QTransform::fromTranslate(area.left(), area.top()));
    return brush;
}

void QPainterRenderer::fillGradient(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx) {
    const GradientSampling sampling = gradientSampling();
    const GradientTable table = buildGradientTable(item.paint.gradient, cx, sampling);
    const QTransform toDevice = gradientToDevice(item.paint, device);
    // A linear gradient that changes only across (or only down) the device gives every row (or column)
    // the same colours: one row (or a narrow strip) is computed and the brush repeats it, instead of
    // working out and blending a picture as tall as the fill.
    QSize repeat;
    bool invertible = false;
    const QTransform inverse = toDevice.inverted(&invertible);
    if (invertible && item.paint.type == swf::FillType::LinearGradient) {
        constexpr int kMax = std::numeric_limits<int>::max();
        if (inverse.m21() == 0) repeat = QSize(kMax, 1);
        else if (inverse.m11() == 0) repeat = QSize(64, kMax);
    }
    GradientCache::Key key{table, item.paint.type, item.paint.gradient.spread, item.paint.gradient.focalPoint, toDevice, QRect(), sampling};
    fillDeviceImage(p, item, device, [&](const QRect& area, QImage& out) {
        renderGradient(item.paint.gradient, item.paint.type, table, toDevice, area, out, sampling);
    }, repeat, &key);
}

namespace {

// The device pixels of `area` whose centres may lie outside the picture `image` placed by
// `toDevice` (not turned), or near enough its edge that the painter may leave them: the rows above and
// below a band, the columns beside it. Each strip is added with `strip`.
template <typename Strip>
void edgeStrips(const QImage& image, const QTransform& toDevice, const QRect& area, Strip strip) {
    const QRectF onDevice = toDevice.mapRect(QRectF(image.rect()));
    // Rows and columns whose centres lie a whole pixel inside the picture.
    const auto inner = [](double from, double to, int first, int last) {
        const double lo = std::clamp(std::ceil(from + 0.5), double(first), double(last) + 1);
        const double hi = std::clamp(std::floor(to - 1.5), double(first) - 1, double(last));
        return std::pair<int, int>(static_cast<int>(lo), static_cast<int>(std::max(hi, lo - 1)));
    };
    const auto [top, bottom] = inner(onDevice.top(), onDevice.bottom(), area.top(), area.bottom());
    const auto [left, right] = inner(onDevice.left(), onDevice.right(), area.left(), area.right());
    strip(QRect(QPoint(area.left(), area.top()), QPoint(area.right(), top - 1)));
    strip(QRect(QPoint(area.left(), bottom + 1), QPoint(area.right(), area.bottom())));
    strip(QRect(QPoint(area.left(), top), QPoint(left - 1, bottom)));
    strip(QRect(QPoint(right + 1, top), QPoint(area.right(), bottom)));
}

}  // namespace

void QPainterRenderer::layCoveringBitmap(const QImage& image, const QTransform& toDevice, const QRect& area, bool smooth,
                                         const QRegion* clip, QImage& out) {
    // Only moved, the painter rounds the move to whole pixels, which is right for the nearest pixel
    // (a centre on a seam takes the pixel before it) but blends nothing: smoothed ones are sampled here.
    if (smooth && toDevice.type() <= QTransform::TxTranslate) {
        renderClampedBitmap(image, toDevice, area, smooth, out);
        return;
    }
    // Scaled or turned, the painter's own sampling is kept (its quick scaling draws over, not in place
    // of, what is there); the pixels along the outline whose centres it leaves take the picture's edge
    // pixels, as a clipped fill's edges do.
    out.fill(Qt::transparent);
    {
        QPainter painter(&out);
        // Only the pixels being repainted are wanted.
        if (clip && !clip->isEmpty()) painter.setClipRegion(clip->translated(-area.topLeft()));
        painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
        painter.setTransform(toDevice * QTransform::fromTranslate(-area.left(), -area.top()));
        painter.drawImage(QPointF(0, 0), image);
    }
    const auto fillLeft = [&](const QRect& strip) {
        if (strip.isEmpty()) return;
        QImage edge(strip.size(), QImage::Format_ARGB32_Premultiplied);
        renderClampedBitmap(image, toDevice, strip, smooth, edge);
        for (int y = 0; y < strip.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(out.scanLine(strip.top() - area.top() + y)) + (strip.left() - area.left());
            const auto* from = reinterpret_cast<const QRgb*>(edge.constScanLine(y));
            for (int x = 0; x < strip.width(); ++x)
                if (qAlpha(row[x]) == 0) row[x] = from[x];
        }
    };
    if (toDevice.type() <= QTransform::TxScale) edgeStrips(image, toDevice, area, fillLeft);
    else fillLeft(area);
}

void QPainterRenderer::inBands(QPainter& p, const QRect& reach, const QRegion* clip, const std::function<void()>& draw) {
    // Bands of a fixed height: the buffers a fill goes through stay small and keep one shape from frame
    // to frame, instead of taking fresh memory whenever the area grows.
    constexpr int kBandRows = 64;
    p.save();
    const QTransform kept = p.transform();
    p.setTransform(QTransform());
    QRect area = reach & m_target.rect();
    if (p.hasClipping()) area &= p.clipBoundingRect().toAlignedRect();
    for (int top = area.top(); top <= area.bottom(); top += kBandRows) {
        QRect band(area.left(), top, area.width(), std::min(kBandRows, area.bottom() + 1 - top));
        // Only the part of the band being repainted, when that is known.
        if (clip && !clip->isEmpty()) band &= clip->intersected(band).boundingRect();
        if (band.isEmpty()) continue;
        p.save();
        p.setClipRect(band, Qt::IntersectClip);
        p.setTransform(kept);
        draw();
        p.restore();
    }
    p.restore();
}

void QPainterRenderer::fillDeviceImage(QPainter& p, const DrawItem& item, const QTransform& device,
                                       const std::function<void(const QRect&, QImage&)>& paint, QSize repeat,
                                       GradientCache::Key* cacheKey) {
    // Drawn in device pixels with an image of exactly the covered area, so no resampling moves
    // what the image holds.
    const QPainterPath outline = device.map(item.path);
    p.save();
    p.setTransform(QTransform());
    QRect whole = outline.boundingRect().toAlignedRect();
    // The picture's whole extent, even where the device ends above its last row: pixels kept from an
    // earlier frame are looked up by the area they cover.
    whole = whole.intersected(m_target.rect());
    QRect area = whole;
    if (p.hasClipping()) area = area.intersected(p.clipBoundingRect().toAlignedRect());
    if (!area.isEmpty()) {
        // A brush repeats its picture, so one period of a repeating fill paints the same pixels as the
        // whole.
        const auto period = [&](const QRect& r) {
            return QRect(r.topLeft(), repeat.isValid() ? r.size().boundedTo(repeat) : r.size());
        };
        // Every pixel's colour follows from its own position, so pixels kept from an earlier frame
        // (worked out for the whole fill, whatever part was repainted then) are the ones computed now.
        const QImage* kept = nullptr;
        bool wanted = false;
        QRect origin = area;
        if (cacheKey) {
            cacheKey->area = period(whole);
            kept = m_gradients.find(*cacheKey, wanted);
            if (kept || wanted) origin = whole;
        }
        QBrush brush;
        if (kept) {
            brush = QBrush(*kept);
        } else if (wanted) {
            QImage image(cacheKey->area.size(), QImage::Format_ARGB32_Premultiplied);
            paint(cacheKey->area, image);
            brush = QBrush(image);
            m_gradients.keep(*cacheKey, std::move(image));
        } else {
            // One scratch buffer serves every fill not kept: fresh memory for each would cost far
            // more than computing the pixels.
            const QRect computed = period(area);
            const auto pixels = static_cast<std::size_t>(computed.width()) * static_cast<std::size_t>(computed.height());
            if (pixels > m_scratchPixels) {
                // Fresh pages cost more than the pixels computed in them: fills that grow a little
                // each frame should not take new memory each time.
                m_scratchPixels = std::max(pixels, 2 * m_scratchPixels);
                m_scratch.reset(new QRgb[m_scratchPixels]);
            }
            QImage view(reinterpret_cast<uchar*>(m_scratch.get()), computed.width(), computed.height(),
                        computed.width() * qsizetype{4}, QImage::Format_ARGB32_Premultiplied);
            paint(computed, view);
            brush = QBrush(view);
        }
        brush.setTransform(QTransform::fromTranslate(origin.left(), origin.top()));
        fillPath(p, outline, brush, knownClip());
    }
    p.restore();
}

void QPainterRenderer::drawPixelBox(QPainter& p, const DrawItem& item, const QTransform& device,
                                    const swf::ColorTransform& cx) {
    const QBrush brush = makeBrush(item.paint, cx, device);
    p.save();
    p.setPen(Qt::NoPen);
    if (device.m12() != 0 || device.m21() != 0) {
        // Turned or slanted: the box as it lies, its frame a line one pixel wide.
        p.setTransform(device);
        if (item.pixelBox == PixelBox::Fill) {
            p.fillPath(item.path, brush);
        } else {
            QPen pen(brush, 1);
            pen.setCosmetic(true);
            pen.setJoinStyle(Qt::MiterJoin);
            p.strokePath(item.path, pen);
        }
        p.restore();
        return;
    }
    // The box's corner and its size are each rounded to whole pixels (halves to the even one), so a
    // field's frame keeps its size wherever the field stands; it is drawn without soft edges.
    const QRectF box = device.mapRect(item.path.boundingRect());
    // A half within rounding noise of the twips-to-pixels scale counts as a half.
    const auto whole = [](double v) {
        const double below = std::floor(v);
        if (std::abs(v - below - 0.5) > 1e-6) return std::round(v);
        return std::fmod(below, 2.0) == 0 ? below : below + 1;
    };
    const double x0 = whole(box.left()), y0 = whole(box.top());
    const double x1 = x0 + whole(box.width()), y1 = y0 + whole(box.height());
    p.setTransform(QTransform());
    p.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const auto add = [&](double x, double y, double w, double h) {
        if (w > 0 && h > 0) path.addRect(QRectF(x, y, w, h));
    };
    if (item.pixelBox == PixelBox::Fill) {
        add(x0, y0, x1 - x0, y1 - y0);
    } else {
        // The lines along the top and left reach one pixel past the box's far edges; those along the
        // right and bottom stop short of the corner they share.
        add(x0, y0, x1 - x0 + 1, 1);
        add(x0, y0 + 1, 1, y1 - y0);
        add(x1, y0 + 1, 1, y1 - y0 - 1);
        add(x0 + 1, y1, x1 - x0 - 1, 1);
    }
    p.fillPath(path, brush);
    p.restore();
}

void QPainterRenderer::strokeItem(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx) {
    const StrokeStyle& s = item.strokeStyle;
    QPen pen(makeBrush(item.paint, cx, device), s.width);
    pen.setCapStyle(toCap(s.startCap));
    pen.setJoinStyle(toJoin(s.join));
    pen.setMiterLimit(s.miterLimit);
    const bool antialiased = p.testRenderHint(QPainter::Antialiasing);
    QBrush brush = pen.brush();
    if (brush.style() != Qt::SolidPattern) brush.setTransform(brush.transform() * device);
    if (drawnAsGradient(item.paint)) {
        // Every way of laying the line's outline down below reaches no further than its width (or a
        // pixel) beyond its path on the device, round ends and corners included.
        const double scale = std::max({std::hypot(device.m11(), device.m12()), std::hypot(device.m21(), device.m22()),
                                       scaleOf(m_stage)});
        const double reach = std::max(1.0, s.width * scale) + 2;
        const QRectF bounds = device.mapRect(item.path.controlPointRect()).adjusted(-reach, -reach, reach, reach);
        if (std::isfinite(bounds.width()) && std::isfinite(bounds.height()))
            brush = lineGradientBrush(item.paint, device, cx, bounds.toAlignedRect());
    }
    // Fills a line's outline, given on the device, with its paint.
    const auto paintOutline = [&](QPainterPath outline) {
        outline.setFillRule(Qt::WindingFill);
        p.setTransform(QTransform());
        p.setPen(Qt::NoPen);
        if (antialiased) {
            fillPath(p, outline, brush, knownClip());
            return;
        }
        p.setBrush(brush);
        p.drawPath(outline);
    };
    const bool keepsWidth = s.noHScale || s.noVScale;
    const Scaling scaling = scalingOf(device);
    if (!keepsWidth && scaling.square && !scaling.even) {
        // Stretched along its axes: the line's outline is made in the shape's own space and carried
        // onto the device with it, so its sides grow or shrink with the stretch across them.
        paintOutline(device.map(lineOutline(item.path, lineWidthInShape(s.width, device), pen)));
        return;
    }
    // Scaled alike every way, a line is one device width all along, never under one pixel. So is a
    // slanted one, at the smaller of its two axis scales, and one whose flags keep its width from
    // following the object's scale: it takes only the axis scale they leave it, or none but the
    // stage's.
    double width = s.width * lineScaleOf(device);
    if (!scaling.square) width = s.width * std::min(std::hypot(device.m11(), device.m12()), std::hypot(device.m21(), device.m22()));
    if (s.noHScale && s.noVScale) width = s.width * scaleOf(m_stage);
    else if (s.noHScale) width = s.width * std::hypot(device.m21(), device.m22());
    else if (s.noVScale) width = s.width * std::hypot(device.m11(), device.m12());
    if (keepsWidth || !scaling.square || width < 1.0) {
        pen.setCosmetic(true);
        pen.setWidthF(std::max(1.0, width));
    }
    // Lines a pixel wide or less are drawn by a stroker that clips them to the device first, which moves
    // where their pixels fall: reaching below the shortened device they are not the whole picture's.
    // Lines of a fixed device width are stroked on the device as well, so they count too.
    const bool thin = pen.isCosmetic() || width <= kHairlineWidth;
    QPainterPath onDevice;
    if (antialiased || thin) onDevice = device.map(item.path);
    if (antialiased || (!onDevice.isEmpty() && alongPixelAxes(onDevice))) {
        // Anti-aliased, a line is the band it sweeps on the device, filled with the same coverage
        // samples as fills, so a line along a fill's edge covers the samples the fill leaves.
        // Without anti-aliasing a thin line along a pixel row or column is that band filled as shapes
        // are: the pixels whose centres it covers. The painter's own thin-line stepping reaches past the
        // ends and, cutting lines to the device first, puts a line lying along the device's edge onto it.
        // Slanted lines keep that stepping.
        const double across = pen.isCosmetic() ? pen.widthF() : width;
        if (antialiased && pen.capStyle() == Qt::RoundCap && pen.joinStyle() == Qt::RoundJoin) {
            // Round ends and corners, by far the most common, are laid down directly: far cheaper than
            // a stroker's outline of the same.
            p.setTransform(QTransform());
            p.setPen(Qt::NoPen);
            strokeSampled(p, onDevice, across, brush, knownClip());
            return;
        }
        paintOutline(lineOutline(onDevice, across, pen));
        return;
    }
    if (!m_rows.isNull() && m_layers.size() == 1 && thin &&
        device.mapRect(item.path.controlPointRect()).bottom() + 2 >= m_rows.height())
        m_wantedWholeDevice = true;
    if (drawnAsGradient(item.paint) && brush.style() == Qt::TexturePattern && device.isInvertible()) {
        // The painter maps the pen's brush by the device transform too.
        QBrush placed = brush;
        placed.setTransform(brush.transform() * device.inverted());
        pen.setBrush(placed);
    }
    p.setTransform(device);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen);
    p.drawPath(item.path);
}

void QPainterRenderer::drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) {
    if (m_layers.empty() || m_skipDepth > 0) return;
    const QPointF offset = m_layers.back().offset;
    const QTransform device = m * m_stage * QTransform::fromTranslate(offset.x(), offset.y());
    if (!m_building.empty()) {
        QPainterPath& mask = m_building.back();
        for (const DrawItem& item : shape.items) {
            QPainterPath outline = item.path;
            if (item.stroke) {
                QPainterPathStroker stroker;
                stroker.setWidth(std::max(1.0, item.strokeStyle.width));
                outline = stroker.createStroke(item.path);
                outline.setFillRule(Qt::WindingFill);
            }
            const QPainterPath mapped = device.map(outline);
            // Exact unions keep each outline's own fill rule; past a few hundred outlines (text
            // used as a mask) they get slow, and plain winding addition is close enough.
            if (mask.isEmpty()) mask = mapped;
            else if (mask.elementCount() + mapped.elementCount() < 4000) mask = mask.united(mapped);
            else {
                mask.setFillRule(Qt::WindingFill);
                mask.addPath(mapped);
            }
        }
        return;
    }
    if (!device.isInvertible()) return;
    const QRectF mapped = device.mapRect(shape.bounds);
    const double pad = shapeDevicePad(shape, device, m_stageScale);
    const QRect reach = deviceRect(mapped, pad);
    const bool cull = m_layers.back().cull;
    if (cull && !m_repaint.intersects(reach)) return;
    // Anti-aliased edges may touch the pixel next to the exact bounds.
    m_layers.back().drawn |= mapped.adjusted(-1, -1, 1, 1);
    m_layers.back().touched |= reach;
    QPainter& p = painter();
    const bool antialiased = m_quality != RenderQuality::Low;
    const bool cut = !shape.clip.isEmpty() && shape.clipFrom < shape.items.size();
    for (std::size_t k = 0; k < shape.items.size(); ++k) {
        const DrawItem& item = shape.items[k];
        if (cut && k == shape.clipFrom) {
            m_cutting = true;
            p.save();
            p.setTransform(device);
            p.setClipRect(shape.clip, Qt::IntersectClip);
        }
        // A large drawing seen through a small repaint: its parts wholly outside are left out, as the
        // clip would discard every pixel they paint (their anti-aliased edges, seam underlays and lines
        // reach no further than the shape's own margin).
        if (cull && shape.items.size() > 1 && !m_repaint.intersects(deviceRect(device.mapRect(item.path.controlPointRect()), pad)))
            continue;
        if (item.stroke) {
            strokeItem(p, item, device, cx);
            continue;
        }
        if (item.pixelBox != PixelBox::None) {
            drawPixelBox(p, item, device, cx);
            continue;
        }
        fillItem(p, item, device, cx);
        if (antialiased && !item.seams.isEmpty() && paintsOpaque(item.paint, cx)) underlaySeams(p, item, device, cx);
    }
    if (cut) {
        p.restore();
        m_cutting = false;
    }
}

const QRegion* QPainterRenderer::knownClip() const {
    // The painter clips to the repaint area and nothing more, unless a mask or a shape's own clip is in
    // force (a layer's painter clips to nothing).
    return m_masksApplied > 0 || m_cutting ? nullptr : &m_repaint;
}

bool QPainterRenderer::paintsOpaque(const Paint& paint, const swf::ColorTransform& cx) {
    // Drawing an opaque fill twice along an edge changes nothing on its own side; a translucent one
    // would darken there, so those keep the plain fill.
    const auto opaque = [&](swf::Rgba c) { return cx.apply(c).a == 255; };
    if (static_cast<std::uint8_t>(paint.type) >= 0x40)
        return !paint.image.isNull() && !paint.image.hasAlphaChannel() && opaque(swf::Rgba{0, 0, 0, 255});
    if (paint.type == swf::FillType::Solid) return opaque(paint.color);
    return !paint.gradient.records.empty() &&
           std::all_of(paint.gradient.records.begin(), paint.gradient.records.end(),
                       [&](const auto& r) { return opaque(r.color); });
}

void QPainterRenderer::underlaySeams(QPainter& p, const DrawItem& item, const QTransform& device,
                                     const swf::ColorTransform& cx) {
    // A solid band of this fill along the edges a later fill of the shape shares, covering every pixel
    // such an edge touches (their centres lie within a pixel of it): that fill's anti-aliased edge then
    // blends with this one instead of with what lies beneath the shape. The later fill covers the band
    // on its side; on this side it repaints the same opaque colour.
    // The band's outline is worked out once per scale and rotation of the shape and kept with it:
    // stroking every frame cost more than the rest of the drawing. Moves only shift it.
    const QTransform linear(device.m11(), device.m12(), device.m21(), device.m22(), 0, 0);
    if (!item.seamBand || !(item.seamBand->linear == linear)) {
        // One shape shown at several sizes at once keeps a band for each (a few, the latest first).
        std::vector<SeamBandUse>& uses = m_seamBands[&item];
        auto found = std::find_if(uses.begin(), uses.end(), [&](const SeamBandUse& u) {
            return u.band->linear == linear && u.seams == item.seams;
        });
        if (found != uses.end()) {
            item.seamBand = found->band;
        } else {
            QPainterPathStroker stroker;
            stroker.setWidth(2.0);
            stroker.setCapStyle(Qt::FlatCap);
            stroker.setJoinStyle(Qt::MiterJoin);
            // Curves are cut into lines here, once: cut where they are drawn, the cut would shift with the
            // position, and a band laid down from a kept picture would differ from one filled in place.
            const QPainterPath stroke = stroker.createStroke(linear.map(item.seams));
            QPainterPath outline;
            outline.setFillRule(stroke.fillRule());
            for (const QPolygonF& part : stroke.toSubpathPolygons()) outline.addPolygon(part);
            item.seamBand = std::make_shared<SeamBand>(SeamBand{linear, outline});
            if (m_seamBands.size() > kSeamBandItems) m_seamBands.clear();
            std::vector<SeamBandUse>& fresh = m_seamBands[&item];
            if (fresh.size() >= kSeamBandsPerItem) fresh.pop_back();
            fresh.insert(fresh.begin(), SeamBandUse{item.seams, item.seamBand});
        }
    }
    QBrush brush = makeBrush(item.paint, cx, device);
    if (brush.style() != Qt::SolidPattern && brush.style() != Qt::NoBrush) brush.setTransform(brush.transform() * linear);
    if (brush.style() == Qt::SolidPattern && drawKeptSeams(p, item, device, brush)) return;
    // Only the hint and the transform change, and both are put back: saving and restoring the whole
    // painter state (clip included) for each of a drawing's many fills cost more than the band.
    const QTransform previous = p.transform();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setTransform(QTransform::fromTranslate(device.dx(), device.dy()));
    p.fillPath(item.seamBand->outline, brush);
    p.setTransform(previous);
    p.setRenderHint(QPainter::Antialiasing, true);
}

bool QPainterRenderer::drawKeptSeams(QPainter& p, const DrawItem& item, const QTransform& device, const QBrush& brush) {
    // A band drawn again where it was, or moved by whole pixels, covers the same pixels moved with it:
    // its pixels are kept as a picture, opaque where the band is and clear elsewhere, and laid down as
    // they are, far quicker than filling the band's outline again. The picture is made the second time
    // the band is drawn at the same fraction of a pixel, so bands that keep moving by fractions cost
    // nothing more; a few fractions are kept per fill, for shapes that move to and fro.
    const double wholeX = std::floor(device.dx()), wholeY = std::floor(device.dy());
    if (!std::isfinite(wholeX) || !std::isfinite(wholeY) || std::abs(wholeX) > kFarPixels || std::abs(wholeY) > kFarPixels)
        return false;
    const QPointF fraction(device.dx() - wholeX, device.dy() - wholeY);
    const QRgb color = brush.color().rgba();
    if (m_keptSeams.size() > kSeamBandItems) {
        m_keptSeams.clear();
        m_keptSeamBytes = 0;
    }
    std::vector<KeptSeams>& kept = m_keptSeams[&item];
    auto found = std::find_if(kept.begin(), kept.end(), [&](const KeptSeams& k) {
        return k.band == item.seamBand && k.fraction == fraction && k.color == color;
    });
    if (found == kept.end()) {
        if (kept.size() >= kSeamBandsPerItem) {
            m_keptSeamBytes -= static_cast<std::size_t>(kept.back().image.sizeInBytes());
            kept.pop_back();
        }
        kept.insert(kept.begin(), KeptSeams{item.seamBand, fraction, color, QImage(), QPoint()});
        return false;
    }
    if (found->image.isNull()) {
        const QTransform shift = QTransform::fromTranslate(fraction.x(), fraction.y());
        const QRect box = shift.map(item.seamBand->outline).boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1);
        const qsizetype bytes = static_cast<qsizetype>(box.width()) * box.height() * 4;
        if (box.isEmpty() || bytes > static_cast<qsizetype>(kKeptSeamBytes / 8)) return false;
        if (m_keptSeamBytes + static_cast<std::size_t>(bytes) > kKeptSeamBytes) {
            m_keptSeams.clear();
            m_keptSeamBytes = 0;
            return false;
        }
        QImage image(box.size(), QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) return false;
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setTransform(shift * QTransform::fromTranslate(-box.left(), -box.top()));
        painter.fillPath(item.seamBand->outline, brush);
        painter.end();
        found->image = std::move(image);
        found->origin = box.topLeft();
        m_keptSeamBytes += static_cast<std::size_t>(bytes);
    }
    const QTransform previous = p.transform();
    p.setTransform(QTransform());
    p.drawImage(QPoint(static_cast<int>(wholeX) + found->origin.x(), static_cast<int>(wholeY) + found->origin.y()), found->image);
    p.setTransform(previous);
    return true;
}

void QPainterRenderer::beginMask() {
    if (m_skipDepth > 0) return;
    m_building.emplace_back();
}

void QPainterRenderer::useMask() {
    if (m_skipDepth > 0 || m_building.empty()) return;
    QPainterPath mask = m_building.back();
    m_building.pop_back();
    // A mask inside a mask's own contents: the outer mask's outline is what counts. Masks past
    // the nesting limit are left out: each one in force holds a saved painter state and a clip
    // region, and thousands of them stacked take gigabytes and seconds a frame.
    if (!m_building.empty() || m_layers.empty() || m_masksApplied >= kMaxMaskNesting) {
        m_maskApplied.push_back(false);
        return;
    }
    QPainter& p = painter();
    p.save();
    p.setTransform(QTransform());
    p.setClipPath(mask, Qt::IntersectClip);
    m_maskApplied.push_back(true);
    ++m_masksApplied;
}

void QPainterRenderer::endMask() {
    if (m_skipDepth > 0 || m_maskApplied.empty()) return;
    const bool applied = m_maskApplied.back();
    m_maskApplied.pop_back();
    if (!applied) return;
    --m_masksApplied;
    if (!m_layers.empty()) painter().restore();
}

void QPainterRenderer::beginLayer(const QTransform& m, const QRectF& bounds, bool filtered) {
    const std::size_t call = m_layerCalls++;
    if (m_skipDepth > 0) {
        ++m_skipDepth;
        return;
    }
    if (!m_building.empty() || m_layers.empty()) return;
    // The recording's notes hold only while this frame makes the same calls.
    const LayerPlan* plan = nullptr;
    if (m_framePlan) {
        if (call < m_framePlan->size() && (*m_framePlan)[call].valid && (*m_framePlan)[call].bitmap == filtered &&
            (*m_framePlan)[call].m == m && (*m_framePlan)[call].bounds == bounds)
            plan = &(*m_framePlan)[call];
        else
            m_framePlan = nullptr;
    }
    if (plan && m_layers.back().cull && !m_repaint.intersects(plan->rect)) {
        m_skipDepth = 1;   // nothing of it shows in the area repainted
        return;
    }
    if (plan && filtered && m_cache) {
        if (const LayerCache::Entry* cached = m_cache->find(plan->signature)) {
            m_skipDepth = 1;
            m_skipCached = cached;
            return;
        }
    }
    Layer layer;
    layer.cull = !filtered && m_layers.back().cull;
    layer.cacheable = plan && filtered && m_cache;
    layer.cacheSignature = plan ? plan->signature : 0;
    layer.offset = m_layers.back().offset;
    const QTransform device = m * m_stage * QTransform::fromTranslate(layer.offset.x(), layer.offset.y());
    // Filter sizes follow the object's own scale on the device, not only the stage's.
    layer.filterScaleX = std::hypot(device.m11(), device.m12()) * 20;
    layer.filterScaleY = std::hypot(device.m21(), device.m22()) * 20;
    if (filtered && !bounds.isEmpty() && device.isInvertible()) {
        // A filtered object is drawn as its own bitmap whose corner sits on a whole pixel, so its
        // contents move by the rounding of that corner.
        const QPointF corner = (m * m_stageExact).mapRect(bounds).topLeft() + layer.offset;
        layer.offset += QPointF(std::round(corner.x()) - corner.x(), std::round(corner.y()) - corner.y());
    }
    // Layer images are kept for reuse: clearing what the last use touched costs less than fresh memory.
    while (!m_spareLayers.empty() && m_spareLayers.back().image->size() != m_target.size()) m_spareLayers.pop_back();
    if (!m_spareLayers.empty()) {
        layer.image = std::move(m_spareLayers.back().image);
        const QRect dirty = m_spareLayers.back().dirty & layer.image->rect();
        m_spareLayers.pop_back();
        for (int y = dirty.top(); y <= dirty.bottom(); ++y)
            std::memset(layer.image->scanLine(y) + static_cast<qsizetype>(dirty.left()) * 4, 0, static_cast<std::size_t>(dirty.width()) * 4);
    } else {
        layer.image = std::make_unique<QImage>(m_target.size(), QImage::Format_ARGB32_Premultiplied);
        layer.image->fill(Qt::transparent);
    }
    layer.painter = std::make_unique<QPainter>(layer.image.get());
    prepare(*layer.painter);
    m_layers.push_back(std::move(layer));
}

void QPainterRenderer::endLayer(const std::vector<Filter>& filters, BlendMode mode) {
    if (m_skipDepth > 0) {
        if (--m_skipDepth == 0 && m_skipCached) composite(m_skipCached->image, m_skipCached->box, mode);
        if (m_skipDepth == 0) m_skipCached = nullptr;
        return;
    }
    if (!m_building.empty() || m_layers.size() < 2) return;
    Layer layer = std::move(m_layers.back());
    m_layers.pop_back();
    layer.painter->end();
    QRect dirty = layer.touched;
    auto release = [&] {
        if (m_spareLayers.size() < kSpareLayers) m_spareLayers.push_back({std::move(layer.image), dirty});
    };
    // Alpha and erase change the layer of an ancestor; with none to act on they leave no trace.
    if ((mode == BlendMode::Alpha || mode == BlendMode::Erase) && m_layers.size() == 1) {
        release();
        return;
    }
    // Only the area the object drew (grown by its filters) takes part, so modes that act on the
    // parent leave it alone elsewhere, and small objects filter and blend quickly.
    const double sx = std::clamp(layer.filterScaleX, 0.0, kMaxFilterScale), sy = std::clamp(layer.filterScaleY, 0.0, kMaxFilterScale);
    QRectF area = layer.drawn;
    if (!filters.empty()) area = area.marginsAdded(filterMargins(filters, sx, sy));
    const QRect box = area.toAlignedRect().intersected(layer.image->rect());
    if (box.isEmpty()) {
        release();
        return;
    }
    // The layer's own pixels are used in place: copies of large areas cost more than the work.
    QImage content(layer.image->bits() + static_cast<qsizetype>(box.y()) * layer.image->bytesPerLine() + box.x() * 4,
                   box.width(), box.height(), layer.image->bytesPerLine(), QImage::Format_ARGB32_Premultiplied);
    if (!filters.empty() && applyFilters(content, filters, sx, sy, m_stop)) {
        m_filtersStopped = true;
        layer.cacheable = false;   // not the finished layer
    }
    dirty |= box;
    if (layer.cacheable) m_cache->offer(layer.cacheSignature, box, content);
    composite(content, box, mode);
    release();
}

void QPainterRenderer::abandonLayer(BlendMode mode) {
    // Its pixels lack what was left out: the cache would hand them out as the finished layer.
    if (m_skipDepth == 0 && m_building.empty() && m_layers.size() >= 2) m_layers.back().cacheable = false;
    endLayer({}, mode);
}

void QPainterRenderer::composite(const QImage& content, const QRect& box, BlendMode mode) {
    // Alpha and erase change the layer of an ancestor; with none to act on they leave no trace.
    if ((mode == BlendMode::Alpha || mode == BlendMode::Erase) && m_layers.size() == 1) return;
    if (box.isEmpty() || m_layers.empty()) return;
    if (m_layers.size() == 1 && !m_repaint.isEmpty() && mode != BlendMode::Normal && mode != BlendMode::Layer) {
        // Mixing reads the picture under the box: only the repainted part is this frame's to read
        // (another thread may be painting the rest).
        const QRect inside = box & m_repaint.boundingRect();
        if (inside != box) {
            if (inside.isEmpty()) return;
            const QImage part(content.constBits() + static_cast<qsizetype>(inside.y() - box.y()) * content.bytesPerLine() +
                                  static_cast<qsizetype>(inside.x() - box.x()) * 4,
                              inside.width(), inside.height(), content.bytesPerLine(), QImage::Format_ARGB32_Premultiplied);
            composite(part, inside, mode);
            return;
        }
    }
    m_layers.back().drawn |= QRectF(box);
    m_layers.back().touched |= box;
    QPainter& p = painter();
    p.save();
    p.setTransform(QTransform());
    if (mode == BlendMode::Normal || mode == BlendMode::Layer) {
        p.drawImage(box.topLeft(), content);
    } else {
        // The parent is still being painted: blend into a copy of the area, then put it back
        // through the painter so the clip in force still applies.
        const QImage& parent = m_layers.size() == 1 ? m_target : *m_layers.back().image;
        if (m_mixScratch.width() < box.width() || m_mixScratch.height() < box.height())
            m_mixScratch = QImage(box.size().expandedTo(m_mixScratch.size()), QImage::Format_ARGB32_Premultiplied);
        QImage mixed(m_mixScratch.bits(), box.width(), box.height(), m_mixScratch.bytesPerLine(), QImage::Format_ARGB32_Premultiplied);
        if (parent.format() == QImage::Format_ARGB32_Premultiplied) {
            for (int row = 0; row < box.height(); ++row)
                std::memcpy(mixed.scanLine(row), parent.constScanLine(box.y() + row) + box.x() * 4, static_cast<std::size_t>(box.width()) * 4);
        } else {
            mixed = parent.copy(box).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
        blendLayer(mixed, content, QPoint(0, 0), mode);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(box.topLeft(), mixed);
    }
    p.restore();
}

}  // namespace vistrel::player
