// The pointer and the focus as scripts read them: the pointer in a clip's own space, clicks on text
// fields made by script, and the focused text's selection around the focus events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/avm1/vm.h"
#include "player/movie.h"
#include "player/player.h"
#include "tests/avm1/script_movie.h"

namespace sw = vistrel::testing;
using vistrel::avm1::Value;

namespace {

using Movie = sw::ScriptMovie;

Value recorder(Movie& m, std::vector<std::string>& log, const std::string& tag) {
    return Value(m.vm().makeFunction(QStringLiteral("f"), [&m, &log, tag](vistrel::avm1::Vm& vm, const Value&,
                                                                         std::span<const Value>) {
        // What the Selection object says while the handler runs.
        const Value selection = m.path("Selection");
        std::string line = tag;
        for (const char* getter : {"getBeginIndex", "getCaretIndex", "getEndIndex"})
            line += " " + vm.toString(m.call(selection, getter)).toStdString();
        log.push_back(line);
        return Value();
    }));
}

Value inputField(Movie& m, const char* name, int depth, int x, int y, const char* text) {
    m.call(m.root(), "createTextField", {Value(name), Value(depth), Value(x), Value(y), Value(100), Value(20)});
    Value f = m.get(m.root(), name);
    m.set(f, "type", Value("input"));
    m.set(f, "text", Value(text));
    return f;
}

std::vector<int> indexes(Movie& m) {
    const Value selection = m.path("Selection");
    return {static_cast<int>(m.num(m.call(selection, "getBeginIndex"))),
            static_cast<int>(m.num(m.call(selection, "getCaretIndex"))),
            static_cast<int>(m.num(m.call(selection, "getEndIndex")))};
}

}  // namespace

TEST(PointerRules, ClipPointerUsesAnInverseWithWholeTwipTranslation) {
    Movie m(8, sw::ActionWriter().end(), {}, 400, 400);
    m.call(m.root(), "createEmptyMovieClip", {Value("clip"), Value(1)});
    Value clip = m.get(m.root(), "clip");
    // 42 % at (364.3, 142.1): drawn at whole pixels, (364, 142).
    m.set(clip, "_x", Value(364.3));
    m.set(clip, "_y", Value(142.1));
    m.set(clip, "_xscale", Value(42));
    m.set(clip, "_yscale", Value(42));
    m.player->mouseMove(QPointF(308, 340));
    // A plain inverse gives -2666.67 and 9428.57 twips; the rounded translation -2666.33 and 9428.48.
    EXPECT_DOUBLE_EQ(m.num(m.get(clip, "_xmouse")), -133.3);
    EXPECT_DOUBLE_EQ(m.num(m.get(clip, "_ymouse")), 471.4);
    // Without a transform the pointer reads as it is.
    EXPECT_DOUBLE_EQ(m.num(m.get(m.root(), "_xmouse")), 308);
    EXPECT_DOUBLE_EQ(m.num(m.get(m.root(), "_ymouse")), 340);
}

TEST(PointerRules, ClickOnAFieldMadeByScriptFocusesItAndTypingFollows) {
    Movie m;
    std::vector<std::string> log;
    Value field = inputField(m, "field", 5, 40, 60, "");
    m.set(field, "onSetFocus", recorder(m, log, "set"));
    m.player->focusChanged(true);
    m.player->mouseMove(QPointF(90, 70));
    m.player->mouseDown(QPointF(90, 70));
    m.player->mouseUp(QPointF(90, 70));
    EXPECT_EQ(m.str(m.call(m.path("Selection"), "getFocus")), "_level0.field");
    EXPECT_EQ(log.size(), 1u);
    m.player->textInput(U'o');
    m.player->textInput(U'k');
    EXPECT_EQ(m.str(m.get(field, "text")), "ok");
    // A click beside the box takes the focus away again.
    m.player->mouseDown(QPointF(200, 200));
    m.player->mouseUp(QPointF(200, 200));
    EXPECT_TRUE(m.call(m.path("Selection"), "getFocus").isNull());
}

TEST(PointerRules, FocusEventsSeeNoSelectionThenTheWholeTextIsSelected) {
    Movie m;
    std::vector<std::string> log;
    Value a = inputField(m, "a", 1, 0, 0, "Hello world");
    Value b = inputField(m, "b", 2, 0, 40, "Other");
    m.set(a, "onSetFocus", recorder(m, log, "a set"));
    Value listener = m.object();
    m.set(listener, "onSetFocus", recorder(m, log, "listener"));
    m.call(m.path("Selection"), "addListener", {listener});
    Value selection = m.path("Selection");

    EXPECT_TRUE(m.vm().toBoolean(m.call(selection, "setFocus", {a})));
    EXPECT_EQ(log, (std::vector<std::string>{"a set -1 -1 -1", "listener -1 -1 -1"}));
    EXPECT_EQ(indexes(m), (std::vector<int>{0, 11, 11}));

    // A selection made before the focus moves is not what the field shows when it comes back.
    m.call(selection, "setSelection", {Value(1), Value(3)});
    EXPECT_EQ(indexes(m), (std::vector<int>{1, 3, 3}));
    m.call(selection, "setFocus", {b});
    m.call(selection, "setFocus", {a});
    EXPECT_EQ(log.back(), "listener -1 -1 -1");
    EXPECT_EQ(indexes(m), (std::vector<int>{0, 11, 11}));

    // The start alone keeps the caret; a missing end counts as 0; nothing at all changes nothing.
    m.call(selection, "setSelection", {Value(2)});
    EXPECT_EQ(indexes(m), (std::vector<int>{2, 11, 11}));
    m.call(selection, "setSelection");
    EXPECT_EQ(indexes(m), (std::vector<int>{2, 11, 11}));
    m.call(selection, "setSelection", {Value(4), Value()});
    EXPECT_EQ(indexes(m), (std::vector<int>{0, 0, 4}));
    m.call(selection, "setSelection", {Value(30), Value(-5)});
    EXPECT_EQ(indexes(m), (std::vector<int>{0, 0, 11}));
}

TEST(PointerRules, EveryPressOfAKeyOrMouseButtonTogglesItsCode) {
    Movie m;
    Value key = m.path("Key");
    auto toggled = [&](int code) { return m.vm().toBoolean(m.call(key, "isToggled", {Value(code)})); };
    m.player->keyDown({65, u'a'});
    EXPECT_TRUE(toggled(65));
    m.player->keyDown({65, u'a'});   // held: no second flip
    m.player->keyUp({65, u'a'});
    EXPECT_TRUE(toggled(65));
    m.player->keyDown({65, u'a'});
    m.player->keyUp({65, u'a'});
    EXPECT_FALSE(toggled(65));
    // The primary button is code 1.
    m.player->mouseDown(QPointF(10, 10));
    EXPECT_TRUE(toggled(1));
    m.player->mouseUp(QPointF(10, 10));
    m.player->mouseDown(QPointF(10, 10));
    EXPECT_FALSE(toggled(1));
    EXPECT_FALSE(toggled(-1));
    EXPECT_FALSE(toggled(300));
}

TEST(PointerRules, MouseButtonsAreKeysForKeyIsDown) {
    Movie m;
    Value key = m.path("Key");
    auto down = [&](int code) { return m.vm().toBoolean(m.call(key, "isDown", {Value(code)})); };
    m.player->mouseDown(QPointF(5, 5), vistrel::player::MouseButton::Middle);
    EXPECT_TRUE(down(4));
    EXPECT_FALSE(down(1));
    m.player->mouseUp(QPointF(5, 5), vistrel::player::MouseButton::Middle);
    EXPECT_FALSE(down(4));
    m.player->mouseDown(QPointF(5, 5));
    EXPECT_TRUE(down(1));
    m.player->mouseUp(QPointF(5, 5));
    EXPECT_FALSE(down(1));
}

namespace {

// trace(this + " " + text)
sw::Bytes traceThis(const std::string& text) {
    sw::ActionWriter a;
    a.push(sw::Push::str("this")).op(sw::op::kGetVariable).push(sw::Push::str(" " + text)).op(sw::op::kAdd2)
        .op(sw::op::kTrace);
    return a.end();
}

// A 100 x 100 pixel square (shape 1), button 2 showing it with press actions, button 3 showing
// button 2 in all its states with press actions of its own, placed at depth 1 as "outer".
sw::Bytes nestedButtons() {
    sw::Bytes tags = sw::rectangleShape(1, 0, 0, 2000, 2000, 0xff0000ff);
    const auto add = [&tags](const sw::Bytes& tag) { tags.insert(tags.end(), tag.begin(), tag.end()); };
    add(sw::defineButton2(2, {sw::ButtonRecordSpec{0x0f, 1, 1, {}}}, {{0x0004, traceThis("inner press")}}));
    add(sw::defineButton2(3, {sw::ButtonRecordSpec{0x0f, 2, 1, {}}}, {{0x0004, traceThis("outer press")}}));
    sw::PlaceSpec place;
    place.depth = 1;
    place.characterId = 3;
    place.name = "outer";
    add(sw::placeObject2(place, 8));
    return tags;
}

}  // namespace

TEST(PointerRules, AButtonInsideAnotherButtonTakesThePress) {
    Movie m(8, sw::ActionWriter().end(), nestedButtons());
    m.player->mouseMove(QPointF(50, 50));
    m.player->mouseDown(QPointF(50, 50));
    m.player->mouseUp(QPointF(50, 50));
    // The inner button's actions run on the clip that holds it: the outer button.
    EXPECT_EQ(m.lines, (std::vector<std::string>{"_level0.outer inner press"}));
}

TEST(PointerRules, DisabledClipIsNotHoveredUntilEnabled) {
    Movie m;
    std::vector<std::string> log;
    m.call(m.root(), "createEmptyMovieClip", {Value("clip"), Value(1)});
    Value clip = m.get(m.root(), "clip");
    m.call(clip, "beginFill", {Value(0xff0000)});
    m.call(clip, "moveTo", {Value(0), Value(0)});
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{100, 0}, {100, 100}, {0, 100}, {0, 0}})
        m.call(clip, "lineTo", {Value(x), Value(y)});
    m.call(clip, "endFill");
    m.set(clip, "onRollOver", recorder(m, log, "over"));
    m.set(clip, "onRollOut", recorder(m, log, "out"));
    m.set(clip, "enabled", Value(false));
    m.player->mouseMove(QPointF(50, 50));
    m.player->nextFrame();
    EXPECT_TRUE(log.empty());
    m.set(clip, "enabled", Value(true));
    m.player->mouseMove(QPointF(51, 50));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].substr(0, 4), "over");
    // Hovered, then disabled and enabled in place: no second roll-over.
    m.set(clip, "enabled", Value(false));
    m.player->nextFrame();
    m.set(clip, "enabled", Value(true));
    m.player->mouseMove(QPointF(52, 50));
    EXPECT_EQ(log.size(), 1u);
}

TEST(PointerRules, ClickOnAnInputTextThatCannotBeSelectedTakesTheFocusAway) {
    Movie m;
    Value a = inputField(m, "a", 1, 0, 0, "one");
    inputField(m, "b", 2, 0, 40, "two");
    m.set(m.get(m.root(), "b"), "selectable", Value(false));
    m.call(m.path("Selection"), "setFocus", {a});
    m.player->mouseDown(QPointF(10, 45));
    m.player->mouseUp(QPointF(10, 45));
    EXPECT_TRUE(m.call(m.path("Selection"), "getFocus").isNull());
    m.player->mouseDown(QPointF(10, 5));
    m.player->mouseUp(QPointF(10, 5));
    EXPECT_EQ(m.str(m.call(m.path("Selection"), "getFocus")), "_level0.a");
}

TEST(PointerRules, MorphBoundsStayAtTheStartShapeWhateverTheRatio) {
    // From 20 x 20 pixels to 100 x 50, placed at the end ratio.
    sw::Bytes lead = sw::morphRectangles(1, 0, 0, 400, 400, 0xff0000ff, 0, 0, 2000, 1000, 0x00ff00ff);
    sw::PlaceSpec place;
    place.depth = 1;
    place.characterId = 1;
    place.ratio = 65535;
    place.name = "m";
    const sw::Bytes placed = sw::placeObject2(place, 8);
    lead.insert(lead.end(), placed.begin(), placed.end());
    Movie m(8, sw::ActionWriter().end(), lead);
    Value morph = m.get(m.root(), "m");
    EXPECT_DOUBLE_EQ(m.num(m.get(morph, "_width")), 20);
    EXPECT_DOUBLE_EQ(m.num(m.get(m.call(morph, "getBounds"), "xMax")), 20);
    // The bounds test misses what the shape test finds where the morph has grown.
    EXPECT_FALSE(m.vm().toBoolean(m.call(morph, "hitTest", {Value(60), Value(30)})));
    EXPECT_TRUE(m.vm().toBoolean(m.call(morph, "hitTest", {Value(60), Value(30), Value(true)})));
}

TEST(PointerRules, MorphShapesAnswerTheShapeTestByTheirFillsAlone) {
    // The same 20 x 20 pixel square twice, each with a 20 pixel wide stroke: once as a morph at its
    // end ratio, once as a plain shape.
    sw::Bytes lead = sw::morphRectangles(1, 0, 0, 400, 400, 0xff0000ff, 0, 0, 400, 400, 0xff0000ff, 20, 400);
    sw::ShapeBuilder plain;
    sw::LineSpec wide;
    wide.width = 400;
    plain.fill(sw::FillSpec::solid(0xff0000ff)).line(wide).style(std::nullopt, 1, 1);
    plain.rect(0, 0, 400, 400);
    const sw::Bytes shape = plain.build(1, 2, -200, 600, -200, 600);
    lead.insert(lead.end(), shape.begin(), shape.end());
    for (const auto& [id, name, x] : {std::tuple<std::uint16_t, const char*, std::int32_t>{1, "m", 2000},
                                      {2, "s", 4000}}) {
        sw::PlaceSpec place;
        place.depth = id;
        place.characterId = id;
        place.matrix = sw::MatrixSpec::translate(x, 2000);
        if (id == 1) place.ratio = 65535;
        place.name = name;
        const sw::Bytes placed = sw::placeObject2(place, 8);
        lead.insert(lead.end(), placed.begin(), placed.end());
    }
    Movie m(8, sw::ActionWriter().end(), lead);
    auto shapeHit = [&m](const char* name, int x, int y) {
        return m.vm().toBoolean(m.call(m.get(m.root(), name), "hitTest", {Value(x), Value(y), Value(true)}));
    };
    // Inside the fill both answer; 5 pixels outside, within the stroke, only the plain shape does.
    EXPECT_TRUE(shapeHit("m", 110, 110));
    EXPECT_TRUE(shapeHit("s", 210, 110));
    EXPECT_FALSE(shapeHit("m", 95, 110));
    EXPECT_FALSE(shapeHit("m", 110, 125));
    EXPECT_TRUE(shapeHit("s", 195, 110));
    EXPECT_TRUE(shapeHit("s", 210, 125));
    EXPECT_FALSE(shapeHit("s", 185, 110));
}

TEST(PointerRules, HitTestReadsPointsInTheRootsSpaceAndTargetsAsPaths) {
    Movie m;
    for (const char* name : {"a", "b"}) {
        m.call(m.root(), "createEmptyMovieClip", {Value(name), Value(name[0] == 'a' ? 1 : 2)});
        Value clip = m.get(m.root(), name);
        m.call(clip, "beginFill", {Value(0)});
        m.call(clip, "moveTo", {Value(0), Value(0)});
        for (const auto& [x, y] : std::vector<std::pair<int, int>>{{10, 0}, {10, 10}, {0, 10}, {0, 0}})
            m.call(clip, "lineTo", {Value(x), Value(y)});
        m.call(clip, "endFill");
    }
    Value a = m.get(m.root(), "a"), b = m.get(m.root(), "b");
    m.set(b, "_x", Value(5));
    auto hit = [&](const Value& clip, std::initializer_list<Value> args) {
        return m.vm().toBoolean(m.call(clip, "hitTest", args));
    };
    EXPECT_TRUE(hit(a, {Value("_root.b")}));
    EXPECT_FALSE(hit(a, {Value("b")}));   // read from a: a has no child b
    EXPECT_TRUE(hit(a, {Value("../b")}));
    EXPECT_TRUE(hit(a, {Value("/")}));
    EXPECT_FALSE(hit(a, {Value("")}));
    EXPECT_FALSE(hit(a, {Value("nothing")}));
    // Moving the root moves the clips on the stage, and the point with them.
    EXPECT_TRUE(hit(a, {Value(5), Value(5)}));
    m.set(m.root(), "_x", Value(100));
    EXPECT_TRUE(hit(a, {Value(5), Value(5)}));
    EXPECT_FALSE(hit(a, {Value(105), Value(5)}));
}

TEST(PointerRules, APointNeverHitsAClipWithNothingInIt) {
    Movie m;
    auto make = [&](const char* name, int depth) {
        m.call(m.root(), "createEmptyMovieClip", {Value(name), Value(depth)});
        return m.get(m.root(), name);
    };
    auto hit = [&](const Value& clip, double x, double y) {
        return m.vm().toBoolean(m.call(clip, "hitTest", {Value(x), Value(y)}));
    };
    Value bare = make("bare", 1);
    EXPECT_FALSE(hit(bare, 0, 0));
    m.set(bare, "_x", Value(100));
    m.set(bare, "_y", Value(100));
    EXPECT_FALSE(hit(bare, 100, 100));
    // Empty children, a pen moved but never drawn and a fill begun and ended on nothing add no area.
    Value nest = make("nest", 2);
    m.call(nest, "createEmptyMovieClip", {Value("inner"), Value(1)});
    EXPECT_FALSE(hit(nest, 0, 0));
    Value pen = make("pen", 3);
    m.call(pen, "moveTo", {Value(30), Value(30)});
    EXPECT_FALSE(hit(pen, 0, 0));
    EXPECT_FALSE(hit(pen, 30, 30));
    Value fill = make("fill", 4);
    m.call(fill, "beginFill", {Value(0xff0000)});
    m.call(fill, "endFill");
    EXPECT_FALSE(hit(fill, 0, 0));
    // A drawn line has no height, yet it is there to be hit.
    Value line = make("line", 5);
    m.call(line, "lineStyle", {Value(1), Value(0), Value(100)});
    m.call(line, "moveTo", {Value(10), Value(50)});
    m.call(line, "lineTo", {Value(90), Value(50)});
    EXPECT_TRUE(hit(line, 50, 50));
    EXPECT_FALSE(hit(line, 50, 52));
    // Once something is drawn into the empty clip it is hit like any other.
    m.call(bare, "beginFill", {Value(0)});
    m.call(bare, "moveTo", {Value(0), Value(0)});
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{10, 0}, {10, 10}, {0, 10}, {0, 0}})
        m.call(bare, "lineTo", {Value(x), Value(y)});
    m.call(bare, "endFill");
    EXPECT_TRUE(hit(bare, 105, 105));
    EXPECT_FALSE(hit(bare, 100 + 15, 105));
}

TEST(PointerRules, GetBoundsTakesItsSpaceAsAClipOrATargetPath) {
    Movie m;
    m.call(m.root(), "createEmptyMovieClip", {Value("d"), Value(1)});
    m.call(m.root(), "createEmptyMovieClip", {Value("b"), Value(2)});
    Value d = m.get(m.root(), "d"), b = m.get(m.root(), "b");
    m.call(d, "beginFill", {Value(0)});
    m.call(d, "moveTo", {Value(0), Value(0)});
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{10, 0}, {10, 10}, {0, 10}, {0, 0}})
        m.call(d, "lineTo", {Value(x), Value(y)});
    m.call(d, "endFill");
    m.set(d, "_x", Value(50));
    m.set(b, "_x", Value(20));
    auto side = [&](std::initializer_list<Value> args, const char* name) {
        return m.get(m.call(d, "getBounds", args), name);
    };
    EXPECT_DOUBLE_EQ(m.num(side({m.root()}, "xMin")), 50);
    EXPECT_DOUBLE_EQ(m.num(side({Value("_root")}, "xMin")), 50);
    EXPECT_DOUBLE_EQ(m.num(side({Value("_root")}, "xMax")), 60);
    EXPECT_DOUBLE_EQ(m.num(side({Value("_root.b")}, "xMin")), 30);
    EXPECT_DOUBLE_EQ(m.num(side({Value("../b")}, "xMax")), 40);   // read from d
    EXPECT_DOUBLE_EQ(m.num(side({}, "xMin")), 0);
    // Paths that name nothing, and a missing space, give no bounds at all.
    for (const Value& none : {Value(""), Value("nosuch"), Value(5), Value()})
        EXPECT_TRUE(m.call(d, "getBounds", {none}).isUndefined());
}

TEST(PointerRules, StartDragTakesTheClipFromTheTimelineEvenBeforeItMoves) {
    // Frame 1 places an empty sprite as "clip" and drags it; frame 2 moves it to (200, 200).
    sw::ActionWriter drag;
    drag.push({sw::Push::boolean(true), sw::Push::integer(1), sw::Push::str("clip")}).op(sw::op::kGetVariable)
        .push(sw::Push::str("startDrag")).op(sw::op::kCallMethod).op(sw::op::kPop);
    sw::ActionWriter check;
    check.push(sw::Push::str("clip")).op(sw::op::kGetVariable).push(sw::Push::str("_x")).op(sw::op::kGetMember)
        .op(sw::op::kTrace).op(sw::op::kStop);
    sw::PlaceSpec place;
    place.depth = 1;
    place.characterId = 1;
    place.name = "clip";
    sw::PlaceSpec move;
    move.depth = 1;
    move.move = true;
    move.matrix = sw::MatrixSpec::translate(4000, 4000);
    sw::MovieSpec spec;
    spec.version = 8;
    spec.frameCount = 2;
    const auto movie = vistrel::player::Movie::fromBytes(sw::movie(
        spec, {sw::defineSprite(1, 1, {sw::showFrame()}), sw::placeObject2(place, 8), sw::doAction(drag.end()),
               sw::showFrame(), sw::placeObject2(move, 8), sw::doAction(check.end()), sw::showFrame()}));
    std::vector<std::string> lines;
    vistrel::player::Player player(movie, [&lines](const QString& l) { lines.push_back(l.toStdString()); });
    player.nextFrame();
    EXPECT_EQ(lines, (std::vector<std::string>{"0"}));
}
