// Writes the start-up movie swfinfo.dat: the program's name and version over a turning film reel.
// The letters are font outlines turned into SWF shapes, so the movie needs no font of its own.

#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPainterPath>
#include <QPointF>

#include <cmath>
#include <cstdio>
#include <numbers>

#include "tests/support/swf_writer.h"

using namespace vistrel::testing;

namespace {

constexpr int kWidth = 480;  // pixels
constexpr int kHeight = 320;
constexpr int kFrames = 48;
constexpr double kTwips = 20.0;

std::int32_t tw(double pixels) { return static_cast<std::int32_t>(std::lround(pixels * kTwips)); }

// One cubic segment as two quadratic ones: close enough for glyph outlines at these sizes.
void cubicTo(ShapeBuilder& s, QPointF p0, QPointF c1, QPointF c2, QPointF p3)
{
    const QPointF m01 = (p0 + c1) / 2, m12 = (c1 + c2) / 2, m23 = (c2 + p3) / 2;
    const QPointF m012 = (m01 + m12) / 2, m123 = (m12 + m23) / 2, mid = (m012 + m123) / 2;
    auto quad = [&s](QPointF a, QPointF b1, QPointF b2, QPointF d) {
        const QPointF control = (3 * (b1 + b2) - a - d) / 4;
        s.curveTo(tw(control.x()), tw(control.y()), tw(d.x()), tw(d.y()));
    };
    quad(p0, m01, m012, mid);
    quad(mid, m123, m23, p3);
}

double signedArea(const QPolygonF& polygon)
{
    double area = 0;
    for (int i = 0; i < polygon.size(); ++i) {
        const QPointF a = polygon.at(i), b = polygon.at((i + 1) % polygon.size());
        area += a.x() * b.y() - b.x() * a.y();
    }
    return area / 2;
}

// A solid shape from a painter path (text outlines). The fill goes on the side of the edges
// that lies inside the largest contour; fonts draw holes the other way round, so they stay open.
Bytes pathShape(std::uint16_t id, const QPainterPath& path, std::uint32_t rgba)
{
    double largest = 0;
    for (const QPolygonF& polygon : path.toSubpathPolygons()) {
        const double area = signedArea(polygon);
        if (std::abs(area) > std::abs(largest))
            largest = area;
    }
    const bool clockwise = largest > 0; // y grows downwards
    ShapeBuilder s;
    s.fill(FillSpec::solid(rgba));
    if (clockwise)
        s.style(std::nullopt, 1, std::nullopt);
    else
        s.style(1, std::nullopt, std::nullopt);
    QPointF current;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            s.moveTo(tw(e.x), tw(e.y));
            current = e;
            break;
        case QPainterPath::LineToElement:
            s.lineTo(tw(e.x), tw(e.y));
            current = e;
            break;
        case QPainterPath::CurveToElement: {
            const QPointF c1 = e, c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            cubicTo(s, current, c1, c2, end);
            current = end;
            i += 2;
            break;
        }
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    const QRectF b = path.boundingRect().adjusted(-1, -1, 1, 1);
    return s.build(3, id, tw(b.left()), tw(b.right()), tw(b.top()), tw(b.bottom()));
}

QPainterPath textPath(const QString& text, int pixelSize, bool bold, double centreX, double baseline)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    QPainterPath path;
    path.addText(0, 0, font, text);
    path.translate(centreX - path.boundingRect().width() / 2 - path.boundingRect().left(), baseline);
    return path;
}

// A film reel centred on the origin: a disc with five round windows and a hub.
QPainterPath reelPath(double radius)
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addEllipse(QPointF(0, 0), radius, radius);
    for (int i = 0; i < 5; ++i) {
        const double angle = i * 2 * std::numbers::pi / 5;
        path.addEllipse(QPointF(std::cos(angle) * radius * 0.55, std::sin(angle) * radius * 0.55),
                        radius * 0.26, radius * 0.26);
    }
    path.addEllipse(QPointF(0, 0), radius * 0.12, radius * 0.12);
    return path;
}

// Windows of the reel must be holes: give every contour but the outer one the opposite direction.
QPainterPath withHolesReversed(const QPainterPath& path)
{
    QPainterPath result;
    const QList<QPolygonF> polygons = path.toSubpathPolygons();
    for (int i = 0; i < polygons.size(); ++i) {
        QPolygonF polygon = polygons.at(i);
        const bool outer = i == 0;
        if ((signedArea(polygon) > 0) != outer)
            std::reverse(polygon.begin(), polygon.end());
        result.addPolygon(polygon);
        result.closeSubpath();
    }
    return result;
}

MatrixSpec rotation(double degrees, double x, double y)
{
    const double r = degrees * std::numbers::pi / 180;
    MatrixSpec m;
    m.scaleX = std::cos(r);
    m.scaleY = std::cos(r);
    m.rotateSkew0 = std::sin(r);
    m.rotateSkew1 = -std::sin(r);
    m.translateX = tw(x);
    m.translateY = tw(y);
    return m;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_startup_movie OUT\n");
        return 1;
    }
    QGuiApplication app(argc, argv);

    std::vector<Bytes> tags;
    tags.push_back(setBackgroundColor(0x1c2a48));
    // A lighter band behind the title.
    tags.push_back(rectangleShape(1, 0, tw(150), tw(kWidth), tw(120), 0x27395fff));
    tags.push_back(pathShape(2, withHolesReversed(reelPath(52)), 0xd9a441ff));
    tags.push_back(pathShape(3, textPath(QStringLiteral("Vistrel"), 54, true, 300, 208), 0xffffffff));
    tags.push_back(pathShape(4, textPath(QStringLiteral("1.0"), 22, false, 300, 240), 0xd9a441ff));
    tags.push_back(pathShape(5, textPath(QStringLiteral("SWF movie viewer"), 18, false, kWidth / 2.0, 300),
                             0xb8c4dcff));

    tags.push_back(placeObject(1, 1, MatrixSpec{}));
    for (int frame = 0; frame < kFrames; ++frame) {
        PlaceSpec reel;
        reel.depth = 2;
        reel.matrix = rotation(frame * 360.0 / kFrames, 110, 110 + 90);
        if (frame == 0)
            reel.characterId = 2;
        else
            reel.move = true;
        tags.push_back(placeObject2(reel));
        if (frame == 0) {
            tags.push_back(placeObject(3, 3, MatrixSpec{}));
            tags.push_back(placeObject(4, 4, MatrixSpec{}));
        }
        // The subtitle fades in over the first second and stays.
        const std::int16_t alpha = static_cast<std::int16_t>(std::min(256, frame * 256 / 24));
        PlaceSpec subtitle;
        subtitle.depth = 5;
        subtitle.cxform = CxformSpec{std::array<std::int16_t, 4>{256, 256, 256, alpha}, std::nullopt};
        if (frame == 0)
            subtitle.characterId = 5;
        else
            subtitle.move = true;
        tags.push_back(placeObject2(subtitle));
        tags.push_back(showFrame());
    }

    MovieSpec spec;
    spec.version = 8;
    spec.widthTwips = kWidth * 20;
    spec.heightTwips = kHeight * 20;
    spec.frameRate = 24;
    spec.frameCount = kFrames;
    spec.compression = Compression::Zlib;
    const Bytes bytes = movie(spec, tags);

    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
        std::fprintf(stderr, "make_startup_movie: cannot write %s\n", argv[1]);
        return 2;
    }
    return 0;
}
