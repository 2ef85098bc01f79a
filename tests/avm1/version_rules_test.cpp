// Rules that depend on the version of the movie code comes from: calls between movies of different
// versions, the old case table of name lookups, what version 4 code can read, and what named children
// without script objects (shapes, texts, bitmaps) look like to scripts.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <QFile>
#include <QTemporaryDir>

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
using Lines = std::vector<std::string>;

namespace {

QByteArray bytesOf(const sw::Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

// Plays `frames` of a movie written to a temporary folder beside its other files; collects its trace.
struct FolderMovie {
    QTemporaryDir dir;
    std::unique_ptr<vp::Player> player;
    Lines lines;

    void write(const QString& name, const sw::Bytes& bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytesOf(bytes));
    }
    void play(const sw::Bytes& mainMovie, int frames) {
        write(QStringLiteral("main.swf"), mainMovie);
        auto movie = vp::Movie::fromFile(dir.filePath(QStringLiteral("main.swf")));
        ASSERT_TRUE(movie->isValid());
        player = std::make_unique<vp::Player>(movie, [this](const QString& l) { lines.push_back(l.toStdString()); });
        for (int i = 1; i < frames; ++i) player->nextFrame();
    }
};

// trace(text + <value of the variable `name`>)
ActionWriter& traceNamed(ActionWriter& a, const std::string& text, const std::string& name) {
    return a.push({Push::str(text), Push::str(name)}).op(op::kGetVariable).op(op::kAdd2).op(op::kTrace);
}

// A movie of `version` whose first frame defines `foo` and a function `f` reporting what it sees:
// its target, `foo` and whether the MovieClip method getDepth (version 6 and up) is visible. It then
// calls _root.onLoaded().
sw::Bytes reportingChild(int version) {
    ActionWriter body;
    body.push({Push::str("target "), Push::str(""), Push::integer(11)}).op(op::kGetProperty).op(op::kAdd2).op(op::kTrace);
    traceNamed(body, "foo ", "foo");
    body.push({Push::str("getDepth "), Push::str("getDepth")}).op(op::kGetVariable).op(op::kTypeOf).op(op::kAdd2)
        .op(op::kTrace);
    ActionWriter a;
    a.push({Push::str("foo"), Push::str("child")}).op(op::kDefineLocal);
    a.defineFunction("f", {}, body);
    a.push({Push::integer(0), Push::str("_root")}).op(op::kGetVariable).push(Push::str("onLoaded")).op(op::kCallMethod)
        .op(op::kPop);
    return sw::traceMovie({a.end()}, version);
}

// A root movie of `version` holding an empty sprite named `clip`; its first frame runs `a` and then loads
// child.swf into the clip. It plays four frames.
sw::Bytes rootWithClip(ActionWriter& a, int version) {
    a.push({Push::str("child.swf"), Push::str("clip")}).op(op::kGetVariable).getUrl2(0, true, false);
    sw::MovieSpec spec;
    spec.version = version;
    sw::PlaceSpec place;
    place.characterId = 1;
    place.name = "clip";
    return sw::movie(spec, {sw::defineSprite(1, 1, {sw::showFrame(), sw::endTag()}), sw::placeObject2(place, version),
                            sw::doAction(a.end()), sw::showFrame(), sw::showFrame(), sw::showFrame(), sw::showFrame()});
}

// A root movie of `version` that loads the reporting child into its clip `clip` and, once it has
// loaded, calls its `f` as clip.f() and as a plain call of a local copy.
sw::Bytes callingRoot(int version) {
    ActionWriter onLoaded;
    onLoaded.push(Push::str("// clip.f()")).op(op::kTrace);
    onLoaded.push({Push::integer(0), Push::str("clip")}).op(op::kGetVariable).push(Push::str("f")).op(op::kCallMethod)
        .op(op::kPop);
    onLoaded.push(Push::str("// f()")).op(op::kTrace);
    onLoaded.push({Push::str("g"), Push::str("clip")}).op(op::kGetVariable).push(Push::str("f")).op(op::kGetMember)
        .op(op::kDefineLocal);
    onLoaded.push({Push::integer(0), Push::str("g")}).op(op::kCallFunction).op(op::kPop);
    ActionWriter a;
    a.defineFunction("onLoaded", {}, onLoaded);
    return rootWithClip(a, version);
}

Lines crossCall(int rootVersion, int childVersion) {
    FolderMovie m;
    m.write(QStringLiteral("child.swf"), reportingChild(childVersion));
    m.play(callingRoot(rootVersion), 4);
    return m.lines;
}

}  // namespace

TEST(CrossVersionCalls, CodeOfAVersion5MovieRunsAFunctionOnTheTimelineItActsOnWithThatMoviesRules) {
    // The version 5 root calls a function of a version 6 movie: on the clip it acts on that clip's
    // timeline (version 6: getDepth is there); as a plain call it acts on the caller's own timeline,
    // where `foo` is not defined and, the root being version 5, getDepth is hidden.
    EXPECT_EQ(crossCall(5, 6), (Lines{"// clip.f()", "target /clip", "foo child", "getDepth function", "// f()",
                                      "target /", "foo ", "getDepth undefined"}));
}

TEST(CrossVersionCalls, FromVersion6OnAFunctionKeepsTheTimelineScopeAndVersionItWasDefinedWith) {
    // A version 5 function called from version 6 code: its own clip and variables, and its own
    // version's rules, however it is called.
    EXPECT_EQ(crossCall(6, 5), (Lines{"// clip.f()", "target /clip", "foo child", "getDepth undefined", "// f()",
                                      "target /clip", "foo child", "getDepth undefined"}));
    EXPECT_EQ(crossCall(6, 6), (Lines{"// clip.f()", "target /clip", "foo child", "getDepth function", "// f()",
                                      "target /clip", "foo child", "getDepth function"}));
}

TEST(CrossVersionCalls, ImplicitCallsKeepTheFunctionsOwnTimelineEvenFromVersion5Code) {
    // The version 5 child's toString method runs through a conversion in the version 5 root: the
    // conversion is no call written in the root's code, so the function keeps its own clip.
    FolderMovie m;
    ActionWriter body;
    traceNamed(body, "foo ", "foo");
    body.push(Push::str("text")).op(op::kReturn);
    ActionWriter child;
    child.push({Push::str("foo"), Push::str("child")}).op(op::kDefineLocal);
    child.push(Push::str("obj"));
    child.push(Push::str("toString")).defineFunction("", {}, body).push(Push::integer(1)).op(op::kInitObject);
    child.op(op::kDefineLocal);
    child.push({Push::integer(0), Push::str("_root")}).op(op::kGetVariable).push(Push::str("onLoaded"))
        .op(op::kCallMethod).op(op::kPop);
    m.write(QStringLiteral("child.swf"), sw::traceMovie({child.end()}, 5));
    ActionWriter onLoaded;
    onLoaded.push({Push::str("clip")}).op(op::kGetVariable).push(Push::str("obj")).op(op::kGetMember)
        .op(op::kToString).op(op::kTrace);
    ActionWriter a;
    a.defineFunction("onLoaded", {}, onLoaded);
    m.play(rootWithClip(a, 5), 4);
    EXPECT_EQ(m.lines, (Lines{"foo child", "text"}));
}

namespace {

// Sets this[set] = 1 in a movie of `version` (6 unless given) and traces this[get].
Lines caseLookup(const std::string& set, const std::string& get, int version = 6) {
    ActionWriter a;
    a.push({Push::str("this")}).op(op::kGetVariable).push({Push::str(set), Push::integer(1)}).op(op::kSetMember);
    a.push({Push::str("this")}).op(op::kGetVariable).push(Push::str(get)).op(op::kGetMember).op(op::kTrace);
    sw::ScriptMovie m(version, a.end());
    return m.lines;
}

}  // namespace

TEST(CaseInsensitiveNames, FollowTheOldCaseTable) {
    EXPECT_EQ(caseLookup("A", "a"), Lines{"1"});
    EXPECT_EQ(caseLookup("\xc3\x84", "\xc3\xa4"), Lines{"1"}) << "Latin-1 letters fold";
    EXPECT_EQ(caseLookup("\xd3\xa4", "\xd3\xa5"), Lines{"1"}) << "Cyrillic letters fold";
    EXPECT_EQ(caseLookup("\xc7\xb1", "\xc7\xb3"), Lines{"1"}) << "a title-case digraph folds with its forms";
    EXPECT_EQ(caseLookup("\xc4\xb0", "i"), Lines{"1"}) << "the dotted capital I folds to i";
    // Letters that were given a case partner only later stay apart.
    EXPECT_EQ(caseLookup("\xc8\xba", "\xe2\xb1\xa5"), Lines{"undefined"});
    EXPECT_EQ(caseLookup("\xcf\xb7", "\xcf\xb8"), Lines{"undefined"});
    EXPECT_EQ(caseLookup("\xe1\xba\x9e", "\xc3\x9f"), Lines{"undefined"}) << "the capital sharp s";
    // The old Georgian capitals fold to the common small letters, not to the letters paired with them today.
    EXPECT_EQ(caseLookup("\xe1\x82\xa0", "\xe1\x83\x90"), Lines{"1"});
    EXPECT_EQ(caseLookup("\xe1\x82\xa0", "\xe2\xb4\x80"), Lines{"undefined"});
}

TEST(CaseInsensitiveNames, EveryLetterOfALongNameFolds) {
    EXPECT_EQ(caseLookup("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz"), Lines{"1"});
    EXPECT_EQ(caseLookup("onEnterFrameHandler", "ONENTERFRAMEHANDLER"), Lines{"1"});
    EXPECT_EQ(caseLookup("abcdefgh", "ABCDEFG"), Lines{"undefined"}) << "a shorter name is another name";
    EXPECT_EQ(caseLookup("abcdefgh", "ABCDEFGI"), Lines{"undefined"}) << "the last letter counts";
    // The signs beside the capitals and small letters are no letters: they stay apart in any run of them.
    EXPECT_EQ(caseLookup("@@@@[[[[", "````{{{{"), Lines{"undefined"});
    EXPECT_EQ(caseLookup("````{{{{", "@@@@[[[["), Lines{"undefined"});
    EXPECT_EQ(caseLookup("x@Z[a`z{", "X@z[A`Z{"), Lines{"1"});
    // Letters beyond ASCII among ASCII ones fold by the same old table.
    EXPECT_EQ(caseLookup("abc\xc3\x84xyz", "ABC\xc3\xa4XYZ"), Lines{"1"});
    EXPECT_EQ(caseLookup("ABC\xc8\xbaXYZ", "abc\xe2\xb1\xa5xyz"), Lines{"undefined"});
    // A letter beyond the first plane keeps its case, whatever stands around it.
    EXPECT_EQ(caseLookup("NAME\xf0\x90\x90\x80", "name\xf0\x90\x90\x80"), Lines{"1"});
    EXPECT_EQ(caseLookup("NAME\xf0\x90\x90\x80", "name\xf0\x90\x90\xa8"), Lines{"undefined"});
}

TEST(CaseSensitiveNames, FromVersion7LongNamesMatchOnlyAsWritten) {
    EXPECT_EQ(caseLookup("onEnterFrameHandler", "onEnterFrameHandler", 7), Lines{"1"});
    EXPECT_EQ(caseLookup("onEnterFrameHandler", "ONENTERFRAMEHANDLER", 7), Lines{"undefined"});
    EXPECT_EQ(caseLookup("abc\xc3\x84xyz", "abc\xc3\xa4xyz", 7), Lines{"undefined"});
}

TEST(CaseInsensitiveNames, ChildClipNamesUseTheSameTable) {
    ActionWriter a;
    a.push({Push::integer(1), Push::str("cl\xc3\x84p"), Push::integer(2), Push::str("this")}).op(op::kGetVariable);
    a.push(Push::str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kPop);
    a.push(Push::str("cl\xc3\xa4p")).op(op::kGetVariable).op(op::kTrace);
    a.push({Push::integer(2), Push::str("\xc8\xba"), Push::integer(2), Push::str("this")}).op(op::kGetVariable);
    a.push(Push::str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kPop);
    a.push(Push::str("\xe2\xb1\xa5")).op(op::kGetVariable).op(op::kTypeOf).op(op::kTrace);
    sw::ScriptMovie m(6, a.end());
    EXPECT_EQ(m.lines, (Lines{"_level0.cl\xc3\x84p", "undefined"}));
}

TEST(Version4Code, ReadsNoClipsThroughVariables) {
    sw::MovieSpec spec;
    spec.version = 4;
    ActionWriter a;
    a.push({Push::str("v"), Push::str("value")}).op(op::kSetVariable);
    for (const char* name : {"a", "/a", "/", "v"}) a.push(Push::str(name)).op(op::kGetVariable).op(op::kTrace);
    // Paths still lead to the clip for its properties.
    a.push({Push::str("/a"), Push::integer(13)}).op(op::kGetProperty).op(op::kTrace);
    sw::PlaceSpec place;
    place.characterId = 1;
    place.name = "a";
    const std::vector<sw::Bytes> tags{sw::defineSprite(1, 1, {sw::showFrame(), sw::endTag()}), sw::placeObject2(place, 4),
                                      sw::doAction(a.end()), sw::showFrame()};
    EXPECT_EQ(sw::playTraced(spec, tags), (Lines{"undefined", "undefined", "undefined", "value", "a"}));
}

TEST(NamedGraphics, AreListedAmongAClipsChildrenAndLeadToTheClipHoldingThem) {
    sw::MovieSpec spec;
    spec.version = 8;
    sw::PlaceSpec shape;
    shape.characterId = 1;
    shape.depth = 1;
    shape.name = "aShape";
    sw::PlaceSpec sprite;
    sprite.characterId = 2;
    sprite.depth = 2;
    sprite.name = "aSprite";
    ActionWriter a;
    // for (k in this) trace(k + " " + this[k]);
    a.push(Push::str("this")).op(op::kGetVariable).op(op::kEnumerate2);
    a.label("next").storeRegister(0).push(Push::null()).op(op::kEquals2).ifTrue("done");
    a.push({Push::reg(0), Push::str(" "), Push::str("this")}).op(op::kGetVariable).push(Push::reg(0)).op(op::kGetMember);
    a.op(op::kAdd2).op(op::kAdd2).op(op::kTrace).jump("next");
    a.label("done");
    a.push({Push::str("aShape")}).op(op::kGetVariable).push(Push::str("_name")).op(op::kGetMember).op(op::kTrace);
    const std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 200, 200, 0xff0000),
                                      sw::defineSprite(2, 1, {sw::showFrame(), sw::endTag()}),
                                      sw::placeObject2(shape), sw::placeObject2(sprite), sw::doAction(a.end()),
                                      sw::showFrame()};
    EXPECT_EQ(sw::playTraced(spec, tags), (Lines{"aSprite _level0.aSprite", "aShape _level0", ""}));
}

TEST(DefinedSprites, CountTheBytesOfTheirOwnTagsAsLoadedAndTotal) {
    sw::MovieSpec spec;
    spec.version = 8;
    sw::PlaceSpec sprite;
    sprite.characterId = 2;
    sprite.name = "clip";
    const std::vector<sw::Bytes> inner{sw::showFrame(), sw::showFrame(), sw::endTag()};
    std::size_t innerBytes = 0;
    for (const sw::Bytes& t : inner) innerBytes += t.size();
    ActionWriter a;
    for (const char* method : {"getBytesLoaded", "getBytesTotal"})
        a.push({Push::integer(0), Push::str("clip")}).op(op::kGetVariable).push(Push::str(method)).op(op::kCallMethod)
            .op(op::kTrace);
    const std::vector<sw::Bytes> tags{sw::defineSprite(2, 2, inner), sw::placeObject2(sprite), sw::doAction(a.end()),
                                      sw::showFrame()};
    EXPECT_EQ(sw::playTraced(spec, tags), (Lines{std::to_string(innerBytes), std::to_string(innerBytes)}));
}
