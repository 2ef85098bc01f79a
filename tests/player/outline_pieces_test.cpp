// Fills made of many separate outlines (lines of text) are drawn piece by piece: the pixels must be
// exactly those of the whole outline filled at once, whatever the pieces' spacing, overlap, fill rule,
// transform, colour or repainted area.
#include <gtest/gtest.h>

#include <cmath>

#include <QImage>
#include <QPainter>

#include "player/render/qpainter_renderer.h"
#include "player/shape_paths.h"
#include "tests/support/shape_draw.h"

namespace vp = vistrel::player;
namespace swf = vistrel::swf;

namespace {

constexpr QRgb kBackground = 0xff203040;
const QTransform kStage = QTransform::fromScale(0.05, 0.05);   // twips to pixels

// A glyph-like outline in twips: an oval with a hole and a bar beside it, `size` high.
QPainterPath letter(double x, double y, double size) {
    QPainterPath p;
    p.addEllipse(QPointF(x, y), size * 0.35, size * 0.5);
    p.addEllipse(QPointF(x, y), size * 0.2, size * 0.3);   // same direction: a hole only under even-odd
    QPainterPath hole;
    hole.addEllipse(QPointF(x + size * 0.05, y), size * 0.1, size * 0.15);
    p.addPath(hole.toReversed());
    p.addRect(x + size * 0.4, y - size * 0.5, size * 0.12, size);
    return p;
}

// `count` letters in a row, `advance` twips apart (less than a letter's width makes them overlap).
QPainterPath line(int count, double advance, double size, Qt::FillRule rule) {
    QPainterPath p;
    for (int i = 0; i < count; ++i) p.addPath(letter(200 + i * advance, 300 + (i % 3) * size * 0.07, size));
    p.setFillRule(rule);
    return p;
}

vp::ShapePaths shapeOf(const QPainterPath& path, swf::Rgba color) { return vistrel::testing::oneFillShape(path, color); }

QImage blank(QSize size = {400, 200}) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(kBackground);
    return image;
}

// The renderer's picture of `shape` placed with `m`, repainting only `area` when given.
QImage drawn(const vp::ShapePaths& shape, const QTransform& m, const QRegion& area = QRegion(),
             vp::RenderQuality quality = vp::RenderQuality::High, QImage image = blank()) {
    return vistrel::testing::rendererPicture(shape, m, kStage, std::move(image), swf::Rgba{0x20, 0x30, 0x40, 255}, area,
                                             quality);
}

// The whole outline filled at once with an anti-aliasing painter.
QImage filledAtOnce(const QPainterPath& path, swf::Rgba color, const QTransform& m) {
    return vistrel::testing::filledAtOnce(path, color, m, kStage, blank());
}

int differingPixels(const QImage& a, const QImage& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

}  // namespace

TEST(OutlinePieces, ManyOutlinesFillExactlyAsOneWhateverTheirSpacingRuleAndPlacement) {
    struct Case {
        const char* name;
        double advance;   // twips between letters; a letter is about 0.52 of its size wide
        double size;
    };
    const Case cases[] = {
        {"apart", 700, 1000},          // gaps of several pixels
        {"a pixel apart", 560, 1000},  // gaps under two pixels: neighbours may share edge pixels
        {"touching", 520, 1000},
        {"overlapping", 380, 1000},
        {"tiny", 90, 120},             // a few pixels high: boxes meet after rounding
    };
    const QTransform placements[] = {
        QTransform(),
        QTransform::fromTranslate(7.3, 11.6),
        QTransform().rotate(17).scale(1.3, 0.8),
        QTransform(0.02, 0.3, -0.4, 1.1, 13, 5),   // sheared, nearly edge-on across
        QTransform().rotate(90),
    };
    const swf::Rgba colors[] = {{250, 240, 10, 255}, {10, 200, 120, 90}};
    for (const Case& c : cases) {
        for (const Qt::FillRule rule : {Qt::WindingFill, Qt::OddEvenFill}) {
            const QPainterPath path = line(12, c.advance, c.size, rule);
            for (const swf::Rgba color : colors) {
                const vp::ShapePaths shape = shapeOf(path, color);
                for (std::size_t k = 0; k < std::size(placements); ++k) {
                    // Placed so the line crosses the picture whatever the transform.
                    const QTransform m = placements[k] * QTransform::fromTranslate(1500, 600);
                    const QImage expected = filledAtOnce(path, color, m);
                    // Twice: the second draw uses what the first kept of the outline.
                    for (int pass = 0; pass < 2; ++pass)
                        EXPECT_EQ(differingPixels(drawn(shape, m), expected), 0)
                            << c.name << " rule " << rule << " alpha " << int{color.a} << " placement " << k << " pass " << pass;
                }
            }
        }
    }
}

TEST(OutlinePieces, PartialRepaintMatchesTheWholeDrawInsideTheArea) {
    const vp::ShapePaths shape = shapeOf(line(12, 560, 1000, Qt::WindingFill), {240, 240, 240, 200});
    const QTransform m = QTransform().rotate(-8) * QTransform::fromTranslate(1400, 900);
    const QImage whole = drawn(shape, m);
    // Bands cutting through letters, over a picture holding other pixels.
    QImage old(whole.size(), QImage::Format_ARGB32_Premultiplied);
    old.fill(0xff7f0000);
    QRegion area(QRect(0, 37, 400, 23));
    area |= QRect(113, 0, 31, 200);
    const QImage part = drawn(shape, m, area, vp::RenderQuality::High, old);
    for (int y = 0; y < whole.height(); ++y)
        for (int x = 0; x < whole.width(); ++x)
            ASSERT_EQ(part.pixel(x, y), area.contains(QPoint(x, y)) ? whole.pixel(x, y) : old.pixel(x, y)) << x << "," << y;
}

TEST(OutlinePieces, AnItemWhosePathWasReplacedDrawsItsNewPath) {
    // Copies of an item share what was kept of its outline; one given another path must not draw the old one.
    vp::ShapePaths shape = shapeOf(line(8, 700, 1000, Qt::WindingFill), {255, 255, 255, 255});
    const QTransform m = QTransform::fromTranslate(1500, 600);
    drawn(shape, m);
    vp::ShapePaths moved = shape;
    const QPainterPath other = line(8, 560, 900, Qt::OddEvenFill);
    moved.items[0].path = other;
    moved.bounds = other.boundingRect();
    EXPECT_EQ(differingPixels(drawn(moved, m), filledAtOnce(other, {255, 255, 255, 255}, m)), 0);
    EXPECT_EQ(differingPixels(drawn(shape, m), filledAtOnce(shape.items[0].path, {255, 255, 255, 255}, m)), 0);
}
