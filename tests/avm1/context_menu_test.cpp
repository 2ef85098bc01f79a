// The right mouse button's menu as a movie sets it up: which ContextMenu applies under the pointer, what
// its handlers hear, what the viewer is told to show, and the chosen entry's handler.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/avm1/vm.h"
#include "player/player.h"
#include "tests/avm1/script_movie.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using vistrel::avm1::Value;

namespace {

using Movie = sw::ScriptMovie;

// A clip named `name` filling the square from (x, y), 100 pixels wide.
Value square(Movie& m, const char* name, int depth, int x, int y) {
    m.call(m.root(), "createEmptyMovieClip", {Value(name), Value(depth)});
    Value clip = m.get(m.root(), name);
    m.call(clip, "beginFill", {Value(0xff0000)});
    m.call(clip, "moveTo", {Value(x), Value(y)});
    m.call(clip, "lineTo", {Value(x + 100), Value(y)});
    m.call(clip, "lineTo", {Value(x + 100), Value(y + 100)});
    m.call(clip, "lineTo", {Value(x), Value(y + 100)});
    m.call(clip, "endFill");
    return clip;
}

Value item(Movie& m, std::vector<std::string>& log, const char* caption, const char* tag) {
    return m.make("ContextMenuItem", {Value(caption), m.recorder(log, tag)});
}

std::vector<std::string> captions(const vp::MovieMenu& menu) {
    std::vector<std::string> out;
    for (const auto& i : menu.items) out.push_back(i.caption.toStdString());
    return out;
}

}  // namespace

TEST(ContextMenu, TheMenuOfTheObjectUnderThePointerOrItsNearestParentShowsAndItsEntriesRun) {
    Movie m;
    std::vector<std::string> log;
    Value outer = square(m, "outer", 1, 0, 0);
    m.call(outer, "createEmptyMovieClip", {Value("inner"), Value(1)});
    Value inner = m.get(outer, "inner");
    m.call(inner, "beginFill", {Value(0x00ff00)});
    m.call(inner, "moveTo", {Value(10), Value(10)});
    m.call(inner, "lineTo", {Value(50), Value(10)});
    m.call(inner, "lineTo", {Value(50), Value(50)});
    m.call(inner, "endFill");

    // The outer clip's menu: its handler hears which object opened it and hides the built-in entries; a
    // hidden entry is left out, a switched-off one is shown but does nothing.
    Value menu = m.make("ContextMenu", {m.recorder(log, "menu")});
    Value own = m.get(menu, "customItems");
    m.call(own, "push", {item(m, log, "One", "one")});
    Value hidden = item(m, log, "Hidden", "hidden");
    m.set(hidden, "visible", Value(false));
    m.call(own, "push", {hidden});
    Value off = item(m, log, "Off", "off");
    m.set(off, "enabled", Value(false));
    m.set(off, "separatorBefore", Value(true));
    m.call(own, "push", {off});
    m.set(menu, "onSelect", Value(m.vm().makeFunction(QStringLiteral("f"), [&](vistrel::avm1::Vm& vm, const Value& self,
                                                                                 std::span<const Value> args) {
        log.push_back("menu " + vm.toString(args[0]).toStdString());
        vm.callMethod(self, QStringLiteral("hideBuiltInItems"), {});
        return Value();
    })));
    m.set(outer, "menu", menu);

    // Over the inner clip, which has none of its own, the outer one's menu opens.
    vp::MovieMenu shown = m.player->openMenu(QPointF(20, 20));
    EXPECT_EQ(log, std::vector<std::string>{"menu _level0.outer"});
    EXPECT_EQ(captions(shown), (std::vector<std::string>{"One", "Off"}));
    ASSERT_EQ(shown.items.size(), 2u);
    EXPECT_TRUE(shown.items[0].enabled);
    EXPECT_FALSE(shown.items[1].enabled);
    EXPECT_TRUE(shown.items[1].separatorBefore);
    EXPECT_TRUE(shown.full);
    EXPECT_FALSE(shown.zoom || shown.quality || shown.play || shown.loop || shown.rewind || shown.forwardBack || shown.print);
    log.clear();
    m.player->chooseMenuItem(0);
    m.player->chooseMenuItem(1);
    m.player->chooseMenuItem(7);
    EXPECT_EQ(log, std::vector<std::string>{"one _level0.outer [object Object]"});

    // Away from both clips the root's menu applies; without one the built-in entries alone show, or none
    // of them once Stage.showMenu is false.
    log.clear();
    Value rootMenu = m.make("ContextMenu");
    m.call(m.get(rootMenu, "customItems"), "push", {item(m, log, "Root", "root")});
    m.set(m.root(), "menu", rootMenu);
    shown = m.player->openMenu(QPointF(200, 200));
    EXPECT_EQ(captions(shown), std::vector<std::string>{"Root"});
    EXPECT_TRUE(shown.zoom && shown.play && shown.forwardBack);
    m.player->chooseMenuItem(0);
    EXPECT_EQ(log, std::vector<std::string>{"root _level0 [object Object]"});
    m.set(m.root(), "menu", Value());
    m.set(m.path("Stage"), "showMenu", Value(false));
    shown = m.player->openMenu(QPointF(200, 200));
    EXPECT_TRUE(shown.items.empty());
    EXPECT_FALSE(shown.full);
    log.clear();
    m.player->chooseMenuItem(0);
    EXPECT_TRUE(log.empty());
}
