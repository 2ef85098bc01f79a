// The stage: in which order timelines move, events fire and frame scripts run, what a goto keeps, and
// how a runaway script is stopped. Movies are written here and their trace() output compared.
#include <gtest/gtest.h>

#include <QStringList>

#include "player/movie.h"
#include "player/avm1/vm.h"
#include "player/player.h"
#include "player/stage.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::ActionWriter;
using sw::Push;

namespace {

// trace(text)
sw::Bytes traceText(const std::string& text) {
    ActionWriter a;
    a.push(Push::str(text)).op(sw::op::kTrace);
    return a.end();
}

struct Run {
    std::shared_ptr<vp::Movie> movie;
    QStringList lines;
    std::unique_ptr<vp::Player> player;
};

std::unique_ptr<Run> play(const sw::Bytes& bytes) {
    auto run = std::make_unique<Run>();
    run->movie = vp::Movie::fromBytes(bytes);
    run->player = std::make_unique<vp::Player>(run->movie, [r = run.get()](const QString& line) { r->lines << line; });
    return run;
}

// A sprite whose frames trace "<name> <frame>".
sw::Bytes tracingSprite(std::uint16_t id, const std::string& name, int frames) {
    std::vector<sw::Bytes> tags;
    for (int f = 1; f <= frames; ++f) {
        tags.push_back(sw::doAction(traceText(name + " " + std::to_string(f))));
        tags.push_back(sw::showFrame());
    }
    return sw::defineSprite(id, static_cast<std::uint16_t>(frames), tags);
}

}  // namespace

// Newer timelines run first: a child placed by the root runs its later frames before the root's, and
// of two siblings the one placed later goes first.
TEST(StageOrder, NewerTimelinesRunFirst) {
    auto run = play(sw::movie({.frameCount = 3},
                              {tracingSprite(1, "a", 3), tracingSprite(2, "b", 3),
                               sw::doAction(traceText("root 1")), sw::placeObject2({.depth = 1, .characterId = 1}),
                               sw::placeObject2({.depth = 2, .characterId = 2}), sw::showFrame(),
                               sw::doAction(traceText("root 2")), sw::showFrame(), sw::showFrame()}));
    run->player->nextFrame();
    EXPECT_EQ(run->lines, QStringList({"root 1", "a 1", "b 1", "b 2", "a 2", "root 2"}));
}

// Clip events of a placed sprite: initialize before anything queued, construct next, then the frame's
// own script, then load and the sprite's first frame.
TEST(StageOrder, ClipEventsOfAPlacedSprite) {
    using namespace vistrel::swf::clipevent;
    sw::PlaceSpec place{.depth = 1, .characterId = 1};
    place.clipActions = {{kLoad, 0, traceText("load")}, {kInitialize, 0, traceText("initialize")},
                         {kConstruct, 0, traceText("construct")}, {kEnterFrame, 0, traceText("enterFrame")}};
    auto run = play(sw::movie({.frameCount = 2},
                              {tracingSprite(1, "clip", 1), sw::doAction(traceText("root")), sw::placeObject2(place, 7),
                               sw::showFrame(), sw::showFrame()}));
    EXPECT_EQ(run->lines, QStringList({"initialize", "construct", "root", "load", "clip 1"}));
    run->player->nextFrame();
    EXPECT_EQ(run->lines.mid(5), QStringList({"enterFrame"}));
}

// Going back keeps what a script set on an object that is on both frames, and clips made by scripts.
TEST(StageGoto, BackKeepsScriptChangesAndScriptClips) {
    ActionWriter make;
    // _root.createEmptyMovieClip("made", 5);
    make.push({Push::integer(5), Push::str("made"), Push::integer(2), Push::str("_root")}).op(sw::op::kGetVariable);
    make.push(Push::str("createEmptyMovieClip")).op(sw::op::kCallMethod).op(sw::op::kPop);
    ActionWriter move;
    // setProperty("clip", _x, 77);
    move.push({Push::str("clip"), Push::integer(0), Push::integer(77)}).op(sw::op::kSetProperty);
    ActionWriter report;
    // trace(clip._x); trace(typeof(made));
    report.push({Push::str("clip")}).op(sw::op::kGetVariable).push(Push::str("_x")).op(sw::op::kGetMember).op(sw::op::kTrace);
    report.push({Push::str("made")}).op(sw::op::kGetVariable).op(sw::op::kTypeOf).op(sw::op::kTrace);
    // Frame 2's script moves the clip; going back to frame 1 and forward to 3 skips it.
    auto run = play(sw::movie({.frameCount = 3},
                              {tracingSprite(1, "clip", 1),
                               sw::placeObject2({.depth = 1, .characterId = 1, .name = "clip"}),
                               sw::doAction(make.end()), sw::showFrame(), sw::doAction(move.end()), sw::showFrame(),
                               sw::doAction(report.end()), sw::showFrame()}));
    run->player->nextFrame();
    run->player->nextFrame();
    run->player->gotoFrame(3);
    run->lines.clear();
    run->player->gotoFrame(1);
    run->player->gotoFrame(3);
    EXPECT_EQ(run->lines, QStringList({"77", "movieclip"}));
}

// A frame script that never ends is stopped and reported once, however often it runs; the movie goes on.
TEST(StageLimits, EndlessScriptIsStoppedAndReportedOnce) {
    ActionWriter loop;
    loop.label("top").jump("top");
    auto movie = vp::Movie::fromBytes(sw::movie({.frameCount = 3},
                                                {sw::doAction(traceText("one")), sw::showFrame(),
                                                 sw::doAction(loop.end()), sw::showFrame(),
                                                 sw::doAction(traceText("after")), sw::showFrame()}));
    QStringList lines;
    vp::Player player(movie, [&](const QString& line) { lines << line; });
    player.stage().vm()->setTimeLimitMs(200);
    player.nextFrame();
    player.gotoFrame(1);
    player.gotoFrame(2);
    const std::vector<QString> messages = player.takeScriptMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].contains("stopped"));
    EXPECT_TRUE(player.takeScriptMessages().empty());
    player.nextFrame();
    EXPECT_EQ(lines, QStringList({"one", "one", "after"}));
}

namespace {

// new Date().getTime(), left on the stack.
void pushDateNow(ActionWriter& a) {
    a.push(Push::integer(0)).push({Push::integer(0), Push::str("Date")}).op(sw::op::kNewObject);
    a.push(Push::str("getTime")).op(sw::op::kCallMethod);
}

// A movie of `frames` frames at `rate` frames a second, each running `script`.
std::shared_ptr<vp::Movie> everyFrame(double rate, int frames, const ActionWriter& firstFrame, const ActionWriter& script) {
    std::vector<sw::Bytes> tags{sw::doAction(ActionWriter(firstFrame).end()), sw::showFrame()};
    for (int f = 2; f <= frames; ++f) {
        tags.push_back(sw::doAction(ActionWriter(script).end()));
        tags.push_back(sw::showFrame());
    }
    return vp::Movie::fromBytes(sw::movie({.frameRate = rate, .frameCount = static_cast<std::uint16_t>(frames)}, tags));
}

}  // namespace

// getTimer() counts frame periods: one has passed when the first frame runs, and the count stays exact
// however many frames go by (at 120 frames a second the twelfth frame is at 100 ms, not 99).
TEST(StageClock, GetTimerCountsWholeFramePeriodsFromTheFirstFrame) {
    ActionWriter now;
    now.op(sw::op::kGetTime).op(sw::op::kTrace);
    QStringList lines;
    vp::Player player(everyFrame(120, 13, now, now), [&](const QString& line) { lines << line; });
    for (int i = 1; i < 13; ++i) player.nextFrame();
    EXPECT_EQ(lines, QStringList({"8", "16", "25", "33", "41", "50", "58", "66", "75", "83", "91", "100", "108"}));

    QStringList slow;
    vp::Player seven(everyFrame(7, 2, now, now), [&](const QString& line) { slow << line; });
    seven.nextFrame();
    EXPECT_EQ(slow, QStringList({"142", "285"}));
}

// Date() reads the wall clock while a viewer plays; played headless it follows the frames, so a movie
// timing its motion by Date moves as it would at its own pace however fast the frames are made.
TEST(StageClock, DatesFollowTheFramesOnlyWhenAskedTo) {
    ActionWriter start, elapsed;
    start.push(Push::str("t0"));
    pushDateNow(start);
    start.op(sw::op::kSetVariable);
    pushDateNow(elapsed);
    elapsed.push(Push::str("t0")).op(sw::op::kGetVariable).op(sw::op::kSubtract).op(sw::op::kTrace);
    QStringList lines;
    vp::Player headless(everyFrame(10, 4, start, elapsed), [&](const QString& line) { lines << line; },
                        vp::DateClock::Frames);
    for (int i = 1; i < 4; ++i) headless.nextFrame();
    EXPECT_EQ(lines, QStringList({"100", "200", "300"}));

    ActionWriter stamp;
    pushDateNow(stamp);
    stamp.op(sw::op::kTrace);
    QStringList stamps;
    const double before = vistrel::avm1::wallClockMs();
    vp::Player viewer(everyFrame(10, 2, stamp, stamp), [&](const QString& line) { stamps << line; });
    viewer.nextFrame();
    const double after = vistrel::avm1::wallClockMs();
    ASSERT_EQ(stamps.size(), 2);
    for (const QString& s : stamps) {
        EXPECT_GE(s.toDouble(), before);
        EXPECT_LE(s.toDouble(), after);
    }
}
