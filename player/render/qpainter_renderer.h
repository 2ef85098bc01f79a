// Draws frames into a QImage with QPainter: fills, strokes, gradients, bitmaps, masks as clip
// paths, and offscreen layers for filters and blend modes.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QImage>
#include <QPainterPath>
#include <QRegion>

#include "player/render/gradient_cache.h"
#include "player/render/layer_cache.h"
#include "player/render/renderer.h"

class QPainter;
class QBrush;

namespace vistrel::player {

struct Paint;
struct DrawItem;
struct SeamBand;
struct LayerPlan;

// Masks that may clip at once; deeper ones are left out (no real movie comes near).
inline constexpr int kMaxMaskNesting = 64;
// Filters of objects blown up beyond this many pixels per unit are drawn at this scale.
inline constexpr double kMaxFilterScale = 64;

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
    void abandonLayer(BlendMode mode) override;
    void endFrame() override;

    // Frames from now on repaint only `area` (device pixels), leaving the rest of the target as it
    // is, and skip what lies wholly outside it; an empty region repaints everything.
    void setRepaintArea(const QRegion& area) { m_repaint = area; }
    // What a recording of the frame about to be drawn learnt of its layers (null: nothing known).
    // It must outlive the frame.
    void setLayerPlan(const std::vector<LayerPlan>* plan) { m_plan = plan; }
    // Where finished bitmap layers are kept between frames (null: nowhere).
    void setLayerCache(LayerCache* cache) { m_cache = cache; }
    // Whether a partial repaint draws on the picture's rows down to the last repainted one only (on by
    // default): far cheaper for tall outlines, and the same pixels, except for hairlines reaching below.
    void setRowLimit(bool on) { m_rowLimit = on; }
    // Whether the last frame drew such a hairline on the shortened rows: drawn again without the limit,
    // it gives the whole picture's pixels.
    bool wantedWholeDevice() const { return m_wantedWholeDevice; }
    // Filters ask `stop` before each filter and blur pass and leave the rest out once it says so.
    void setStop(std::function<bool()> stop) { m_stop = std::move(stop); }
    // Whether the frame drawn last left out filter work for it.
    bool filtersStopped() const { return m_filtersStopped; }

private:
    struct Layer {
        std::unique_ptr<QImage> image;   // stays put while its painter works on it
        std::unique_ptr<QPainter> painter;
        QRectF drawn;                    // device area drawn so far
        QRect touched;                   // device area any pixel may have changed in
        QPointF offset;                  // device shift of everything drawn into it
        double filterScaleX = 1, filterScaleY = 1;   // device pixels per filter unit
        bool cull = false;               // draws outside the repaint area are left out
        std::uint64_t cacheSignature = 0;
        bool cacheable = false;
    };
    struct Spare {
        std::unique_ptr<QImage> image;
        QRect dirty;                     // what must be cleared before reuse
    };
    void composite(const QImage& content, const QRect& box, BlendMode mode);
    QPainter& painter();
    void prepare(QPainter& p) const;
    void fillItem(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx);
    void underlaySeams(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx);
    // Lays down the fill's seam band in `brush` (a solid colour) from a picture of its pixels made
    // before; false when there is none to use, and the band is to be filled.
    bool drawKeptSeams(QPainter& p, const DrawItem& item, const QTransform& device, const QBrush& brush);
    static bool paintsOpaque(const Paint& paint, const swf::ColorTransform& cx);
    // `repeat` (when given) says the picture repeats after that many pixels across and down, so only
    // that much of it is computed and the brush tiles it.
    // Lays the clipped picture `image`, placed by `toDevice` so that it covers the fill, into `out` (the
    // size of the device `area`); pixels whose centres fall beyond its sides take its edge pixels. Only
    // pixels inside `clip` (device pixels), when given and not empty, are needed.
    static void layCoveringBitmap(const QImage& image, const QTransform& toDevice, const QRect& area, bool smooth,
                                  const QRegion* clip, QImage& out);
    // Runs `draw` once per band of rows of `reach` (device pixels) with the painter clipped to the band;
    // `clip` (device pixels, when given) is the known repaint area, and bands outside it are skipped.
    void inBands(QPainter& p, const QRect& reach, const QRegion* clip, const std::function<void()>& draw);
    void fillDeviceImage(QPainter& p, const DrawItem& item, const QTransform& device,
                         const std::function<void(const QRect&, QImage&)>& paint, QSize repeat = QSize(),
                         GradientCache::Key* cacheKey = nullptr);
    void fillGradient(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx);
    // Whether the paint is a gradient worked out pixel by pixel (one of a single colour is not).
    static bool drawnAsGradient(const Paint& paint);
    GradientSampling gradientSampling() const;
    // Where the gradient square lies on the device, as its colours are sampled.
    QTransform gradientToDevice(const Paint& paint, const QTransform& device) const;
    // A brush in device pixels holding the gradient over `area`, for lines.
    QBrush lineGradientBrush(const Paint& paint, const QTransform& device, const swf::ColorTransform& cx, QRect area);
    void strokeItem(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx);
    void drawPixelBox(QPainter& p, const DrawItem& item, const QTransform& device, const swf::ColorTransform& cx);
    QBrush makeBrush(const Paint& paint, const swf::ColorTransform& cx, const QTransform& device);
    // The picture under the colour transform; null when it leaves every pixel clear.
    QImage transformedImage(const QImage& image, const swf::ColorTransform& cx);
    const std::bitset<256>& alphasOf(const QImage& image);
    // The picture with straight (not premultiplied) colours, kept for pictures used lately.
    const QImage& straightColors(const QImage& image);
    bool smoothBitmaps(const Paint& paint) const;
    // The painter's clip in device pixels when it is known to be a set of rectangles, else null.
    const QRegion* knownClip() const;

    QImage& m_target;
    QImage m_rows;                            // the target's rows down to the last repainted, when drawn on
    bool m_rowLimit = true;
    bool m_wantedWholeDevice = false;
    std::vector<Layer> m_layers;              // [0] paints the target itself
    QTransform m_stage;                       // what draws use
    QTransform m_stageExact;                  // the same without the nudge of aliased drawing
    RenderQuality m_quality = RenderQuality::High;
    std::vector<QPainterPath> m_building;     // masks being collected, in device pixels
    std::vector<bool> m_maskApplied;          // per open mask: whether it changed the clip
    int m_masksApplied = 0;                   // entries of m_maskApplied that are true
    bool m_cutting = false;                   // a shape's own clip is in force
    // A colour transform as it acts on one picture: per channel what each value becomes.
    using ChannelTables = std::array<std::array<std::uint8_t, 256>, 4>;
    struct CachedImage {
        qint64 key;
        std::uint64_t hash;   // of the tables, to pass over most entries quickly
        ChannelTables table;
        QImage image;
        bool reused;          // drawn again since it was made
    };
    std::list<CachedImage> m_imageCache;      // colour-transformed bitmaps, most recent first
    std::size_t m_imageCacheBytes = 0;
    std::size_t m_untriedBytes = 0;           // of which pictures not drawn again yet
    std::vector<QImage> m_recycled;           // pictures let go of by that cache, for their memory
    std::list<std::pair<qint64, QImage>> m_straight;   // straight-colour pictures, most recent first
    std::size_t m_straightBytes = 0;
    std::unordered_map<qint64, std::bitset<256>> m_alphas;   // alpha values each picture holds
    std::vector<Spare> m_spareLayers;         // layer images ready for reuse
    QRegion m_repaint;
    const std::vector<LayerPlan>* m_plan = nullptr;
    const std::vector<LayerPlan>* m_framePlan = nullptr;   // the plan while this frame still follows it
    LayerCache* m_cache = nullptr;
    std::function<bool()> m_stop;
    bool m_filtersStopped = false;
    std::size_t m_layerCalls = 0;             // beginLayer calls so far this frame
    int m_skipDepth = 0;                      // inside a layer left out (or taken from the cache)
    const LayerCache::Entry* m_skipCached = nullptr;       // the cache entry standing for the layer left out
    double m_stageScale = 1;
    struct SeamBandUse {
        QPainterPath seams;                   // what it was made from: the fill's address may be reused
        std::shared_ptr<const SeamBand> band;
    };
    std::unordered_map<const DrawItem*, std::vector<SeamBandUse>> m_seamBands;
    struct KeptSeams {
        std::shared_ptr<const SeamBand> band;   // what the picture shows: this band,
        QPointF fraction;                       // moved by this fraction of a pixel,
        QRgb color = 0;                         // in this colour
        QImage image;                           // null until the same band is drawn a second time
        QPoint origin;                          // where the picture's corner lies, before whole pixels
    };
    std::unordered_map<const DrawItem*, std::vector<KeptSeams>> m_keptSeams;   // per fill, latest first
    std::size_t m_keptSeamBytes = 0;
    // Device-pixel fills are computed here, each as a picture whose rows follow one another, so a fill
    // of any shape takes only as many pages as it has pixels; grown by doubling, never shrunk.
    std::unique_ptr<QRgb[]> m_scratch;
    std::size_t m_scratchPixels = 0;
    GradientCache m_gradients;                // gradient fills that stand still, as drawn
    QImage m_mixScratch;                      // blend modes mix the parent's pixels here
};

}  // namespace vistrel::player
