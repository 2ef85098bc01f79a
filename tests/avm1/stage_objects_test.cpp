// The stage's global objects (AsBroadcaster, Stage, System, Key, Color, Sound, SharedObject, flash.geom,
// flash.filters, TextFormat, XML, LoadVars) as a playing movie's scripts see them.
#include <gtest/gtest.h>

#include <cmath>

#include <initializer_list>
#include <string>
#include <vector>

#include "player/avm1/vm.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/stage.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/action_writer.h"
#include "tests/support/draw_fixtures.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using vistrel::avm1::Value;

namespace {

using Movie = sw::ScriptMovie;

}  // namespace

TEST(StageObjects, ScriptsSeeTheGlobalsWithTheirTypes) {
    using namespace sw;
    ActionWriter a;
    for (const char* name : {"AsBroadcaster", "Stage", "Key", "XML", "Color"})
        a.push(Push::str(name)).op(op::kGetVariable).op(op::kTypeOf).op(op::kTrace);
    a.push(Push::str("Key")).op(op::kGetVariable).push(Push::str("SPACE")).op(op::kGetMember).op(op::kTrace);
    a.push(Push::str("Stage")).op(op::kGetVariable).push(Push::str("width")).op(op::kGetMember).op(op::kTrace);
    Movie m(10, a.end());
    EXPECT_EQ(m.lines, (std::vector<std::string>{"function", "object", "object", "function", "function", "32", "320"}));

    // flash.geom exists from version 8 on only.
    Movie v7(7);
    EXPECT_TRUE(v7.path("flash").isUndefined());
    Movie v8(8);
    EXPECT_EQ(v8.vm().typeOf(v8.path("flash.geom.Point")).toStdString(), "function");
}

TEST(StageObjects, BroadcasterAddsRemovesAndBroadcastsOnce) {
    Movie m;
    std::vector<std::string> log;
    Value b(m.vm().makeObject());
    m.call(m.path("AsBroadcaster"), "initialize", {b});
    EXPECT_TRUE(m.get(b, "addListener").strictEquals(m.path("AsBroadcaster.addListener")));
    EXPECT_EQ(m.num(m.get(m.get(b, "_listeners"), "length")), 0);

    Value one(m.vm().makeObject()), two(m.vm().makeObject());
    m.set(one, "onPing", m.recorder(log, "one"));
    m.set(two, "onPing", m.recorder(log, "two"));
    EXPECT_TRUE(m.vm().toBoolean(m.call(b, "addListener", {one})));
    m.call(b, "addListener", {one});   // the same listener twice is kept once
    m.call(b, "addListener", {two});
    EXPECT_EQ(m.num(m.get(m.get(b, "_listeners"), "length")), 2);
    EXPECT_TRUE(m.vm().toBoolean(m.call(b, "broadcastMessage", {Value("onPing"), Value(7)})));
    EXPECT_EQ(log, (std::vector<std::string>{"one 7", "two 7"}));

    EXPECT_TRUE(m.vm().toBoolean(m.call(b, "removeListener", {two})));
    EXPECT_FALSE(m.vm().toBoolean(m.call(b, "removeListener", {two})));
    log.clear();
    m.call(b, "broadcastMessage", {Value("onPing")});
    EXPECT_EQ(log, (std::vector<std::string>{"one"}));
    // Nothing to say: no message name.
    EXPECT_TRUE(m.call(b, "broadcastMessage").isUndefined());

    // Key and Stage are broadcasters too.
    EXPECT_TRUE(m.vm().toBoolean(m.call(m.path("Key"), "addListener", {one})));
    EXPECT_EQ(m.num(m.call(m.path("Key"), "getCode")), 0);
    EXPECT_FALSE(m.vm().toBoolean(m.call(m.path("Key"), "isDown", {Value(32)})));
}

TEST(StageObjects, StageAndSystemReportTheEnvironment) {
    Movie m;
    Value stage = m.path("Stage");
    EXPECT_EQ(m.num(m.get(stage, "width")), 320);
    EXPECT_EQ(m.num(m.get(stage, "height")), 240);
    m.set(stage, "width", Value(5));   // read-only
    EXPECT_EQ(m.num(m.get(stage, "width")), 320);
    EXPECT_EQ(m.str(m.get(stage, "scaleMode")), "showAll");
    m.set(stage, "scaleMode", Value("NOSCALE"));
    EXPECT_EQ(m.str(m.get(stage, "scaleMode")), "noScale");
    m.set(stage, "scaleMode", Value("bogus"));   // not a mode: back to the default
    EXPECT_EQ(m.str(m.get(stage, "scaleMode")), "showAll");
    m.set(stage, "align", Value("br"));
    EXPECT_EQ(m.str(m.get(stage, "align")), "RB");

    EXPECT_EQ(m.num(m.path("System.capabilities.screenResolutionX")), 1536);
    EXPECT_EQ(m.str(m.path("System.security.sandboxType")), "localWithFile");   // no network flag
    EXPECT_EQ(m.num(m.call(m.path("Mouse"), "hide")), 1);
    EXPECT_EQ(m.num(m.call(m.path("Mouse"), "hide")), 0);
    EXPECT_EQ(m.num(m.call(m.path("Mouse"), "show")), 0);
}

TEST(StageObjects, ColorChangesTheClipsColourTransform) {
    Movie m;
    Value clip = m.call(m.root(), "createEmptyMovieClip", {Value("mc"), Value(1)});
    ASSERT_TRUE(clip.isObject());
    vp::DisplayObject* o = m.player->stage().root().childByName(QStringLiteral("mc"));
    ASSERT_NE(o, nullptr);

    Value byRef = m.make("Color", {clip});
    m.call(byRef, "setRGB", {Value(0x336699)});
    EXPECT_EQ(o->colorTransform.rMult, 0);
    EXPECT_EQ(o->colorTransform.rAdd, 0x33);
    EXPECT_EQ(o->colorTransform.bAdd, 0x99);
    EXPECT_EQ(o->colorTransform.aMult, 256);
    // A path names the same clip.
    Value byPath = m.make("Color", {Value("mc")});
    EXPECT_EQ(m.num(m.call(byPath, "getRGB")), 0x336699);

    Value t(m.vm().makeObject());
    m.set(t, "ra", Value(50));
    m.set(t, "ab", Value(-20));
    m.call(byRef, "setTransform", {t});
    EXPECT_EQ(o->colorTransform.rMult, 128);
    EXPECT_EQ(o->colorTransform.aAdd, -20);
    EXPECT_EQ(o->colorTransform.gAdd, 0x66);   // fields not given stay
    Value back = m.call(byRef, "getTransform");
    EXPECT_EQ(m.num(m.get(back, "ra")), 50);
    EXPECT_EQ(m.num(m.get(back, "ga")), 0);
    EXPECT_EQ(m.num(m.get(back, "ab")), -20);

    // A colour without a clip does nothing and answers nothing.
    Value none = m.make("Color", {Value("nowhere")});
    m.call(none, "setRGB", {Value(0)});
    EXPECT_TRUE(m.call(none, "getRGB").isUndefined());
}

TEST(StageObjects, SoundKeepsItsSettingsWhileItsClipLives) {
    Movie m;
    Value global = m.make("Sound");
    EXPECT_EQ(m.num(m.call(global, "getVolume")), 100);
    EXPECT_EQ(m.num(m.call(global, "getPan")), 0);
    m.call(global, "setPan", {Value(-25)});
    Value t = m.call(global, "getTransform");
    EXPECT_EQ(m.num(m.get(t, "ll")), 100);
    EXPECT_EQ(m.num(m.get(t, "rr")), 75);
    EXPECT_TRUE(m.call(global, "getDuration").isUndefined());

    Value missing = m.make("Sound", {Value("mc")});
    EXPECT_TRUE(m.call(missing, "getVolume").isUndefined());
    Value clip = m.call(m.root(), "createEmptyMovieClip", {Value("mc"), Value(1)});
    EXPECT_EQ(m.num(m.call(missing, "getVolume")), 100);
    m.call(missing, "setVolume", {Value(40)});
    EXPECT_EQ(m.num(m.call(missing, "getVolume")), 40);
    // Any other object names its clip by its string form.
    Value named(m.vm().makeObject());
    m.set(named, "toString", Value(m.vm().makeFunction(QStringLiteral("toString"),
        [](vistrel::avm1::Vm&, const Value&, std::span<const Value>) { return Value("mc"); })));
    Value byName = m.make("Sound", {named});
    EXPECT_EQ(m.num(m.call(byName, "getVolume")), 40);   // the clip's setting, shared by its sounds
    m.call(clip, "removeMovieClip");
    EXPECT_TRUE(m.call(missing, "getVolume").isUndefined());
    EXPECT_TRUE(m.call(byName, "getVolume").isUndefined());
}

TEST(StageObjects, SharedObjectIsTheSameObjectPerName) {
    Movie m;
    Value a = m.call(m.path("SharedObject"), "getLocal", {Value("prefs")});
    ASSERT_TRUE(a.isObject());
    m.set(m.get(a, "data"), "score", Value(12));
    EXPECT_TRUE(m.vm().toBoolean(m.call(a, "flush")));
    Value again = m.call(m.path("SharedObject"), "getLocal", {Value("prefs")});
    EXPECT_TRUE(again.strictEquals(a));
    EXPECT_EQ(m.num(m.get(m.get(again, "data"), "score")), 12);
    EXPECT_TRUE(m.call(m.path("SharedObject"), "getLocal", {Value("bad name")}).isNull());
}

TEST(StageObjects, GeometryClassesComputeAndPrint) {
    Movie m(8);
    Value p = m.make("flash.geom.Point", {Value(3), Value(4)});
    EXPECT_EQ(m.num(m.get(p, "length")), 5);
    EXPECT_EQ(m.str(m.call(m.call(p, "add", {m.make("flash.geom.Point", {Value(1), Value(1)})}), "toString")), "(x=4, y=5)");
    EXPECT_EQ(m.str(m.make("flash.geom.Point")), "(x=0, y=0)");

    Value r = m.make("flash.geom.Rectangle", {Value(0), Value(0), Value(10), Value(10)});
    Value other = m.make("flash.geom.Rectangle", {Value(5), Value(5), Value(10), Value(10)});
    EXPECT_EQ(m.str(m.call(r, "intersection", {other})), "(x=5, y=5, w=5, h=5)");
    EXPECT_EQ(m.str(m.call(r, "union", {other})), "(x=0, y=0, w=15, h=15)");
    EXPECT_TRUE(m.vm().toBoolean(m.call(r, "contains", {Value(9), Value(9)})));
    EXPECT_FALSE(m.vm().toBoolean(m.call(r, "contains", {Value(10), Value(9)})));
    m.set(r, "right", Value(20));
    EXPECT_EQ(m.num(m.get(r, "width")), 20);

    Value mx = m.make("flash.geom.Matrix");
    m.call(mx, "scale", {Value(2), Value(3)});
    m.call(mx, "translate", {Value(10), Value(0)});
    EXPECT_EQ(m.str(m.call(mx, "transformPoint", {m.make("flash.geom.Point", {Value(1), Value(1)})})), "(x=12, y=3)");
    m.call(mx, "invert");
    EXPECT_EQ(m.str(m.call(mx, "transformPoint", {m.make("flash.geom.Point", {Value(12), Value(3)})})), "(x=1, y=1)");

    Value ct = m.make("flash.geom.ColorTransform");
    EXPECT_EQ(m.str(ct), "(redMultiplier=1, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, redOffset=0, "
                         "greenOffset=0, blueOffset=0, alphaOffset=0)");
    m.set(ct, "rgb", Value(0xff1900));
    EXPECT_EQ(m.num(m.get(ct, "rgb")), 0xff1900);
    EXPECT_EQ(m.num(m.get(ct, "redMultiplier")), 0);
    m.call(ct, "concat", {Value("not a transform")});
    EXPECT_EQ(m.num(m.get(ct, "redOffset")), 255);
}

TEST(StageObjects, FiltersHaveDefaultsAndCloneDeeply) {
    Movie m(8);
    Value blur = m.make("flash.filters.BlurFilter");
    EXPECT_EQ(m.num(m.get(blur, "blurX")), 4);
    EXPECT_EQ(m.num(m.get(blur, "quality")), 1);
    Value glow = m.make("flash.filters.GlowFilter", {Value(0x123456), Value(0.5)});
    EXPECT_EQ(m.num(m.get(glow, "color")), 0x123456);
    EXPECT_EQ(m.num(m.get(glow, "blurX")), 6);
    EXPECT_EQ(m.num(m.get(glow, "strength")), 2);
    EXPECT_TRUE(m.vm().instanceOf(glow, m.path("flash.filters.BitmapFilter.prototype.constructor").object()));

    Value cm = m.make("flash.filters.ColorMatrixFilter");
    EXPECT_EQ(m.str(m.get(cm, "matrix")), "1,0,0,0,0,0,1,0,0,0,0,0,1,0,0,0,0,0,1,0");
    Value copy = m.call(cm, "clone");
    m.set(m.get(copy, "matrix"), "0", Value(9));
    EXPECT_EQ(m.num(m.get(m.get(cm, "matrix"), "0")), 1);   // the clone has its own array
    EXPECT_TRUE(m.get(copy, "__proto__").strictEquals(m.get(cm, "__proto__")));
}

TEST(StageObjects, ClipFiltersReadBackAsFreshCopiesOfTheFiltersGiven) {
    Movie m(8);
    Value clip = m.call(m.root(), "createEmptyMovieClip", {Value("c"), Value(1)});
    Value first = m.get(clip, "filters");
    EXPECT_EQ(m.vm().typeOf(first).toStdString(), "object");
    EXPECT_EQ(m.num(m.get(first, "length")), 0);
    EXPECT_FALSE(m.get(clip, "filters").strictEquals(first));   // a new array on every read
    EXPECT_EQ(m.num(m.get(m.get(m.root(), "filters"), "length")), 0);

    // Only filters are kept; other elements, and values that are not lists, leave nothing.
    Value blur = m.make("flash.filters.BlurFilter", {Value(5), Value(7)});
    m.set(clip, "filters", m.array({Value(3), blur, m.object(), Value("x")}));
    Value read = m.get(clip, "filters");
    ASSERT_EQ(m.num(m.get(read, "length")), 1);
    Value kept = m.get(read, "0");
    EXPECT_FALSE(kept.strictEquals(blur));
    EXPECT_EQ(m.num(m.get(kept, "blurY")), 7);
    EXPECT_TRUE(m.vm().instanceOf(kept, m.path("flash.filters.BlurFilter").object()));
    m.set(blur, "blurY", Value(1));   // changing the filter given later changes nothing set
    EXPECT_EQ(m.num(m.get(m.get(m.get(clip, "filters"), "0"), "blurY")), 7);
    for (const Value& notAList : {Value(5), Value(), Value("abc")}) {
        m.set(clip, "filters", m.array({blur}));
        m.set(clip, "filters", notAList);
        EXPECT_EQ(m.num(m.get(m.get(clip, "filters"), "length")), 0);
    }
    // Anything with a length and numbered elements serves as the list.
    Value listLike = m.object();
    m.set(listLike, "length", Value(1));
    m.set(listLike, "0", blur);
    m.set(clip, "filters", listLike);
    EXPECT_EQ(m.num(m.get(m.get(clip, "filters"), "length")), 1);

    // The display keeps each setting in its own range and precision: reading back shows that form, and
    // settings a filter class does not have are not kept.
    Value shadow = m.make("flash.filters.DropShadowFilter", {Value(7.3), Value(400.3), Value(0x123456), Value(0.33)});
    EXPECT_DOUBLE_EQ(m.num(m.get(shadow, "angle")), std::fmod(400.3, 360.0));
    EXPECT_DOUBLE_EQ(m.num(m.get(shadow, "alpha")), 84.0 / 255.0);
    m.set(shadow, "strength", Value(300.3));
    m.set(shadow, "blurY", Value(-2));
    m.set(shadow, "quality", Value(31));
    m.set(shadow, "extra", Value(1));
    m.set(clip, "filters", m.array({shadow}));
    Value shown = m.get(m.get(clip, "filters"), "0");
    EXPECT_DOUBLE_EQ(m.num(m.get(shown, "distance")), 478412.0 / 65536.0);   // 16.16, cut toward zero
    EXPECT_DOUBLE_EQ(m.num(m.get(shown, "strength")), 32767.0 / 256.0);      // signed 8.8
    EXPECT_DOUBLE_EQ(m.num(m.get(shown, "blurY")), 0);
    EXPECT_DOUBLE_EQ(m.num(m.get(shown, "quality")), 15);
    EXPECT_EQ(m.num(m.get(shown, "color")), 0x123456);
    EXPECT_TRUE(m.get(shown, "extra").isUndefined());
    // An object that only borrows a filter's prototype is not a filter.
    Value pretender = m.object();
    m.set(pretender, "__proto__", m.path("flash.filters.BlurFilter.prototype"));
    m.set(clip, "filters", m.array({pretender}));
    EXPECT_EQ(m.num(m.get(m.get(clip, "filters"), "length")), 0);

    Movie seven(7);
    Value older = seven.call(seven.root(), "createEmptyMovieClip", {Value("c"), Value(1)});
    EXPECT_TRUE(seven.get(older, "filters").isUndefined());
}

TEST(StageObjects, FilterSettingsKeepTheirRangesHoweverTheyAreSet) {
    Movie m(8);
    const double nan = std::nan("");
    auto after = [&](const Value& filter, const char* name, const Value& v) {
        m.set(filter, name, v);
        return m.get(filter, name);
    };
    auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    struct Case { const char* cls; const char* name; Value given; double kept; };
    const Case numbers[] = {
        {"BlurFilter", "blurX", Value(300), 255},          {"BlurFilter", "blurX", Value(-5), 0},
        {"BlurFilter", "blurY", Value(3.3333), 3.3333},    {"BlurFilter", "blurY", Value("abc"), nan},
        {"BlurFilter", "quality", Value(3.7), 3},          {"BlurFilter", "quality", Value(20), 15},
        {"GlowFilter", "strength", Value(1.3), 1.296875},  {"GlowFilter", "strength", Value("abc"), 0},
        {"GlowFilter", "alpha", Value(0.5), 127.0 / 255},  {"GlowFilter", "alpha", Value(2), 1},
        {"GlowFilter", "color", Value(-1), 0xffffff},      {"GlowFilter", "color", Value(0x1234567), 0x234567},
        {"DropShadowFilter", "angle", Value(400), 40},     {"DropShadowFilter", "angle", Value(-400), -40},
        {"DropShadowFilter", "distance", Value(1000), 1000},
        {"ConvolutionFilter", "matrixX", Value(20), 15},   {"ConvolutionFilter", "matrixY", Value(3.5), 3},
        {"DisplacementMapFilter", "componentX", Value(-5), -5},
        {"DisplacementMapFilter", "componentY", Value("abc"), 0},
        {"DisplacementMapFilter", "scaleX", Value(100000), 65535},
        {"DisplacementMapFilter", "scaleY", Value(12.7), static_cast<float>(12.7)},
    };
    for (const Case& c : numbers) {
        const Value filter = m.make((std::string("flash.filters.") + c.cls).c_str());
        const double got = m.num(after(filter, c.name, c.given));
        EXPECT_TRUE(same(got, c.kept)) << c.cls << "." << c.name << " = " << m.str(c.given) << " gave " << got;
        // The constructor keeps the same ranges.
        if (std::string(c.cls) == "BlurFilter") {
            const Value made = m.make("flash.filters.BlurFilter", {c.name == std::string("blurX") ? c.given : Value(4),
                                                                   c.name == std::string("blurY") ? c.given : Value(4),
                                                                   c.name == std::string("quality") ? c.given : Value(1)});
            EXPECT_TRUE(same(m.num(m.get(made, c.name)), c.kept)) << "new BlurFilter with " << c.name;
        }
    }

    // Names outside the known set fall back to the first one.
    const Value bevel = m.make("flash.filters.BevelFilter");
    EXPECT_EQ(m.str(after(bevel, "type", Value("outer"))), "outer");
    EXPECT_EQ(m.str(after(bevel, "type", Value("sideways"))), "full");
    const Value map = m.make("flash.filters.DisplacementMapFilter");
    EXPECT_EQ(m.str(after(map, "mode", Value("clamp"))), "clamp");
    EXPECT_EQ(m.str(after(map, "mode", Value("stretch"))), "wrap");
    EXPECT_EQ(m.str(m.get(m.make("flash.filters.GradientBevelFilter", {Value(4), Value(45), m.array({}), m.array({}),
                                                                        m.array({}), Value(4), Value(4), Value(1),
                                                                        Value(1), Value("x")}),
                          "type")),
              "full");

    // The settings live on the class, not on each filter: they cannot be deleted or listed as own.
    const Value blur = m.make("flash.filters.BlurFilter", {Value(9)});
    EXPECT_FALSE(m.vm().toBoolean(m.call(blur, "hasOwnProperty", {Value("blurX")})));
    EXPECT_TRUE(m.vm().toBoolean(m.call(m.path("flash.filters.BlurFilter.prototype"), "hasOwnProperty", {Value("blurX")})));
    EXPECT_TRUE(m.path("flash.filters.BlurFilter.prototype.blurX").isUndefined());
    m.vm().deleteMember(blur, QStringLiteral("blurX"));
    EXPECT_EQ(m.num(m.get(blur, "blurX")), 9);
    EXPECT_EQ(m.num(m.get(m.call(blur, "clone"), "blurX")), 9);
}

TEST(StageObjects, FilterArraysReadBackAsCopiesOfAFixedShape) {
    Movie m(8);
    const Value colours = m.make("flash.filters.ColorMatrixFilter");
    const Value read = m.get(colours, "matrix");
    EXPECT_FALSE(m.get(colours, "matrix").strictEquals(read));
    m.set(read, "0", Value(5));
    EXPECT_EQ(m.num(m.get(m.get(colours, "matrix"), "0")), 1);
    // A colour matrix always holds twenty numbers, given or not.
    m.set(colours, "matrix", m.array({Value(2), Value(3)}));
    EXPECT_EQ(m.str(m.get(colours, "matrix")), "2,3,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN");
    const Value made = m.make("flash.filters.ColorMatrixFilter", {Value("zz")});
    EXPECT_EQ(m.num(m.get(m.get(made, "matrix"), "length")), 20);

    // A convolution matrix is filled with zeros up to its columns times rows, never cut.
    const Value conv = m.make("flash.filters.ConvolutionFilter",
                              {Value(2), Value(2), m.array({Value(1), Value(2), Value(3), Value(4)})});
    EXPECT_FALSE(m.get(conv, "matrix").strictEquals(m.get(conv, "matrix")));
    m.set(conv, "matrix", m.array({Value(9)}));
    EXPECT_EQ(m.str(m.get(conv, "matrix")), "9,0,0,0");
    m.set(conv, "matrixX", Value(3));
    EXPECT_EQ(m.str(m.get(conv, "matrix")), "9,0,0,0,0,0");
    m.set(conv, "matrixX", Value(1));
    EXPECT_EQ(m.num(m.get(m.get(conv, "matrix"), "length")), 6);
}

TEST(StageObjects, TimelineFiltersShowThroughFiltersAndCacheAsBitmap) {
    using namespace sw;
    // A clip and a button placed with filters by the timeline, and one of each without.
    ByteWriter glow;
    glow.u8(2).rgba(0x11223380).fixed16(5).fixed16(6).fixed8(1.5).u8(0x80 | 0x20 | 3);   // inner, 3 passes
    Bytes list = blurFilter(7.5);
    list[0] = 2;
    list.insert(list.end(), glow.data().begin(), glow.data().end());
    Bytes lead = defineSprite(1, 1, {showFrame()});
    for (const Bytes& tag : {defineButton2(2, {ButtonRecordSpec{}}, {}),
                             placeObject3({.depth = 1, .characterId = 1, .name = "mc", .filterList = list}),
                             placeObject3({.depth = 2, .characterId = 1, .name = "plain"}),
                             placeObject3({.depth = 3, .characterId = 2, .name = "btn", .filterList = blurFilter(3)}),
                             placeObject3({.depth = 4, .characterId = 2, .name = "plainButton"})})
        lead.insert(lead.end(), tag.begin(), tag.end());
    Movie m(8, ActionWriter().end(), lead);
    const Value mc = m.get(m.root(), "mc");
    const Value shown = m.get(mc, "filters");
    ASSERT_EQ(m.num(m.get(shown, "length")), 2);
    const Value blur = m.get(shown, "0");
    EXPECT_TRUE(m.vm().instanceOf(blur, m.path("flash.filters.BlurFilter").object()));
    EXPECT_EQ(m.num(m.get(blur, "blurX")), 7.5);
    const Value glowRead = m.get(shown, "1");
    EXPECT_TRUE(m.vm().instanceOf(glowRead, m.path("flash.filters.GlowFilter").object()));
    EXPECT_EQ(m.num(m.get(glowRead, "color")), 0x112233);
    EXPECT_DOUBLE_EQ(m.num(m.get(glowRead, "alpha")), 128.0 / 255.0);
    EXPECT_EQ(m.num(m.get(glowRead, "strength")), 1.5);
    EXPECT_EQ(m.num(m.get(glowRead, "quality")), 3);
    EXPECT_TRUE(m.vm().toBoolean(m.get(glowRead, "inner")));
    // Changing what was read changes nothing shown.
    m.set(blur, "blurX", Value(1));
    EXPECT_EQ(m.num(m.get(m.get(m.get(mc, "filters"), "0"), "blurX")), 7.5);

    // Buttons have filters too; an object with filters reads as cached as a bitmap whatever was set.
    const Value btn = m.get(m.root(), "btn");
    EXPECT_EQ(m.num(m.get(m.get(m.get(btn, "filters"), "0"), "blurX")), 3);
    EXPECT_EQ(m.str(m.get(btn, "blendMode")), "normal");
    const Value plainButton = m.get(m.root(), "plainButton");
    EXPECT_EQ(m.num(m.get(m.get(plainButton, "filters"), "length")), 0);
    m.set(plainButton, "filters", m.array({m.make("flash.filters.BlurFilter", {Value(9), Value(8)})}));
    EXPECT_EQ(m.num(m.get(m.get(m.get(plainButton, "filters"), "0"), "blurY")), 8);
    EXPECT_TRUE(m.vm().toBoolean(m.get(plainButton, "cacheAsBitmap")));

    // A text field is drawn with the filters a script gives it.
    m.call(m.root(), "createTextField", {Value("tf"), Value(10), Value(0), Value(0), Value(50), Value(20)});
    const Value field = m.get(m.root(), "tf");
    ASSERT_TRUE(field.isObject() && field.asObject()->display());
    EXPECT_EQ(m.num(m.get(m.get(field, "filters"), "length")), 0);
    m.set(field, "filters", m.array({m.make("flash.filters.GlowFilter")}));
    EXPECT_EQ(m.num(m.get(m.get(field, "filters"), "length")), 1);
    EXPECT_EQ(field.asObject()->display()->filters.size(), 1u);

    const Value plain = m.get(m.root(), "plain");
    EXPECT_FALSE(m.vm().toBoolean(m.get(plain, "cacheAsBitmap")));
    EXPECT_TRUE(m.vm().toBoolean(m.get(mc, "cacheAsBitmap")));
    m.set(plain, "filters", m.array({m.make("flash.filters.BlurFilter")}));
    m.set(plain, "cacheAsBitmap", Value(false));
    EXPECT_TRUE(m.vm().toBoolean(m.get(plain, "cacheAsBitmap")));
    m.set(plain, "filters", m.array({}));
    EXPECT_FALSE(m.vm().toBoolean(m.get(plain, "cacheAsBitmap")));
}

TEST(StageObjects, TextFormatConvertsWhatIsSet) {
    Movie m(8);
    Value tf = m.make("TextFormat", {Value("Arial"), Value(-10.9)});
    EXPECT_EQ(m.str(m.get(tf, "font")), "Arial");
    EXPECT_EQ(m.num(m.get(tf, "size")), -10);   // the constructor cuts the fraction
    EXPECT_TRUE(m.get(tf, "bold").isNull());
    m.set(tf, "size", Value(2.5));
    EXPECT_EQ(m.num(m.get(tf, "size")), 2);     // setters round halves to even
    m.set(tf, "leftMargin", Value(-3));
    EXPECT_EQ(m.num(m.get(tf, "leftMargin")), 0);
    m.set(tf, "align", Value("CENTER"));
    EXPECT_EQ(m.str(m.get(tf, "align")), "center");
    m.set(tf, "align", Value("middle"));
    EXPECT_EQ(m.str(m.get(tf, "align")), "center");
    EXPECT_EQ(m.str(m.get(tf, "display")), "block");
    m.set(tf, "display", Value("Inline"));
    EXPECT_EQ(m.str(m.get(tf, "display")), "block");
}

TEST(StageObjects, XmlParsesWalksAndRebuilds) {
    Movie m(7);
    Value xml = m.make("XML", {Value("<?xml version=\"1.0\"?><a x=\"1\">hi &amp; bye<b/><!-- gone --></a><c/>")});
    EXPECT_EQ(m.num(m.get(xml, "status")), 0);
    EXPECT_EQ(m.str(m.get(xml, "xmlDecl")), "<?xml version=\"1.0\"?>");
    Value a = m.get(xml, "firstChild");
    EXPECT_EQ(m.str(m.get(a, "nodeName")), "a");
    EXPECT_EQ(m.str(m.get(m.get(a, "attributes"), "x")), "1");
    EXPECT_EQ(m.num(m.get(m.get(a, "childNodes"), "length")), 2);
    Value text = m.get(a, "firstChild");
    EXPECT_EQ(m.num(m.get(text, "nodeType")), 3);
    EXPECT_EQ(m.str(m.get(text, "nodeValue")), "hi & bye");
    EXPECT_TRUE(m.get(text, "nodeName").isNull());
    EXPECT_EQ(m.str(m.get(m.get(text, "nextSibling"), "nodeName")), "b");
    // The declaration is kept in xmlDecl but not written back.
    EXPECT_EQ(m.str(xml), "<a x=\"1\">hi &amp; bye<b /></a><c />");

    // Moving a node takes it out of where it was; a node cannot go inside its own subtree.
    m.call(xml, "appendChild", {m.get(a, "lastChild")});
    EXPECT_EQ(m.str(m.call(m.get(xml, "firstChild"), "toString")), "<a x=\"1\">hi &amp; bye</a>");
    m.call(m.get(a, "firstChild"), "appendChild", {a});
    EXPECT_EQ(m.num(m.get(m.get(xml, "childNodes"), "length")), 3);

    Value made = m.call(xml, "createElement", {Value("d")});
    m.call(made, "appendChild", {m.call(xml, "createTextNode", {Value("<x>")})});
    m.call(xml, "insertBefore", {made, m.get(xml, "firstChild")});
    EXPECT_EQ(m.str(m.call(m.get(xml, "firstChild"), "toString")), "<d>&lt;x&gt;</d>");
    Value deep = m.call(made, "cloneNode", {Value(true)});
    m.call(made, "removeNode");
    EXPECT_EQ(m.str(deep), "<d>&lt;x&gt;</d>");
    EXPECT_TRUE(m.get(made, "parentNode").isNull());

    // Errors are reported through status, and what was read stays.
    Value bad = m.make("XML", {Value("<a><b></a>")});
    EXPECT_EQ(m.num(m.get(bad, "status")), -10);   // an end tag the innermost open element does not match
    Value white = m.make("XML");
    m.set(white, "ignoreWhite", Value(true));
    m.call(white, "parseXML", {Value("<a>  <b/>\n</a>")});
    EXPECT_EQ(m.str(white), "<a><b /></a>");
}

TEST(StageObjects, XmlNodesTakeTheCurrentNodePrototype) {
    Movie m(7);
    Value custom(m.vm().makeObject());
    custom.asObject()->setProto(m.path("XMLNode.prototype").object());
    m.set(custom, "marker", Value(42));
    m.set(m.path("XMLNode"), "prototype", custom);
    Value xml = m.make("XML", {Value("<a/>")});
    EXPECT_EQ(m.num(m.get(m.get(xml, "firstChild"), "marker")), 42);
}

TEST(StageObjects, LoadVarsEncodesAndDecodes) {
    Movie m(7);
    Value lv = m.make("LoadVars");
    m.call(lv, "decode", {Value("a=1%202&b+c=x+y")});
    EXPECT_EQ(m.str(m.get(lv, "a")), "1 2");
    EXPECT_EQ(m.str(m.get(lv, "b c")), "x y");
    Value one = m.make("LoadVars");
    m.set(one, "k!", Value("v w"));
    EXPECT_EQ(m.str(m.call(one, "toString")), "k%21=v%20w");
    // A load with an address starts (its outcome comes later, through onLoad); without one it does not.
    EXPECT_TRUE(m.vm().toBoolean(m.call(one, "load", {Value("x.txt")})));
    EXPECT_FALSE(m.vm().toBoolean(m.call(one, "load")));
}

TEST(StageObjects, HostileArgumentsDoNotBreakAnything) {
    Movie m(8);
    // Deep nesting, unterminated pieces and junk: a status, no crash.
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "<a>";
    Value x = m.make("XML", {Value(QString::fromStdString(deep))});
    EXPECT_NE(m.num(m.get(x, "status")), 0);
    for (const char* junk : {"<", "<a", "<a b=", "<a b='", "<!--", "<![CDATA[", "<?xml", "</a>", "<a/></b>"})
        EXPECT_NE(m.num(m.get(m.make("XML", {Value(junk)}), "status")), 0) << junk;
    EXPECT_EQ(m.str(m.get(m.get(m.make("XML", {Value("<a>&#xFFFFFFFF;&#0;&bogus;</a>")}), "firstChild"), "firstChild")),
              "&amp;#xFFFFFFFF;&amp;#0;&amp;bogus;");
    // Methods called on the wrong kind of object answer nothing.
    Value plain(m.vm().makeObject());
    for (const char* method : {"appendChild", "removeNode", "cloneNode", "toString"}) {
        const std::vector<Value> args{plain};
        m.vm().call(m.path("XMLNode.prototype").asObject()->findOwn(QString::fromLatin1(method))->value, plain, args);
    }
    m.vm().call(m.path("Color.prototype.setRGB"), plain, std::vector<Value>{Value(1)});
    m.vm().call(m.path("Sound.prototype.setVolume"), plain, std::vector<Value>{Value(1)});
    m.make("flash.geom.Matrix", {Value(1e308), Value(1e308), Value(0), Value(0), Value(0), Value(0)});
    SUCCEED();
}
