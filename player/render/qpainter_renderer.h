// Draws frames into a QImage with QPainter: fills, strokes, gradients, bitmaps, masks as clip
// paths, and offscreen layers for filters and blend modes.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <vector>

#include <QImage>
#include <QPainterPath>

#include "player/render/renderer.h"

class QPainter;
class QBrush;

namespace vistrel::player {

struct Paint;
struct DrawItem;

// Masks that may clip at once; deeper ones are left out (no real movie comes near).
inline constexpr int kMaxMaskNesting = 64;

class QPainterRenderer : public Renderer {
public:
    // Draws into `target` (kept by reference; it must outlive each frame). The image should be
    // Format_ARGB32_Premultiplied.
    explicit QPainterRenderer(QImage& target);
    ~QPainterRenderer() override;

    void beginFrame(swf::Rgba background, const QTransform& stageToDevice, RenderQuality quality) override;
    void drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) override;
    void beginMask() override;
    void useMask() override;
    void endMask() override;
    void beginLayer(const QTransform& m, const QRectF& bounds, bool filtered) override;
    void endLayer(const std::vector<Filter>& filters, BlendMode mode) override;
    void endFrame() override;

private:
    struct Layer {
        std::unique_ptr<QImage> image;   // stays put while its painter works on it
        std::unique_ptr<QPainter> painter;
        QRectF drawn;                    // device area drawn so far
        QPointF offset;                  // device shift of everything drawn into it
        double filterScaleX = 1, filterScaleY = 1;   // device pixels per filter unit
    };
    QPainter& painter();
    void prepare(QPainter& p) const;
    void fillItem(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx);
    void underlaySeams(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx);
    static bool paintsOpaque(const Paint& paint, const swf::ColorTransform& cx);
    void fillDeviceImage(QPainter& p, const DrawItem& item, const QTransform& device,
                         const std::function<void(const QRect&, QImage&)>& paint);
    void fillGradient(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx);
    void strokeItem(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx);
    QBrush makeBrush(const Paint& paint, const swf::ColorTransform& cx, const QTransform& device);
    QImage transformedImage(const QImage& image, const swf::ColorTransform& cx);
    bool smoothBitmaps(const Paint& paint) const;

    QImage& m_target;
    std::vector<Layer> m_layers;              // [0] paints the target itself
    QTransform m_stage;                       // what draws use
    QTransform m_stageExact;                  // the same without the nudge of aliased drawing
    RenderQuality m_quality = RenderQuality::High;
    std::vector<QPainterPath> m_building;     // masks being collected, in device pixels
    std::vector<bool> m_maskApplied;          // per open mask: whether it changed the clip
    int m_masksApplied = 0;                   // entries of m_maskApplied that are true
    struct CachedImage {
        qint64 key;
        swf::ColorTransform cx;
        QImage image;
    };
    std::list<CachedImage> m_imageCache;      // colour-transformed bitmaps, most recent first
    std::vector<std::unique_ptr<QImage>> m_spareLayers;   // layer images ready for reuse
    QImage m_scratch;                         // device-pixel fills are computed here
    QImage m_mixScratch;                      // blend modes mix the parent's pixels here
};

}  // namespace vistrel::player
