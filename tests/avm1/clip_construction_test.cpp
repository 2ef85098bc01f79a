// How clips come to be and where they sit: registered classes and their constructors, init objects,
// onConstruct, clip events of timeline placements, depth limits of the clip methods, placements on
// occupied depths and what a rewind keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "player/movie.h"
#include "player/player.h"
#include "player/swf/tags_action.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
namespace op = vistrel::testing::op;
namespace ce = vistrel::swf::clipevent;
using sw::Push;

namespace {

Push str(const std::string& s) { return Push::str(s); }
Push num(double v) { return Push::dbl(v); }

// Plays a movie built from tags for `frames` frames and returns what it traced.
std::vector<std::string> play(const std::vector<sw::Bytes>& tags, int frames = 1, int version = 10,
                              std::uint16_t frameCount = 1) {
    sw::MovieSpec spec;
    spec.version = version;
    spec.frameCount = frameCount;
    auto movie = vp::Movie::fromBytes(sw::movie(spec, tags));
    std::vector<std::string> lines;
    vp::Player player(movie, [&lines](const QString& line) { lines.push_back(line.toStdString()); });
    for (int i = 1; i < frames; ++i) player.nextFrame();
    return lines;
}

// trace(text)
sw::ActionWriter& say(sw::ActionWriter& a, const std::string& text) { return a.push(str(text)).op(op::kTrace); }

// A function stored in a variable that traces `text` and what `this.member` holds.
sw::ActionWriter traceFunction(const std::string& variable, const std::string& text, const std::string& member) {
    sw::ActionWriter body;
    say(body, text);
    if (!member.empty()) body.push(str("this")).op(op::kGetVariable).push(str(member)).op(op::kGetMember).op(op::kTrace);
    sw::ActionWriter a;
    a.push(str(variable)).defineFunction("", {}, body).op(op::kSetVariable);
    return a;
}

// Object.registerClass(symbol, <variable>), its result traced.
sw::ActionWriter& registerClass(sw::ActionWriter& a, const std::string& symbol, const Push& ctor, bool traceResult) {
    a.push(ctor);
    if (ctor.type == Push::Type::String) a.op(op::kGetVariable);
    a.push({str(symbol), num(2), str("Object")}).op(op::kGetVariable).push(str("registerClass")).op(op::kCallMethod);
    a.op(traceResult ? op::kTrace : op::kPop);
    return a;
}

// this.attachMovie(symbol, name, depth[, init]); the new clip (or undefined) is left on the stack.
sw::ActionWriter attachCall(const std::string& symbol, const std::string& name, double depth, bool withInit) {
    sw::ActionWriter a;
    int count = 3;
    if (withInit) {
        a.push({str("source"), str("from init"), num(1)}).op(op::kInitObject);
        count = 4;
    }
    a.push({num(depth), str(name), str(symbol), num(count), str("this")}).op(op::kGetVariable);
    a.push(str("attachMovie")).op(op::kCallMethod);
    return a;
}

std::vector<sw::Bytes> spriteExported(std::uint16_t id, const std::string& name) {
    return {sw::defineSprite(id, 1, {sw::showFrame()}), sw::exportAssets({{id, name}})};
}

}  // namespace

TEST(ClipConstruction, AttachMovieSetsInitPropertiesThenRunsTheRegisteredConstructorAtOnce) {
    sw::ActionWriter a = traceFunction("Ctor", "constructor", "source");
    registerClass(a, "sym", str("Ctor"), false);
    a.raw(attachCall("sym", "clip", 1, true).code()).op(op::kTypeOf).op(op::kTrace);
    say(a, "after attach");
    std::vector<sw::Bytes> tags = spriteExported(1, "sym");
    tags.push_back(sw::doAction(a.end()));
    tags.push_back(sw::showFrame());
    EXPECT_EQ(play(tags), (std::vector<std::string>{"constructor", "from init", "movieclip", "after attach"}));
}

TEST(ClipConstruction, AClassRegisteredUnderOneExportNameServesTheSymbolUnderItsOthers) {
    sw::ActionWriter a = traceFunction("Ctor", "constructor", "");
    registerClass(a, "second", str("Ctor"), false);
    a.raw(attachCall("first", "clip", 1, false).code()).op(op::kTypeOf).op(op::kTrace);
    std::vector<sw::Bytes> tags{sw::defineSprite(1, 1, {sw::showFrame()}), sw::exportAssets({{1, "first"}}),
                                sw::exportAssets({{1, "second"}}), sw::doAction(a.end()), sw::showFrame()};
    EXPECT_EQ(play(tags), (std::vector<std::string>{"constructor", "movieclip"}));
}

TEST(ClipConstruction, ANameExportedAgainNamesTheLaterSymbolWhateverItsCase) {
    // Each symbol's frame says which one was attached.
    auto symbol = [](std::uint16_t id, const std::string& text) {
        sw::ActionWriter frame;
        say(frame, text);
        return sw::defineSprite(id, 1, {sw::doAction(frame.end()), sw::showFrame()});
    };
    sw::ActionWriter a;
    a.raw(attachCall("test", "one", 1, false).code()).op(op::kPop);
    a.raw(attachCall("pair", "two", 2, false).code()).op(op::kPop);
    std::vector<sw::Bytes> tags{symbol(1, "first"), symbol(2, "second"), symbol(3, "third"),
                                sw::exportAssets({{1, "test"}}), sw::exportAssets({{2, "TEST"}}),
                                sw::exportAssets({{1, "pair"}, {3, "pair"}}), sw::doAction(a.end()), sw::showFrame()};
    EXPECT_EQ(play(tags), (std::vector<std::string>{"second", "third"}));
}

TEST(ClipConstruction, ButtonsIgnoreRegisteredClassesAndOnConstructRunsForPlainClips) {
    // onConstruct answers clips without a class; a throw in it stops there, the maker goes on.
    sw::ActionWriter onConstruct;
    say(onConstruct, "onConstruct");
    onConstruct.push(str("oops")).op(op::kThrow);
    sw::ActionWriter a;
    a.push({str("MovieClip")}).op(op::kGetVariable).push(str("prototype")).op(op::kGetMember);
    a.push(str("onConstruct")).defineFunction("", {}, onConstruct).op(op::kSetMember);
    a.raw(traceFunction("Ctor", "constructor", "").code());
    registerClass(a, "btn", str("Ctor"), false);
    a.push({num(5), str("e"), num(2), str("this")}).op(op::kGetVariable).push(str("createEmptyMovieClip")).op(op::kCallMethod);
    a.op(op::kTypeOf).op(op::kTrace);
    a.raw(attachCall("btn", "b", 6, false).code()).op(op::kTypeOf).op(op::kTrace);
    std::vector<sw::Bytes> tags;
    tags.push_back(sw::defineSprite(2, 1, {sw::showFrame()}));
    tags.push_back(sw::defineButton2(1, {sw::ButtonRecordSpec{0x0f, 2, 1, {}, {}, {}, {}}}, {}));
    tags.push_back(sw::exportAssets({{1, "btn"}}));
    tags.push_back(sw::doAction(a.end()));
    tags.push_back(sw::showFrame());
    EXPECT_EQ(play(tags),
              (std::vector<std::string>{"onConstruct", "Warning: Uncaught exception, oops", "movieclip", "object"}));
}

TEST(ClipConstruction, RegisterClassAnswersWhetherItTookTheValue) {
    sw::ActionWriter a = traceFunction("Ctor", "constructor", "");
    registerClass(a, "s", str("Ctor"), true);
    registerClass(a, "s", Push::null(), true);
    registerClass(a, "s", num(12), true);
    a.push({num(0), str("Object")}).op(op::kGetVariable).push(str("registerClass")).op(op::kCallMethod).op(op::kTrace);
    EXPECT_EQ(play({sw::doAction(a.end()), sw::showFrame()}), (std::vector<std::string>{"true", "true", "false", "false"}));
}

TEST(ClipConstruction, TimelineClipsTakeAClassRegisteredByTheSameFramesInitScript) {
    // The init script comes after the placement in the file but runs before the clip is constructed;
    // the clip's constructor sees its own children.
    sw::ActionWriter init = traceFunction("Ctor", "constructor", "inner");
    registerClass(init, "outer", str("Ctor"), false);
    sw::ActionWriter frame;
    say(frame, "frame script");
    std::vector<sw::Bytes> tags;
    tags.push_back(sw::defineSprite(1, 1, {sw::showFrame()}));
    sw::PlaceSpec inner;
    inner.characterId = 1;
    inner.name = "inner";
    tags.push_back(sw::defineSprite(2, 1, {sw::placeObject2(inner), sw::showFrame()}));
    tags.push_back(sw::exportAssets({{2, "outer"}}));
    tags.push_back(sw::doAction(frame.end()));
    sw::PlaceSpec outer;
    outer.characterId = 2;
    outer.name = "o";
    tags.push_back(sw::placeObject2(outer));
    tags.push_back(sw::doInitAction(2, init.end()));
    tags.push_back(sw::showFrame());
    EXPECT_EQ(play(tags), (std::vector<std::string>{"constructor", "_level0.o.inner", "frame script"}));
}

TEST(ClipConstruction, ClipEventsAnswerOnlyEventsTheUnionAlsoHolds) {
    std::vector<sw::Bytes> tags;
    tags.push_back(sw::defineSprite(1, 1, {sw::showFrame()}));
    sw::ActionWriter initialize, construct;
    say(initialize, "initialize");
    say(construct, "construct");
    sw::PlaceSpec p;
    p.characterId = 1;
    p.clipActions = {{ce::kInitialize, 0, initialize.end()}, {ce::kConstruct, 0, construct.end()}};
    tags.push_back(sw::placeObject2(p));
    // The same handlers at depth 2 with a union that leaves the construct event out.
    p.depth = 2;
    sw::Bytes narrowed = sw::placeObject2(p);
    const sw::Bytes both = {0x00, 0x02, 0x04, 0x00};   // initialize | construct, little-endian
    auto at = std::search(narrowed.begin(), narrowed.end(), both.begin(), both.end());
    ASSERT_NE(at, narrowed.end());
    at[2] = 0;
    tags.push_back(narrowed);
    tags.push_back(sw::showFrame());
    EXPECT_EQ(play(tags), (std::vector<std::string>{"initialize", "initialize", "construct"}));
}

TEST(ClipDepths, ScriptDepthsOutsideTheirRangeAreRefused) {
    sw::ActionWriter a;
    for (double depth : {-16384.0, -16385.0, 2130690044.0, 2130690045.0}) {
        a.push({num(depth), str("c"), num(2), str("this")}).op(op::kGetVariable);
        a.push(str("createEmptyMovieClip")).op(op::kCallMethod).push(str("getDepth")).op(op::kGetMember);
        a.op(op::kTypeOf).op(op::kTrace);
    }
    // swapDepths: out of range stays, numbers wrap to 32 bits, a string naming no clip is ignored, NaN is 0,
    // undefined is ignored.
    a.push({num(1), str("m"), num(2), str("this")}).op(op::kGetVariable).push(str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kPop);
    auto swapTo = [&a](const Push& value) {
        a.push({value, num(1), str("m")}).op(op::kGetVariable).push(str("swapDepths")).op(op::kCallMethod).op(op::kPop);
        a.push({num(0), str("m")}).op(op::kGetVariable).push(str("getDepth")).op(op::kCallMethod).op(op::kTrace);
    };
    swapTo(num(-16385));
    swapTo(num(4294967297.5));
    swapTo(str("not a number"));
    swapTo(num(std::nan("")));
    swapTo(Push::undefined());
    EXPECT_EQ(play({sw::doAction(a.end()), sw::showFrame()}),
              (std::vector<std::string>{"function", "undefined", "function", "undefined", "1", "1", "1", "0", "0"}));
}

TEST(ClipDepths, SwapDepthsTakesClipsPathsAndNumbersOnly) {
    // Clips a (10) and b (20) on the root, c inside a. Each step traces a's depth then b's.
    sw::ActionWriter a;
    for (const auto& [name, depth] : {std::pair{"a", 10.0}, std::pair{"b", 20.0}})
        a.push({num(depth), str(name), num(2), str("this")}).op(op::kGetVariable).push(str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kPop);
    a.push({num(1), str("c"), num(2), str("a")}).op(op::kGetVariable).push(str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kPop);
    auto swapTo = [&a](const std::function<void()>& pushValue) {
        pushValue();
        a.push({num(1), str("a")}).op(op::kGetVariable).push(str("swapDepths")).op(op::kCallMethod).op(op::kPop);
        for (const char* name : {"a", "b"})
            a.push({num(0), str(name)}).op(op::kGetVariable).push(str("getDepth")).op(op::kCallMethod).op(op::kTrace);
    };
    // A path is read from the clip itself: "b" names no child of a, "_root.b" names the sibling.
    swapTo([&a] { a.push(str("b")); });
    swapTo([&a] { a.push(str("_root.b")); });
    // A string of digits is a path too, not a depth; booleans, null, objects and clips of another
    // parent leave both where they are.
    swapTo([&a] { a.push(str("30")); });
    swapTo([&a] { a.push(Push::boolean(true)); });
    swapTo([&a] { a.push(Push::null()); });
    swapTo([&a] { a.push(num(0)).op(op::kInitObject); });
    swapTo([&a] { a.push(str("a")).op(op::kGetVariable).push(str("c")).op(op::kGetMember); });
    // A number is a depth.
    swapTo([&a] { a.push(num(7.9)); });
    EXPECT_EQ(play({sw::doAction(a.end()), sw::showFrame()}),
              (std::vector<std::string>{"10", "20", "20", "10", "20", "10", "20", "10", "20", "10", "20", "10", "20",
                                        "10", "7", "10"}));
}

TEST(ClipDepths, PlacementOnAnOccupiedDepthIsRefusedWithAWarning) {
    std::vector<sw::Bytes> tags;
    sw::ActionWriter first, second;
    say(first, "first");
    say(second, "second");
    tags.push_back(sw::defineSprite(1, 1, {sw::doAction(first.end()), sw::showFrame()}));
    tags.push_back(sw::defineSprite(2, 1, {sw::doAction(second.end()), sw::showFrame()}));
    sw::PlaceSpec a, b;
    a.characterId = 1;
    b.characterId = 2;
    tags.push_back(sw::placeObject2(a));
    tags.push_back(sw::placeObject2(b));
    tags.push_back(sw::showFrame());
    EXPECT_EQ(play(tags), (std::vector<std::string>{"Warning: Failed to place object at depth 1.", "first"}));
}

TEST(ClipDepths, RewindKeepsWhatSitsInTheScriptsRangeAndDropsTheRest) {
    // Frame 1: on the second pass trace what survived. Frame 2: make clips at -10 and 10, then loop.
    sw::ActionWriter check;
    check.push(str("pass")).op(op::kGetVariable).op(op::kNot).ifTrue("skip");
    check.push(str("low")).op(op::kGetVariable).op(op::kTypeOf).op(op::kTrace);
    check.push(str("high")).op(op::kGetVariable).op(op::kTypeOf).op(op::kTrace);
    check.op(op::kStop).label("skip");
    sw::ActionWriter make;
    make.push({num(-10), str("low"), num(2), str("this")}).op(op::kGetVariable).push(str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kPop);
    make.push({num(10), str("high"), num(2), str("this")}).op(op::kGetVariable).push(str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kPop);
    make.push({str("pass"), Push::boolean(true)}).op(op::kSetVariable);
    const std::vector<sw::Bytes> tags = {sw::doAction(check.end()), sw::showFrame(), sw::doAction(make.end()),
                                         sw::showFrame()};
    EXPECT_EQ(play(tags, 3, 10, 2), (std::vector<std::string>{"undefined", "movieclip"}));
}

TEST(ClipConstruction, AScriptStopsOnceItsOwnClipIsRemoved) {
    // The attached clip's first frame removes the clip; the rest of that frame's script does not run,
    // while a script of another clip goes on after removing a clip.
    sw::ActionWriter inner;
    say(inner, "before");
    inner.push({num(0), str("this")}).op(op::kGetVariable).push(str("removeMovieClip")).op(op::kCallMethod).op(op::kPop);
    say(inner, "after");
    sw::ActionWriter root;
    root.raw(attachCall("sym", "c", 1, false).code()).op(op::kPop);
    root.raw(attachCall("other", "d", 2, false).code()).op(op::kPop);
    root.push({num(0), str("d")}).op(op::kGetVariable).push(str("removeMovieClip")).op(op::kCallMethod).op(op::kPop);
    say(root, "root goes on");
    std::vector<sw::Bytes> tags = {sw::defineSprite(1, 1, {sw::doAction(inner.end()), sw::showFrame()}),
                                   sw::exportAssets({{1, "sym"}})};
    for (const sw::Bytes& t : spriteExported(2, "other")) tags.push_back(t);
    tags.push_back(sw::doAction(root.end()));
    tags.push_back(sw::showFrame());
    EXPECT_EQ(play(tags), (std::vector<std::string>{"root goes on", "before"}));
}
