// Blend modes of placed objects, and compositing a rendered layer onto its parent with one.
#pragma once

#include <cstdint>

#include <QPoint>

class QImage;

namespace vistrel::player {

// Values as stored in the file; 0 and 1 both mean normal.
enum class BlendMode : std::uint8_t {
    Normal = 0,
    Layer = 2,
    Multiply,
    Screen,
    Lighten,
    Darken,
    Difference,
    Add,
    Subtract,
    Invert,
    Alpha,
    Erase,
    Overlay,
    Hardlight,
};

// The mode for a byte read from the file; unknown values give Normal.
BlendMode blendModeFromByte(std::uint8_t value);

// Composites the premultiplied `layer` onto the premultiplied `target` with its top-left at `at`
// (pixels outside the target are ignored; the target outside the layer's rectangle is left as it
// is, in every mode). Alpha and Erase change the target's alpha and so need
// the parent layer as target; Invert inverts the target where the layer is opaque. A target that
// is not Format_ARGB32_Premultiplied is converted to it first.
void blendLayer(QImage& target, const QImage& layer, QPoint at, BlendMode mode);

} // namespace vistrel::player
