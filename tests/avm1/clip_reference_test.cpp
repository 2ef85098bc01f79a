// What a script holds when it keeps a clip: references to clips that have gone (with or without a clip
// at their path again), clips removed while unload handlers wait, and what attachMovie gives a button.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/movie.h"
#include "player/player.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
namespace op = vistrel::testing::op;
using sw::ActionWriter;
using sw::Push;
using Lines = std::vector<std::string>;

namespace {

Push str(const std::string& s) { return Push::str(s); }
Push num(double v) { return Push::dbl(v); }

Lines play(const std::vector<sw::Bytes>& tags, int frames, int version = 8, std::uint16_t frameCount = 1) {
    sw::MovieSpec spec;
    spec.version = version;
    spec.frameCount = frameCount;
    auto movie = vp::Movie::fromBytes(sw::movie(spec, tags));
    Lines lines;
    vp::Player player(movie, [&lines](const QString& line) { lines.push_back(line.toStdString()); });
    for (int i = 1; i < frames; ++i) player.nextFrame();
    return lines;
}

// trace(label + variable.member)
ActionWriter& traceMember(ActionWriter& a, const std::string& label, const std::string& variable, const std::string& member) {
    a.push({str(label), str(variable)}).op(op::kGetVariable).push(str(member)).op(op::kGetMember);
    return a.op(op::kAdd2).op(op::kTrace);
}

// trace(label + variable)
ActionWriter& traceVariable(ActionWriter& a, const std::string& label, const std::string& variable) {
    return a.push({str(label), str(variable)}).op(op::kGetVariable).op(op::kAdd2).op(op::kTrace);
}

// _root.createEmptyMovieClip(name, depth), result dropped.
ActionWriter& createClip(ActionWriter& a, const std::string& name, double depth) {
    a.push({num(depth), str(name), num(2), str("_root")}).op(op::kGetVariable);
    return a.push(str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kPop);
}

// variable.method(), result dropped.
ActionWriter& callMethod(ActionWriter& a, const std::string& variable, const std::string& method) {
    return a.push({num(0), str(variable)}).op(op::kGetVariable).push(str(method)).op(op::kCallMethod).op(op::kPop);
}

// variable.member = value
ActionWriter& setMember(ActionWriter& a, const std::string& variable, const std::string& member, const Push& value) {
    return a.push(str(variable)).op(op::kGetVariable).push({str(member), value}).op(op::kSetMember);
}

}  // namespace

TEST(ClipReferences, AReferenceToAClipThatHasGoneReadsNothingUntilAClipTakesItsPath) {
    ActionWriter a;
    createClip(a, "c", 10);
    a.push({str("r"), str("c")}).op(op::kGetVariable).op(op::kSetVariable);
    setMember(a, "r", "foo", num(5));
    callMethod(a, "c", "removeMovieClip");
    // Still a clip to typeof, but nothing stored on it, inherited or written now is there.
    a.push({str("typeof "), str("r")}).op(op::kGetVariable).op(op::kTypeOf).op(op::kAdd2).op(op::kTrace);
    a.push({str("as text ["), str("r")}).op(op::kGetVariable).op(op::kAdd2).push(str("]")).op(op::kAdd2).op(op::kTrace);
    traceMember(a, "foo ", "r", "foo");
    a.push({str("typeof valueOf "), str("r")}).op(op::kGetVariable).push(str("valueOf")).op(op::kGetMember)
        .op(op::kTypeOf).op(op::kAdd2).op(op::kTrace);
    setMember(a, "r", "bar", num(1));
    traceMember(a, "bar ", "r", "bar");
    a.push({str("equals undefined "), str("r")}).op(op::kGetVariable).push(Push::undefined()).op(op::kEquals2)
        .op(op::kAdd2).op(op::kTrace);
    // A new clip at the same path: the old reference now means it.
    createClip(a, "c", 11);
    setMember(a, "c", "baz", num(7));
    traceMember(a, "baz ", "r", "baz");
    a.push({str("same clip "), str("r")}).op(op::kGetVariable).push(str("c")).op(op::kGetVariable).op(op::kEquals2)
        .op(op::kAdd2).op(op::kTrace);
    traceVariable(a, "now ", "r");
    EXPECT_EQ(play({sw::doAction(a.end()), sw::showFrame()}, 1),
              (Lines{"typeof movieclip", "as text []", "foo undefined", "typeof valueOf undefined", "bar undefined",
                     "equals undefined false", "baz 7", "same clip true", "now _level0.c"}));
}

TEST(ClipReferences, RemoveMovieClipKeepsAClipWithAnUnloadHandlerUntilItHasRun) {
    ActionWriter handler;
    traceMember(handler, "unload ", "this", "_name");
    traceMember(handler, "foo ", "this", "foo");
    ActionWriter a;
    createClip(a, "c", 10);
    a.push({str("r"), str("c")}).op(op::kGetVariable).op(op::kSetVariable);
    setMember(a, "r", "foo", num(5));
    a.push(str("c")).op(op::kGetVariable).push(str("onUnload")).defineFunction("", {}, handler).op(op::kSetMember);
    callMethod(a, "c", "removeMovieClip");
    // It waits below the scripts' depths while the handler is to come.
    traceMember(a, "after ", "r", "foo");
    a.push({str("depth "), num(0), str("r")}).op(op::kGetVariable).push(str("getDepth")).op(op::kCallMethod)
        .op(op::kAdd2).op(op::kTrace);
    ActionWriter next;
    traceMember(next, "next frame ", "r", "foo");
    EXPECT_EQ(play({sw::doAction(a.end()), sw::showFrame(), sw::doAction(next.end()), sw::showFrame()}, 2, 8, 2),
              (Lines{"after 5", "depth -32779", "unload c", "foo 5", "next frame undefined"}));
}

TEST(ClipReferences, AnAttachedButtonTakesNothingFromTheInitObject) {
    ActionWriter a;
    for (const auto& [symbol, name, depth] : {std::tuple{"button", "b", 5.0}, std::tuple{"sprite", "s", 6.0}}) {
        a.push({str("f"), num(56), num(1)}).op(op::kInitObject);
        a.push({num(depth), str(name), str(symbol), num(4)});
        a.push(str("_root")).op(op::kGetVariable).push(str("attachMovie")).op(op::kCallMethod).op(op::kPop);
        traceMember(a, std::string(name) + ".f ", name, "f");
    }
    sw::ButtonRecordSpec record;
    record.characterId = 1;
    const std::vector<sw::Bytes> tags{
        sw::rectangleShape(1, 0, 0, 200, 200, 0xff0000), sw::defineButton2(2, {record}, {}),
        sw::defineSprite(3, 1, {sw::showFrame()}), sw::exportAssets({{2, "button"}, {3, "sprite"}}),
        sw::doAction(a.end()), sw::showFrame()};
    EXPECT_EQ(play(tags, 1), (Lines{"b.f undefined", "s.f 56"}));
}
