// Timeline and path rules scripts depend on: the grammar of target paths (separators, children before
// variables, where a name is split off), functions called by path, goto frame numbers, version 5
// functions acting on the calling clip, and the bounds an empty clip reports.
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

Lines runScript(const ActionWriter& script, int version = 8, const std::vector<sw::Bytes>& lead = {}) {
    std::vector<sw::Bytes> tags = lead;
    tags.push_back(sw::doAction(ActionWriter(script).end()));
    tags.push_back(sw::showFrame());
    return run(tags, version);
}

// object.createEmptyMovieClip(name, depth), where object is a variable path.
void makeClip(ActionWriter& a, const std::string& object, const std::string& name, int depth) {
    a.push({num(depth), str(name), num(2), str(object)}).op(op::kGetVariable);
    a.push(str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kPop);
}
// object.member = value.
void setMember(ActionWriter& a, const std::string& object, const std::string& member, const std::string& value) {
    a.push(str(object)).op(op::kGetVariable).push({str(member), str(value)}).op(op::kSetMember);
}
// A placement of character `id` at `depth` under an instance name.
sw::PlaceSpec named(std::uint16_t depth, std::uint16_t id, const std::string& name) {
    sw::PlaceSpec p;
    p.depth = depth;
    p.characterId = id;
    p.name = name;
    return p;
}
// trace(String(eval(path))).
void traceVariable(ActionWriter& a, const std::string& path) {
    a.push(str(path)).op(op::kGetVariable).op(op::kToString).op(op::kTrace);
}
// tellTarget(path) { trace(_name); }
void traceTargetName(ActionWriter& a, const std::string& path) {
    a.setTarget(path);
    a.push({str(""), num(13)}).op(op::kGetProperty).op(op::kTrace);
    a.setTarget("");
}

// _root.clip1.clip2.clip3, then clip1 = "clip1 var" on the root and clip1.clip2 = "clip2 var" on clip1:
// variables that share the clips' names.
ActionWriter nestedClips() {
    ActionWriter a;
    makeClip(a, "_root", "clip1", 1);
    makeClip(a, "_root.clip1", "clip2", 1);
    makeClip(a, "_root.clip1.clip2", "clip3", 1);
    setMember(a, "_root.clip1", "clip2", "clip2 var");
    a.push({str("clip1"), str("clip1 var")}).op(op::kSetVariable);
    return a;
}

}  // namespace

TEST(TargetPaths, ChildrenComeBeforeVariablesOnEachStep) {
    ActionWriter a = nestedClips();
    traceVariable(a, "clip1");               // a plain name is a variable first
    traceVariable(a, "clip1.clip2");          // the path step finds the clip, the last name its variable
    traceVariable(a, "clip1.clip2.clip3");
    traceTargetName(a, "clip1.clip2");
    EXPECT_EQ(runScript(a), (Lines{"clip1 var", "clip2 var", "_level0.clip1.clip2.clip3", "clip2"}));
}

TEST(TargetPaths, ColonsSlashesAndDotsSeparateNames) {
    ActionWriter a = nestedClips();
    traceVariable(a, "clip1:clip2:clip3");
    traceVariable(a, "/clip1/clip2:clip3");
    traceTargetName(a, "::clip1.::clip2/::clip3");
    traceTargetName(a, "clip1:clip2.clip3");
    traceTargetName(a, "clip1.clip2.clip3/");      // a trailing separator ends the path
    traceTargetName(a, "clip1/clip2.clip3");       // after a slash a dot is part of the name
    traceTargetName(a, "clip1.clip2/.clip3");
    traceTargetName(a, "clip1.clip2.clip3::");     // colons only lead into a name
    EXPECT_EQ(runScript(a), (Lines{"_level0.clip1.clip2.clip3", "_level0.clip1.clip2.clip3", "clip3", "clip3",
                                   "clip3", "undefined", "undefined", "undefined"}));
}

TEST(TargetPaths, ParentStepsNeedASeparatorAfterThem) {
    ActionWriter a = nestedClips();
    traceTargetName(a, "clip1/clip2/clip3/..");
    traceTargetName(a, "_root:clip1:clip2:..");
    traceTargetName(a, "_root:clip1:clip2...clip2");
    traceVariable(a, "_root:clip1:clip2/...clip2");   // the parent's variable, split at the last dot
    traceVariable(a, "_root/clip1/clip2:_parent");
    EXPECT_EQ(runScript(a), (Lines{"clip2", "clip1", "undefined", "clip2 var", "_level0.clip1"}));
}

TEST(TargetPaths, ThisStartsAVariablePathButNotATargetOrSlashPath) {
    ActionWriter a = nestedClips();
    setMember(a, "_root", "this/clip1", "plain");
    traceVariable(a, "this.clip1.clip2");
    traceVariable(a, "this/clip1");   // no clip by that path: the variable of that whole name
    traceTargetName(a, "this.clip1");
    EXPECT_EQ(runScript(a), (Lines{"clip2 var", "plain", "undefined"}));
}

TEST(TargetPaths, SettingSplitsAtTheLastColonOrDotOnly) {
    ActionWriter a = nestedClips();
    a.push({str("clip1.clip2/..:a"), str("A")}).op(op::kSetVariable);   // on clip1
    a.push({str("clip1/b"), str("B")}).op(op::kSetVariable);            // a plain name on the root
    traceVariable(a, "_root/clip1:a");
    a.push(str("_root")).op(op::kGetVariable).push(str("clip1/b")).op(op::kGetMember).op(op::kTrace);
    traceVariable(a, "_root/clip1:b");
    EXPECT_EQ(runScript(a), (Lines{"A", "B", "undefined"}));
}

TEST(TargetPaths, AFunctionCalledByPathRunsOnTheObjectItCameFrom) {
    ActionWriter a;
    makeClip(a, "_root", "clip1", 1);
    ActionWriter body;
    body.push(str("this")).op(op::kGetVariable).op(op::kToString).op(op::kTrace);
    a.push(str("_root")).op(op::kGetVariable).push(str("clip1")).op(op::kGetMember).push(str("f"));
    a.defineFunction("", {}, body).op(op::kSetMember);
    a.push({num(0), str("_root.clip1.f")}).op(op::kCallFunction).op(op::kPop);
    a.push({num(0), str("/clip1:f")}).op(op::kCallFunction).op(op::kPop);
    EXPECT_EQ(runScript(a), (Lines{"_level0.clip1", "_level0.clip1"}));
}

TEST(GotoMethods, FrameNumbersWrapAsIntegersAndObjectsNameLabels) {
    // A three-frame sprite "s" with the label "two" on its second frame.
    const sw::Bytes sprite = sw::defineSprite(
        2, 3, {sw::showFrame(), sw::frameLabel("two"), sw::showFrame(), sw::showFrame()});
    sw::PlaceSpec p;
    p.depth = 1;
    p.characterId = 2;
    p.matrix = sw::MatrixSpec{};
    p.name = "s";
    auto gotoAndTrace = [](ActionWriter& a, const Push& frame) {
        a.push({frame, num(1), str("s")}).op(op::kGetVariable).push(str("gotoAndStop")).op(op::kCallMethod);
        a.op(op::kPop).push(str("s")).op(op::kGetVariable).push(str("_currentframe")).op(op::kGetMember);
        a.op(op::kTrace);
    };
    ActionWriter a;
    gotoAndTrace(a, Push::dbl(4294967298.0));   // 2^32 + 2 is frame 2
    gotoAndTrace(a, Push::dbl(2147483648.0));   // 2^31 wraps to the lowest integer: the last frame
    gotoAndTrace(a, num(0));                        // frame 0 goes nowhere
    gotoAndTrace(a, Push::dbl(-2147483648.0));  // one below wraps round to the last frame too
    gotoAndTrace(a, num(1));
    // An object goes by its string: { toString: function() { return "two"; } }
    ActionWriter toString;
    toString.push(str("two")).op(op::kReturn);
    a.push(str("toString")).defineFunction("", {}, toString).push(num(1)).op(op::kInitObject);
    a.push({num(1), str("s")}).op(op::kGetVariable).push(str("gotoAndStop")).op(op::kCallMethod).op(op::kPop);
    a.push(str("s")).op(op::kGetVariable).push(str("_currentframe")).op(op::kGetMember).op(op::kTrace);
    const Lines lines = run({sprite, sw::placeObject2(p), sw::doAction(a.end()), sw::showFrame()});
    EXPECT_EQ(lines, (Lines{"2", "3", "3", "3", "1", "2"}));
}

TEST(VersionFiveFunctions, ActOnTheCallingClip) {
    // The root gives clips move(); a sprite "c" calls it by name on its second frame. _target inside shows whose
    // timeline it acts on.
    ActionWriter body;
    body.push({str(""), num(11)}).op(op::kGetProperty).op(op::kTrace);
    ActionWriter define;   // MovieClip.prototype.move = function() { trace(_target); }
    define.push(str("MovieClip")).op(op::kGetVariable).push({str("prototype")}).op(op::kGetMember);
    define.push(str("move")).defineFunction("", {}, body).op(op::kSetMember);
    ActionWriter call;
    call.push({num(0), str("move")}).op(op::kCallFunction).op(op::kPop);
    const sw::Bytes sprite = sw::defineSprite(2, 2, {sw::showFrame(), sw::doAction(call.end()), sw::showFrame()});
    sw::PlaceSpec p;
    p.depth = 1;
    p.characterId = 2;
    p.matrix = sw::MatrixSpec{};
    p.name = "c";
    const std::vector<sw::Bytes> tags{sw::doAction(define.end()), sprite, sw::placeObject2(p), sw::showFrame()};
    EXPECT_EQ(run(tags, 5, 2), (Lines{"/c"}));
    EXPECT_EQ(run(tags, 6, 2), (Lines{"/"}));   // from version 6 a function keeps its own timeline
}

TEST(EmptyClipBounds, RoundedOnceAVersionEightMovieAsks) {
    ActionWriter a;
    makeClip(a, "_root", "e", 1);
    for (int i = 0; i < 2; ++i) {
        a.push(str("_root")).op(op::kGetVariable).push({num(1), str("e")}).op(op::kGetVariable);
        a.push(str("getBounds")).op(op::kCallMethod);
        a.push(str("xMin")).op(op::kGetMember).op(op::kTrace);
    }
    EXPECT_EQ(runScript(a, 7), (Lines{"6710886.35", "6710886.35"}));
    EXPECT_EQ(runScript(a, 8), (Lines{"6710886.4", "6710886.4"}));
}

TEST(EmptyClipBounds, StayUnroundedInTheClipsOwnSpace) {
    // e.getBounds(_root), e.getBounds(e), e.getBounds(), e.getRect(e): only the change of space rounds.
    ActionWriter a;
    makeClip(a, "_root", "e", 1);
    auto bounds = [&a](const char* method, const char* target) {
        if (target) a.push(str(target)).op(op::kGetVariable).push(num(1));
        else a.push(num(0));
        a.push(str("e")).op(op::kGetVariable).push(str(method)).op(op::kCallMethod);
        a.push(str("xMin")).op(op::kGetMember).op(op::kTrace);
    };
    bounds("getBounds", "_root");
    bounds("getBounds", "e");
    bounds("getBounds", nullptr);
    bounds("getRect", "e");
    EXPECT_EQ(runScript(a, 8), (Lines{"6710886.4", "6710886.35", "6710886.35", "6710886.35"}));
    // getRect arrived with version 8.
    EXPECT_EQ(runScript(a, 7), (Lines{"6710886.35", "6710886.35", "6710886.35", "undefined"}));
}

TEST(ClipReferences, AReferenceToARemovedClipFollowsTheClipNowAtItsPlacedPath) {
    ActionWriter a;
    makeClip(a, "_root", "a", 1);
    a.push(str("r")).push(str("a")).op(op::kGetVariable).op(op::kSetVariable);   // r = a
    setMember(a, "r", "_name", "b");                                            // renamed after placement
    a.push({num(0), str("r")}).op(op::kGetVariable).push(str("removeMovieClip")).op(op::kCallMethod).op(op::kPop);
    a.push(str("r")).op(op::kGetVariable).push(str("_name")).op(op::kGetMember).op(op::kTrace);
    makeClip(a, "_root", "a", 2);
    setMember(a, "_root.a", "v", "new");
    a.push(str("r")).op(op::kGetVariable).push(str("v")).op(op::kGetMember).op(op::kTrace);
    traceVariable(a, "r");
    // Methods act on it too.
    a.push({num(0), str("r")}).op(op::kGetVariable).push(str("getDepth")).op(op::kCallMethod).op(op::kTrace);
    EXPECT_EQ(runScript(a), (Lines{"undefined", "new", "_level0.a", "2"}));
}

namespace {

// A sprite of three frames tracing its label and frame number on the first and third; `withEnd` says
// whether its tags close with an End tag.
sw::Bytes countingSprite(std::uint16_t id, const std::string& label, bool withEnd) {
    auto traceFrame = [&](const std::string& text) {
        ActionWriter a;
        a.push({str(text), str("this")}).op(op::kGetVariable).push(str("_currentframe")).op(op::kGetMember);
        a.op(op::kAdd2).op(op::kTrace);
        return sw::doAction(a.end());
    };
    std::vector<sw::Bytes> tags{traceFrame(label), sw::showFrame(), sw::showFrame(), traceFrame(label),
                                sw::showFrame()};
    if (!withEnd) {
        sw::Bytes body{static_cast<std::uint8_t>(id & 0xff), static_cast<std::uint8_t>(id >> 8), 3, 0};
        for (const sw::Bytes& t : tags) body.insert(body.end(), t.begin(), t.end());
        return sw::tag(39, body, true);
    }
    return sw::defineSprite(id, 3, tags);
}

}  // namespace

TEST(SpriteLoading, ASpriteWithoutAnEndTagWaitsAtItsLastFrameInsteadOfLooping) {
    sw::PlaceSpec open, closed;
    open.depth = 1;
    open.characterId = 2;
    closed.depth = 2;
    closed.characterId = 3;
    std::vector<sw::Bytes> tags{countingSprite(2, "open ", false), countingSprite(3, "closed ", true),
                                sw::placeObject2(open), sw::placeObject2(closed)};
    for (int i = 0; i < 7; ++i) tags.push_back(sw::showFrame());
    Lines openLines, closedLines;
    for (const std::string& line : run(tags, 8, 7)) (line.rfind("open", 0) == 0 ? openLines : closedLines).push_back(line);
    EXPECT_EQ(openLines, (Lines{"open 1", "open 3"}));
    EXPECT_EQ(closedLines, (Lines{"closed 1", "closed 3", "closed 1", "closed 3", "closed 1"}));
}

TEST(MovieMachine, TheLeadingFileAttributesFlagPicksTheMachineWhateverBytecodeTheMovieCarries) {
    auto fileAttributes = [](std::uint8_t flags) { return sw::tag(69, sw::Bytes{flags, 0, 0, 0}); };
    const sw::Bytes abc = sw::tag(82, sw::Bytes{1, 0, 0, 0, 0, 0x10, 0, 0x2e, 0});   // DoABC: flags, name, bytes
    ActionWriter a;
    a.push(str("from actions")).op(op::kTrace);
    const sw::Bytes actions = sw::doAction(a.end());
    auto play = [](const std::vector<sw::Bytes>& tags) {
        sw::MovieSpec spec;
        spec.version = 9;
        return sw::playTraced(spec, tags);
    };
    EXPECT_EQ(play({fileAttributes(0x00), abc, actions, sw::showFrame()}), (Lines{"from actions"}));
    EXPECT_EQ(play({fileAttributes(0x08), actions, sw::showFrame()}), Lines{});
    // Without the tag, bytecode for the other machine is what tells.
    EXPECT_EQ(play({abc, actions, sw::showFrame()}), Lines{});
}

TEST(FrameCounts, ScriptsAreToldTheDeclaredCountAndTheFramesShownOfItWhilePlaybackGoesByTheFrames) {
    const sw::PlaceSpec shortOne = named(1, 1, "fewer"), longOne = named(2, 2, "more"), none = named(3, 3, "none");
    ActionWriter first;
    for (const char* clip : {"_root", "fewer", "more", "none"})
        for (const char* property : {"_totalframes", "_framesloaded"}) traceVariable(first, std::string(clip) + "." + property);
    traceVariable(first, "none._currentframe");
    ActionWriter second;
    second.op(op::kStop);
    traceVariable(second, "more._currentframe");
    // The root's header declares four frames; it holds two.
    const std::vector<sw::Bytes> tags{sw::defineSprite(1, 3, {sw::showFrame()}),
                                      sw::defineSprite(2, 1, {sw::showFrame(), sw::showFrame(), sw::showFrame()}),
                                      sw::defineSprite(3, 0, {}),
                                      sw::placeObject2(shortOne),
                                      sw::placeObject2(longOne),
                                      sw::placeObject2(none),
                                      sw::doAction(first.end()),
                                      sw::showFrame(),
                                      sw::doAction(second.end()),
                                      sw::showFrame()};
    EXPECT_EQ(sw::playOnWhite(tags, 8, 3, 4),
              (Lines{"4", "2", "3", "1", "1", "1", "0", "0", "1", "2"}));
}

TEST(TargetPaths, VersionFourKnowsSlashesOnlyWithALevelNameOpeningThePath) {
    const sw::PlaceSpec child = named(1, 1, "child"), a = named(1, 2, "a");
    ActionWriter s;
    s.push({str("root_var"), str("on root")}).op(op::kSetVariable);
    s.push({str("a:var"), str("on a")}).op(op::kSetVariable);
    // getProperty(path, _name) for targets: "-" marks a path that leads nowhere.
    for (const char* path : {"a/child", "_level0/a", "a/..", "a:child", "a.child", "_level0:a:child", "_level0.a/child",
                             "_level0..:/", "_flash0/a", "_root", "this", "/_level0", "a/..:a", "a//child"}) {
        s.push({str(path), num(13)}).op(op::kGetProperty).op(op::kPushDuplicate).op(op::kTypeOf);
        s.push(str("undefined")).op(op::kStringEquals).ifTrue(std::string("none ") + path);
        s.push(str(std::string(path) + " ")).op(op::kStackSwap).op(op::kStringAdd).op(op::kTrace);
        s.jump(std::string("next ") + path).label(std::string("none ") + path).op(op::kPop);
        s.push(str(std::string("- ") + path)).op(op::kTrace).label(std::string("next ") + path);
    }
    // Variables: only a colon splits a name from its path, and the path may not be empty.
    for (const char* name : {"/a:var", "a/..:root_var", ":root_var", ".root_var", "/a.var", "a.var"}) {
        s.push(str(name)).op(op::kGetVariable).op(op::kTypeOf).op(op::kTrace);
    }
    const std::vector<sw::Bytes> tags{sw::defineSprite(1, 1, {sw::showFrame()}),
                                      sw::defineSprite(2, 1, {sw::placeObject2(child, 4), sw::showFrame()}),
                                      sw::placeObject2(a, 4), sw::doAction(s.end()), sw::showFrame()};
    EXPECT_EQ(run(tags, 4),
              (Lines{"a/child child", "_level0/a a", "a/.. ", "- a:child", "- a.child", "_level0:a:child ",
                     "- _level0.a/child", "_level0..:/ ", "_flash0/a a", "- _root", "- this", "- /_level0", "- a/..:a",
                     "- a//child", "string", "string", "undefined", "undefined", "undefined", "undefined"}));
}
