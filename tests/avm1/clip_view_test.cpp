// What scripts change in how a clip is shown: the root's own placement and a clip's scroll
// rectangle, played and rendered, checked by their pixels and traces.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <QImage>
#include <QStringList>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tests/support/action_writer.h"
#include "tests/support/pixel_expect.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
namespace op = vistrel::testing::op;
using sw::Push;

namespace {

constexpr QRgb kWhite = 0xffffffff, kRed = 0xffff0000, kGreen = 0xff00ff00;

struct Played {
    QImage image;
    QStringList trace;
};

// A 100x100 pixel stage on white; `tags` come before the frame's script and its end.
Played play(std::vector<sw::Bytes> tags, const sw::ActionWriter& script) {
    sw::MovieSpec spec;
    spec.widthTwips = 2000;
    spec.heightTwips = 2000;
    spec.version = 8;
    tags.insert(tags.begin(), sw::setBackgroundColor(0xffffff));
    tags.push_back(sw::doAction(script.end()));
    tags.push_back(sw::showFrame());
    auto movie = vp::Movie::fromBytes(sw::movie(spec, tags));
    Played out;
    EXPECT_TRUE(movie);
    if (!movie) return out;
    vp::Player player(movie, [&out](const QString& line) { out.trace << line; });
    out.image = QImage(100, 100, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(out.image);
    player.render(renderer, vp::stageToDevice(movie->stageRect(), QSizeF(100, 100), vp::ScaleMode::ShowAll, 1),
                  vp::RenderQuality::Low);
    return out;
}

// setProperty("", index, value): the timeline running the script, here the root.
void setOwn(sw::ActionWriter& a, int index, double value) {
    a.push({Push::str(""), Push::integer(index), Push::dbl(value)}).op(op::kSetProperty);
}

}  // namespace

TEST(RootPlacement, ScriptsMoveFadeAndHideTheWholeRoot) {
    const std::vector<sw::Bytes> square{sw::rectangleShape(1, 0, 0, 400, 400, 0xff0000ff),
                                        sw::placeObject(1, 1, sw::MatrixSpec())};
    {
        // _x 50, _y 30: the square drawn at the root's origin shows there.
        sw::ActionWriter a;
        setOwn(a, 0, 50);
        setOwn(a, 1, 30);
        const Played p = play(square, a);
        EXPECT_PIXEL(p.image, 5, 5, kWhite);
        EXPECT_PIXEL(p.image, 55, 35, kRed);
        EXPECT_PIXEL(p.image, 68, 48, kRed);
        EXPECT_PIXEL(p.image, 72, 52, kWhite);
    }
    {
        // _alpha 50 and _xscale 200.
        sw::ActionWriter a;
        setOwn(a, 6, 50);
        setOwn(a, 2, 200);
        const Played p = play(square, a);
        EXPECT_PIXEL(p.image, 5, 5, 0xffff8080);
        EXPECT_PIXEL(p.image, 35, 5, 0xffff8080);
        EXPECT_PIXEL(p.image, 45, 5, kWhite);
    }
    {
        // _visible false: nothing of the root shows.
        sw::ActionWriter a;
        setOwn(a, 7, 0);
        const Played p = play(square, a);
        EXPECT_PIXEL(p.image, 5, 5, kWhite);
    }
}

TEST(ScrollRect, ShowsThePartGivenAtTheClipsOriginAndReadsBack) {
    // Clip "c" at (10, 10) holds a red square at (0,0)-(40,40) and a green one at (40,0)-(80,40);
    // the scroll rectangle (40, 0, 30, 20) shows a 30x20 piece of the green one at (10, 10).
    sw::ShapeBuilder shapes;
    shapes.fill(sw::FillSpec::solid(0xff0000ff)).fill(sw::FillSpec::solid(0x00ff00ff));
    shapes.style(std::nullopt, 1, std::nullopt).rect(0, 0, 800, 800);
    shapes.style(std::nullopt, 2, std::nullopt).rect(800, 0, 800, 800);
    sw::PlaceSpec place;
    place.depth = 1;
    place.characterId = 2;
    place.matrix = sw::MatrixSpec::translate(200, 200);
    place.name = "c";
    const std::vector<sw::Bytes> tags{shapes.build(3, 1, 0, 1600, 0, 800),
                                      sw::defineSprite(2, 1, {sw::placeObject(1, 1, sw::MatrixSpec()), sw::showFrame()}),
                                      sw::placeObject2(place, 8)};
    sw::ActionWriter a;
    a.push(Push::str("c")).op(op::kGetVariable).push(Push::str("scrollRect"));
    a.push({Push::dbl(20), Push::dbl(30), Push::dbl(0), Push::dbl(40), Push::integer(4), Push::str("flash")})
        .op(op::kGetVariable)
        .push(Push::str("geom"))
        .op(op::kGetMember)
        .push(Push::str("Rectangle"))
        .op(op::kNewMethod)
        .op(op::kSetMember);
    auto traceMember = [&a](const char* member) {
        a.push(Push::str("c")).op(op::kGetVariable).push(Push::str(member)).op(op::kGetMember);
        a.op(op::kTrace);
    };
    a.push(Push::str("c")).op(op::kGetVariable).push(Push::str("scrollRect")).op(op::kGetMember);
    a.push(Push::str("width")).op(op::kGetMember).op(op::kTrace);
    traceMember("_width");
    const Played p = play(tags, a);
    EXPECT_PIXEL(p.image, 12, 12, kGreen);
    EXPECT_PIXEL(p.image, 38, 28, kGreen);
    EXPECT_PIXEL(p.image, 42, 15, kWhite);   // beyond the rectangle's width
    EXPECT_PIXEL(p.image, 15, 32, kWhite);   // below its height
    EXPECT_PIXEL(p.image, 60, 15, kWhite);   // where the green square stood unscrolled
    EXPECT_EQ(p.trace, QStringList({"30", "80"}));   // _width still spans the whole content

    // Setting it to a value that is not an object takes it away.
    sw::ActionWriter b;
    b.push(Push::str("c")).op(op::kGetVariable).push({Push::str("scrollRect"), Push::null()}).op(op::kSetMember);
    b.push(Push::str("c")).op(op::kGetVariable).push(Push::str("scrollRect")).op(op::kGetMember).op(op::kTrace);
    const Played q = play(tags, b);
    EXPECT_PIXEL(q.image, 15, 15, kRed);
    EXPECT_PIXEL(q.image, 60, 15, kGreen);
    EXPECT_EQ(q.trace, QStringList({"undefined"}));
}

TEST(ClipProperties, SettingNameFocusRectAndSoundBufferTimeFollowsTheVersion) {
    // setProperty("", index, value) then trace(getProperty("", index)).
    auto setAndRead = [](sw::ActionWriter& a, int index, const Push& value) {
        a.push({Push::str(""), Push::integer(index), value}).op(op::kSetProperty);
        a.push({Push::str(""), Push::integer(index)}).op(op::kGetProperty).op(op::kTrace);
    };
    constexpr int kName = 13, kFocusRect = 17, kSoundBufTime = 18;
    sw::ActionWriter a;
    setAndRead(a, kName, Push::dbl(std::nan("")));
    // From version 6 the focus rectangle is a flag (the root's on from the start): numbers set it, what is
    // no number leaves it, an object clears it.
    a.push({Push::str(""), Push::integer(kFocusRect)}).op(op::kGetProperty).op(op::kTrace);
    setAndRead(a, kFocusRect, Push::integer(2));
    setAndRead(a, kFocusRect, Push::str("abc"));
    setAndRead(a, kFocusRect, Push::undefined());
    a.push({Push::str(""), Push::integer(kFocusRect), Push::integer(0)}).op(op::kInitObject).op(op::kSetProperty);
    a.push({Push::str(""), Push::integer(kFocusRect)}).op(op::kGetProperty).op(op::kTrace);
    setAndRead(a, kFocusRect, Push::boolean(true));
    // Sound buffer time reads back in whole seconds; what is no number leaves it.
    setAndRead(a, kSoundBufTime, Push::dbl(1.5));
    setAndRead(a, kSoundBufTime, Push::str("10x"));
    setAndRead(a, kSoundBufTime, Push::dbl(std::numeric_limits<double>::infinity()));
    auto traced = [&](int version) {
        sw::MovieSpec spec;
        spec.version = version;
        std::vector<std::string> lines;
        vp::Player player(vp::Movie::fromBytes(sw::movie(spec, {sw::doAction(a.end()), sw::showFrame()})),
                          [&lines](const QString& line) { lines.push_back(line.toStdString()); });
        return lines;
    };
    const std::vector<std::string> rest{"true", "true", "true", "true", "false", "true", "1", "1", "-2147483648"};
    std::vector<std::string> seven{"0"}, six{"NaN"};
    seven.insert(seven.end(), rest.begin(), rest.end());
    six.insert(six.end(), rest.begin(), rest.end());
    EXPECT_EQ(traced(7), seven);
    EXPECT_EQ(traced(6), six);
}
