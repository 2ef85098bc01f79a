// The pointer driven through the Player: button states and condition actions, clips with pointer
// handlers and clip events, Mouse listeners, dragging, the cursor, and movies that misbehave in handlers.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "player/display_list.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/stage.h"
#include "player/swf/tags_action.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
namespace op = vistrel::testing::op;
namespace ce = vistrel::swf::clipevent;
namespace bc = vistrel::swf::buttoncond;
using sw::Push;
using Lines = std::vector<std::string>;

namespace {

Push str(const std::string& s) { return Push::str(s); }
Push num(double v) { return Push::dbl(v); }

sw::Bytes traceCode(const std::string& text) { return sw::ActionWriter().push(str(text)).op(op::kTrace).end(); }

// clip.name = function () { trace(text); }
void setTracingMethod(sw::ActionWriter& a, const std::string& clip, const std::string& name, const std::string& text) {
    sw::ActionWriter body;
    body.push(str(text)).op(op::kTrace);
    a.push(str(clip)).op(op::kGetVariable).push(str(name)).defineFunction("", {}, body).op(op::kSetMember);
}

void setMember(sw::ActionWriter& a, const std::string& clip, const std::string& name, const Push& value) {
    a.push(str(clip)).op(op::kGetVariable).push(str(name)).push(value).op(op::kSetMember);
}

struct Played {
    explicit Played(const std::vector<sw::Bytes>& tags, int version = 10) {
        sw::MovieSpec spec;
        spec.version = version;
        spec.widthTwips = 400 * 20;
        spec.heightTwips = 200 * 20;
        auto movie = vp::Movie::fromBytes(sw::movie(spec, tags));
        player = std::make_unique<vp::Player>(movie, [this](const QString& l) { lines.push_back(l.toStdString()); });
    }
    Lines take() { return std::exchange(lines, {}); }
    vp::DisplayObject* child(int depth) { return player->stage().root().childAt(depth); }
    std::unique_ptr<vp::Player> player;
    Lines lines;
};

// A button whose hit area is two 50 px squares with a 50 px gap; its up, over and down states each show
// their own shape. Every condition traces its name.
std::vector<sw::Bytes> buttonMovie(bool trackAsMenu = false) {
    std::vector<sw::ButtonRecordSpec> records = {
        {.states = 1, .characterId = 1, .depth = 1},
        {.states = 2, .characterId = 2, .depth = 1},
        {.states = 4, .characterId = 3, .depth = 1},
        {.states = 8, .characterId = 1, .depth = 2},
        {.states = 8, .characterId = 1, .depth = 3, .matrix = sw::MatrixSpec::translate(2000, 0)},
    };
    const std::pair<std::uint16_t, const char*> conditions[] = {
        {bc::kIdleToOverUp, "rollOver"},        {bc::kOverUpToIdle, "rollOut"},
        {bc::kOverUpToOverDown, "press"},       {bc::kOverDownToOverUp, "release"},
        {bc::kOverDownToOutDown, "dragOut"},    {bc::kOutDownToOverDown, "dragOver"},
        {bc::kOutDownToIdle, "releaseOutside"}, {bc::kIdleToOverDown, "menuDragOver"},
        {bc::kOverDownToIdle, "menuDragOut"},
    };
    std::vector<sw::ButtonActionSpec> actions;
    for (const auto& [condition, name] : conditions) actions.push_back({condition, traceCode(name)});
    return {sw::rectangleShape(1, 0, 0, 1000, 1000, 0xff0000ff), sw::rectangleShape(2, 0, 0, 1000, 1000, 0x00ff00ff),
            sw::rectangleShape(3, 0, 0, 1000, 1000, 0x0000ffff),
            sw::defineButton2(10, records, actions, trackAsMenu),
            sw::placeObject2({.depth = 1, .characterId = 10, .name = std::string("btn")}), sw::showFrame()};
}

std::uint16_t shownShape(vp::DisplayObject* button) {
    if (!button || !button->sprite) return 0;
    const vp::DisplayObject* shape = button->sprite->childAt(1);
    return shape ? shape->characterId : 0;
}

// A sprite (id 5) holding a 50 px square, placed at `x` px on `depth` as `name`, with the given clip events.
std::vector<sw::Bytes> squareClip(int depth, int x, const std::string& name,
                                  std::vector<sw::ClipActionSpec> events = {}) {
    return {sw::placeObject2({.depth = static_cast<std::uint16_t>(depth), .characterId = 5,
                              .matrix = sw::MatrixSpec::translate(x * 20, 0), .name = name,
                              .clipActions = std::move(events)})};
}

std::vector<sw::Bytes> withSquareSprite(std::vector<sw::Bytes> rest) {
    std::vector<sw::Bytes> tags = {sw::rectangleShape(4, 0, 0, 1000, 1000, 0xff00ffff),
                                   sw::defineSprite(5, 1, {sw::placeObject2({.depth = 1, .characterId = 4}), sw::showFrame()})};
    tags.insert(tags.end(), rest.begin(), rest.end());
    return tags;
}

}  // namespace

TEST(MouseButtons, StatesFollowThePointerAndEveryConditionRunsItsActions) {
    Played m(buttonMovie());
    vp::Player& p = *m.player;
    vp::DisplayObject* button = m.child(1);
    ASSERT_TRUE(button);
    EXPECT_EQ(shownShape(button), 1);

    p.mouseMove({75, 25});   // in the gap between the hit squares: the real shapes, not their bounds
    EXPECT_TRUE(m.take().empty());
    EXPECT_EQ(p.cursor(), vp::Cursor::Arrow);

    p.mouseMove({25, 25});
    EXPECT_EQ(m.take(), Lines{"rollOver"});
    EXPECT_EQ(shownShape(button), 2);
    EXPECT_EQ(p.cursor(), vp::Cursor::Hand);

    p.mouseDown({25, 25});
    EXPECT_EQ(m.take(), Lines{"press"});
    EXPECT_EQ(shownShape(button), 3);
    p.mouseMove({75, 25});
    EXPECT_EQ(m.take(), Lines{"dragOut"});
    p.mouseMove({125, 25});   // the second hit square
    EXPECT_EQ(m.take(), Lines{"dragOver"});
    EXPECT_EQ(shownShape(button), 3);
    p.mouseUp({125, 25});
    EXPECT_EQ(m.take(), Lines{"release"});
    EXPECT_EQ(shownShape(button), 2);

    p.mouseMove({300, 100});
    EXPECT_EQ(m.take(), Lines{"rollOut"});
    EXPECT_EQ(shownShape(button), 1);

    p.mouseMove({25, 25});
    p.mouseDown({25, 25});
    p.mouseMove({300, 100});
    p.mouseUp({300, 100});
    EXPECT_EQ(m.take(), (Lines{"rollOver", "press", "dragOut", "releaseOutside"}));
    EXPECT_EQ(shownShape(button), 1);
}

TEST(MouseButtons, MenuButtonsTakeAReleaseDraggedOntoThem) {
    Played m(buttonMovie(true));
    vp::Player& p = *m.player;
    p.mouseMove({25, 25});
    p.mouseDown({25, 25});
    p.mouseMove({75, 25});
    p.mouseMove({125, 25});
    p.mouseUp({125, 25});
    EXPECT_EQ(m.take(), (Lines{"rollOver", "press", "menuDragOut", "menuDragOver", "release"}));
}

TEST(MouseButtons, CancellingCaptureLeavesNoButtonDownAndRunsNoRelease) {
    Played m(buttonMovie());
    vp::Player& p = *m.player;
    p.mouseMove({25, 25});
    p.mouseDown({25, 25});
    m.take();
    p.cancelPointerCapture();
    EXPECT_EQ(shownShape(m.child(1)), 2);   // over, not down: the pointer still stands on it
    p.mouseUp({25, 25});
    EXPECT_TRUE(m.take().empty());
}

TEST(MouseClips, ClipEventsReachEveryClipBeforeTheTargetGetsItsHandler) {
    sw::ActionWriter a;
    setTracingMethod(a, "a", "onPress", "a.onPress");
    setTracingMethod(a, "a", "onRelease", "a.onRelease");
    setTracingMethod(a, "a", "onRollOut", "a.onRollOut");
    setTracingMethod(a, "b", "onMouseDown", "b.onMouseDown");
    // A Mouse listener: l = {}; l.onMouseUp = ...; Mouse.addListener(l)
    a.push({str("l"), num(0)}).op(op::kInitObject).op(op::kSetVariable);
    setTracingMethod(a, "l", "onMouseUp", "listener.onMouseUp");
    a.push(str("l")).op(op::kGetVariable).push({num(1), str("Mouse")}).op(op::kGetVariable);
    a.push(str("addListener")).op(op::kCallMethod).op(op::kPop);
    std::vector<sw::Bytes> rest = squareClip(1, 0, "a", {{.events = ce::kMouseDown, .bytes = traceCode("a.mouseDown")},
                                                         {.events = ce::kMouseUp, .bytes = traceCode("a.mouseUp")}});
    auto second = squareClip(2, 200, "b");
    rest.insert(rest.end(), second.begin(), second.end());
    rest.push_back(sw::doAction(a.end()));
    rest.push_back(sw::showFrame());
    Played m(withSquareSprite(rest));
    vp::Player& p = *m.player;
    p.mouseMove({10, 10});
    EXPECT_EQ(p.cursor(), vp::Cursor::Hand);
    m.take();
    p.mouseDown({10, 10});
    p.mouseUp({10, 10});
    EXPECT_EQ(m.take(), (Lines{"b.onMouseDown", "a.mouseDown", "a.onPress", "a.mouseUp", "listener.onMouseUp",
                               "a.onRelease"}));
    p.mouseMove({300, 150});
    EXPECT_EQ(m.take(), Lines{"a.onRollOut"});
    // b only listens: it takes no press and shows no hand.
    p.mouseMove({210, 10});
    EXPECT_EQ(p.cursor(), vp::Cursor::Arrow);
    p.mouseDown({210, 10});
    EXPECT_EQ(m.take(), (Lines{"b.onMouseDown", "a.mouseDown"}));
}

TEST(MouseClips, DisabledHiddenAndHandlessClips) {
    sw::ActionWriter a;
    setTracingMethod(a, "a", "onPress", "a.onPress");
    setTracingMethod(a, "b", "onPress", "b.onPress");
    setMember(a, "a", "enabled", Push::boolean(false));
    setMember(a, "b", "useHandCursor", Push::boolean(false));
    auto rest = squareClip(1, 0, "a");
    auto second = squareClip(2, 200, "b");
    rest.insert(rest.end(), second.begin(), second.end());
    rest.push_back(sw::doAction(a.end()));
    rest.push_back(sw::showFrame());
    Played m(withSquareSprite(rest));
    vp::Player& p = *m.player;
    p.mouseMove({10, 10});
    EXPECT_EQ(p.cursor(), vp::Cursor::Arrow);
    p.mouseDown({10, 10});
    p.mouseUp({10, 10});
    EXPECT_TRUE(m.take().empty());
    p.mouseMove({210, 10});
    EXPECT_EQ(p.cursor(), vp::Cursor::Arrow);
    p.mouseDown({210, 10});
    EXPECT_EQ(m.take(), Lines{"b.onPress"});
    p.mouseUp({210, 10});
    m.child(2)->visible = false;
    p.mouseDown({210, 10});
    EXPECT_TRUE(m.take().empty());
}

TEST(MouseDrag, LockedCentreBoundsDropTargetAndMousePosition) {
    sw::ActionWriter a;
    // a.startDrag(true, 0, 0, 100, 50)
    a.push({num(50), num(100), num(0), num(0), Push::boolean(true), num(5), str("a")}).op(op::kGetVariable);
    a.push(str("startDrag")).op(op::kCallMethod).op(op::kPop);
    auto rest = squareClip(1, 0, "a");
    auto target = squareClip(2, 300, "target");
    rest.insert(rest.begin(), target.begin(), target.end());
    rest.push_back(sw::doAction(a.end()));
    rest.push_back(sw::showFrame());
    Played m(withSquareSprite(rest));
    vp::Player& p = *m.player;
    vp::DisplayObject* dragged = m.child(1);
    ASSERT_TRUE(dragged);
    p.mouseMove({60, 30});
    EXPECT_EQ(dragged->matrix.tx, 60 * 20);
    EXPECT_EQ(dragged->matrix.ty, 30 * 20);
    p.mouseMove({380, 190});   // past the bounds: held at their corner
    EXPECT_EQ(dragged->matrix.tx, 100 * 20);
    EXPECT_EQ(dragged->matrix.ty, 50 * 20);
    p.mouseMove({310, 10});
    vp::Stage& stage = p.stage();
    // stopDrag from a script, then read _droptarget and _xmouse.
    sw::ActionWriter stop;
    stop.push({num(0), str("a")}).op(op::kGetVariable).push(str("stopDrag")).op(op::kCallMethod).op(op::kPop);
    stop.push(str("a")).op(op::kGetVariable).push(str("_droptarget")).op(op::kGetMember).op(op::kTrace);
    stop.push(str("target")).op(op::kGetVariable).push(str("_xmouse")).op(op::kGetMember).op(op::kTrace);
    stage.queueActions(stage.rootObject(), vistrel::swf::makeActionBytes(stop.end()));
    stage.runQueue();
    EXPECT_EQ(m.take(), (Lines{"/target", "10"}));
    p.mouseMove({0, 0});
    EXPECT_EQ(dragged->matrix.tx, 100 * 20);   // no longer dragged
}

TEST(MouseRobustness, HandlersThatRemoveTheirClipOrThrowAndFloodsOfEvents) {
    sw::ActionWriter a;
    // a.duplicateMovieClip("b", 1): b sits above a, in the scripts' depths, where removeMovieClip works.
    a.push({num(1), str("b"), num(2), str("a")}).op(op::kGetVariable);
    a.push(str("duplicateMovieClip")).op(op::kCallMethod).op(op::kPop);
    // b.onPress = function () { this.removeMovieClip(); trace("gone"); }
    sw::ActionWriter body;
    body.push({num(0), str("this")}).op(op::kGetVariable).push(str("removeMovieClip")).op(op::kCallMethod).op(op::kPop);
    body.push(str("gone")).op(op::kTrace);
    a.push(str("b")).op(op::kGetVariable).push(str("onPress")).defineFunction("", {}, body).op(op::kSetMember);
    setTracingMethod(a, "b", "onRelease", "released");
    setTracingMethod(a, "b", "onReleaseOutside", "releasedOutside");
    // a.onRollOver throws.
    sw::ActionWriter thrower;
    thrower.push(str("boom")).op(op::kThrow);
    a.push(str("a")).op(op::kGetVariable).push(str("onRollOver")).defineFunction("", {}, thrower).op(op::kSetMember);
    auto rest = squareClip(1, 0, "a");
    rest.push_back(sw::doAction(a.end()));
    rest.push_back(sw::showFrame());
    Played m(withSquareSprite(rest));
    vp::Player& p = *m.player;
    p.mouseMove({10, 10});
    p.mouseDown({10, 10});
    p.mouseUp({10, 10});
    // The press removed its clip; the release goes nowhere, and the clip beneath rolls over (and throws).
    EXPECT_EQ(m.take(), (Lines{"gone", "Warning: Uncaught exception, boom"}));
    for (int i = 0; i < 10000; ++i) p.mouseMove({static_cast<double>(i % 400), static_cast<double>(i % 200)});
    p.mouseMove({1e300, -1e300});
    p.mouseMove({std::numeric_limits<double>::quiet_NaN(), 5});
    p.mouseWheel({10, 10}, 3);
    p.mouseLeave();
    p.nextFrame();
    EXPECT_EQ(p.cursor(), vp::Cursor::Arrow);
}

TEST(MouseRobustness, ButtonsWithoutHitAreasOrWithThemselvesAsHitArea) {
    std::vector<sw::ButtonRecordSpec> none = {{.states = 1, .characterId = 1, .depth = 1}};
    std::vector<sw::ButtonRecordSpec> self = {{.states = 1, .characterId = 1, .depth = 1},
                                              {.states = 8, .characterId = 11, .depth = 2}};
    Played m({sw::rectangleShape(1, 0, 0, 1000, 1000, 0xff0000ff),
              sw::defineButton2(10, none, {{bc::kOverUpToOverDown, traceCode("pressed")}}),
              sw::defineButton2(11, self, {{bc::kOverUpToOverDown, traceCode("pressed")}}),
              sw::placeObject2({.depth = 1, .characterId = 10}),
              sw::placeObject2({.depth = 2, .characterId = 11, .matrix = sw::MatrixSpec::translate(2000, 0)}),
              sw::showFrame()});
    vp::Player& p = *m.player;
    for (double x : {10.0, 110.0}) {
        p.mouseMove({x, 10});
        p.mouseDown({x, 10});
        p.mouseUp({x, 10});
    }
    EXPECT_TRUE(m.take().empty());
}
