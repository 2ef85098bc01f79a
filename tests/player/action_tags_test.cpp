// Tags that carry ActionScript and button behaviour: written with the test assembler, read back by
// the parser, and damaged on purpose.
#include <gtest/gtest.h>

#include <cstring>

#include "player/swf/byte_reader.h"
#include "player/swf/parser.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace swf = vistrel::swf;
namespace op = vistrel::testing::op;
namespace ev = vistrel::swf::clipevent;
using sw::ActionWriter;
using sw::Push;

namespace {

struct Parsed {
    std::vector<swf::TagRecord> tags;
    swf::Diagnostics diagnostics;
};

Parsed parseStream(const std::vector<sw::Bytes>& tagList, int version = 10) {
    sw::Bytes stream;
    for (const sw::Bytes& t : tagList) stream.insert(stream.end(), t.begin(), t.end());
    Parsed p;
    swf::ByteReader r(stream);
    p.tags = swf::parseTags(r, version, p.diagnostics);
    return p;
}

// Parses one well-formed tag and returns it.
swf::Tag parseOne(const sw::Bytes& tagBytes, int version = 10) {
    Parsed p = parseStream({tagBytes}, version);
    EXPECT_TRUE(p.diagnostics.empty()) << (p.diagnostics.empty() ? "" : p.diagnostics.front().text);
    EXPECT_EQ(p.tags.size(), 1u);
    return p.tags.empty() ? swf::Tag{} : p.tags.front().tag;
}

template <class T>
T as(const swf::Tag& tag) {
    const T* t = std::get_if<T>(&tag);
    EXPECT_NE(t, nullptr);
    return t ? *t : T{};
}

sw::Bytes bytesOf(const swf::ActionBytes& a) { return a ? *a : sw::Bytes{}; }

// A damaged tag becomes one diagnostic for its code, and the tag after it still reads.
void expectRejected(const sw::Bytes& tagBytes, std::uint16_t code, int version = 10) {
    Parsed p = parseStream({tagBytes, sw::showFrame()}, version);
    ASSERT_EQ(p.diagnostics.size(), 1u);
    EXPECT_EQ(p.diagnostics[0].tagCode, code);
    ASSERT_EQ(p.tags.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<swf::UnknownTag>(p.tags[0].tag));
    EXPECT_TRUE(std::holds_alternative<swf::ShowFrame>(p.tags[1].tag));
}

// Splits a tag into its code and body (the writer's header form is known: short or long).
std::pair<std::uint16_t, sw::Bytes> splitTag(const sw::Bytes& t) {
    const std::uint16_t head = static_cast<std::uint16_t>(t[0] | (t[1] << 8));
    const std::size_t start = (head & 0x3f) == 0x3f ? 6 : 2;
    return {static_cast<std::uint16_t>(head >> 6), sw::Bytes(t.begin() + static_cast<std::ptrdiff_t>(start), t.end())};
}

sw::Bytes traceOf(const std::string& text) { return ActionWriter().push(Push::str(text)).op(op::kTrace).end(); }

}  // namespace

// ---- the assembler ----

TEST(ActionWriter, PushWritesEveryValueTypeInItsEncoding) {
    const sw::Bytes code = ActionWriter()
                               .push({Push::str("hi"), Push::flt(1.5f), Push::null(), Push::undefined(), Push::reg(3),
                                      Push::boolean(true), Push::dbl(1.0), Push::integer(-2), Push::constant8(7),
                                      Push::constant16(0x1234)})
                               .code();
    const sw::Bytes body = {0, 'h', 'i', 0,                   // string
                            1, 0x00, 0x00, 0xc0, 0x3f,        // float 1.5
                            2, 3,                             // null, undefined
                            4, 3,                             // register 3
                            5, 1,                             // true
                            6, 0x00, 0x00, 0xf0, 0x3f, 0, 0, 0, 0,   // double 1.0: high half first
                            7, 0xfe, 0xff, 0xff, 0xff,        // integer -2
                            8, 7,                             // constant 7
                            9, 0x34, 0x12};                   // constant 0x1234
    sw::Bytes expected = {op::kPush, static_cast<std::uint8_t>(body.size()), 0};
    expected.insert(expected.end(), body.begin(), body.end());
    EXPECT_EQ(code, expected);

    // Double halves: a value with both halves non-zero shows the order.
    const double d = 0.1;   // 0x3FB999999999999A
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof d);
    const sw::Bytes dcode = ActionWriter().push(Push::dbl(d)).code();
    ASSERT_EQ(dcode.size(), 3u + 9u);
    EXPECT_EQ(dcode[4], 0x99);   // low byte of the high half
    EXPECT_EQ(dcode[7], 0x3f);
    EXPECT_EQ(dcode[8], 0x9a);   // low byte of the low half
    EXPECT_EQ(Push::constant(255).type, Push::Type::Constant8);
    EXPECT_EQ(Push::constant(256).type, Push::Type::Constant16);
}

TEST(ActionWriter, RecordsWithBodiesCarryTheirLengthAndFields) {
    const sw::Bytes code = ActionWriter()
                               .op(op::kPlay)
                               .op(op::kCall)
                               .gotoFrame(5)
                               .getUrl("u", "t")
                               .storeRegister(2)
                               .constantPool({"a", "bc"})
                               .waitForFrame(9, 1)
                               .waitForFrame2(4)
                               .setTarget("s")
                               .gotoLabel("l")
                               .getUrl2(2, true, false)
                               .gotoFrame2(true, 3)
                               .gotoFrame2(false)
                               .end();
    const sw::Bytes expected = {op::kPlay,
                                op::kCall, 0, 0,
                                op::kGotoFrame, 2, 0, 5, 0,
                                op::kGetUrl, 4, 0, 'u', 0, 't', 0,
                                op::kStoreRegister, 1, 0, 2,
                                op::kConstantPool, 7, 0, 2, 0, 'a', 0, 'b', 'c', 0,
                                op::kWaitForFrame, 3, 0, 9, 0, 1,
                                op::kWaitForFrame2, 1, 0, 4,
                                op::kSetTarget, 2, 0, 's', 0,
                                op::kGotoLabel, 2, 0, 'l', 0,
                                op::kGetUrl2, 1, 0, 0x42,
                                op::kGotoFrame2, 3, 0, 0x03, 3, 0,
                                op::kGotoFrame2, 1, 0, 0x00,
                                op::kEnd};
    EXPECT_EQ(code, expected);
}

TEST(ActionWriter, JumpOffsetsCountFromTheFollowingAction) {
    ActionWriter a;
    a.label("top")                        // 0
        .op(op::kPlay)                    // 0..1
        .ifTrue("end")                    // 1..6, next action at 6
        .jump("top")                      // 6..11, next at 11
        .op(op::kStop)                    // 11..12
        .label("end")                     // 12
        .jump("end");                     // 12..17, next at 17
    const sw::Bytes code = a.end();
    ASSERT_EQ(code.size(), 18u);
    auto offsetAt = [&](std::size_t i) { return static_cast<std::int16_t>(code[i] | (code[i + 1] << 8)); };
    EXPECT_EQ(code[1], op::kIf);
    EXPECT_EQ(offsetAt(4), 12 - 6);
    EXPECT_EQ(code[6], op::kJump);
    EXPECT_EQ(offsetAt(9), 0 - 11);
    EXPECT_EQ(offsetAt(15), 12 - 17);   // a jump to itself
    EXPECT_EQ(code.back(), op::kEnd);

    const sw::Bytes raw = ActionWriter().jumpBy(-32768).ifTrueBy(7).code();
    EXPECT_EQ(raw, (sw::Bytes{op::kJump, 2, 0, 0x00, 0x80, op::kIf, 2, 0, 7, 0}));
}

TEST(ActionWriter, BlocksAreSizedFromTheirBodiesWithLocalLabels) {
    ActionWriter body;
    body.label("again").op(op::kPop).ifTrue("again").push(Push::integer(1)).op(op::kReturn);
    const sw::Bytes bodyCode = body.code();
    ASSERT_EQ(bodyCode.size(), 1u + 5u + 8u + 1u);
    EXPECT_EQ(static_cast<std::int16_t>(bodyCode[4] | (bodyCode[5] << 8)), -6);

    const sw::Bytes f = ActionWriter().defineFunction("f", {"a", "b"}, body).code();
    const sw::Bytes head = {op::kDefineFunction, 10, 0, 'f', 0, 2, 0, 'a', 0, 'b', 0,
                            static_cast<std::uint8_t>(bodyCode.size()), 0};
    ASSERT_EQ(f.size(), head.size() + bodyCode.size());
    EXPECT_TRUE(std::equal(head.begin(), head.end(), f.begin()));
    EXPECT_TRUE(std::equal(bodyCode.begin(), bodyCode.end(), f.begin() + static_cast<std::ptrdiff_t>(head.size())));

    const sw::Bytes f2 = ActionWriter()
                             .defineFunction2("g", 4, sw::fn2::kPreloadThis | sw::fn2::kSuppressArguments |
                                                          sw::fn2::kPreloadGlobal,
                                              {{1, "x"}, {0, "y"}}, ActionWriter().op(op::kReturn))
                             .code();
    EXPECT_EQ(f2, (sw::Bytes{op::kDefineFunction2, 15, 0, 'g', 0, 2, 0, 4, 0x09, 0x01, 1, 'x', 0, 0, 'y', 0, 1, 0,
                             op::kReturn}));

    const sw::Bytes w = ActionWriter().with(ActionWriter().op(op::kStop)).code();
    EXPECT_EQ(w, (sw::Bytes{op::kWith, 2, 0, 1, 0, op::kStop}));

    const sw::Bytes t1 = ActionWriter()
                             .tryBlock(ActionWriter().op(op::kThrow), ActionWriter().op(op::kPop).op(op::kPop),
                                       std::nullopt, sw::CatchTarget::variable("e"))
                             .code();
    EXPECT_EQ(t1, (sw::Bytes{op::kTry, 9, 0, 0x01, 1, 0, 2, 0, 0, 0, 'e', 0, op::kThrow, op::kPop, op::kPop}));
    const sw::Bytes t2 = ActionWriter()
                             .tryBlock(ActionWriter().op(op::kThrow), ActionWriter().op(op::kPop),
                                       ActionWriter().op(op::kStop), sw::CatchTarget::registerNumber(3))
                             .code();
    EXPECT_EQ(t2, (sw::Bytes{op::kTry, 8, 0, 0x07, 1, 0, 1, 0, 1, 0, 3, op::kThrow, op::kPop, op::kStop}));
}

TEST(ActionWriter, MisuseFailsLoudly) {
    EXPECT_THROW(ActionWriter().jump("nowhere").end(), std::invalid_argument);
    EXPECT_THROW(ActionWriter().label("x").label("x"), std::invalid_argument);
    ActionWriter far;
    far.jump("far");
    for (int i = 0; i < 40000; ++i) far.op(op::kPop);
    far.label("far");
    EXPECT_THROW(far.end(), std::invalid_argument);
    EXPECT_THROW(ActionWriter().push(Push::str(std::string(70000, 'x'))), std::invalid_argument);
}

// ---- DoAction, DoInitAction, exports and imports ----

TEST(ActionTags, DoActionAndDoInitActionKeepTheirBytes) {
    const sw::Bytes code = ActionWriter().constantPool({"x"}).push({Push::constant8(0), Push::integer(3)})
                               .op(op::kSetVariable).end();
    const auto a = as<swf::DoAction>(parseOne(sw::doAction(code)));
    EXPECT_EQ(bytesOf(a.actions), code);

    const auto init = as<swf::DoInitAction>(parseOne(sw::doInitAction(42, code)));
    EXPECT_EQ(init.spriteId, 42);
    EXPECT_EQ(bytesOf(init.actions), code);

    // A long body goes through the long tag header and stays whole.
    ActionWriter big;
    for (int i = 0; i < 100; ++i) big.push(Push::integer(i)).op(op::kPop);
    EXPECT_EQ(bytesOf(as<swf::DoAction>(parseOne(sw::doAction(big.end()))).actions), big.end());

    expectRejected(sw::tag(59, {0x01}), 59);   // sprite id cut short
}

TEST(ActionTags, SpritesKeepTheirActionsInFrameOrder) {
    const sw::Bytes sprite = sw::defineSprite(
        5, 2, {sw::doAction(traceOf("a")), sw::showFrame(), sw::doAction(traceOf("b")), sw::showFrame()});
    const auto s = as<swf::DefineSprite>(parseOne(sprite));
    ASSERT_EQ(s.tags.size(), 5u);
    EXPECT_EQ(bytesOf(std::get<swf::DoAction>(s.tags[0].tag).actions), traceOf("a"));
    EXPECT_TRUE(std::holds_alternative<swf::ShowFrame>(s.tags[1].tag));
    EXPECT_EQ(bytesOf(std::get<swf::DoAction>(s.tags[2].tag).actions), traceOf("b"));
}

TEST(ActionTags, TraceMovieRunsOneBlockPerFrame) {
    const std::vector<sw::Bytes> frames = {traceOf("one"), traceOf("two"), traceOf("three")};
    const sw::Bytes file = sw::traceMovie(frames, 6);
    const swf::ParsedMovie m = swf::parseMovie(file);
    EXPECT_TRUE(m.diagnostics.empty());
    EXPECT_EQ(m.header.version, 6);
    EXPECT_EQ(m.header.frameCount, 3);
    std::vector<sw::Bytes> seen;
    int shown = 0;
    for (const swf::TagRecord& t : m.tags) {
        if (const auto* a = std::get_if<swf::DoAction>(&t.tag)) {
            EXPECT_EQ(static_cast<int>(seen.size()), shown);   // the block comes before its frame's end
            seen.push_back(bytesOf(a->actions));
        }
        if (std::holds_alternative<swf::ShowFrame>(t.tag)) ++shown;
    }
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(seen, frames);
}

TEST(ActionTags, ExportAndImportListsReadBack) {
    const auto e = as<swf::ExportAssets>(parseOne(sw::exportAssets({{3, "Ball"}, {9, "lib.Box"}})));
    ASSERT_EQ(e.assets.size(), 2u);
    EXPECT_EQ(e.assets[0], (std::pair<std::uint16_t, std::string>{3, "Ball"}));
    EXPECT_EQ(e.assets[1], (std::pair<std::uint16_t, std::string>{9, "lib.Box"}));

    for (bool version2 : {false, true}) {
        SCOPED_TRACE(version2 ? "ImportAssets2" : "ImportAssets");
        const auto i = as<swf::ImportAssets>(parseOne(sw::importAssets("shared.swf", {{1, "Font1"}}, version2)));
        EXPECT_EQ(i.url, "shared.swf");
        ASSERT_EQ(i.assets.size(), 1u);
        EXPECT_EQ(i.assets[0].first, 1);
        EXPECT_EQ(i.assets[0].second, "Font1");
    }

    // A count larger than the entries present, and an entry without its name.
    sw::ByteWriter shortList;
    shortList.u16(3).u16(1).string("a");
    expectRejected(sw::tag(56, shortList.data()), 56);
    expectRejected(sw::tag(56, {1, 0, 7, 0}), 56);
}

// ---- clip actions ----

TEST(ClipActions, EventsKeyCodesAndActionsReadBackInSwf6Layout) {
    const sw::Bytes load = traceOf("load"), key = traceOf("key"), mouse = traceOf("mouse");
    const sw::PlaceSpec spec{.depth = 3,
                             .characterId = 7,
                             .name = std::string("clip"),
                             .clipActions = {{ev::kLoad | ev::kEnterFrame, 0, load},
                                             {ev::kKeyPress | ev::kKeyDown, 13, key},
                                             {ev::kPress | ev::kRelease | ev::kDragOut | ev::kConstruct, 0, mouse}}};
    for (int version : {6, 10}) {
        SCOPED_TRACE(version);
        const auto p = as<swf::PlaceObject>(parseOne(sw::placeObject2(spec, version), version));
        EXPECT_EQ(p.depth, 3);
        EXPECT_EQ(p.character, 7);
        EXPECT_EQ(p.name, "clip");
        ASSERT_EQ(p.clipActions.size(), 3u);
        EXPECT_EQ(p.clipActions[0].events, ev::kLoad | ev::kEnterFrame);
        EXPECT_EQ(bytesOf(p.clipActions[0].actions), load);
        EXPECT_EQ(p.clipActions[1].events, ev::kKeyPress | ev::kKeyDown);
        EXPECT_EQ(p.clipActions[1].keyCode, 13);
        EXPECT_EQ(bytesOf(p.clipActions[1].actions), key);   // the key code is not part of the actions
        EXPECT_EQ(p.clipActions[2].events, ev::kPress | ev::kRelease | ev::kDragOut | ev::kConstruct);
        EXPECT_EQ(p.clipActions[2].keyCode, 0);
        EXPECT_EQ(bytesOf(p.clipActions[2].actions), mouse);
    }
}

TEST(ClipActions, EventBitsSitWhereTheFormatPutsThem) {
    // One record per event, written by hand: byte order of the 32-bit field, high bits first in each byte.
    const std::vector<std::pair<std::uint32_t, std::array<std::uint8_t, 4>>> cases = {
        {ev::kKeyUp, {0x80, 0, 0, 0}},        {ev::kKeyDown, {0x40, 0, 0, 0}},
        {ev::kMouseUp, {0x20, 0, 0, 0}},      {ev::kMouseDown, {0x10, 0, 0, 0}},
        {ev::kMouseMove, {0x08, 0, 0, 0}},    {ev::kUnload, {0x04, 0, 0, 0}},
        {ev::kEnterFrame, {0x02, 0, 0, 0}},   {ev::kLoad, {0x01, 0, 0, 0}},
        {ev::kDragOver, {0, 0x80, 0, 0}},     {ev::kRollOut, {0, 0x40, 0, 0}},
        {ev::kRollOver, {0, 0x20, 0, 0}},     {ev::kReleaseOutside, {0, 0x10, 0, 0}},
        {ev::kRelease, {0, 0x08, 0, 0}},      {ev::kPress, {0, 0x04, 0, 0}},
        {ev::kInitialize, {0, 0x02, 0, 0}},   {ev::kData, {0, 0x01, 0, 0}},
        {ev::kConstruct, {0, 0, 0x04, 0}},    {ev::kKeyPress, {0, 0, 0x02, 0}},
        {ev::kDragOut, {0, 0, 0x01, 0}},
    };
    for (const auto& [event, raw] : cases) {
        SCOPED_TRACE(event);
        const bool key = event == ev::kKeyPress;
        sw::ByteWriter w;
        w.u8(0x82).u16(1).u16(1);   // has clip actions, has character; depth 1, character 1
        w.u16(0).bytes({raw[0], raw[1], raw[2], raw[3]});
        w.bytes({raw[0], raw[1], raw[2], raw[3]}).u32(key ? 2 : 1);
        if (key) w.u8(32);
        w.u8(0).u32(0);
        const auto p = as<swf::PlaceObject>(parseOne(sw::tag(26, w.data()), 6));
        ASSERT_EQ(p.clipActions.size(), 1u);
        EXPECT_EQ(p.clipActions[0].events, event);
        EXPECT_EQ(p.clipActions[0].keyCode, key ? 32 : 0);
        EXPECT_EQ(bytesOf(p.clipActions[0].actions), sw::Bytes{0});
    }
}

TEST(ClipActions, Swf5SixteenBitFlagsMapIntoTheSameLayout) {
    const sw::Bytes a = traceOf("a"), b = traceOf("b");
    const sw::PlaceSpec spec{.depth = 1,
                             .characterId = 2,
                             .clipActions = {{ev::kLoad | ev::kKeyUp, 0, a}, {ev::kData | ev::kMouseMove, 0, b}}};
    const sw::Bytes tagBytes = sw::placeObject2(spec, 5);
    // Two bytes narrower per flags field than the SWF 6 form: all-events, two records, the end marker.
    EXPECT_EQ(sw::placeObject2(spec, 6).size(), tagBytes.size() + 4 * 2);
    const auto p = as<swf::PlaceObject>(parseOne(tagBytes, 5));
    ASSERT_EQ(p.clipActions.size(), 2u);
    EXPECT_EQ(p.clipActions[0].events, ev::kLoad | ev::kKeyUp);
    EXPECT_EQ(bytesOf(p.clipActions[0].actions), a);
    EXPECT_EQ(p.clipActions[1].events, ev::kData | ev::kMouseMove);
    EXPECT_EQ(bytesOf(p.clipActions[1].actions), b);

    // Read with the wrong width, the same bytes do not line up: the version decides.
    Parsed wrong = parseStream({tagBytes}, 6);
    const auto* pw = std::get_if<swf::PlaceObject>(&wrong.tags.at(0).tag);
    EXPECT_TRUE(!wrong.diagnostics.empty() || (pw && pw->clipActions.size() != 2u));
}

TEST(ClipActions, PlaceObject3ReadsThemAfterFiltersBlendAndBackground) {
    const sw::Bytes code = traceOf("p3");
    const sw::PlaceSpec spec{.depth = 4,
                             .characterId = 9,
                             .blendMode = 3,
                             .filterList = sw::Bytes{1, 1, 0, 0, 4, 0, 0, 0, 4, 0, 0x11},   // one blur
                             .cacheAsBitmap = 1,
                             .clipActions = {{ev::kEnterFrame, 0, code}}};
    const auto p = as<swf::PlaceObject>(parseOne(sw::placeObject3(spec)));
    EXPECT_EQ(p.blendMode, 3);
    EXPECT_EQ(p.cacheAsBitmap, true);
    ASSERT_TRUE(p.filterList.has_value());
    ASSERT_EQ(p.clipActions.size(), 1u);
    EXPECT_EQ(bytesOf(p.clipActions[0].actions), code);

    // Visible flag and opaque background colour come between the cache flag and the clip actions.
    sw::ByteWriter w;
    w.u8(0x82).u8(0x60).u16(1).u16(9);
    w.u8(1).rgba(0x102030ff);
    w.u16(0).u32(ev::kUnload).u32(ev::kUnload).u32(static_cast<std::uint32_t>(code.size())).bytes(code).u32(0);
    const auto q = as<swf::PlaceObject>(parseOne(sw::tag(70, w.data())));
    EXPECT_EQ(q.visible, true);
    ASSERT_EQ(q.clipActions.size(), 1u);
    EXPECT_EQ(q.clipActions[0].events, ev::kUnload);
    EXPECT_EQ(bytesOf(q.clipActions[0].actions), code);
}

TEST(ClipActions, DamagedRecordsAreRejectedWithoutOverrun) {
    const sw::Bytes code = traceOf("x");
    auto place = [&](std::uint32_t size, bool endMarker) {
        sw::ByteWriter w;
        w.u8(0x82).u16(1).u16(1).u16(0).u32(ev::kLoad).u32(ev::kLoad).u32(size).bytes(code);
        if (endMarker) w.u32(0);
        return sw::tag(26, w.data());
    };
    const auto sz = static_cast<std::uint32_t>(code.size());
    // Overlong: the size runs past the body, also by a hostile amount.
    expectRejected(place(sz + 5, true), 26, 6);
    expectRejected(place(0xffffffffu, true), 26, 6);
    // A key press record whose size leaves no room for the key code.
    {
        sw::ByteWriter w;
        w.u8(0x82).u16(1).u16(1).u16(0).u32(ev::kKeyPress).u32(ev::kKeyPress).u32(0).u32(0);
        const auto p = parseStream({sw::tag(26, w.data())}, 6);
        ASSERT_EQ(p.diagnostics.size(), 1u);
    }
    // A shorter size leaves the rest to be read as the next record's flags, which then do not fit.
    expectRejected(place(1, true), 26, 6);
    // A body that stops exactly where the end marker belongs loses only the marker.
    const auto p = as<swf::PlaceObject>(parseOne(place(sz, false), 6));
    ASSERT_EQ(p.clipActions.size(), 1u);
    EXPECT_EQ(bytesOf(p.clipActions[0].actions), code);
}

TEST(ClipActions, EveryCutOfTheBodyEitherReadsAPrefixOrIsRejected) {
    const sw::PlaceSpec spec{.depth = 1,
                             .characterId = 2,
                             .clipActions = {{ev::kLoad, 0, traceOf("a")},
                                             {ev::kKeyPress, 65, traceOf("b")},
                                             {ev::kData, 0, traceOf("c")}}};
    for (int version : {5, 6}) {
        const sw::PlaceSpec s = version == 5 ? sw::PlaceSpec{.depth = 1, .characterId = 2,
                                                             .clipActions = {spec.clipActions[0], spec.clipActions[2]}}
                                             : spec;
        const auto [code, body] = splitTag(sw::placeObject2(s, version));
        const auto full = as<swf::PlaceObject>(parseOne(sw::tag(code, body), version));
        ASSERT_EQ(full.clipActions.size(), s.clipActions.size());
        for (std::size_t cut = 0; cut < body.size(); ++cut) {
            SCOPED_TRACE(testing::Message() << "version " << version << " cut " << cut);
            const sw::Bytes cutBody(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(cut));
            const Parsed p = parseStream({sw::tag(code, cutBody)}, version);
            ASSERT_EQ(p.tags.size(), 1u);
            if (!p.diagnostics.empty()) {
                EXPECT_TRUE(std::holds_alternative<swf::UnknownTag>(p.tags[0].tag));
                continue;
            }
            const auto& got = std::get<swf::PlaceObject>(p.tags[0].tag);
            ASSERT_LE(got.clipActions.size(), full.clipActions.size());
            for (std::size_t i = 0; i < got.clipActions.size(); ++i) {
                EXPECT_EQ(got.clipActions[i].events, full.clipActions[i].events);
                EXPECT_EQ(bytesOf(got.clipActions[i].actions), bytesOf(full.clipActions[i].actions));
            }
        }
    }
}

// ---- buttons ----

TEST(Buttons, DefineButtonKeepsRecordsAndItsOneBlockAsARelease) {
    const sw::Bytes code = traceOf("click");
    const auto b = as<swf::DefineButton>(parseOne(sw::defineButton(
        12, {{.states = 0x01, .characterId = 3, .depth = 1, .matrix = sw::MatrixSpec::translate(20, 40)},
             {.states = 0x0e, .characterId = 4, .depth = 2}},
        code)));
    EXPECT_EQ(b.id, 12);
    EXPECT_EQ(b.version, 1);
    EXPECT_FALSE(b.trackAsMenu);
    ASSERT_EQ(b.records.size(), 2u);
    EXPECT_TRUE(b.records[0].up);
    EXPECT_FALSE(b.records[0].over || b.records[0].down || b.records[0].hitTest);
    EXPECT_EQ(b.records[0].character, 3);
    EXPECT_EQ(b.records[0].matrix.tx, 20);
    EXPECT_EQ(b.records[0].matrix.ty, 40);
    EXPECT_TRUE(b.records[1].over && b.records[1].down && b.records[1].hitTest && !b.records[1].up);
    ASSERT_EQ(b.actions.size(), 1u);
    EXPECT_EQ(b.actions[0].conditions, swf::buttoncond::kOverDownToOverUp);
    EXPECT_EQ(bytesOf(b.actions[0].actions), code);

    EXPECT_TRUE(as<swf::DefineButton>(parseOne(sw::defineButton(1, {{}}, {}))).actions.empty());
}

TEST(Buttons, DefineButton2ReadsRecordsAndConditionActions) {
    namespace bc = swf::buttoncond;
    const sw::Bytes release = traceOf("release"), keyA = traceOf("key"), over = traceOf("over");
    const sw::Bytes filters = {1, 1, 0, 0, 4, 0, 0, 0, 4, 0, 0x11};   // one blur
    const std::vector<sw::ButtonRecordSpec> records = {
        {.states = 0x01, .characterId = 3, .depth = 1,
         .cxform = sw::CxformSpec{.mult = std::array<std::int16_t, 4>{128, 256, 256, 64}}},
        {.states = 0x08, .characterId = 4, .depth = 2, .filterList = filters, .blendMode = 5}};
    const std::vector<sw::ButtonActionSpec> actions = {
        {bc::kOverDownToOverUp, release},
        {static_cast<std::uint16_t>('A' << bc::kKeyPressShift), keyA},
        {static_cast<std::uint16_t>(bc::kIdleToOverUp | bc::kOutDownToOverDown), over}};
    const auto b = as<swf::DefineButton>(parseOne(sw::defineButton2(30, records, actions, true)));
    EXPECT_EQ(b.id, 30);
    EXPECT_EQ(b.version, 2);
    EXPECT_TRUE(b.trackAsMenu);
    ASSERT_EQ(b.records.size(), 2u);
    EXPECT_EQ(b.records[0].colorTransform.rMult, 128);
    EXPECT_EQ(b.records[0].colorTransform.aMult, 64);
    EXPECT_TRUE(b.records[0].filterList.empty());
    EXPECT_TRUE(b.records[1].hitTest);
    EXPECT_EQ(b.records[1].filterList, filters);
    EXPECT_EQ(b.records[1].blendMode, 5);
    ASSERT_EQ(b.actions.size(), 3u);
    EXPECT_EQ(b.actions[0].conditions, bc::kOverDownToOverUp);
    EXPECT_EQ(bytesOf(b.actions[0].actions), release);
    EXPECT_EQ((b.actions[1].conditions & bc::kKeyPressMask) >> bc::kKeyPressShift, 'A');
    EXPECT_EQ(bytesOf(b.actions[1].actions), keyA);
    EXPECT_EQ(b.actions[2].conditions, bc::kIdleToOverUp | bc::kOutDownToOverDown);
    EXPECT_EQ(bytesOf(b.actions[2].actions), over);

    // No actions: a zero offset, and bytes after the records are not taken for actions.
    const auto none = as<swf::DefineButton>(parseOne(sw::defineButton2(31, records, {})));
    EXPECT_FALSE(none.trackAsMenu);
    EXPECT_EQ(none.records.size(), 2u);
    EXPECT_TRUE(none.actions.empty());
}

TEST(Buttons, ConditionBitsSitWhereTheFormatPutsThem) {
    namespace bc = swf::buttoncond;
    // First stored byte, high bit first: IdleToOverDown .. IdleToOverUp; second: key code, OverDownToIdle.
    const std::vector<std::pair<std::uint16_t, std::array<std::uint8_t, 2>>> cases = {
        {bc::kIdleToOverDown, {0x80, 0}},   {bc::kOutDownToIdle, {0x40, 0}},
        {bc::kOutDownToOverDown, {0x20, 0}}, {bc::kOverDownToOutDown, {0x10, 0}},
        {bc::kOverDownToOverUp, {0x08, 0}}, {bc::kOverUpToOverDown, {0x04, 0}},
        {bc::kOverUpToIdle, {0x02, 0}},     {bc::kIdleToOverUp, {0x01, 0}},
        {bc::kOverDownToIdle, {0, 0x01}},   {static_cast<std::uint16_t>(13 << bc::kKeyPressShift), {0, 13 << 1}},
    };
    for (const auto& [cond, raw] : cases) {
        SCOPED_TRACE(cond);
        sw::ByteWriter w;
        w.u16(1).u8(0).u16(3).u8(0);   // no records
        w.u16(0).u8(raw[0]).u8(raw[1]).u8(0);
        const auto b = as<swf::DefineButton>(parseOne(sw::tag(34, w.data())));
        ASSERT_EQ(b.actions.size(), 1u);
        EXPECT_EQ(b.actions[0].conditions, cond);
    }
}

TEST(Buttons, DamagedConditionRecordsAreRejected) {
    const sw::Bytes code = traceOf("x");
    auto button = [&](std::uint16_t actionOffset, std::uint16_t firstSize) {
        sw::ByteWriter w;
        w.u16(1).u8(0).u16(actionOffset);
        w.u8(0x01).u16(2).u16(1).matrix({}).cxform({}, true).u8(0);   // one record
        w.u16(firstSize).u16(swf::buttoncond::kOverDownToOverUp).bytes(code);
        w.u16(0).u16(swf::buttoncond::kIdleToOverUp).bytes(code);
        return sw::tag(34, w.data());
    };
    const auto good = splitTag(sw::defineButton2(
        1, {{.states = 0x01, .characterId = 2, .depth = 1}},
        {{swf::buttoncond::kOverDownToOverUp, code}, {swf::buttoncond::kIdleToOverUp, code}}));
    const auto offset = static_cast<std::uint16_t>(good.second[3] | (good.second[4] << 8));
    const auto size = static_cast<std::uint16_t>(4 + code.size());
    EXPECT_EQ(button(offset, size), sw::tag(34, good.second));   // the hand-made form matches the writer's

    expectRejected(button(offset, 0xffff), 34);          // record size past the body
    expectRejected(button(offset, 3), 34);               // record size inside its own header
    expectRejected(button(3, size), 34);                 // actions said to start inside the records
    expectRejected(button(0xfff0, size), 34);            // actions said to start past the body
    {
        const auto [c, body] = splitTag(button(offset, size));
        for (std::size_t cut = 0; cut < body.size(); ++cut) {
            const sw::Bytes cutBody(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(cut));
            const Parsed p = parseStream({sw::tag(c, cutBody)});
            ASSERT_EQ(p.tags.size(), 1u);
            if (const auto* b = std::get_if<swf::DefineButton>(&p.tags[0].tag)) {
                EXPECT_TRUE(p.diagnostics.empty());
                EXPECT_LE(b->actions.size(), 2u);
            } else {
                EXPECT_EQ(p.diagnostics.size(), 1u) << cut;
            }
        }
    }
}

TEST(Buttons, CxformAndSoundTagsReadBack) {
    const auto cx = as<swf::DefineButtonCxform>(parseOne(sw::defineButtonCxform(
        8, sw::CxformSpec{.mult = std::array<std::int16_t, 4>{10, 20, 30, 256},
                          .add = std::array<std::int16_t, 4>{-5, 0, 5, 0}})));
    EXPECT_EQ(cx.buttonId, 8);
    EXPECT_EQ(cx.cx.rMult, 10);
    EXPECT_EQ(cx.cx.bMult, 30);
    EXPECT_EQ(cx.cx.rAdd, -5);
    EXPECT_EQ(cx.cx.bAdd, 5);
    EXPECT_EQ(cx.cx.aMult, 256);   // no alpha in this form

    // Sound infos with every optional part, so skipping them must land on the next id.
    sw::ByteWriter full;
    full.u8(0x0f).u32(100).u32(200).u16(3).u8(2).u32(0).u16(1).u16(2).u32(10).u16(3).u16(4);
    const sw::Bytes loops = {0x04, 2, 0};
    const auto s = as<swf::DefineButtonSound>(
        parseOne(sw::defineButtonSound(8, {0, 21, 22, 23}, {sw::Bytes{}, full.data(), loops, sw::Bytes{}})));
    EXPECT_EQ(s.buttonId, 8);
    EXPECT_EQ(s.soundId, (std::array<std::uint16_t, 4>{0, 21, 22, 23}));

    // An envelope that claims more points than the body holds.
    expectRejected(sw::defineButtonSound(8, {21, 0, 0, 0}, {sw::Bytes{0x08, 200}}), 17);
    expectRejected(sw::tag(23, {8}), 23);
}
