// Names and paths of display objects as scripts see them: the names the timeline gives unnamed
// instances, what a path to a shape or an early button reaches, SetTarget with targets that name
// nothing, for..in over a clip's children, and registers seen from functions.
#include <gtest/gtest.h>

#include "player/movie.h"
#include "player/player.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::ActionWriter;
using sw::Push;
namespace op = sw::op;

namespace {

using Lines = std::vector<std::string>;

Push str(const std::string& s) { return Push::str(s); }
Push num(int v) { return Push::integer(v); }

Lines run(const std::vector<sw::Bytes>& tags, int version = 8, int frames = 1) {
    return sw::playOnWhite(tags, version, frames, frames);
}

sw::Bytes place(std::uint16_t id, std::uint16_t depth, std::optional<std::string> name = std::nullopt) {
    sw::PlaceSpec p;
    p.depth = depth;
    p.characterId = id;
    p.matrix = sw::MatrixSpec{};
    p.name = std::move(name);
    return sw::placeObject2(p);
}

sw::Bytes box(std::uint16_t id) { return sw::rectangleShape(id, 0, 0, 200, 200, 0xff0000ff); }

sw::Bytes emptySprite(std::uint16_t id) { return sw::defineSprite(id, 1, {sw::showFrame()}); }

// A dynamic edit text without a font.
sw::Bytes editText(std::uint16_t id) {
    sw::ByteWriter w;
    w.u16(id).rect(0, 2000, 0, 400);
    w.u8(0x00).u8(0x00);
    w.string("");
    return sw::tag(37, w.data());
}

// trace(String(expression)) where the expression is a variable path ("_root.a.b").
void traceString(ActionWriter& a, const std::string& path) {
    a.push(str(path)).op(op::kGetVariable).op(op::kToString).op(op::kTrace);
}
// trace(object.method(args...)[member]).
void traceCallMember(ActionWriter& a, const std::string& object, const std::string& method, int arg,
                     const std::string& member) {
    a.push({num(arg), num(1), str(object)}).op(op::kGetVariable).push(str(method)).op(op::kCallMethod);
    a.push(str(member)).op(op::kGetMember).op(op::kTrace);
}
void traceProperty(ActionWriter& a, const std::string& path, int index) {
    a.push({str(path), num(index)}).op(op::kGetProperty).op(op::kTrace);
}

constexpr int kTarget = 11, kName = 13, kCurrentFrame = 4;

}  // namespace

TEST(InstanceNames, UnnamedSpritesButtonsAndTextsAreNumberedInPlacementOrder) {
    // Depths 1-6: a shape, a sprite, a named sprite, a button holding a sprite, a static-less edit text,
    // another sprite. Shapes and named objects take no number; a button's children come after it.
    ActionWriter script;
    for (int depth = 1; depth <= 6; ++depth)
        traceCallMember(script, "_root", "getInstanceAtDepth", depth - 16384, "_name");
    script.push(str("_root")).op(op::kGetVariable).push(str("instance2")).op(op::kGetMember);
    script.push(str("instance3")).op(op::kGetMember).push(str("_name")).op(op::kGetMember).op(op::kTrace);
    const Lines lines = run({box(1), emptySprite(2), sw::defineButton2(3, {{0x0f, 2, 1, {}}}, {}), editText(4),
                             place(1, 1), place(2, 2), place(2, 3, "named"), place(3, 4), place(4, 5), place(2, 6),
                             sw::doAction(script.end()), sw::showFrame()});
    EXPECT_EQ(lines, (Lines{"", "instance1", "named", "instance2", "instance4", "instance5", "instance3"}));
}

TEST(InstanceNames, CountOverTheWholePlayer) {
    // The sprite's own unnamed child is numbered after it, before the root's next instance.
    const sw::Bytes inner = sw::defineSprite(3, 1, {place(2, 1), sw::showFrame()});
    ActionWriter script;
    traceString(script, "_root.instance1.instance2");
    traceString(script, "_root.instance3");
    const Lines lines = run({emptySprite(2), inner, place(3, 1), place(2, 2), sw::doAction(script.end()), sw::showFrame()});
    EXPECT_EQ(lines, (Lines{"_level0.instance1.instance2", "_level0.instance3"}));
}

TEST(ReachableObjects, ShapesStandForTheClipHoldingThem) {
    ActionWriter script;
    traceString(script, "_root.shape");
    script.push({str("v"), str("on root")}).op(op::kSetVariable);
    traceString(script, "_root.shape.v");
    traceCallMember(script, "_root", "getInstanceAtDepth", 1 - 16384, "_target");
    script.setTarget("shape");
    traceProperty(script, "", kTarget);
    script.setTarget("");
    const Lines lines = run({box(1), place(1, 1, "shape"), sw::doAction(script.end()), sw::showFrame()});
    EXPECT_EQ(lines, (Lines{"_level0", "on root", "/", "/"}));
}

TEST(ReachableObjects, ButtonsAreObjectsFromVersionSix) {
    const sw::Bytes tags[] = {emptySprite(2), sw::defineButton2(3, {{0x0f, 2, 1, {}}}, {})};
    auto script = [] {
        ActionWriter a;
        traceString(a, "_root.b");
        a.push(str("_root")).op(op::kGetVariable).push(str("b")).op(op::kGetMember).op(op::kTypeOf).op(op::kTrace);
        traceString(a, "_root.b.instance1._parent");
        return a.end();
    };
    EXPECT_EQ(run({tags[0], tags[1], place(3, 1, "b"), sw::doAction(script()), sw::showFrame()}, 5),
              (Lines{"_level0", "movieclip", ""}));   // the child is not reached through the button
    EXPECT_EQ(run({tags[0], tags[1], place(3, 1, "b"), sw::doAction(script()), sw::showFrame()}, 6),
              (Lines{"_level0.b", "object", "_level0.b"}));
}

TEST(SetTarget, APathNamingNothingLeavesVariablesOnTheRootAndTimelinesAlone) {
    // A two-frame sprite "a" runs the checks on its first frame; the root holds n = "root".
    ActionWriter inner;
    inner.push({str("n"), str("a")}).op(op::kSetVariable).op(op::kStop);
    inner.setTarget("nothing");
    inner.push(str("n")).op(op::kGetVariable).op(op::kTrace);
    traceProperty(inner, "", kName);
    inner.gotoFrame(1);
    inner.push({str("m"), str("set")}).op(op::kSetVariable);
    inner.setTarget("");
    traceProperty(inner, "", kCurrentFrame);
    traceProperty(inner, "/", kCurrentFrame);
    inner.push(str("_root.m")).op(op::kGetVariable).op(op::kTrace);
    ActionWriter root;
    root.push({str("n"), str("root")}).op(op::kSetVariable).op(op::kStop);
    const sw::Bytes sprite = sw::defineSprite(2, 2, {sw::doAction(inner.end()), sw::showFrame(), sw::showFrame()});
    const Lines lines = run({sw::doAction(root.end()), sprite, place(2, 1, "a"), sw::showFrame(), sw::showFrame()}, 8, 2);
    EXPECT_EQ(lines, (Lines{"root", "undefined", "1", "1", "set"}));
}

TEST(SetTarget, UndefinedTargetsByVersion) {
    // Version 6 turns undefined into "", the original target; version 7 names nothing but keeps the
    // original target's variables.
    auto movie = [](int version) {
        ActionWriter inner;
        inner.push({str("n"), str("a")}).op(op::kSetVariable).op(op::kStop);
        inner.push(Push::undefined()).op(op::kSetTarget2);
        inner.push(str("n")).op(op::kGetVariable).op(op::kTrace);
        traceProperty(inner, "", kName);
        inner.setTarget("");
        const sw::Bytes sprite = sw::defineSprite(2, 1, {sw::doAction(inner.end()), sw::showFrame()});
        return run({sprite, place(2, 1, "a"), sw::showFrame()}, version);
    };
    EXPECT_EQ(movie(6), (Lines{"a", "a"}));
    EXPECT_EQ(movie(7), (Lines{"a", "undefined"}));
}

TEST(SetTarget, AClipIsFoundAgainByItsPath) {
    // Two clips named "c": telling the second one reaches the first, which its path names.
    ActionWriter s;
    s.push({num(1), str("c"), num(2), str("_root")}).op(op::kGetVariable).push(str("createEmptyMovieClip"));
    s.op(op::kCallMethod).push({str("x"), str("first")}).op(op::kSetMember);
    s.push({str("second"), num(2), str("c"), num(2), str("_root")}).op(op::kGetVariable);
    s.push(str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kSetVariable);
    s.push(str("second")).op(op::kGetVariable).push({str("x"), str("second")}).op(op::kSetMember);
    s.push(str("second")).op(op::kGetVariable).op(op::kSetTarget2);
    s.push(str("x")).op(op::kGetVariable).op(op::kTrace);
    s.setTarget("");
    EXPECT_EQ(run({sw::doAction(s.end()), sw::showFrame()}, 7), (Lines{"first"}));
}

TEST(ClipEnumeration, ForInListsNamedChildrenAfterStoredProperties) {
    ActionWriter s;
    s.push({str("_root.holder.v"), num(1)}).op(op::kSetVariable);
    s.push(str("_root.holder")).op(op::kGetVariable).op(op::kEnumerate2);
    s.label("loop").storeRegister(0).push(Push::null()).op(op::kEquals2).ifTrue("done");
    s.push(Push::reg(0)).op(op::kTrace).jump("loop");
    s.label("done");
    const sw::Bytes holder = sw::defineSprite(3, 1, {place(1, 1, "shape"), place(2, 2, "one"), place(2, 3, "two"), sw::showFrame()});
    const Lines lines = run({box(1), emptySprite(2), holder, place(3, 1, "holder"), sw::doAction(s.end()), sw::showFrame()});
    // A named shape is listed too (reading it gives its clip), deepest first like the others.
    EXPECT_EQ(lines, (Lines{"v", "two", "one", "shape"}));
}

TEST(Registers, AFunctionSeesTheActionListsRegistersItDoesNotDeclare) {
    // f declares two registers: its r0 and r1 are its own, r2 and r3 those of the calling list.
    ActionWriter body;
    for (std::uint8_t r = 0; r < 4; ++r) body.push(Push::reg(r)).op(op::kTrace);
    body.push(num(9)).storeRegister(3).op(op::kPop);
    ActionWriter s;
    s.defineFunction2("f", 2, 0, {}, body);
    for (std::uint8_t r = 0; r < 4; ++r) s.push(num(r)).storeRegister(r).op(op::kPop);
    s.push({num(0), str("f")}).op(op::kCallFunction).op(op::kPop);
    s.push(Push::reg(3)).op(op::kTrace);
    EXPECT_EQ(run({sw::doAction(s.end()), sw::showFrame()}, 8),
              (Lines{"undefined", "undefined", "2", "3", "9"}));
}

TEST(SlashPaths, TwoSlashesInARowLeadNowhere) {
    ActionWriter s;
    s.push({num(1), str("c"), num(2), str("_root")}).op(op::kGetVariable).push(str("createEmptyMovieClip"));
    s.op(op::kCallMethod).push({str("v"), str("here")}).op(op::kSetMember);
    for (const char* path : {"/c:v", "/c/:v", "c/:v", "/c//:v"}) {
        s.push(str(path)).op(op::kGetVariable).op(op::kTrace);
    }
    s.setTarget("//c");
    traceProperty(s, "", kName);
    s.setTarget("");
    EXPECT_EQ(run({sw::doAction(s.end()), sw::showFrame()}, 8),
              (Lines{"here", "here", "here", "undefined", "undefined"}));
}

// The names that lead to other clips follow the movie's case rule: any case up to version 6, only their
// own spelling from version 7 on (where `_ROOT` is an ordinary, unset name).
TEST(SpecialNames, CaseOfRootParentAndGlobalFollowsTheVersion) {
    ActionWriter s;
    s.push({num(1), str("c"), num(2), str("_root")}).op(op::kGetVariable).push(str("createEmptyMovieClip"));
    s.op(op::kCallMethod).op(op::kPop);
    for (const char* name : {"_ROOT", "_Parent", "_GLOBAL"}) {
        s.push({str("c")}).op(op::kGetVariable).push(str(name)).op(op::kGetMember).op(op::kTypeOf).op(op::kTrace);
    }
    s.push({str("c")}).op(op::kGetVariable).push(str("_root")).op(op::kGetMember).op(op::kTypeOf).op(op::kTrace);
    const auto tags = std::vector<sw::Bytes>{sw::doAction(s.end()), sw::showFrame()};
    EXPECT_EQ(run(tags, 6), (Lines{"movieclip", "movieclip", "object", "movieclip"}));
    EXPECT_EQ(run(tags, 7), (Lines{"undefined", "undefined", "undefined", "movieclip"}));
}

TEST(SpecialNames, ALevelNameReadsTheNumberAtItsStartWhateverFollows) {
    // The digits after the prefix (a minus sign allowed) wrap as a 32-bit integer; no digits is level 0.
    ActionWriter s;
    for (const char* name : {"_level0undefined", "_level", "_levelabc", "_level 1", "_level4294967296", "_flash0x",
                             "_level1x", "_level-1", "_flash1", "_LEVEL0"})
        s.push(str(name)).op(op::kGetVariable).op(op::kTypeOf).op(op::kTrace);
    const auto tags = std::vector<sw::Bytes>{sw::doAction(s.end()), sw::showFrame()};
    EXPECT_EQ(run(tags, 7), (Lines{"movieclip", "movieclip", "movieclip", "movieclip", "movieclip", "movieclip",
                                   "undefined", "undefined", "undefined", "undefined"}));
    // Before version 7 the prefix is any case.
    EXPECT_EQ(run(tags, 6).back(), "movieclip");
}
