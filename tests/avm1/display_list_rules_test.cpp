// Display list rules scripts can observe: what a backward goto keeps, what a moving placement changes,
// where a clip with unload handlers waits after the timeline removes it, how a sprite whose tags stop
// short plays, a function that stops once its own clip has left, and duplicateMovieClip's arguments.
#include <gtest/gtest.h>

#include "player/movie.h"
#include "player/player.h"
#include "player/swf/tags_action.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
namespace ce = vistrel::swf::clipevent;
using sw::ActionWriter;
using sw::Push;
namespace op = sw::op;

namespace {

using Lines = std::vector<std::string>;

Push str(const std::string& s) { return Push::str(s); }
Push num(int v) { return Push::integer(v); }

// Plays `frames` frames of a movie made of `tags` (the first frame counts as one).
Lines play(const std::vector<sw::Bytes>& tags, int frames, int version = 8) {
    return sw::playOnWhite(tags, version, frames, 1);
}

sw::Bytes actions(const ActionWriter& a) { return sw::doAction(ActionWriter(a).end()); }

// trace(typeof a + "," + typeof b ...) for variables of the root.
ActionWriter traceTypes(const std::vector<std::string>& names) {
    ActionWriter a;
    for (std::size_t i = 0; i < names.size(); ++i) {
        a.push(str(names[i])).op(op::kGetVariable).op(op::kTypeOf);
        if (i > 0) a.op(op::kAdd2);
        if (i + 1 < names.size()) a.push(str(",")).op(op::kAdd2);
    }
    a.op(op::kTrace);
    return a;
}

// An empty one-frame sprite with this id.
sw::Bytes emptySprite(std::uint16_t id) { return sw::defineSprite(id, 1, {sw::showFrame()}); }

sw::Bytes place(std::uint16_t id, std::uint16_t depth, const std::string& name, std::optional<std::uint16_t> ratio = {}) {
    sw::PlaceSpec p;
    p.depth = depth;
    p.characterId = id;
    p.name = name;
    p.ratio = ratio;
    return sw::placeObject2(p);
}

ActionWriter gotoAndStop(std::uint16_t frame) {
    ActionWriter a;
    a.gotoFrame(frame).op(op::kStop);
    return a;
}

}  // namespace

TEST(BackwardGoto, TimelineClipsStayWhenTheTargetFrameHoldsTheirDepthWithTheirRatio) {
    // Frame 1 has clip a (sprite 1) at depth 3 and d (sprite 2) at depth 4; frame 2 puts b (sprite 2) at
    // depth 3 and c (sprite 1, another ratio) at depth 4. Going back keeps b, whatever its character, and
    // replaces c by a new d.
    const Lines lines = play({emptySprite(1), emptySprite(2), place(1, 3, "a"), place(2, 4, "d"),
                              actions(traceTypes({"a", "b", "c", "d"})), sw::showFrame(), sw::removeObject2(3),
                              sw::removeObject2(4), place(2, 3, "b"), place(1, 4, "c", 7), sw::showFrame(),
                              actions(gotoAndStop(0)), sw::showFrame()},
                             3);
    EXPECT_EQ(lines, (Lines{"movieclip,undefined,undefined,movieclip", "undefined,movieclip,undefined,movieclip"}));
}

TEST(BackwardGoto, ADepthTheTargetFrameLeavesEmptyLosesEvenASwappedClip) {
    // a is placed at depth 3 in frame 1, b at depth 4 in frame 2, then they swap: going back to frame 1
    // removes a (now at depth 4, empty there) and keeps b (at depth 3, which frame 1 fills).
    ActionWriter swap;
    swap.push(str("b")).op(op::kGetVariable).push({num(1), str("a")}).op(op::kGetVariable);
    swap.push(str("swapDepths")).op(op::kCallMethod);
    swap.op(op::kPop);
    const Lines lines = play({emptySprite(1), emptySprite(2), place(1, 3, "a"), actions(traceTypes({"a", "b"})),
                              sw::showFrame(), place(2, 4, "b"), actions(swap), sw::showFrame(),
                              actions(gotoAndStop(0)), sw::showFrame()},
                             3);
    EXPECT_EQ(lines, (Lines{"movieclip,undefined", "undefined,movieclip"}));
}

TEST(MovingPlacements, KeepTheClipsNameAndCharacterButMoveIt) {
    sw::PlaceSpec move;
    move.depth = 3;
    move.move = true;
    move.characterId = 2;
    move.name = "z";
    move.matrix = sw::MatrixSpec{};
    move.matrix->translateX = 2000;
    ActionWriter check = traceTypes({"a", "z"});
    check.push(str("a")).op(op::kGetVariable).push(str("_x")).op(op::kGetMember).op(op::kTrace);
    const Lines lines = play({emptySprite(1), emptySprite(2), place(1, 3, "a"), sw::showFrame(),
                              sw::placeObject2(move), actions(check), sw::showFrame()},
                             2);
    EXPECT_EQ(lines, (Lines{"movieclip,undefined", "100"}));
}

TEST(TimelineRemoval, AClipWithUnloadHandlersWaitsBelowTheTimelineUntilTheTickEnds) {
    ActionWriter unload;
    unload.push(str("unload ")).push(str("this")).op(op::kGetVariable).op(op::kAdd2);
    unload.push(str(" ")).op(op::kAdd2);
    unload.push({num(0), str("this")}).op(op::kGetVariable).push(str("getDepth")).op(op::kCallMethod).op(op::kAdd2);
    unload.op(op::kTrace);
    sw::PlaceSpec withHandler;
    withHandler.depth = 2;
    withHandler.characterId = 1;
    withHandler.name = "a";
    withHandler.clipActions = {{ce::kUnload, 0, unload.end()}};
    ActionWriter during = traceTypes({"a", "b"});
    during.push({num(0), str("a")}).op(op::kGetVariable).push(str("getDepth")).op(op::kCallMethod).op(op::kTrace);
    // Frame 2 removes both: a (with a handler) waits at the mirror of its depth, b (without) goes at once.
    const Lines lines = play({emptySprite(1), sw::placeObject2(withHandler), place(1, 3, "b"), sw::showFrame(),
                              sw::removeObject2(2), sw::removeObject2(3), actions(during), sw::showFrame(),
                              actions(traceTypes({"a", "b"}).op(op::kStop)), sw::showFrame()},
                             3);
    EXPECT_EQ(lines, (Lines{"unload _level0.a -16387", "movieclip,undefined", "-16387", "undefined,undefined"}));
}

TEST(SpriteTimelines, PlayWhatTheyHoldOnceWhenTheirTagsStopShort) {
    auto traceLine = [](const std::string& text) {
        ActionWriter a;
        a.push(str(text)).op(op::kTrace);
        return actions(a);
    };
    // Sprite 1: two frames and an end tag: it loops. Sprite 2: the same without the end tag. Sprite 3:
    // one frame, then a script no frame shows.
    const sw::Bytes looping = sw::defineSprite(1, 2, {traceLine("1a"), sw::showFrame(), traceLine("1b"), sw::showFrame()});
    sw::Bytes noEnd;
    {
        sw::Bytes body{2, 0, 2, 0};
        for (const sw::Bytes& t : {traceLine("2a"), sw::showFrame(), traceLine("2b"), sw::showFrame()})
            body.insert(body.end(), t.begin(), t.end());
        noEnd = sw::tag(39, body, true);
    }
    const sw::Bytes trailing = sw::defineSprite(3, 1, {traceLine("3a"), sw::showFrame(), traceLine("3b")});
    const Lines lines = play({looping, noEnd, trailing, place(1, 1, "s1"), place(2, 2, "s2"), place(3, 3, "s3"),
                              sw::showFrame()},
                             4);
    EXPECT_EQ(lines, (Lines{"1a", "2a", "3a", "3b", "2b", "1b", "1a", "1b"}));
}

TEST(FunctionsOfRemovedClips, StopAfterACallOnceTheirClipHasLeft) {
    // The clip's frame defines go(); the root calls it, and go() moves the root on to a frame without
    // the clip: go() ends there, the root's script goes on.
    ActionWriter body;
    body.push(str("in")).op(op::kTrace);
    body.push({num(0), str("_root")}).op(op::kGetVariable).push(str("nextFrame")).op(op::kCallMethod).op(op::kPop);
    body.push(str("after")).op(op::kTrace);
    ActionWriter define;
    define.defineFunction("go", {}, body);
    const sw::Bytes clip = sw::defineSprite(1, 1, {actions(define), sw::showFrame()});
    ActionWriter call;
    call.op(op::kStop);
    call.push({num(0), str("clip")}).op(op::kGetVariable).push(str("go")).op(op::kCallMethod).op(op::kPop);
    call.push(str("done")).op(op::kTrace);
    const Lines lines = play({clip, place(1, 1, "clip"), sw::showFrame(), actions(call), sw::showFrame(),
                              sw::removeObject2(1), sw::showFrame()},
                             3);
    EXPECT_EQ(lines, (Lines{"in", "done"}));
}

TEST(DuplicateMovieClip, ConvertsTheNameBeforeTheDepth) {
    // name = {toString: ...}, depth = {valueOf: ...}, each tracing when asked.
    auto objectWith = [](const std::string& variable, const std::string& method, const std::string& said,
                         const Push& result) {
        ActionWriter body;
        body.push(str(said)).op(op::kTrace).push(result).op(op::kReturn);
        ActionWriter a;
        a.push(str(variable)).push(str(method)).defineFunction("", {}, body).push(num(1)).op(op::kInitObject);
        a.op(op::kSetVariable);
        return a;
    };
    ActionWriter a;
    a.push({num(1), str("src"), num(2), str("_root")}).op(op::kGetVariable);
    a.push(str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kPop);
    a.raw(objectWith("name", "toString", "name converted", str("copy")).code());
    a.raw(objectWith("depth", "valueOf", "depth converted", num(5)).code());
    a.push(str("depth")).op(op::kGetVariable).push(str("name")).op(op::kGetVariable).push(num(2));
    a.push(str("src")).op(op::kGetVariable).push(str("duplicateMovieClip")).op(op::kCallMethod).op(op::kPop);
    a.push({num(0), str("copy")}).op(op::kGetVariable).push(str("getDepth")).op(op::kCallMethod).op(op::kTrace);
    const Lines lines = play({actions(a), sw::showFrame()}, 1);
    EXPECT_EQ(lines, (Lines{"name converted", "depth converted", "5"}));
}

TEST(TimelineRemoval, WhatAWaitingClipHoldsRunsNoMoreScripts) {
    ActionWriter said;
    said.push(str("child enterFrame")).op(op::kTrace);
    sw::PlaceSpec child;
    child.depth = 1;
    child.characterId = 1;
    child.clipActions = {{ce::kEnterFrame, 0, said.end()}};
    const sw::Bytes holder = sw::defineSprite(2, 1, {sw::placeObject2(child), sw::showFrame()});
    ActionWriter unload;
    unload.push(str("unload")).op(op::kTrace);
    sw::PlaceSpec parked;
    parked.depth = 2;
    parked.characterId = 2;
    parked.name = "a";
    parked.clipActions = {{ce::kUnload, 0, unload.end()}};
    // The removal comes in the tick whose enter-frame events were queued first.
    const Lines lines = play({emptySprite(1), holder, sw::placeObject2(parked), sw::showFrame(), sw::removeObject2(2),
                              actions(ActionWriter().op(op::kStop)), sw::showFrame()},
                             2);
    EXPECT_EQ(lines, (Lines{"unload"}));
}
