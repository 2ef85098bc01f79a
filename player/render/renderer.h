// What the display list needs of a drawing backend. The walk over the display list calls these in
// painting order; masks and layers nest.
#pragma once

#include <cstdint>
#include <vector>

#include <QRectF>
#include <QTransform>

#include "player/render/blend.h"
#include "player/render/filter_types.h"
#include "player/swf/records.h"

namespace vistrel::player {

struct ShapePaths;

enum class RenderQuality { Low, Medium, High, Best };

class Renderer {
public:
    virtual ~Renderer() = default;
    // `stageToDevice` maps twips to device pixels.
    virtual void beginFrame(swf::Rgba background, const QTransform& stageToDevice, RenderQuality quality) = 0;
    // `m` maps the shape's twips to stage twips.
    virtual void drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) = 0;
    // The same, for outlines that stay as they are for as long as `key` names them (a character of a
    // loaded movie): renderers that compare frames need not look at the outlines themselves.
    virtual void drawShapeKeyed(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx,
                                std::uint64_t key) {
        (void)key;
        drawShape(shape, m, cx);
    }
    virtual void beginMask() = 0;   // following draws build the mask
    virtual void useMask() = 0;     // following draws are clipped by it
    virtual void endMask() = 0;     // back to the clip in force before beginMask
    // Following draws go to an offscreen layer. `m` maps the layer's object to stage twips and
    // `bounds` is what it covers in its own twips (empty when unknown). A layer with filters is
    // drawn as the object's own bitmap, placed on whole device pixels.
    virtual void beginLayer(const QTransform& m, const QRectF& bounds, bool filtered) = 0;
    virtual void endLayer(const std::vector<Filter>& filters, BlendMode mode) = 0;
    // Closes the layer begun last when drawing ran out of time in it: what it got is shown unfiltered,
    // and renderers that keep finished layers for later frames must not keep this one.
    virtual void abandonLayer(BlendMode mode) { endLayer({}, mode); }
    virtual void endFrame() = 0;
};

}  // namespace vistrel::player
