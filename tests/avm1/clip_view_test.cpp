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
#include "tests/avm1/script_movie.h"
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

// What a one-frame movie of `version` running `script` traces.
std::vector<std::string> tracedAt(int version, const sw::ActionWriter& script) {
    sw::MovieSpec spec;
    spec.version = version;
    return sw::playTraced(spec, {sw::doAction(script.end()), sw::showFrame()});
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
    auto traced = [&a](int version) { return tracedAt(version, a); };
    const std::vector<std::string> rest{"true", "true", "true", "true", "false", "true", "1", "1", "-2147483648"};
    std::vector<std::string> seven{"0"}, six{"NaN"};
    seven.insert(seven.end(), rest.begin(), rest.end());
    six.insert(six.end(), rest.begin(), rest.end());
    EXPECT_EQ(traced(7), seven);
    EXPECT_EQ(traced(6), six);
}

namespace {

// c.member = value; trace(c.member)
void setAndTrace(sw::ActionWriter& a, const char* member, const Push& value) {
    a.push(Push::str("c")).op(op::kGetVariable).push({Push::str(member), value}).op(op::kSetMember);
    a.push(Push::str("c")).op(op::kGetVariable).push(Push::str(member)).op(op::kGetMember).op(op::kTrace);
}

// Plays a movie of `version` whose first frame makes the empty clip "c" and runs `script`.
std::vector<std::string> tracedWithEmptyClip(int version, const sw::ActionWriter& script) {
    sw::ActionWriter a;
    a.push({Push::integer(1), Push::str("c"), Push::integer(2), Push::str("_root")})
        .op(op::kGetVariable)
        .push(Push::str("createEmptyMovieClip"))
        .op(op::kCallMethod)
        .op(op::kPop);
    a.raw(script.code());
    return tracedAt(version, a);
}

}  // namespace

TEST(ClipCompositing, BlendModeReadsAsANameAndTakesNamesOrTheFilesNumbers) {
    sw::ActionWriter a;
    a.push(Push::str("c")).op(op::kGetVariable).push(Push::str("blendMode")).op(op::kGetMember).op(op::kTrace);
    setAndTrace(a, "blendMode", Push::integer(3));           // the file's numbering
    setAndTrace(a, "blendMode", Push::str("screen"));
    setAndTrace(a, "blendMode", Push::str("Multiply"));      // names are matched exactly: unchanged
    setAndTrace(a, "blendMode", Push::str("4"));             // a string is a name, never a number
    setAndTrace(a, "blendMode", Push::integer(15));          // past the last mode: unchanged
    setAndTrace(a, "blendMode", Push::dbl(2.9));             // whole part
    setAndTrace(a, "blendMode", Push::integer(259));         // lowest byte: 3
    setAndTrace(a, "blendMode", Push::dbl(-254.5));          // -254, lowest byte 2
    setAndTrace(a, "blendMode", Push::boolean(true));        // not a number: unchanged
    setAndTrace(a, "blendMode", Push::undefined());          // back to normal
    setAndTrace(a, "blendMode", Push::str("hardlight"));
    setAndTrace(a, "blendMode", Push::integer(256));         // lowest byte 0: normal
    setAndTrace(a, "blendMode", Push::str("erase"));
    setAndTrace(a, "blendMode", Push::null());
    // The properties belong to every clip, not to the clip itself, and stay when deleted.
    a.push(Push::str("c")).op(op::kGetVariable).push(Push::str("blendMode")).op(op::kDelete).op(op::kTrace);
    a.push({Push::str("blendMode"), Push::integer(1), Push::str("c")})
        .op(op::kGetVariable)
        .push(Push::str("hasOwnProperty"))
        .op(op::kCallMethod)
        .op(op::kTrace);
    a.push(Push::str("c")).op(op::kGetVariable).push(Push::str("cacheAsBitmap")).op(op::kGetMember).op(op::kTypeOf).op(op::kTrace);
    setAndTrace(a, "cacheAsBitmap", Push::str("x"));
    setAndTrace(a, "cacheAsBitmap", Push::integer(0));
    setAndTrace(a, "cacheAsBitmap", Push::str("false"));     // a non-empty string is true
    setAndTrace(a, "cacheAsBitmap", Push::undefined());

    EXPECT_EQ(tracedWithEmptyClip(8, a),
              (std::vector<std::string>{"normal", "multiply", "screen", "screen", "screen", "screen", "layer",
                                        "multiply", "layer", "layer", "normal", "hardlight", "normal", "erase",
                                        "normal", "false", "false", "boolean", "true", "false", "true", "false"}));
    // Before version 8 a clip has neither: what is set is kept as given, as on any object.
    EXPECT_EQ(tracedWithEmptyClip(7, a),
              (std::vector<std::string>{"undefined", "3", "screen", "Multiply", "4", "15", "2.9", "259", "-254.5",
                                        "true", "undefined", "hardlight", "256", "erase", "null", "true", "false",
                                        "undefined", "x", "0", "false", "undefined"}));
}

TEST(ClipCompositing, ABlendModeSetByScriptDrawsTheClipWithIt) {
    // A red square on the left half; clip "c" holds a green band over the top half.
    sw::PlaceSpec place;
    place.depth = 2;
    place.characterId = 3;
    place.name = "c";
    const std::vector<sw::Bytes> tags{
        sw::rectangleShape(1, 0, 0, 1000, 2000, 0xff0000ff), sw::placeObject(1, 1, sw::MatrixSpec()),
        sw::rectangleShape(2, 0, 0, 2000, 1000, 0x00ff00ff),
        sw::defineSprite(3, 1, {sw::placeObject(2, 1, sw::MatrixSpec()), sw::showFrame()}), sw::placeObject2(place, 8)};
    auto withMode = [](const Push& mode) {
        sw::ActionWriter a;
        a.push(Push::str("c")).op(op::kGetVariable).push({Push::str("blendMode"), mode}).op(op::kSetMember);
        return a;
    };
    const Played plain = play(tags, withMode(Push::str("no such mode")));
    EXPECT_PIXEL(plain.image, 25, 25, kGreen);
    EXPECT_PIXEL(plain.image, 25, 75, kRed);

    // Multiplied: black where the band meets red, the band's own green over white.
    const Played multiplied = play(tags, withMode(Push::str("multiply")));
    EXPECT_PIXEL(multiplied.image, 25, 25, 0xff000000);
    EXPECT_PIXEL(multiplied.image, 75, 25, kGreen);
    EXPECT_PIXEL(multiplied.image, 25, 75, kRed);

    // By number: 6 is darken, the darker of each channel.
    const Played darkened = play(tags, withMode(Push::integer(6)));
    EXPECT_PIXEL(darkened.image, 25, 25, 0xff000000);
    EXPECT_PIXEL(darkened.image, 75, 25, kGreen);
}
