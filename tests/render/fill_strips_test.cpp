// Tall fills of straight edges are cut into strips of device rows and filled strip by strip. The strips
// must add up to the whole fill: no row left out or painted twice (a translucent fill would show either),
// the fill rule kept across the cuts (holes, self-crossing outlines), edge pixels within a few steps of
// coverage of the whole filled at once, and a partial repaint equal to the whole draw in its area.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include <QImage>
#include <QPainterPath>

#include "player/render/qpainter_renderer.h"
#include "player/shape_paths.h"
#include "tests/support/shape_draw.h"

namespace vp = vistrel::player;
namespace swf = vistrel::swf;

namespace {

constexpr QRgb kBackground = 0xff203040;
const QTransform kStage = QTransform::fromScale(0.05, 0.05);   // twips to pixels
const QSize kSize(400, 600);
// Coverage moves by less than this along an edge where a cut meets it.
constexpr int kFewSteps = 6;

QPainterPath polygon(std::initializer_list<QPointF> points, Qt::FillRule rule = Qt::OddEvenFill) {
    QPainterPath p;
    p.addPolygon(QPolygonF(QList<QPointF>(points)));
    p.closeSubpath();
    p.setFillRule(rule);
    return p;
}

struct Outline {
    const char* name;
    QPainterPath path;   // twips
};

// Outlines tall enough to be cut: many of the rasteriser's bands (a couple of dozen rows each).
std::vector<Outline> tallOutlines() {
    std::vector<Outline> out;
    out.push_back({"triangle", polygon({{600, 300}, {5200, 1900}, {2100, 10900}})});
    out.push_back({"sliver", polygon({{3000, 200}, {3500, 230}, {3260, 11500}})});
    out.push_back({"quad", polygon({{1900, 400}, {6900, 1200}, {5800, 11400}, {400, 9800}})});
    out.push_back({"just tall enough to cut", polygon({{1000, 1013}, {4000, 1100}, {2500, 2530}})});
    // A five-pointed star crosses itself: its middle is empty under even-odd and filled under winding.
    QPainterPath star;
    for (int k = 0; k < 5; ++k) {
        const double angle = -M_PI / 2 + k * 4 * M_PI / 5;
        const QPointF point(4000 + 3600 * std::cos(angle), 6000 + 5200 * std::sin(angle));
        if (k == 0) star.moveTo(point);
        else star.lineTo(point);
    }
    star.closeSubpath();
    star.setFillRule(Qt::OddEvenFill);
    out.push_back({"star even-odd", star});
    star.setFillRule(Qt::WindingFill);
    out.push_back({"star winding", star});
    // A frame: a square with a square hole, the hole drawn the same way round (a hole only under
    // even-odd) and the other way round (a hole under either rule).
    QPainterPath frame = polygon({{700, 700}, {7300, 700}, {7300, 11300}, {700, 11300}});
    frame.addPath(polygon({{2100, 2300}, {5900, 2300}, {5900, 9700}, {2100, 9700}}));
    out.push_back({"frame even-odd", frame});
    QPainterPath wound = polygon({{700, 700}, {7300, 700}, {7300, 11300}, {700, 11300}});
    wound.addPath(polygon({{2100, 2300}, {2100, 9700}, {5900, 9700}, {5900, 2300}}));
    wound.setFillRule(Qt::WindingFill);
    out.push_back({"frame winding", wound});
    return out;
}

vp::ShapePaths shapeOf(const QPainterPath& path, swf::Rgba color) { return vistrel::testing::oneFillShape(path, color); }

QImage blank() {
    QImage image(kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(kBackground);
    return image;
}

// The renderer's picture of `shape` placed with `m`, repainting only `area` when given.
QImage drawn(const vp::ShapePaths& shape, const QTransform& m, const QRegion& area = QRegion(), QImage image = blank()) {
    return vistrel::testing::rendererPicture(shape, m, kStage, std::move(image), swf::Rgba{0x20, 0x30, 0x40, 255}, area);
}

// The whole outline filled at once with an anti-aliasing painter.
QImage filledAtOnce(const QPainterPath& path, swf::Rgba color, const QTransform& m) {
    return vistrel::testing::filledAtOnce(path, color, m, kStage, blank());
}

int channelDifference(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)),
                     std::abs(qAlpha(a) - qAlpha(b))});
}

// Whether `image` holds the same value as at (x, y) all around it: a pixel wholly inside or outside.
bool settled(const QImage& image, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int u = std::clamp(x + dx, 0, image.width() - 1), v = std::clamp(y + dy, 0, image.height() - 1);
            if (image.pixel(u, v) != image.pixel(x, y)) return false;
        }
    return true;
}

}  // namespace

TEST(FillStrips, TallFillsPaintTheWholeFillsPixelsWhateverTheRuleTransformOrColour) {
    const QTransform placements[] = {
        QTransform(),
        QTransform::fromTranslate(13.7, -21.3),
        QTransform::fromTranslate(4000, 6000).rotate(23).translate(-4000, -6000),
        QTransform(0.9, 0.25, -0.3, 1.05, 300, -400),   // sheared
    };
    const swf::Rgba colors[] = {{240, 200, 20, 255}, {30, 220, 160, 110}};
    for (const Outline& outline : tallOutlines()) {
        for (const swf::Rgba color : colors) {
            const vp::ShapePaths shape = shapeOf(outline.path, color);
            for (std::size_t k = 0; k < std::size(placements); ++k) {
                SCOPED_TRACE(std::string(outline.name) + " alpha " + std::to_string(color.a) + " placement " + std::to_string(k));
                const QImage whole = filledAtOnce(outline.path, color, placements[k]);
                const QImage strips = drawn(shape, placements[k]);
                int worst = 0, settledDiffering = 0, painted = 0;
                for (int y = 0; y < whole.height(); ++y)
                    for (int x = 0; x < whole.width(); ++x) {
                        const int d = channelDifference(whole.pixel(x, y), strips.pixel(x, y));
                        worst = std::max(worst, d);
                        // A row left out or painted twice shows inside; a rule lost shows in holes and crossings.
                        if (d != 0 && settled(whole, x, y)) ++settledDiffering;
                        painted += whole.pixel(x, y) != kBackground;
                    }
                EXPECT_GT(painted, 1000);
                EXPECT_LE(worst, kFewSteps);
                EXPECT_EQ(settledDiffering, 0);
            }
        }
    }
}

TEST(FillStrips, PartialRepaintOfATallFillEqualsTheWholeDrawInsideTheArea) {
    for (const Outline& outline : tallOutlines()) {
        SCOPED_TRACE(outline.name);
        const vp::ShapePaths shape = shapeOf(outline.path, {240, 240, 240, 170});
        const QTransform m = QTransform::fromTranslate(4000, 6000).rotate(-11).translate(-4000, -6000);
        const QImage whole = drawn(shape, m);
        // Areas starting and ending inside strips and on their edges, over a picture holding other pixels.
        QRegion crossing(QRect(0, 37, 400, 23));
        crossing |= QRect(113, 0, 31, 600);
        crossing |= QRect(50, 240, 300, 97);
        for (const QRegion& area : {crossing, QRegion(0, 250, 400, 61), QRegion(170, 401, 45, 30)}) {
            QImage old(kSize, QImage::Format_ARGB32_Premultiplied);
            old.fill(0xff7f0000);
            const QImage part = drawn(shape, m, area, old);
            for (int y = 0; y < whole.height(); ++y)
                for (int x = 0; x < whole.width(); ++x)
                    ASSERT_EQ(part.pixel(x, y), area.contains(QPoint(x, y)) ? whole.pixel(x, y) : old.pixel(x, y))
                        << x << "," << y << " in " << area.boundingRect().top() << ".." << area.boundingRect().bottom();
        }
    }
}

TEST(FillStrips, TallCurvedFillsAreFilledWhole) {
    // Curves are cut into lines where they are drawn; cut into strips first they would be cut differently.
    QPainterPath oval;
    oval.addEllipse(QPointF(4000, 6000), 3300, 5400);
    oval.addEllipse(QPointF(4300, 5000), 1200, 2100);
    oval.setFillRule(Qt::OddEvenFill);
    const swf::Rgba color{90, 160, 250, 200};
    const QTransform m = QTransform::fromTranslate(4000, 6000).rotate(31).translate(-4000, -6000);
    EXPECT_EQ(drawn(shapeOf(oval, color), m), filledAtOnce(oval, color, m));
}
