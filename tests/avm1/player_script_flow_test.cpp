// How a playing movie's scripts flow from one action list to the next: the stack they share within a frame
// and the quit command that stops the movie.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/movie.h"
#include "player/player.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
namespace op = vistrel::testing::op;

namespace {

// Plays `frames` ticks of a movie with one action list per entry of `frameActions` (several lists in one
// frame when an entry holds more than one) and returns what it traced.
std::vector<std::string> play(const std::vector<std::vector<sw::Bytes>>& frameActions, int frames) {
    sw::MovieSpec spec;
    spec.version = 8;
    spec.widthTwips = 100 * 20;
    spec.heightTwips = 100 * 20;
    spec.frameCount = static_cast<std::uint16_t>(frameActions.size());
    std::vector<sw::Bytes> tags;
    for (const auto& lists : frameActions) {
        for (const sw::Bytes& actions : lists) tags.push_back(sw::doAction(actions));
        tags.push_back(sw::showFrame());
    }
    return sw::playTraced(spec, tags, frames);
}

sw::Bytes traceText(const char* text) { return sw::ActionWriter().push(sw::Push::str(text)).op(op::kTrace).end(); }

}  // namespace

TEST(PlayerScriptFlow, ListsOfOneFrameShareTheStackAndTheNextFrameStartsEmpty) {
    const sw::Bytes leave = sw::ActionWriter().push(sw::Push::str("left")).end();
    const sw::Bytes take = sw::ActionWriter().op(op::kTrace).end();
    EXPECT_EQ(play({{leave, take}, {take}}, 2), (std::vector<std::string>{"left", "undefined"}));
}

TEST(PlayerScriptFlow, QuitStopsTheMovieAfterTheRunningScripts) {
    const sw::Bytes quit = sw::ActionWriter()
                               .push(sw::Push::str("one"))
                               .op(op::kTrace)
                               .getUrl("FSCommand:quit", "")
                               .push(sw::Push::str("same list"))
                               .op(op::kTrace)
                               .end();
    EXPECT_EQ(play({{quit}, {traceText("two")}}, 4), (std::vector<std::string>{"one", "same list"}));
    // Other commands change nothing.
    const sw::Bytes other = sw::ActionWriter().getUrl("FSCommand:fullscreen", "true").end();
    EXPECT_EQ(play({{other, traceText("one")}, {traceText("two")}}, 2), (std::vector<std::string>{"one", "two"}));
}
