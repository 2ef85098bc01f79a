// Anti-aliased fills and lines take four coverage samples a pixel: an edge pixel shows the share of its
// samples inside (none, a quarter, a half, three quarters, all), the samples on a turned grid at
// 5/32, 13/32, 21/32 and 29/32 of the pixel down, each paired with one quarter column. Lines are at
// least a pixel wide. Whatever the outline, rule, clip or repainted area, inside pixels are the fill's
// and outside pixels are left alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

#include "player/render/qpainter_renderer.h"
#include "player/render/sampled_fill.h"
#include "player/shape_paths.h"
#include "tests/support/shape_draw.h"

namespace vp = vistrel::player;
namespace swf = vistrel::swf;

namespace {

constexpr QRgb kWhite = 0xffffffff;
const QTransform kStage = QTransform::fromScale(0.05, 0.05);   // twips to pixels
// Where the samples lie down a pixel, and across it in the same order.
constexpr std::array<double, 4> kRows = {5.0 / 32, 13.0 / 32, 21.0 / 32, 29.0 / 32};
constexpr std::array<double, 4> kColumns = {13.0 / 32, 29.0 / 32, 5.0 / 32, 21.0 / 32};

QImage white(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(kWhite);
    return image;
}

// How many of four samples a pixel of black on white shows (its darkness in quarters).
int samplesOf(QRgb pixel) { return static_cast<int>(std::lround((255 - qRed(pixel)) / 255.0 * 4)); }

// The grey of k samples of black on white, as blending gives it.
bool isLevel(QRgb pixel) {
    const int k = samplesOf(pixel);
    return qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel) && std::abs(qRed(pixel) - (255 - 255 * k / 4)) <= 1;
}

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

std::vector<Outline> outlines() {
    std::vector<Outline> out;
    out.push_back({"triangle", polygon({{600, 300}, {5200, 1900}, {2100, 10900}})});
    out.push_back({"sliver", polygon({{3000, 200}, {3500, 230}, {3260, 11500}})});
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
    // A square with a square hole drawn the same way round (a hole only under even-odd) and the other
    // way round (a hole under either rule).
    QPainterPath frame = polygon({{700, 700}, {7300, 700}, {7300, 11300}, {700, 11300}});
    frame.addPath(polygon({{2100, 2300}, {5900, 2300}, {5900, 9700}, {2100, 9700}}));
    out.push_back({"frame even-odd", frame});
    QPainterPath wound = polygon({{700, 700}, {7300, 700}, {7300, 11300}, {700, 11300}});
    wound.addPath(polygon({{2100, 2300}, {2100, 9700}, {5900, 9700}, {5900, 2300}}));
    wound.setFillRule(Qt::WindingFill);
    out.push_back({"frame winding", wound});
    QPainterPath oval;
    oval.addEllipse(QPointF(4000, 6000), 3300, 5400);
    oval.addEllipse(QPointF(4300, 5000), 1200, 2100);
    oval.setFillRule(Qt::OddEvenFill);
    out.push_back({"oval with a hole", oval});
    return out;
}

QImage drawn(const vp::ShapePaths& shape, const QTransform& m, QSize size, const QRegion& area = QRegion(),
             QImage image = QImage()) {
    if (image.isNull()) image = white(size);
    return vistrel::testing::rendererPicture(shape, m, kStage, std::move(image), swf::Rgba{255, 255, 255, 255}, area);
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

vp::ShapePaths lineShape(const QPainterPath& path, double widthTwips) {
    vp::ShapePaths shape;
    vp::DrawItem item;
    item.path = path;
    item.stroke = true;
    item.paint.color = swf::Rgba{0, 0, 0, 255};
    item.strokeStyle.width = widthTwips;
    shape.bounds = path.boundingRect().adjusted(-widthTwips, -widthTwips, widthTwips, widthTwips);
    shape.items.push_back(std::move(item));
    return shape;
}

}  // namespace

TEST(SampledFill, AnEdgeCoversTheSamplesOnItsSide) {
    // Squares whose left and top edges lie k twentieths into a pixel, and whose right and bottom edges
    // lie as far into the pixel ten further on.
    QPainterPath squares;
    for (int k = 0; k < 20; ++k) squares.addRect(QRectF((10 + 20 * k) * 20 + k, 10 * 20 + k, 200, 200));
    squares.setFillRule(Qt::WindingFill);
    const QImage image = drawn(vistrel::testing::oneFillShape(squares, {0, 0, 0, 255}), QTransform(), QSize(420, 40));
    for (int k = 0; k < 20; ++k) {
        SCOPED_TRACE("k " + std::to_string(k));
        const double f = k / 20.0;
        int before = 0;   // samples left of (above) the edge
        for (double s : kRows) before += s < f;
        const int x = 10 + 20 * k;
        EXPECT_EQ(samplesOf(image.pixel(x, 15)), 4 - before);        // left edge
        EXPECT_EQ(samplesOf(image.pixel(x + 5, 10)), 4 - before);    // top edge
        EXPECT_EQ(samplesOf(image.pixel(x + 10, 15)), before);       // right edge
        EXPECT_EQ(samplesOf(image.pixel(x + 5, 20)), before);        // bottom edge
        EXPECT_EQ(samplesOf(image.pixel(x + 5, 15)), 4);
        EXPECT_EQ(samplesOf(image.pixel(x - 1, 15)), 0);
    }
}

TEST(SampledFill, EachQuarterRowHoldsOneSampleInOneQuarterColumn) {
    // Cells a quarter of a pixel square, each in a pixel of its own, drawn in 1/80 pixel units; a cell
    // holding a sample covers a quarter of its pixel, one holding none leaves it white.
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            QImage image = white(QSize(4, 4));
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setTransform(QTransform::fromScale(1.0 / 80, 1.0 / 80));
            QPainterPath cell;
            cell.addRect(QRectF(80 + 20 * column, 80 + 20 * row, 20, 20));
            vp::fillSampled(p, cell, QBrush(Qt::black));
            p.end();
            SCOPED_TRACE("quarter row " + std::to_string(row) + " column " + std::to_string(column));
            const bool holds = static_cast<int>(kColumns[static_cast<std::size_t>(row)] * 4) == column;
            EXPECT_EQ(samplesOf(image.pixel(1, 1)), holds ? 1 : 0);
            EXPECT_TRUE(isLevel(image.pixel(1, 1)));
            EXPECT_EQ(image.pixel(0, 0), kWhite);
            EXPECT_EQ(image.pixel(2, 2), kWhite);
        }
}

TEST(SampledFill, AnyOutlineShowsOnlyFiveLevelsAndKeepsItsRule) {
    const QTransform placements[] = {
        QTransform(),
        QTransform::fromTranslate(13.7, -21.3),
        QTransform::fromTranslate(4000, 6000).rotate(23).translate(-4000, -6000),
        QTransform(0.9, 0.25, -0.3, 1.05, 300, -400),   // sheared
    };
    for (const Outline& outline : outlines()) {
        const vp::ShapePaths shape = vistrel::testing::oneFillShape(outline.path, {0, 0, 0, 255});
        for (std::size_t k = 0; k < std::size(placements); ++k) {
            SCOPED_TRACE(std::string(outline.name) + " placement " + std::to_string(k));
            const QImage image = drawn(shape, placements[k], QSize(400, 600));
            // The outline filled by the painter's own exact coverage: wholly inside and outside pixels
            // must agree with it.
            QImage exact = white(QSize(400, 600));
            {
                QPainter p(&exact);
                p.setRenderHint(QPainter::Antialiasing);
                p.setPen(Qt::NoPen);
                p.setTransform(placements[k] * kStage);
                p.fillPath(outline.path, Qt::black);
            }
            int painted = 0, off = 0, wrong = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    off += !isLevel(image.pixel(x, y));
                    if (settled(exact, x, y)) wrong += image.pixel(x, y) != exact.pixel(x, y);
                    painted += image.pixel(x, y) != kWhite;
                }
            EXPECT_GT(painted, 1000);
            EXPECT_EQ(off, 0);
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST(SampledFill, PartialRepaintEqualsTheWholeDrawInsideTheArea) {
    for (const Outline& outline : outlines()) {
        SCOPED_TRACE(outline.name);
        const vp::ShapePaths shape = vistrel::testing::oneFillShape(outline.path, {40, 90, 240, 170});
        const QTransform m = QTransform::fromTranslate(4000, 6000).rotate(-11).translate(-4000, -6000);
        const QImage whole = drawn(shape, m, QSize(400, 600));
        QRegion crossing(QRect(0, 37, 400, 23));
        crossing |= QRect(113, 0, 31, 600);
        crossing |= QRect(50, 240, 300, 97);
        for (const QRegion& area : {crossing, QRegion(0, 250, 400, 61), QRegion(170, 401, 45, 30)}) {
            QImage old(QSize(400, 600), QImage::Format_ARGB32_Premultiplied);
            old.fill(0xff7f0000);
            const QImage part = drawn(shape, m, QSize(400, 600), area, old);
            for (int y = 0; y < whole.height(); ++y)
                for (int x = 0; x < whole.width(); ++x)
                    ASSERT_EQ(part.pixel(x, y), area.contains(QPoint(x, y)) ? whole.pixel(x, y) : old.pixel(x, y))
                        << x << "," << y << " in " << area.boundingRect().top() << ".." << area.boundingRect().bottom();
        }
    }
}

TEST(SampledFill, ThroughAMaskOrAtHalfOpacityTheSamePixelsAreBlended) {
    // Under a mask the fill is laid down as a picture through the painter's clip, without one it is
    // blended in place: a mask covering everything must change nothing, and half opacity must give
    // each pixel half the fill's share.
    for (const Outline& outline : outlines()) {
        SCOPED_TRACE(outline.name);
        const vp::ShapePaths shape = vistrel::testing::oneFillShape(outline.path, {200, 40, 20, 190});
        const QTransform m = QTransform::fromTranslate(4000, 6000).rotate(17).translate(-4000, -6000);
        const QImage plain = drawn(shape, m, QSize(400, 600));
        QImage masked = white(QSize(400, 600));
        {
            vp::QPainterRenderer renderer(masked);
            renderer.beginFrame(swf::Rgba{255, 255, 255, 255}, kStage, vp::RenderQuality::High);
            renderer.beginMask();
            QPainterPath everything;
            everything.addRect(QRectF(-20000, -20000, 60000, 60000));
            renderer.drawShape(vistrel::testing::oneFillShape(everything, {0, 0, 0, 255}), QTransform(), swf::ColorTransform{});
            renderer.useMask();
            renderer.drawShape(shape, m, swf::ColorTransform{});
            renderer.endMask();
            renderer.endFrame();
        }
        EXPECT_EQ(masked, plain);
        // Half opacity, through the painter: against a fill of half the alpha drawn in place.
        QImage half = white(QSize(400, 600));
        QImage halfAlpha = white(QSize(400, 600));
        for (auto [image, opacity, alpha] : {std::tuple{&half, 0.5, 190}, std::tuple{&halfAlpha, 1.0, 95}}) {
            QPainter p(image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setOpacity(opacity);
            p.setTransform(m * kStage);
            vp::fillSampled(p, outline.path, QBrush(QColor(200, 40, 20, alpha)));
        }
        int worst = 0;
        for (int y = 0; y < half.height(); ++y)
            for (int x = 0; x < half.width(); ++x)
                for (int c = 0; c < 3; ++c) {
                    const int a = (half.pixel(x, y) >> (8 * c)) & 0xff, b = (halfAlpha.pixel(x, y) >> (8 * c)) & 0xff;
                    worst = std::max(worst, std::abs(a - b));
                }
        EXPECT_LE(worst, 2);
        EXPECT_NE(half, white(QSize(400, 600)));
    }
}

TEST(SampledFill, TranslucentFillsBlendInPlaceAsThePainterBlendsAPicture) {
    // Over a picture of many colours, some of them translucent, a translucent fill blended in place must
    // give each pixel exactly what the painter gives when the same coverage reaches it as a picture (as
    // under a clip), on runs of every length and at every level.
    QImage under(QSize(400, 600), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < under.height(); ++y)
        for (int x = 0; x < under.width(); ++x) {
            const int a = 100 + (x * 7 + y * 3) % 156;
            under.setPixel(x, y, qRgba((x * 5 + y) % (a + 1), (x + y * 11) % (a + 1), (x * y) % (a + 1), a));
        }
    for (const Outline& outline : outlines()) {
        SCOPED_TRACE(outline.name);
        for (const int alpha : {190, 77, 254}) {
            SCOPED_TRACE(alpha);
            const QTransform m = QTransform::fromTranslate(4000, 6000).rotate(23).translate(-4000, -6000);
            QImage inPlace = under, throughClip = under;
            for (QImage* image : {&inPlace, &throughClip}) {
                QPainter p(image);
                p.setRenderHint(QPainter::Antialiasing);
                if (image == &throughClip) p.setClipRect(QRect(-50, -50, 1000, 1000));
                p.setTransform(m * kStage);
                vp::fillSampled(p, outline.path, QBrush(QColor(230, 120, 30, alpha)));
            }
            EXPECT_NE(inPlace, under);
            for (int y = 0; y < under.height(); ++y)
                for (int x = 0; x < under.width(); ++x)
                    ASSERT_EQ(inPlace.pixel(x, y), throughClip.pixel(x, y)) << x << "," << y;
        }
    }
}

TEST(SampledFill, FarAndBrokenOutlinesNeitherCrashNorSpillIntoThePicture) {
    QPainterPath far;
    far.addRect(QRectF(1e9, 1e9, 50, 50));
    QPainterPath broken;
    broken.moveTo(0, 0);
    broken.lineTo(1e300, -1e300);
    broken.lineTo(-std::numeric_limits<double>::max(), 3);
    broken.lineTo(std::numeric_limits<double>::infinity(), 3);
    broken.closeSubpath();
    QImage image = white(QSize(64, 64));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        vp::fillSampled(p, far, QBrush(Qt::black));
        vp::strokeSampled(p, far, 3, QBrush(Qt::black));
    }
    EXPECT_EQ(image, white(QSize(64, 64)));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        vp::fillSampled(p, broken, QBrush(Qt::black));
        vp::strokeSampled(p, broken, 3, QBrush(Qt::black));
    }
    // A line from inside the picture to a point a long way off crosses it as it should; so does a fill
    // reaching that far.
    QPainterPath line;
    line.moveTo(10, 32);
    line.lineTo(1e12, 32);
    QPainterPath wide;
    wide.addRect(QRectF(20, -1e12, 1e13, 2e12));
    for (const bool stroke : {true, false}) {
        SCOPED_TRACE(stroke ? "line" : "fill");
        image = white(QSize(64, 64));
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        if (stroke) vp::strokeSampled(p, line, 3, QBrush(Qt::black));
        else vp::fillSampled(p, wide, QBrush(Qt::black));
        p.end();
        for (int x = 21; x < 64; ++x) {
            EXPECT_EQ(image.pixel(x, 32), 0xff000000u) << x;
            EXPECT_EQ(image.pixel(x, 2), stroke ? kWhite : 0xff000000u) << x;
        }
        EXPECT_EQ(image.pixel(5, 32), kWhite);
    }
}

TEST(SampledStroke, LinesAreAtLeastAPixelWideWithSampledSides) {
    // Vertical lines k twentieths past a pixel's left side, for widths from none to two pixels: a pixel
    // shows the samples within half the line's width (at least half a pixel) of it.
    const double widths[] = {0, 10, 20, 30, 40};   // twips
    for (const double width : widths) {
        QPainterPath lines;
        for (int k = 0; k < 20; ++k) {
            lines.moveTo((10 + 10 * k) * 20 + k, 200);
            lines.lineTo((10 + 10 * k) * 20 + k, 600);
        }
        const QImage image = drawn(lineShape(lines, width), QTransform(), QSize(220, 40));
        const double half = std::max(1.0, width / 20) / 2;
        for (int k = 0; k < 20; ++k) {
            SCOPED_TRACE("width " + std::to_string(width) + " k " + std::to_string(k));
            const double centre = 10 + 10 * k + k / 20.0;
            for (int x = 10 + 10 * k - 3; x <= 10 + 10 * k + 3; ++x) {
                int inside = 0;
                for (double s : kColumns) inside += x + s >= centre - half && x + s < centre + half;
                EXPECT_EQ(samplesOf(image.pixel(x, 20)), inside) << "x " << x;
            }
        }
    }
}

TEST(SampledStroke, ASampleIsCoveredWithinHalfTheWidthOfTheLine) {
    // A line with sharp corners, curves and loose ends, three pixels wide, with round ends and corners:
    // a sample is covered when it lies within half the width of the line. Curves and discs are drawn
    // as straight pieces, so samples within a small margin of the outline may go either way.
    QPainterPath path;
    path.moveTo(10.3, 12.7);
    path.lineTo(70.2, 15.1);
    path.lineTo(20.6, 60.4);
    path.cubicTo(40, 90, 80, 30, 90.5, 88.2);
    path.moveTo(15, 85);
    path.quadTo(30, 70, 50, 92);
    const double half = 1.5, margin = 0.15;
    QImage image = white(QSize(100, 100));
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        vp::strokeSampled(p, path, 2 * half, QBrush(Qt::black));
    }
    // The line cut into pieces far finer than the margin.
    const QList<QPolygonF> fine = (path * QTransform::fromScale(256, 256)).toSubpathPolygons(QTransform::fromScale(1.0 / 256, 1.0 / 256));
    const auto distance = [&](QPointF q) {
        double best = std::numeric_limits<double>::infinity();
        for (const QPolygonF& line : fine)
            for (qsizetype i = 0; i < line.size(); ++i) {
                const QPointF a = line[i], b = line[std::min(i + 1, line.size() - 1)];
                const QPointF d = b - a;
                const double length2 = QPointF::dotProduct(d, d);
                const double t = length2 > 0 ? std::clamp(QPointF::dotProduct(q - a, d) / length2, 0.0, 1.0) : 0;
                const QPointF n = a + t * d - q;
                best = std::min(best, std::hypot(n.x(), n.y()));
            }
        return best;
    };
    int checked = 0, painted = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            ASSERT_TRUE(isLevel(image.pixel(x, y))) << x << "," << y;
            painted += image.pixel(x, y) != kWhite;
            int inside = 0;
            bool clear = true;
            for (std::size_t s = 0; s < 4; ++s) {
                const double d = distance(QPointF(x + kColumns[s], y + kRows[s]));
                clear = clear && std::abs(d - half) > margin;
                inside += d < half;
            }
            if (!clear) continue;
            ++checked;
            EXPECT_EQ(samplesOf(image.pixel(x, y)), inside) << x << "," << y;
        }
    EXPECT_GT(painted, 500);
    EXPECT_GT(checked, 9000);
}

namespace {

// How many samples of pixel (x, y) lie inside `polygon` (in pixels) under `rule`, counted straight from
// the sample points: an edge counts for the samples below its top, down to its bottom, and a sample
// counts from a crossing at or left of it. Returns -1 where a sample lies too near an edge or a corner's
// row to tell.
int samplesInside(const std::vector<QPointF>& polygon, Qt::FillRule rule, int x, int y) {
    int inside = 0;
    for (std::size_t s = 0; s < 4; ++s) {
        const double sx = x + kColumns[s], sy = y + kRows[s];
        int winding = 0;
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            QPointF a = polygon[i], b = polygon[(i + 1) % polygon.size()];
            if (a.y() == b.y()) continue;
            const int way = a.y() < b.y() ? 1 : -1;
            if (way < 0) std::swap(a, b);
            if (std::abs(sy - a.y()) < 1e-6 || std::abs(sy - b.y()) < 1e-6) return -1;
            if (sy < a.y() || sy > b.y()) continue;
            const double cx = a.x() + (sy - a.y()) * (b.x() - a.x()) / (b.y() - a.y());
            if (std::abs(cx - sx) < 1e-6) return -1;
            if (cx <= sx) winding += way;
        }
        inside += rule == Qt::OddEvenFill ? (winding & 1) : winding != 0;
    }
    return inside;
}

struct PolygonCase {
    std::string name;
    std::vector<QPointF> points;   // pixels
    Qt::FillRule rule;
};

// `points` filled black under `rule` on a white picture of 160 x 120, through the repaint area `clip`
// when given.
QImage filledPolygon(const std::vector<QPointF>& points, Qt::FillRule rule, const QRegion* clip = nullptr) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points.begin(), points.end())));
    path.closeSubpath();
    path.setFillRule(rule);
    QImage image = white(QSize(160, 120));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (clip) p.setClipRegion(*clip);
    vp::fillSampled(p, path, QBrush(Qt::black), clip);
    p.end();
    return image;
}

// Compares each pixel of `image` within `clip` (all when null) with the samples of `points` inside
// it, and checks that pixels outside `clip` are still white. Counts the pixels compared and those
// partly covered; names the first wrong pixel.
struct Comparison {
    int checked = 0, partial = 0;
    std::string fault;
};
Comparison compareWithSamples(const QImage& image, const std::vector<QPointF>& points, Qt::FillRule rule,
                              const QRegion* clip = nullptr) {
    Comparison out;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const std::string at = std::to_string(x) + "," + std::to_string(y);
            if (clip && !clip->contains(QPoint(x, y))) {
                if (image.pixel(x, y) != kWhite) return {out.checked, out.partial, "changed outside at " + at};
                continue;
            }
            const int expected = samplesInside(points, rule, x, y);
            if (expected < 0) continue;
            ++out.checked;
            out.partial += expected > 0 && expected < 4;
            if (!isLevel(image.pixel(x, y))) return {out.checked, out.partial, "not a level at " + at};
            if (samplesOf(image.pixel(x, y)) != expected)
                return {out.checked, out.partial,
                        "wrong samples at " + at + ": " + std::to_string(samplesOf(image.pixel(x, y))) + " for " + std::to_string(expected)};
        }
    return out;
}

}  // namespace

TEST(SampledFill, EveryPixelShowsItsSamplesInsideWhereverEdgesStartEndOrCross) {
    // Outlines whose rows are mostly crossed by the same edges from top to bottom, and outlines whose
    // edges start, end or pass each other inside a pixel row, whose spans are thinner than a pixel or
    // lie so close that their edge pixels share columns: each pixel must show exactly its samples inside.
    std::vector<PolygonCase> cases;
    cases.push_back({"steep quad", {{20.3, 3.7}, {61.9, 8.2}, {55.4, 110.6}, {12.2, 96.1}}, Qt::OddEvenFill});
    cases.push_back({"shallow sliver", {{2.2, 40.15}, {157.7, 47.9}, {150.1, 48.55}}, Qt::OddEvenFill});
    cases.push_back({"upright sliver", {{80.1, 2.3}, {80.45, 2.6}, {81.3, 117.2}}, Qt::WindingFill});
    cases.push_back({"bow tie", {{10.4, 10.6}, {140.2, 100.3}, {140.7, 12.1}, {9.9, 105.8}}, Qt::WindingFill});
    // Thin slanted bars a pixel and a bit apart, drawn as one outline: their edge pixels overlap in
    // every row, and under the winding rule the overlapping second copy must not count twice.
    std::vector<QPointF> comb;
    for (int k = 0; k < 12; ++k) {
        const double x = 8.3 + 1.35 * k;
        comb.insert(comb.end(), {{x, 5.2}, {x + 0.55, 5.2}, {x + 40.8, 114.9}, {x + 40.25, 114.9}, {x, 5.2}});
    }
    cases.push_back({"close bars", comb, Qt::OddEvenFill});
    cases.push_back({"close bars winding", comb, Qt::WindingFill});
    // Stars with many points, their corners at uneven heights: edges start, end and cross everywhere.
    for (const int points : {5, 7, 11}) {
        std::vector<QPointF> star;
        for (int k = 0; k < points; ++k) {
            const double angle = 0.3 + k * 2 * M_PI * (points / 2) / points;
            const double reach = 45 + 7.3 * std::sin(3.1 * k);
            star.push_back({80.37 + 1.6 * reach * std::cos(angle), 60.21 + reach * std::sin(angle)});
        }
        for (const Qt::FillRule rule : {Qt::OddEvenFill, Qt::WindingFill})
            cases.push_back({std::to_string(points) + "-point star " + (rule == Qt::OddEvenFill ? "even-odd" : "winding"), star, rule});
    }
    for (const PolygonCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Comparison result = compareWithSamples(filledPolygon(c.points, c.rule), c.points, c.rule);
        EXPECT_EQ(result.fault, "");
        EXPECT_GT(result.checked, 160 * 120 * 9 / 10);
        EXPECT_GT(result.partial, 40);
    }
}

TEST(SampledFill, OutlinesReachingPastThePictureOrTheRepaintAreaShowOnlyTheSamplesInsideBoth) {
    // Edges beyond the picture's sides or the repainted rectangles still bound the spans they close:
    // the pixels at the borders show the samples inside, and nothing outside the rectangles changes.
    std::vector<PolygonCase> cases;
    cases.push_back({"wider than the picture", {{-40.3, 10.2}, {205.6, 30.7}, {190.1, 100.4}, {-25.8, 90.9}}, Qt::OddEvenFill});
    cases.push_back({"sliver on the left border", {{0.1, 3.3}, {0.9, 3.3}, {1.4, 115.2}, {-0.3, 115.2}}, Qt::WindingFill});
    cases.push_back({"sliver on the right border", {{159.05, 4.1}, {160.8, 4.1}, {159.9, 114.6}, {158.7, 114.6}}, Qt::WindingFill});
    cases.push_back({"just left of the picture", {{-0.95, 5.2}, {-0.05, 5.2}, {-0.02, 110.3}, {-0.9, 110.3}}, Qt::OddEvenFill});
    cases.push_back({"just right of the picture", {{160.02, 5.2}, {160.9, 5.2}, {161.3, 110.3}, {160.05, 110.3}}, Qt::OddEvenFill});
    // Two bars meeting the picture's sides, one outline: spans on both sides of the picture in one row.
    cases.push_back({"bars across both sides",
                     {{-10.5, 20.2}, {30.25, 22.7}, {31.1, 60.4}, {-9.7, 58.3}, {-10.5, 20.2},
                      {130.2, 40.6}, {175.4, 41.9}, {176.3, 95.1}, {129.6, 99.8}, {130.2, 40.6}},
                     Qt::WindingFill});
    const QRegion repaint = QRegion(0, 0, 37, 120) + QRegion(37, 30, 80, 41) + QRegion(117, 0, 43, 120);
    for (const bool clipped : {false, true}) {
        for (const PolygonCase& c : cases) {
            SCOPED_TRACE(c.name + (clipped ? " clipped" : ""));
            const QRegion* const clip = clipped ? &repaint : nullptr;
            const Comparison result = compareWithSamples(filledPolygon(c.points, c.rule, clip), c.points, c.rule, clip);
            EXPECT_EQ(result.fault, "");
            EXPECT_GT(result.checked, (clipped ? 9000 : 160 * 120) * 9 / 10);
        }
    }
}
