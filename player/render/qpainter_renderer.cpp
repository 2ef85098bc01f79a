#include "player/render/qpainter_renderer.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPathStroker>

#include "player/render/filters.h"
#include "player/render/shape_paths.h"

namespace vistrel::player {

namespace {

constexpr double kGradientHalf = 16384.0;   // gradients are defined on a square of 32768 twips
constexpr std::size_t kImageCacheSize = 64;

QColor toQColor(swf::Rgba c) { return QColor(c.r, c.g, c.b, c.a); }

double srgbToLinear(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }
double linearToSrgb(double v) { return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }

QColor mixLinear(const QColor& a, const QColor& b, double t) {
    auto channel = [t](int x, int y) {
        const double v = linearToSrgb(srgbToLinear(x / 255.0) * (1 - t) + srgbToLinear(y / 255.0) * t);
        return std::clamp(static_cast<int>(std::lround(v * 255)), 0, 255);
    };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()),
                  static_cast<int>(std::lround(a.alpha() * (1 - t) + b.alpha() * t)));
}

QColor mixColors(const QColor& a, const QColor& b, double t) {
    auto channel = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()),
                  channel(a.alpha(), b.alpha()));
}

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
    m_layers.clear();
    m_building.clear();
    m_maskApplied.clear();
    m_stage = stageToDevice;
    m_quality = quality;
    background.a = 255;
    m_target.fill(toQColor(background));
    Layer base;
    base.painter = std::make_unique<QPainter>(&m_target);
    prepare(*base.painter);
    m_layers.push_back(std::move(base));
}

void QPainterRenderer::endFrame() {
    while (!m_layers.empty()) {
        m_layers.back().painter->end();
        m_layers.pop_back();
    }
}

QImage QPainterRenderer::transformedImage(const QImage& image, const swf::ColorTransform& cx) {
    if (cx.isIdentity() || image.isNull()) return image;
    for (auto it = m_imageCache.begin(); it != m_imageCache.end(); ++it) {
        if (it->key == image.cacheKey() && it->cx == cx) {
            m_imageCache.splice(m_imageCache.begin(), m_imageCache, it);
            return it->image;
        }
    }
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            const swf::Rgba c = cx.apply({static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                                          static_cast<std::uint8_t>(qBlue(p)), static_cast<std::uint8_t>(qAlpha(p))});
            line[x] = qRgba(c.r, c.g, c.b, c.a);
        }
    }
    out = out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_imageCache.push_front({image.cacheKey(), cx, out});
    if (m_imageCache.size() > kImageCacheSize) m_imageCache.pop_back();
    return out;
}

QBrush QPainterRenderer::makeBrush(const Paint& paint, const swf::ColorTransform& cx) {
    if (paint.type == swf::FillType::Solid) return QBrush(toQColor(cx.apply(paint.color)));
    if (paint.image.isNull() && static_cast<std::uint8_t>(paint.type) >= 0x40) return QBrush(Qt::NoBrush);
    if (static_cast<std::uint8_t>(paint.type) >= 0x40) {
        QBrush brush(transformedImage(paint.image, cx));
        brush.setTransform(paint.matrix);
        return brush;
    }
    const auto& records = paint.gradient.records;
    if (records.empty()) return QBrush(Qt::NoBrush);
    if (records.size() == 1) return QBrush(toQColor(cx.apply(records[0].color)));
    // The colour at each of 256 positions comes from the first record whose ratio reaches it,
    // blended with the record before; past the last ratio the last record's colour holds. This
    // also settles records with equal or decreasing ratios the way movies expect.
    QGradientStops stops;
    stops.reserve(512);
    const bool linearLight = paint.gradient.interpolation == 1;
    std::vector<QColor> colors;
    std::vector<int> ratios;
    for (const swf::GradientRecord& r : records) {
        colors.push_back(toQColor(cx.apply(r.color)));
        // Each record gets a ratio above the one before it (up to 255): repeated ratios step
        // through their colours one position apart.
        ratios.push_back(ratios.empty() ? r.ratio : std::max<int>(r.ratio, std::min(255, ratios.back() + 1)));
    }
    for (int pos = 0; pos < 256; ++pos) {
        std::size_t i = 0;
        while (i < ratios.size() && ratios[i] < pos) ++i;
        QColor color;
        if (i >= ratios.size()) color = colors.back();
        else if (i == 0) color = colors.front();
        else {
            const double t = double(pos - ratios[i - 1]) / double(ratios[i] - ratios[i - 1]);
            color = linearLight ? mixLinear(colors[i - 1], colors[i], t) : mixColors(colors[i - 1], colors[i], t);
        }
        // Each of the 256 entries covers its own slice of the gradient, without blending into
        // the next, as the reference renderer's colour table does.
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
    brush.setTransform(paint.matrix);
    return brush;
}

void QPainterRenderer::fillItem(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx) {
    const Paint& paint = item.paint;
    p.setTransform(device);
    p.setPen(Qt::NoPen);
    if (static_cast<std::uint8_t>(paint.type) >= 0x40) {
        if (paint.image.isNull()) return;
        p.setRenderHint(QPainter::SmoothPixmapTransform, smoothBitmaps(paint));
        if (!paint.repeat) {
            // Clipped bitmap: the picture once, cut to the shape.
            p.save();
            p.setClipPath(item.path, Qt::IntersectClip);
            p.setTransform(paint.matrix * device);
            p.drawImage(QPointF(0, 0), transformedImage(paint.image, cx));
            p.restore();
        } else {
            p.fillPath(item.path, makeBrush(paint, cx));
        }
        p.setRenderHint(QPainter::SmoothPixmapTransform, m_quality == RenderQuality::Best);
        return;
    }
    p.fillPath(item.path, makeBrush(paint, cx));
}

void QPainterRenderer::strokeItem(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx) {
    const StrokeStyle& s = item.strokeStyle;
    QPen pen(makeBrush(item.paint, cx), s.width);
    pen.setCapStyle(toCap(s.startCap));
    pen.setJoinStyle(toJoin(s.join));
    pen.setMiterLimit(s.miterLimit);
    const double scaled = s.width * scaleOf(device);
    const double stageOnly = s.width * scaleOf(m_stage);
    if (s.noHScale || s.noVScale) {
        // A line that keeps its width in one direction still follows the scale of the other.
        const double scaleX = std::hypot(device.m11(), device.m12()), scaleY = std::hypot(device.m21(), device.m22());
        double width = stageOnly;
        if (!s.noHScale) width = s.width * scaleX;
        else if (!s.noVScale) width = s.width * scaleY;
        pen.setCosmetic(true);
        pen.setWidthF(std::max(1.0, width));
    } else if (scaled < 1.0) {
        // Lines never get thinner than one pixel, whatever the scale.
        pen.setCosmetic(true);
        pen.setWidthF(1.0);
    }
    p.setTransform(device);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen);
    p.drawPath(item.path);
}

void QPainterRenderer::drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) {
    if (m_layers.empty()) return;
    const QTransform device = m * m_stage;
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
    m_layers.back().drawn |= device.mapRect(shape.bounds);
    QPainter& p = painter();
    for (const DrawItem& item : shape.items) {
        if (item.stroke) strokeItem(p, item, device, cx);
        else fillItem(p, item, device, cx);
    }
}

void QPainterRenderer::beginMask() { m_building.emplace_back(); }

void QPainterRenderer::useMask() {
    if (m_building.empty()) return;
    QPainterPath mask = m_building.back();
    m_building.pop_back();
    if (!m_building.empty() || m_layers.empty()) {
        // A mask inside a mask's own contents: the outer mask's outline is what counts.
        m_maskApplied.push_back(false);
        return;
    }
    QPainter& p = painter();
    p.save();
    p.setTransform(QTransform());
    p.setClipPath(mask, Qt::IntersectClip);
    m_maskApplied.push_back(true);
}

void QPainterRenderer::endMask() {
    if (m_maskApplied.empty()) return;
    const bool applied = m_maskApplied.back();
    m_maskApplied.pop_back();
    if (applied && !m_layers.empty()) painter().restore();
}

void QPainterRenderer::beginLayer() {
    if (!m_building.empty() || m_layers.empty()) return;
    Layer layer;
    layer.image = std::make_unique<QImage>(m_target.size(), QImage::Format_ARGB32_Premultiplied);
    layer.image->fill(Qt::transparent);
    layer.painter = std::make_unique<QPainter>(layer.image.get());
    prepare(*layer.painter);
    m_layers.push_back(std::move(layer));
}

void QPainterRenderer::endLayer(const std::vector<Filter>& filters, BlendMode mode) {
    if (!m_building.empty() || m_layers.size() < 2) return;
    Layer layer = std::move(m_layers.back());
    m_layers.pop_back();
    layer.painter->end();
    const double scale = scaleOf(m_stage) * 20;
    if (!filters.empty()) applyFilters(*layer.image, filters, scale, scale);
    // Alpha and erase change the layer of an ancestor; with none to act on they leave no trace.
    if ((mode == BlendMode::Alpha || mode == BlendMode::Erase) && m_layers.size() == 1) return;
    // Only the area the object drew (grown by its filters) takes part, so modes that act on the
    // parent leave it alone elsewhere, and small objects blend quickly.
    QRectF area = layer.drawn;
    if (!filters.empty()) area = area.marginsAdded(filterMargins(filters, scale, scale));
    const QRect box = area.toAlignedRect().intersected(layer.image->rect());
    if (box.isEmpty()) return;
    m_layers.back().drawn |= QRectF(box);
    QPainter& p = painter();
    p.save();
    p.setTransform(QTransform());
    if (mode == BlendMode::Normal || mode == BlendMode::Layer) {
        p.drawImage(box.topLeft(), *layer.image, box);
    } else {
        // The parent is still being painted: blend into a copy of the area, then put it back
        // through the painter so the clip in force still applies.
        const QImage& parent = m_layers.size() == 1 ? m_target : *m_layers.back().image;
        QImage mixed = parent.copy(box);
        blendLayer(mixed, layer.image->copy(box), QPoint(0, 0), mode);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(box.topLeft(), mixed);
    }
    p.restore();
}

}  // namespace vistrel::player
