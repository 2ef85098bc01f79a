// Finding what changed between two frames. A frame is recorded as the list of what it paints, in
// painting order: each entry a signature (everything that decides its pixels: outlines, paints,
// transform, colour transform, the masks clipping it) and the device rectangle it can touch. Objects
// drawn as a layer of their own (filters, cached bitmaps, blend modes) make one entry with their
// whole content. Two frames then differ only inside the rectangles of entries that appear in one
// and not the other, or whose order changed.
#pragma once

#include <cstdint>
#include <vector>

#include <QRect>
#include <QRegion>
#include <QTransform>

#include "player/render/renderer.h"

namespace vistrel::player {

struct DamageEntry {
    std::uint64_t signature = 0;
    QRect rect;   // device pixels, empty when nothing of it shows
};

// What the recording learnt of each beginLayer call (in call order), for the drawing that follows:
// where the layer's pixels can land and what its content is, so a layer away from the repainted area
// is skipped and an unchanged filtered one is taken from a cache.
struct LayerPlan {
    QTransform m;            // the call's arguments, to check that the drawing makes the same calls
    QRectF bounds;
    QRect rect;              // device pixels its result can touch
    std::uint64_t signature = 0;
    bool bitmap = false;     // drawn as a bitmap of its own (filters, cacheAsBitmap)
    bool valid = false;      // false for calls the drawing ignores too
};

struct FrameRecord {
    swf::Rgba background;
    std::vector<DamageEntry> entries;
    std::vector<LayerPlan> layers;
};

// `r` grown by `pad` on every side, in whole pixels; huge or undefined coordinates give a huge rectangle.
QRect deviceRect(const QRectF& r, double pad);

// How far, in device pixels, a shape drawn with `device` can paint beyond its bounds mapped there:
// anti-aliasing, minimum-width lines, miter joins and square caps past the half width the bounds hold.
double shapeDevicePad(const ShapePaths& shape, const QTransform& device, double stageScale);

// A Renderer that paints nothing and records the frame.
class DamageRecorder final : public Renderer {
public:
    void beginFrame(swf::Rgba background, const QTransform& stageToDevice, RenderQuality quality) override;
    void drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) override;
    void drawShapeKeyed(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx,
                        std::uint64_t key) override;
    void beginMask() override;
    void useMask() override;
    void endMask() override;
    void beginLayer(const QTransform& m, const QRectF& bounds, bool filtered) override;
    void endLayer(const std::vector<Filter>& filters, BlendMode mode) override;
    void endFrame() override {}

    FrameRecord take() { return std::move(m_record); }

private:
    struct Building {   // a mask being collected
        std::uint64_t signature = 0;
        QRect rect;
    };
    struct OpenLayer {
        std::size_t firstEntry = 0;
        std::size_t plan = 0;
        QPointF offset;
        double scaleX = 1, scaleY = 1;
        bool bitmap = false;
    };
    enum class MaskUse : std::uint8_t { Ignored, Unapplied, Applied };

    void record(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx, std::uint64_t content);
    QPointF offset() const { return m_open.empty() ? QPointF() : m_open.back().offset; }

    FrameRecord m_record;
    QTransform m_stage, m_stageExact;
    double m_stageScale = 1;
    std::vector<Building> m_building;
    std::vector<MaskUse> m_masks;
    int m_masksApplied = 0;
    std::vector<std::uint64_t> m_context{0};   // hash of the masks in force
    std::vector<QRect> m_clip;                 // device area the masks in force leave, innermost last
    std::vector<OpenLayer> m_open;
};

// The device rectangles in which `after` may differ from `before`, as found (overlapping, unmerged).
std::vector<QRect> changedRects(const FrameRecord& before, const FrameRecord& after);
// The device area in which `after` may differ from `before`, as at most `maxRects` rectangles.
std::vector<QRect> damageBetween(const FrameRecord& before, const FrameRecord& after, int maxRects = 8);
// A share of `bounds` that `rects` together surely cover: counted in whole tiles of the rectangles' union,
// never more than they cover, and quick for hundreds of them.
double coveredShare(const std::vector<QRect>& rects, const QRect& bounds);
// Unites rectangles until at most `maxRects` remain, choosing the unions that paint least outside them.
std::vector<QRect> mergeRects(std::vector<QRect> rects, int maxRects);

}  // namespace vistrel::player
