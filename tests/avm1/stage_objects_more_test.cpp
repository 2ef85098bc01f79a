// More of the stage's global objects: the classes that stand in for the outside world (ExternalInterface,
// LocalConnection, NetConnection, FileReference, Camera), ContextMenu, Selection and the focus, and the
// finer rules of Color, ColorTransform, Sound, Stage, System and XML.
#include <gtest/gtest.h>

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
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using vistrel::avm1::Value;

namespace {

using Movie = sw::ScriptMovie;

// Traces each name an enumeration pushed, until its end marker.
void traceLoop(sw::ActionWriter& a) {
    using namespace sw;
    a.label("loop").storeRegister(0).push(Push::null()).op(op::kEquals2).ifTrue("done");
    a.push(Push::reg(0)).op(op::kTrace).jump("loop").label("done");
}

}  // namespace

TEST(StageObjectsMore, ExternalInterfaceIsUnavailableButSerialises) {
    Movie m(8);
    Value ei = m.path("flash.external.ExternalInterface");
    EXPECT_EQ(m.str(m.get(ei, "available")), "false");
    EXPECT_TRUE(m.call(ei, "call", {Value("f")}).isNull());
    EXPECT_FALSE(m.vm().toBoolean(m.call(ei, "addCallback", {Value("f")})));

    EXPECT_EQ(m.str(m.call(ei, "_escapeXML", {Value("<a b='c'>&\"")})), "&lt;a b=&apos;c&apos;&gt;&amp;&quot;");
    EXPECT_TRUE(m.call(ei, "_escapeXML", {Value("")}).isNull());
    EXPECT_TRUE(m.call(ei, "_escapeXML").isNull());

    EXPECT_EQ(m.str(m.call(ei, "_toXML")), "<undefined/>");
    EXPECT_EQ(m.str(m.call(ei, "_toXML", {Value::null()})), "<null/>");
    EXPECT_EQ(m.str(m.call(ei, "_toXML", {Value(-2.5)})), "<number>-2.5</number>");
    EXPECT_EQ(m.str(m.call(ei, "_toXML", {Value("")})), "<string>null</string>");
    EXPECT_EQ(m.str(m.call(ei, "_toXML", {Value("a<b")})), "<string>a&lt;b</string>");
    EXPECT_EQ(m.str(m.call(ei, "_toXML", {m.array({Value(true), m.array({})})})),
              "<array><property id=\"0\"><true/></property><property id=\"1\"><array></array></property></array>");
    Value o = m.object();
    m.set(o, "k", Value("v"));
    EXPECT_EQ(m.str(m.call(ei, "_toXML", {o})), "<object><property id=\"k\"><string>v</string></property></object>");
    EXPECT_EQ(m.str(m.call(ei, "_toXML", {m.path("Math.abs")})), "<null/>");
    // An arguments list leaves out its first entry (the function's name); a string's length counts.
    EXPECT_EQ(m.str(m.call(ei, "_argumentsToXML", {m.array({Value("f"), Value(1), Value(false)})})),
              "<arguments><number>1</number><false/></arguments>");
    EXPECT_EQ(m.str(m.call(ei, "_arrayToXML", {Value("ab")})),
              "<array><property id=\"0\"><undefined/></property><property id=\"1\"><undefined/></property></array>");

    // Back from nodes of that format: the node name picks the type; anything else is undefined.
    auto node = [&](const char* name, const Value& first) {
        Value n = m.object();
        m.set(n, "nodeName", Value(name));
        m.set(n, "firstChild", first);
        return n;
    };
    EXPECT_TRUE(m.call(ei, "_toAS", {node("null", Value())}).isNull());
    EXPECT_EQ(m.str(m.call(ei, "_toAS", {node("true", Value())})), "true");
    EXPECT_TRUE(m.call(ei, "_toAS", {node("TRUE", Value())}).isUndefined());
    EXPECT_EQ(m.num(m.call(ei, "_toAS", {node("number", Value("-6"))})), -6);
    EXPECT_EQ(m.str(m.call(ei, "_toAS", {node("string", Value())})), "undefined");
    EXPECT_TRUE(m.call(ei, "_toAS", {Value("null")}).isUndefined());
    EXPECT_EQ(m.num(m.get(m.call(ei, "_arrayToAS", {Value(3)}), "length")), 0);

    // Movies before version 8 see none of it (call is then the function's own call).
    Movie v7(7);
    Value old = v7.vm().getMember(Value(v7.vm().global()), QStringLiteral("flash"));
    old = v7.get(v7.get(old, "external"), "ExternalInterface");
    EXPECT_TRUE(v7.get(old, "available").isUndefined());
    EXPECT_TRUE(v7.get(old, "_toXML").isUndefined());
}

TEST(StageObjectsMore, ConnectionsAndFileDialogsAnswerWithoutTheOutside) {
    Movie m;
    Value lc = m.make("LocalConnection");
    EXPECT_EQ(m.str(m.call(lc, "domain")), "localhost");
    EXPECT_EQ(m.str(m.call(lc, "connect", {Value("chan")})), "true");
    Value other = m.make("LocalConnection");
    EXPECT_EQ(m.str(m.call(other, "connect", {Value("CHAN")})), "false");   // taken, in any case
    m.call(lc, "close");
    EXPECT_EQ(m.str(m.call(other, "connect", {Value("chan")})), "true");
    EXPECT_EQ(m.str(m.call(lc, "send", {Value("chan"), Value("go")})), "true");

    std::vector<std::string> log;
    auto statusRecorder = [&](const std::string& tag) {
        return Value(m.vm().makeFunction(QStringLiteral("f"), [&log, tag](vistrel::avm1::Vm& vm, const Value&,
                                                                          std::span<const Value> args) {
            log.push_back(args.empty() ? tag + " -" : tag + " " + vm.toString(vm.getMember(args[0], QStringLiteral("code"))).toStdString());
            return Value();
        }));
    };
    Value nc = m.make("NetConnection");
    m.set(nc, "onStatus", statusRecorder("nc"));
    m.call(nc, "close");   // not connected: nothing to say
    EXPECT_EQ(m.str(m.call(nc, "connect", {Value::null()})), "true");
    m.call(nc, "connect", {Value::null()});
    m.call(nc, "close");
    EXPECT_EQ(log, (std::vector<std::string>{"nc NetConnection.Connect.Success", "nc NetConnection.Connect.Closed",
                                             "nc NetConnection.Connect.Success", "nc NetConnection.Connect.Closed"}));
    log.clear();
    EXPECT_EQ(m.str(m.call(nc, "connect", {Value("http://example.org")})), "false");
    EXPECT_TRUE(log.empty());
    m.call(nc, "close");
    EXPECT_EQ(log, (std::vector<std::string>{"nc NetConnection.Connect.Closed", "nc -"}));

    // A file dialog cannot open: browse and download succeed and then report a cancel, after the
    // script that asked; nothing has been chosen, so there is nothing to upload.
    Value file = m.vm().construct(m.path("flash.net.FileReference"), {});
    Value listener = m.object();
    std::vector<std::string> events;
    m.set(listener, "onCancel", m.recorder(events, "cancel"));
    m.call(file, "addListener", {listener});
    EXPECT_EQ(m.str(m.call(file, "browse")), "true");
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(m.str(m.call(file, "upload", {Value("http://x")})), "false");
    EXPECT_EQ(m.str(m.call(file, "download", {Value("")})), "false");
    EXPECT_TRUE(m.get(file, "name").isUndefined());
    m.player->nextFrame();
    EXPECT_EQ(events, (std::vector<std::string>{"cancel [object Object]"}));

    Value list = m.vm().construct(m.path("flash.net.FileReferenceList"), {});
    EXPECT_EQ(m.num(m.get(m.get(list, "_listeners"), "length")), 0);
    EXPECT_TRUE(m.get(list, "fileList").isUndefined());

    EXPECT_TRUE(m.call(m.path("Camera"), "get").isNull());
    EXPECT_TRUE(m.call(m.path("Microphone"), "get").isNull());
}

TEST(StageObjectsMore, ContextMenuKeepsItsItemsAndCopies) {
    using namespace sw;
    ActionWriter a;
    // for (k in new ContextMenu()) trace(k)
    a.push({Push::integer(0), Push::str("ContextMenu")}).op(op::kNewObject).op(op::kEnumerate2);
    traceLoop(a);
    Movie m(8, a.end());
    EXPECT_EQ(m.lines, (std::vector<std::string>{"customItems", "builtInItems", "onSelect"}));

    Value menu = m.make("ContextMenu");
    Value builtIns = m.get(menu, "builtInItems");
    EXPECT_EQ(m.str(m.get(builtIns, "print")), "true");
    m.set(builtIns, "zoom", Value(false));
    Value item = m.make("ContextMenuItem", {Value("Hello"), Value()});
    EXPECT_EQ(m.str(m.get(item, "enabled")), "true");
    EXPECT_EQ(m.str(m.get(item, "separatorBefore")), "false");
    m.call(m.get(menu, "customItems"), "push", {item});

    Value copy = m.call(menu, "copy");
    EXPECT_EQ(m.str(m.get(m.get(copy, "builtInItems"), "zoom")), "false");
    EXPECT_FALSE(m.get(copy, "builtInItems").strictEquals(builtIns));
    Value copiedItem = m.get(m.get(copy, "customItems"), "0");
    EXPECT_EQ(m.str(m.get(copiedItem, "caption")), "Hello");
    EXPECT_FALSE(copiedItem.strictEquals(item));

    m.call(menu, "hideBuiltInItems");
    EXPECT_EQ(m.str(m.get(builtIns, "save")), "false");
    EXPECT_EQ(m.str(m.get(m.get(copy, "builtInItems"), "save")), "true");
}

TEST(StageObjectsMore, SelectionMovesTheFocusAndDropsItWhenTheObjectGoes) {
    Movie m;
    Value selection = m.path("Selection");
    std::vector<std::string> log;
    Value listener = m.object();
    m.set(listener, "onSetFocus", m.recorder(log, "focus"));
    m.call(selection, "addListener", {listener});

    EXPECT_TRUE(m.call(selection, "getFocus").isNull());
    EXPECT_EQ(m.num(m.call(selection, "getBeginIndex")), -1);
    Value a = m.call(m.root(), "createEmptyMovieClip", {Value("a"), Value(1)});
    // A plain clip is not focusable until a script allows it or gives it a button handler.
    EXPECT_EQ(m.str(m.call(selection, "setFocus", {a})), "false");
    m.set(a, "focusEnabled", Value(true));
    EXPECT_EQ(m.str(m.call(selection, "setFocus", {a})), "true");
    EXPECT_EQ(m.str(m.call(selection, "getFocus")), "_level0.a");
    Value b = m.call(m.root(), "createEmptyMovieClip", {Value("b"), Value(2)});
    m.set(b, "onRelease", Value(m.vm().makeFunction(QStringLiteral("f"), {})));
    EXPECT_EQ(m.str(m.call(selection, "setFocus", {Value("b")})), "true");   // by path
    EXPECT_EQ(m.str(m.call(selection, "setFocus", {Value(false)})), "false");
    EXPECT_EQ(log, (std::vector<std::string>{"focus null _level0.a", "focus _level0.a _level0.b"}));

    log.clear();
    m.set(b, "_visible", Value(false));   // hidden: the focus goes
    EXPECT_TRUE(m.call(selection, "getFocus").isNull());
    m.call(selection, "setFocus", {a});
    m.call(a, "removeMovieClip");   // removed: the focus goes
    EXPECT_TRUE(m.call(selection, "getFocus").isNull());
    EXPECT_EQ(m.str(m.call(selection, "setFocus", {Value::null()})), "true");
    EXPECT_EQ(log, (std::vector<std::string>{"focus _level0.b null", "focus null _level0.a", "focus _level0.a null"}));

    // Clips and buttons show the hand unless told otherwise.
    EXPECT_EQ(m.str(m.get(b, "useHandCursor")), "true");
}

TEST(StageObjectsMore, ColorSetTransformTakesOwnFieldsAndWraps) {
    Movie m;
    Value clip = m.call(m.root(), "createEmptyMovieClip", {Value("mc"), Value(1)});
    vp::DisplayObject* o = nullptr;
    for (const auto& [depth, child] : m.player->stage().root().children())
        if (child->name == QLatin1String("mc")) o = child.get();
    ASSERT_NE(o, nullptr);
    Value color = m.make("Color", {clip});
    Value t = m.object();
    m.set(t, "ra", Value("NaN"));
    m.set(t, "ga", Value(12800));    // 32768 wraps to -32768
    m.set(t, "rb", Value(65546));    // wraps to 10
    m.set(t, "bb", Value(true));
    m.set(m.path("Object.prototype"), "ab", Value(-66));   // inherited: not taken
    m.call(color, "setTransform", {t});
    m.vm().deleteMember(m.path("Object.prototype"), QStringLiteral("ab"));
    EXPECT_EQ(o->colorTransform.rMult, 0);
    EXPECT_EQ(o->colorTransform.gMult, -32768);
    EXPECT_EQ(o->colorTransform.rAdd, 10);
    EXPECT_EQ(o->colorTransform.bAdd, 1);
    EXPECT_EQ(o->colorTransform.aAdd, 0);
    EXPECT_EQ(o->colorTransform.bMult, 256);
    // An empty path names no clip.
    Value none = m.make("Color", {Value("")});
    m.call(none, "setRGB", {Value(0x333333)});
    EXPECT_TRUE(m.call(none, "getRGB").isUndefined());
}

TEST(StageObjectsMore, ColorTransformFieldsAreNumbersOnThePrototype) {
    Movie m(8);
    Value proto = m.path("flash.geom.ColorTransform.prototype");
    for (const char* name : {"redMultiplier", "alphaOffset", "rgb", "concat", "toString"})
        EXPECT_TRUE(m.vm().toBoolean(m.call(proto, "hasOwnProperty", {Value(name)}))) << name;
    Value ct = m.make("flash.geom.ColorTransform");
    EXPECT_FALSE(m.vm().toBoolean(m.call(ct, "hasOwnProperty", {Value("redMultiplier")})));
    m.set(ct, "redMultiplier", Value("Test"));
    EXPECT_EQ(m.str(m.get(ct, "redMultiplier")), "NaN");
    m.set(ct, "greenOffset", Value("12"));
    EXPECT_EQ(m.vm().typeOf(m.get(ct, "greenOffset")).toStdString(), "number");
    m.set(ct, "rgb", Value(0x010203));
    EXPECT_EQ(m.num(m.get(ct, "rgb")), 0x010203);
    EXPECT_EQ(m.num(m.get(ct, "blueMultiplier")), 0);
}

TEST(StageObjectsMore, SoundSettingsBelongToTheClipItsPathNames) {
    Movie m;
    Value clip = m.call(m.root(), "createEmptyMovieClip", {Value("mc"), Value(1)});
    Value one = m.make("Sound", {clip});
    Value two = m.make("Sound", {Value("mc")});
    m.call(one, "setVolume", {Value(50)});
    EXPECT_EQ(m.num(m.call(two, "getVolume")), 50);   // shared by every sound on the clip
    Value t = m.object();
    for (const char* k : {"ll", "lr", "rr", "rl"}) m.set(t, k, Value(10));
    m.call(two, "setTransform", {t});
    EXPECT_EQ(m.num(m.call(one, "getPan")), 90);
    // Renamed, the clip is no longer found by the path the sound keeps.
    m.set(clip, "_name", Value("other"));
    EXPECT_TRUE(m.call(one, "getVolume").isUndefined());
    m.set(clip, "_name", Value("mc"));
    EXPECT_EQ(m.num(m.call(one, "getVolume")), 50);
    // A new clip under the name starts from the defaults.
    m.call(clip, "removeMovieClip");
    EXPECT_TRUE(m.call(one, "getVolume").isUndefined());
    m.call(m.root(), "createEmptyMovieClip", {Value("mc"), Value(1)});
    EXPECT_EQ(m.num(m.call(one, "getVolume")), 100);

    // Version 5 movies see only the volume, pan and transform methods, start, stop and attachSound.
    Movie v5(5);
    Value proto = v5.path("Sound.prototype");
    EXPECT_TRUE(v5.get(proto, "getDuration").isUndefined());
    EXPECT_TRUE(v5.get(proto, "setVolume").isObject());
}

TEST(StageObjectsMore, StageModesAndFullScreenEvents) {
    Movie m;
    Value stage = m.path("Stage");
    m.set(stage, "scaleMode", Value("EXACTFIT"));
    EXPECT_EQ(m.str(m.get(stage, "scaleMode")), "exactFit");
    m.set(stage, "scaleMode", Value("bogus"));   // not a mode: the default
    EXPECT_EQ(m.str(m.get(stage, "scaleMode")), "showAll");

    std::vector<std::string> log;
    Value listener = m.object();
    m.set(listener, "onFullScreen", m.recorder(log, "full"));
    m.call(stage, "addListener", {listener});
    m.set(stage, "displayState", Value("A"));
    m.set(stage, "displayState", Value("FULLSCREEN"));
    m.set(stage, "displayState", Value("fullScreen"));   // no change, no event
    m.set(stage, "displayState", Value("normal"));
    EXPECT_EQ(log, (std::vector<std::string>{"full true", "full false"}));
}

TEST(StageObjectsMore, SandboxFollowsTheMovieNetworkFlagAndObjectsDoNotConstruct) {
    using namespace sw;
    Movie plain;
    EXPECT_EQ(plain.str(plain.path("System.security.sandboxType")), "localWithFile");
    Movie network(10, ActionWriter().end(), tag(69, Bytes{1, 0, 0, 0}));
    EXPECT_EQ(network.str(network.path("System.security.sandboxType")), "localWithNetwork");

    // `new` on an object that is not a function gives undefined.
    ActionWriter a;
    for (const char* name : {"Key", "System", "Selection"})
        a.push({Push::integer(0), Push::str(name)}).op(op::kNewObject).op(op::kTypeOf).op(op::kTrace);
    a.push(Push::str("Accessibility")).op(op::kGetVariable).push(Push::str("isActive")).op(op::kGetMember)
        .op(op::kTypeOf).op(op::kTrace);
    Movie v5(5, a.end());
    EXPECT_EQ(v5.lines, (std::vector<std::string>{"undefined", "undefined", "undefined", "undefined"}));
}

TEST(StageObjectsMore, XmlIdMapAttributeOrderAndAppendingAChildAgain) {
    using namespace sw;
    ActionWriter a;
    // for (k in new XML("<t b='1' a='2'/>").firstChild.attributes) trace(k)
    a.push({Push::str("<t b='1' a='2'/>"), Push::integer(1), Push::str("XML")}).op(op::kNewObject);
    a.push(Push::str("firstChild")).op(op::kGetMember).push(Push::str("attributes")).op(op::kGetMember).op(op::kEnumerate2);
    traceLoop(a);
    Movie m(8, a.end());
    EXPECT_EQ(m.lines, (std::vector<std::string>{"b", "a"}));   // in the order written

    Value xml = m.make("XML", {Value("<r id='top'><c id='inner'/></r><s/>")});
    EXPECT_EQ(m.str(xml), "<r id=\"top\"><c id=\"inner\" /></r><s />");
    Value map = m.get(xml, "idMap");
    EXPECT_TRUE(m.get(map, "top").strictEquals(m.get(xml, "firstChild")));
    EXPECT_TRUE(m.get(map, "inner").strictEquals(m.get(m.get(xml, "firstChild"), "firstChild")));
    m.call(xml, "parseXML", {Value("<n id='more'/>")});
    EXPECT_TRUE(m.get(xml, "idMap").strictEquals(map));   // the same map, which keeps the earlier ids
    EXPECT_TRUE(m.get(map, "top").isObject());
    EXPECT_TRUE(m.get(map, "more").isObject());

    // Script-set attributes print newest first.
    Value node = m.get(xml, "firstChild");
    m.set(m.get(node, "attributes"), "p", Value("1"));
    m.set(m.get(node, "attributes"), "q", Value("2"));
    EXPECT_EQ(m.str(xml), "<n q=\"2\" p=\"1\" id=\"more\" />");

    // Appending a node that is already a child changes nothing; one from elsewhere moves.
    Value doc = m.make("XML", {Value("<a><b/></a><c/>")});
    m.call(doc, "appendChild", {m.get(doc, "firstChild")});
    EXPECT_EQ(m.str(doc), "<a><b /></a><c />");
    m.call(doc, "appendChild", {m.get(m.get(doc, "firstChild"), "firstChild")});
    EXPECT_EQ(m.str(doc), "<a /><c /><b />");
}
