// The face that draws device text: every field font a movie names without embedding its outlines
// (_sans, _serif, _typewriter, Arial, unknown names alike) is shown in one sans-serif face, its regular
// style, at whole-pixel advances.
#pragma once

#include <memory>

#include <QChar>
#include <QPainterPath>
#include <QString>

namespace vistrel::player {

// Measures and outlines of device text at a size in twips (20 per pixel). Metrics come from the face's
// own tables, so they do not depend on hinting or the screen. One per thread (fonts are not shared
// across threads).
class DeviceFont {
public:
    static const DeviceFont& instance();

    // The family in use ("" when no font at all could be loaded: then text takes no room).
    QString family() const;

    // The pen's movement after `ch`, in twips: the face's advance rounded to a whole pixel. Characters
    // the face lacks are measured in a system face that has them; control characters take no room.
    double advance(QChar ch, double sizeTwips) const;
    // The distance from the top of a line to its baseline, and from the baseline to the bottom, in
    // whole twips, each cut down on its own.
    double ascent(double sizeTwips) const;
    double descent(double sizeTwips) const;
    // The outline of `ch` with its pen at the origin and the baseline at y = 0, in twips.
    QPainterPath glyph(QChar ch, double sizeTwips) const;

    struct Impl;
    DeviceFont();
    ~DeviceFont();
    DeviceFont(const DeviceFont&) = delete;
    DeviceFont& operator=(const DeviceFont&) = delete;

private:
    std::unique_ptr<Impl> d;
};

// Letter spacing as device text applies it: whole pixels, a half going to the even neighbour; a
// character whose advance the spacing would bring to zero or below keeps its own advance. Twips in,
// twips out.
double deviceSpacedAdvance(double advanceTwips, double letterSpacingPixels);

}  // namespace vistrel::player
