#include "player/render/damage.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <type_traits>
#include <unordered_map>
#include <variant>

#include "player/render/filters.h"
#include "player/render/qpainter_renderer.h"
#include "player/shape_paths.h"

namespace vistrel::player {

namespace {

// Device coordinates are kept well inside int range: hostile matrices give huge or undefined values.
constexpr double kFar = 1 << 28;
const QRect kEverywhere(QPoint(-(1 << 28), -(1 << 28)), QPoint(1 << 28, 1 << 28));

class Hasher {
public:
    void add(std::uint64_t v) {
        v ^= v >> 33;
        v *= 0xff51afd7ed558ccdull;
        v ^= v >> 33;
        m_h = (m_h ^ v) * 0x9e3779b97f4a7c15ull;
        m_h ^= m_h >> 29;
    }
    void add(double v) { add(std::bit_cast<std::uint64_t>(v == 0 ? 0.0 : v)); }
    void add(float v) { add(static_cast<double>(v)); }
    void add(bool v) { add(std::uint64_t{v}); }
    void add(int v) { add(static_cast<std::uint64_t>(static_cast<std::int64_t>(v))); }
    void add(unsigned v) { add(std::uint64_t{v}); }
    void add(const QTransform& t) {
        for (double v : {t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33()}) add(v);
    }
    void add(const QPointF& p) {
        add(p.x());
        add(p.y());
    }
    void add(const QRectF& r) {
        add(r.topLeft());
        add(r.bottomRight());
    }
    void add(swf::Rgba c) { add((unsigned{c.r} << 24) | (unsigned{c.g} << 16) | (unsigned{c.b} << 8) | unsigned{c.a}); }
    void add(const swf::ColorTransform& cx) {
        for (int v : {cx.rMult, cx.gMult, cx.bMult, cx.aMult, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd}) add(v);
    }
    void add(const QPainterPath& path) {
        const int n = path.elementCount();
        add(n);
        add(static_cast<int>(path.fillRule()));
        for (int i = 0; i < n; ++i) {
            const QPainterPath::Element& e = path.elementAt(i);
            add(static_cast<int>(e.type));
            add(e.x);
            add(e.y);
        }
    }
    std::uint64_t value() const { return m_h; }

private:
    std::uint64_t m_h = 0x84222325cbf29ce4ull;
};

void hashPaint(Hasher& h, const Paint& p) {
    h.add(unsigned{static_cast<std::uint8_t>(p.type)});
    h.add(p.color);
    h.add(p.matrix);
    h.add(unsigned{p.gradient.spread});
    h.add(unsigned{p.gradient.interpolation});
    h.add(p.gradient.focalPoint);
    h.add(static_cast<int>(p.gradient.records.size()));
    for (const swf::GradientRecord& r : p.gradient.records) {
        h.add(unsigned{r.ratio});
        h.add(r.color);
    }
    // A picture's key changes whenever its pixels do.
    h.add(p.image.isNull() ? std::uint64_t{0} : static_cast<std::uint64_t>(p.image.cacheKey()));
    h.add(p.repeat);
    h.add(p.smooth);
}

std::uint64_t hashShape(const ShapePaths& shape) {
    Hasher h;
    h.add(shape.bounds);
    h.add(shape.clip);
    h.add(static_cast<int>(shape.clipFrom));
    h.add(static_cast<int>(shape.items.size()));
    for (const DrawItem& item : shape.items) {
        h.add(item.stroke);
        hashPaint(h, item.paint);
        if (item.stroke) {
            const StrokeStyle& s = item.strokeStyle;
            h.add(s.width);
            h.add(unsigned{static_cast<std::uint8_t>(s.startCap)});
            h.add(unsigned{static_cast<std::uint8_t>(s.endCap)});
            h.add(unsigned{static_cast<std::uint8_t>(s.join)});
            h.add(s.miterLimit);
            h.add(s.noHScale);
            h.add(s.noVScale);
        }
        h.add(item.path);
        h.add(item.seams);
        h.add(unsigned{static_cast<std::uint8_t>(item.pixelBox)});
    }
    return h.value();
}

void hashGradientData(Hasher& h, const GradientFilterData& f) {
    h.add(static_cast<int>(f.stops.size()));
    for (const GradientStop& s : f.stops) {
        h.add(s.color);
        h.add(unsigned{s.ratio});
    }
    for (double v : {f.blurX, f.blurY, f.angle, f.distance, f.strength}) h.add(v);
    for (bool b : {f.inner, f.knockout, f.compositeSource, f.onTop}) h.add(b);
    h.add(f.passes);
}

void hashFilters(Hasher& h, const std::vector<Filter>& filters) {
    h.add(static_cast<int>(filters.size()));
    for (const Filter& filter : filters) {
        h.add(static_cast<int>(filter.index()));
        std::visit(
            [&](const auto& f) {
                using T = std::decay_t<decltype(f)>;
                if constexpr (std::is_same_v<T, DropShadowFilter>) {
                    h.add(f.color);
                    for (double v : {f.blurX, f.blurY, f.angle, f.distance, f.strength}) h.add(v);
                    for (bool b : {f.inner, f.knockout, f.compositeSource}) h.add(b);
                    h.add(f.passes);
                } else if constexpr (std::is_same_v<T, BlurFilter>) {
                    h.add(f.blurX);
                    h.add(f.blurY);
                    h.add(f.passes);
                } else if constexpr (std::is_same_v<T, GlowFilter>) {
                    h.add(f.color);
                    for (double v : {f.blurX, f.blurY, f.strength}) h.add(v);
                    for (bool b : {f.inner, f.knockout, f.compositeSource}) h.add(b);
                    h.add(f.passes);
                } else if constexpr (std::is_same_v<T, BevelFilter>) {
                    h.add(f.shadowColor);
                    h.add(f.highlightColor);
                    for (double v : {f.blurX, f.blurY, f.angle, f.distance, f.strength}) h.add(v);
                    for (bool b : {f.inner, f.knockout, f.compositeSource, f.onTop}) h.add(b);
                    h.add(f.passes);
                } else if constexpr (std::is_same_v<T, ConvolutionFilter>) {
                    h.add(f.matrixX);
                    h.add(f.matrixY);
                    h.add(f.divisor);
                    h.add(f.bias);
                    h.add(static_cast<int>(f.matrix.size()));
                    for (float v : f.matrix) h.add(v);
                    h.add(f.defaultColor);
                    h.add(f.clamp);
                    h.add(f.preserveAlpha);
                } else if constexpr (std::is_same_v<T, ColorMatrixFilter>) {
                    for (float v : f.matrix) h.add(v);
                } else {
                    hashGradientData(h, f);
                }
            },
            filter);
    }
}

double clampFar(double v) { return std::isnan(v) ? 0 : std::clamp(v, -kFar, kFar); }

}  // namespace

QRect deviceRect(const QRectF& r, double pad) {
    const double left = r.left() - pad, top = r.top() - pad, right = r.right() + pad, bottom = r.bottom() + pad;
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) || !std::isfinite(bottom)) return kEverywhere;
    const int x0 = static_cast<int>(std::floor(clampFar(left))), y0 = static_cast<int>(std::floor(clampFar(top)));
    const int x1 = static_cast<int>(std::ceil(clampFar(right))), y1 = static_cast<int>(std::ceil(clampFar(bottom)));
    if (x1 <= x0 || y1 <= y0) return QRect();
    return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
}

double shapeDevicePad(const ShapePaths& shape, const QTransform& device, double stageScale) {
    // Anti-aliased edges, seam underlays and one-pixel lines reach a little over a pixel out.
    double pad = 2;
    double scale = -1;
    for (const DrawItem& item : shape.items) {
        if (!item.stroke) continue;
        if (scale < 0)
            scale = std::max({std::hypot(device.m11(), device.m12()), std::hypot(device.m21(), device.m22()), stageScale});
        const StrokeStyle& s = item.strokeStyle;
        // Miter joins reach out up to the limit times the line width; square caps half a diagonal.
        const double reach = s.join == swf::JoinStyle::Miter ? std::max(1.0, s.miterLimit) * s.width : 0.75 * s.width;
        pad = std::max(pad, reach * scale + 3);
    }
    return std::isfinite(pad) ? pad : kFar;
}

void DamageRecorder::beginFrame(swf::Rgba background, const QTransform& stageToDevice, RenderQuality) {
    m_record = FrameRecord{};
    m_record.background = background;
    m_stage = m_stageExact = stageToDevice;
    m_stageScale = std::sqrt(std::abs(stageToDevice.m11() * stageToDevice.m22() - stageToDevice.m12() * stageToDevice.m21()));
    m_building.clear();
    m_masks.clear();
    m_masksApplied = 0;
    m_context.assign(1, 0);
    m_clip.assign(1, kEverywhere);
    m_open.clear();
}

void DamageRecorder::drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) {
    record(shape, m, cx, hashShape(shape));
}

void DamageRecorder::drawShapeKeyed(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx,
                                    std::uint64_t key) {
    Hasher h;
    h.add(std::uint64_t{0x6b657965});
    h.add(key);
    record(shape, m, cx, h.value());
}

void DamageRecorder::record(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx,
                            std::uint64_t content) {
    const QPointF shift = offset();
    const QTransform device = m * m_stage * QTransform::fromTranslate(shift.x(), shift.y());
    const QRect rect = deviceRect(device.mapRect(shape.bounds), shapeDevicePad(shape, device, m_stageScale));
    Hasher h;
    h.add(content);
    h.add(device);
    if (!m_building.empty()) {
        // Masks take the outline only.
        Building& mask = m_building.back();
        h.add(mask.signature);
        mask.signature = h.value();
        mask.rect |= rect;
        return;
    }
    if (!device.isInvertible()) return;
    h.add(cx);
    h.add(m_context.back());
    m_record.entries.push_back({h.value(), rect & m_clip.back()});
}

void DamageRecorder::beginMask() { m_building.emplace_back(); }

void DamageRecorder::useMask() {
    if (m_building.empty()) return;
    const Building mask = m_building.back();
    m_building.pop_back();
    Hasher h;
    h.add(m_context.back());
    h.add(mask.signature);
    if (!m_building.empty()) {
        // A mask inside a mask's own outline: the outer one is what clips.
        m_masks.push_back(MaskUse::Ignored);
        h.add(m_building.back().signature);
        m_building.back().signature = h.value();
        return;
    }
    if (m_masksApplied >= kMaxMaskNesting) {
        m_masks.push_back(MaskUse::Unapplied);
        m_context.push_back(h.value());
        m_clip.push_back(m_clip.back());
        return;
    }
    m_masks.push_back(MaskUse::Applied);
    ++m_masksApplied;
    m_context.push_back(h.value());
    m_clip.push_back(m_clip.back() & mask.rect);
}

void DamageRecorder::endMask() {
    if (m_masks.empty()) return;
    const MaskUse use = m_masks.back();
    m_masks.pop_back();
    if (use == MaskUse::Ignored) return;
    if (use == MaskUse::Applied) --m_masksApplied;
    if (m_context.size() > 1) m_context.pop_back();
    if (m_clip.size() > 1) m_clip.pop_back();
}

void DamageRecorder::beginLayer(const QTransform& m, const QRectF& bounds, bool filtered) {
    LayerPlan plan;
    plan.m = m;
    plan.bounds = bounds;
    plan.bitmap = filtered;
    m_record.layers.push_back(plan);
    if (!m_building.empty()) return;
    OpenLayer layer;
    layer.firstEntry = m_record.entries.size();
    layer.plan = m_record.layers.size() - 1;
    layer.offset = offset();
    layer.bitmap = filtered;
    const QTransform device = m * m_stage * QTransform::fromTranslate(layer.offset.x(), layer.offset.y());
    layer.scaleX = std::clamp(std::hypot(device.m11(), device.m12()) * 20, 0.0, kMaxFilterScale);
    layer.scaleY = std::clamp(std::hypot(device.m21(), device.m22()) * 20, 0.0, kMaxFilterScale);
    if (filtered && !bounds.isEmpty() && device.isInvertible()) {
        const QPointF corner = (m * m_stageExact).mapRect(bounds).topLeft() + layer.offset;
        layer.offset += QPointF(std::round(corner.x()) - corner.x(), std::round(corner.y()) - corner.y());
    }
    if (filtered) {
        // A bitmap of its own: its content is drawn whole, then filtered, then clipped by what
        // clips the object; its cached pixels must not depend on the masks around it.
        m_clip.push_back(kEverywhere);
        m_context.push_back(0x6c61796572ull);
    }
    m_open.push_back(layer);
}

void DamageRecorder::endLayer(const std::vector<Filter>& filters, BlendMode mode) {
    if (!m_building.empty() || m_open.empty()) return;
    const OpenLayer layer = m_open.back();
    m_open.pop_back();
    if (layer.bitmap) {
        if (m_clip.size() > 1) m_clip.pop_back();
        if (m_context.size() > 1) m_context.pop_back();
    }
    Hasher h;
    h.add(layer.bitmap);
    h.add(layer.offset);
    hashFilters(h, filters);
    QRect rect;
    auto& entries = m_record.entries;
    const std::size_t first = std::min(layer.firstEntry, entries.size());
    h.add(static_cast<int>(entries.size() - first));
    for (std::size_t i = first; i < entries.size(); ++i) {
        h.add(entries[i].signature);
        rect |= entries[i].rect;
    }
    entries.resize(first);
    const std::uint64_t content = h.value();
    // Alpha and erase act on an enclosing layer; with none they leave no trace.
    if ((mode == BlendMode::Alpha || mode == BlendMode::Erase) && m_open.empty()) rect = QRect();
    if (!rect.isEmpty() && !filters.empty()) {
        const QMarginsF grow = filterMargins(filters, layer.scaleX, layer.scaleY);
        const auto up = [](double v) { return static_cast<int>(std::ceil(clampFar(v))) + 2; };
        rect = rect.marginsAdded(QMargins(up(grow.left()), up(grow.top()), up(grow.right()), up(grow.bottom())));
    }
    rect &= m_clip.back();
    Hasher entry;
    entry.add(content);
    entry.add(unsigned{static_cast<std::uint8_t>(mode)});
    entry.add(m_context.back());
    entries.push_back({entry.value(), rect});
    LayerPlan& plan = m_record.layers[layer.plan];
    plan.rect = rect;
    plan.signature = content;
    plan.valid = true;
}

std::vector<QRect> changedRects(const FrameRecord& before, const FrameRecord& after) {
    const auto& olds = before.entries;
    const auto& news = after.entries;
    // Each new entry takes the first unmatched old one with its signature.
    std::unordered_map<std::uint64_t, int> head;
    head.reserve(olds.size() * 2);
    std::vector<int> next(olds.size(), -1);
    for (int i = static_cast<int>(olds.size()) - 1; i >= 0; --i) {
        auto [it, inserted] = head.try_emplace(olds[static_cast<std::size_t>(i)].signature, i);
        if (!inserted) {
            next[static_cast<std::size_t>(i)] = it->second;
            it->second = i;
        }
    }
    std::vector<int> matchOf(news.size(), -1);   // old index per new entry
    std::vector<bool> oldMatched(olds.size(), false);
    for (std::size_t n = 0; n < news.size(); ++n) {
        auto it = head.find(news[n].signature);
        if (it == head.end() || it->second < 0) continue;
        const int o = it->second;
        it->second = next[static_cast<std::size_t>(o)];
        matchOf[n] = o;
        oldMatched[static_cast<std::size_t>(o)] = true;
    }
    // Matched entries keep their pixels only if they keep their order: the longest run of matches
    // whose old indexes increase stays, the others moved over or under something.
    std::vector<int> order;   // new indexes of matched entries
    for (std::size_t n = 0; n < news.size(); ++n)
        if (matchOf[n] >= 0) order.push_back(static_cast<int>(n));
    std::vector<int> tails, tailAt, previous(order.size(), -1);
    for (std::size_t k = 0; k < order.size(); ++k) {
        const int value = matchOf[static_cast<std::size_t>(order[k])];
        const auto pos = std::lower_bound(tails.begin(), tails.end(), value) - tails.begin();
        if (pos > 0) previous[k] = tailAt[static_cast<std::size_t>(pos - 1)];
        if (pos == static_cast<long>(tails.size())) {
            tails.push_back(value);
            tailAt.push_back(static_cast<int>(k));
        } else {
            tails[static_cast<std::size_t>(pos)] = value;
            tailAt[static_cast<std::size_t>(pos)] = static_cast<int>(k);
        }
    }
    std::vector<bool> kept(order.size(), false);
    for (int k = tailAt.empty() ? -1 : tailAt.back(); k >= 0; k = previous[static_cast<std::size_t>(k)])
        kept[static_cast<std::size_t>(k)] = true;

    std::vector<QRect> rects;
    const auto add = [&](const QRect& r) {
        if (!r.isEmpty()) rects.push_back(r);
    };
    for (std::size_t o = 0; o < olds.size(); ++o)
        if (!oldMatched[o]) add(olds[o].rect);
    for (std::size_t n = 0; n < news.size(); ++n)
        if (matchOf[n] < 0) add(news[n].rect);
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (kept[k]) continue;
        add(news[static_cast<std::size_t>(order[k])].rect);
        add(olds[static_cast<std::size_t>(matchOf[static_cast<std::size_t>(order[k])])].rect);
    }
    return rects;
}

std::vector<QRect> damageBetween(const FrameRecord& before, const FrameRecord& after, int maxRects) {
    return mergeRects(changedRects(before, after), maxRects);
}

double coveredShare(const std::vector<QRect>& rects, const QRect& bounds) {
    constexpr int kTile = 16;
    if (bounds.isEmpty()) return 0;
    const int columns = (bounds.width() + kTile - 1) / kTile, rows = (bounds.height() + kTile - 1) / kTile;
    // Tiles wholly inside `bounds` and inside one of the rectangles; the last row and column may be cut short.
    std::vector<std::uint8_t> tiles(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), 0);
    double covered = 0;
    for (const QRect& r : rects) {
        const QRect c = r & bounds;
        if (c.isEmpty()) continue;
        const int x0 = (c.left() - bounds.left() + kTile - 1) / kTile, y0 = (c.top() - bounds.top() + kTile - 1) / kTile;
        const int x1 = (c.right() + 1 - bounds.left()) / kTile, y1 = (c.bottom() + 1 - bounds.top()) / kTile;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                std::uint8_t& tile = tiles[static_cast<std::size_t>(y) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(x)];
                if (tile) continue;
                tile = 1;
                covered += static_cast<double>(kTile) * kTile;
            }
    }
    return covered / (static_cast<double>(bounds.width()) * bounds.height());
}

std::vector<QRect> mergeRects(std::vector<QRect> rects, int maxRects) {
    maxRects = std::max(1, maxRects);
    const auto area = [](const QRect& r) { return static_cast<double>(r.width()) * r.height(); };
    // What merging two rectangles paints that neither covers. Worked out here for the usual proper
    // rectangles (the same sums as through QRect's union and intersection, which cost a call each):
    // this runs thousands of times a frame, before any drawing starts.
    const auto waste = [&](const QRect& a, const QRect& b) {
        if (!a.isValid() || !b.isValid()) return area(a | b) - area(a) - area(b) + area(a & b);
        const int left = std::max(a.left(), b.left()), right = std::min(a.right(), b.right());
        const int top = std::max(a.top(), b.top()), bottom = std::min(a.bottom(), b.bottom());
        const double joined = static_cast<double>(std::max(a.right(), b.right()) - std::min(a.left(), b.left()) + 1) *
                              (std::max(a.bottom(), b.bottom()) - std::min(a.top(), b.top()) + 1);
        const double shared = left <= right && top <= bottom ? static_cast<double>(right - left + 1) * (bottom - top + 1) : 0.0;
        return joined - area(a) - area(b) + shared;
    };
    // Many small pieces first go into a bounded set, each to the piece it wastes least with.
    constexpr std::size_t kCoarse = 48;
    if (rects.size() > kCoarse) {
        std::vector<QRect> coarse;
        for (const QRect& r : rects) {
            if (coarse.size() < kCoarse) {
                coarse.push_back(r);
                continue;
            }
            std::size_t best = 0;
            double bestWaste = std::numeric_limits<double>::infinity();
            for (std::size_t i = 0; i < coarse.size(); ++i) {
                const double w = waste(coarse[i], r);
                if (w < bestWaste) {
                    bestWaste = w;
                    best = i;
                }
            }
            coarse[best] |= r;
        }
        rects = std::move(coarse);
    }
    // What each pair would waste, worked out once and again only for the piece a merge changes.
    std::vector<std::vector<double>> wastes(rects.size(), std::vector<double>(rects.size(), 0.0));
    for (std::size_t i = 0; i < rects.size(); ++i)
        for (std::size_t j = i + 1; j < rects.size(); ++j) wastes[i][j] = waste(rects[i], rects[j]);
    for (;;) {
        // Pieces whose union wastes nothing merge whatever the count; past the limit the cheapest pair does.
        std::size_t bi = 0, bj = 0;
        double bestWaste = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < rects.size(); ++i)
            for (std::size_t j = i + 1; j < rects.size(); ++j) {
                const double w = wastes[i][j];
                if (w < bestWaste) {
                    bestWaste = w;
                    bi = i;
                    bj = j;
                }
            }
        if (rects.size() < 2 || (bestWaste > 0 && rects.size() <= static_cast<std::size_t>(maxRects))) break;
        rects[bi] |= rects[bj];
        rects.erase(rects.begin() + static_cast<long>(bj));
        wastes.erase(wastes.begin() + static_cast<long>(bj));
        for (std::vector<double>& row : wastes) row.erase(row.begin() + static_cast<long>(bj));
        for (std::size_t k = 0; k < rects.size(); ++k) {
            if (k < bi) wastes[k][bi] = waste(rects[k], rects[bi]);
            else if (k > bi) wastes[bi][k] = waste(rects[bi], rects[k]);
        }
    }
    return rects;
}

}  // namespace vistrel::player
