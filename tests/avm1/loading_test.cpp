// Files scripts load: movies into clips and levels (MovieClipLoader, loadMovie, loadMovieNum, unloading),
// variables, and XML / LoadVars text. Every case writes its files into a temporary folder and plays a movie
// opened from there; results must arrive after the calling script, and nothing outside the folder is read.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include "player/avm1/vm.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/stage.h"
#include "player/swf/tags_action.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using vistrel::avm1::Value;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray bytesOf(const sw::Bytes& b) { return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size())); }

// trace(value of `name`) as bytecode.
sw::ActionWriter& traceVariable(sw::ActionWriter& a, const std::string& name) {
    return a.push(sw::Push::str(name)).op(sw::op::kGetVariable).op(sw::op::kTrace);
}

sw::Bytes traceText(const std::string& text) {
    return sw::ActionWriter().push(sw::Push::str(text)).op(sw::op::kTrace).end();
}

// A movie opened from a temporary folder; its scripts can be driven from C++ through the machine, and
// handlers made here record what they hear.
class Folder {
public:
    Folder() { EXPECT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) { writeFile(path(name), bytes); }
    void writeMovie(const QString& name, const std::vector<sw::Bytes>& frames, int version = 8) {
        write(name, bytesOf(sw::traceMovie(frames, version)));
    }
    void play(const std::vector<sw::Bytes>& frames = {sw::ActionWriter().end()}, int version = 8) {
        playMovie(sw::traceMovie(frames, version));
    }
    void playMovie(const sw::Bytes& bytes) {
        write("main.swf", bytesOf(bytes));
        auto movie = vp::Movie::fromFile(path("main.swf"));
        ASSERT_TRUE(movie->isValid());
        player = std::make_unique<vp::Player>(movie, [this](const QString& line) { lines.push_back(line.toStdString()); });
    }

    vp::Stage& stage() { return player->stage(); }
    vistrel::avm1::Vm& vm() { return *stage().vm(); }
    Value root() { return Value(stage().scriptObject(stage().rootObject())); }
    Value global(const char* name) { return vm().getMember(Value(vm().global()), QString::fromUtf8(name)); }
    Value make(const char* ctor) { return vm().construct(global(ctor), {}); }
    Value call(const Value& o, const char* method, std::initializer_list<Value> args = {}) {
        const std::vector<Value> list(args);
        return vm().callMethod(o, QString::fromUtf8(method), list);
    }
    Value get(const Value& o, const char* name) { return vm().getMember(o, QString::fromUtf8(name)); }
    std::string str(const Value& v) { return vm().toString(v).toStdString(); }
    // A handler that records "name" and, when asked, its first argument as text.
    void listen(const Value& o, const char* name, bool withArgument = false) {
        const std::string event = name;
        vistrel::avm1::Object* f = vm().makeFunction(QString::fromUtf8(name),
            [this, event, withArgument](vistrel::avm1::Vm& vm, const Value&, std::span<const Value> args) {
                std::string line = event;
                if (withArgument) line += " " + (args.empty() ? std::string("(none)") : vm.toString(args[0]).toStdString());
                lines.push_back(line);
                return Value();
            });
        vm().setMember(o, QString::fromUtf8(name), Value(f));
    }
    Value loaderWithHandlers() {
        const Value loader = make("MovieClipLoader");
        for (const char* e : {"onLoadStart", "onLoadProgress", "onLoadComplete", "onLoadInit"}) listen(loader, e);
        listen(loader, "onLoadError", true);
        return loader;
    }
    Value emptyClip(const char* name, int depth) {
        return call(root(), "createEmptyMovieClip", {Value(QString::fromUtf8(name)), Value(depth)});
    }

    QTemporaryDir dir;
    std::unique_ptr<vp::Player> player;
    std::vector<std::string> lines;
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(MovieClipLoader, EventsArriveInOrderAfterTheCallingScriptWithTheMoviesFirstFrameBeforeInit) {
    Folder f;
    f.writeMovie("child.swf", {traceText("child frame 1"), traceText("child frame 2")});
    f.play({sw::ActionWriter().end(), sw::ActionWriter().end()});
    const Value clip = f.emptyClip("holder", 1);
    const Value loader = f.loaderWithHandlers();
    EXPECT_EQ(f.str(f.call(loader, "loadClip", {Value(QStringLiteral("child.swf")), clip})), "true");
    EXPECT_TRUE(f.lines.empty()) << "nothing is delivered inside the calling script";
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"onLoadStart", "onLoadProgress", "onLoadComplete", "child frame 1", "onLoadInit"}));
    // The clip keeps its name and place, shows the loaded movie, and answers for it.
    EXPECT_EQ(f.str(f.get(clip, "_url")), QUrl::fromLocalFile(QFileInfo(f.path("child.swf")).canonicalFilePath()).toString().toStdString());
    EXPECT_EQ(f.str(f.get(clip, "_totalframes")), "2");
    EXPECT_EQ(f.str(f.call(clip, "getBytesTotal")), std::to_string(QFileInfo(f.path("child.swf")).size()));
    f.lines.clear();
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"child frame 2"}));
}

TEST(MovieClipLoader, PropertiesStoredOnTheTargetAreGoneWhenTheLoadStarts) {
    Folder f;
    f.writeMovie("child.swf", {sw::ActionWriter().end()});
    f.play();
    const Value clip = f.emptyClip("holder", 1);
    f.vm().setMember(clip, QStringLiteral("note"), Value(QStringLiteral("before")));
    const Value loader = f.make("MovieClipLoader");
    vistrel::avm1::Object* start = f.vm().makeFunction(QStringLiteral("onLoadStart"),
        [&f](vistrel::avm1::Vm& vm, const Value&, std::span<const Value> args) {
            f.lines.push_back("note at start: " + vm.toString(vm.getMember(args[0], QStringLiteral("note"))).toStdString());
            vm.setMember(args[0], QStringLiteral("note"), Value(QStringLiteral("from start")));
            return Value();
        });
    f.vm().setMember(loader, QStringLiteral("onLoadStart"), Value(start));
    f.call(loader, "loadClip", {Value(QStringLiteral("child.swf")), clip});
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"note at start: undefined"}));
    EXPECT_EQ(f.str(f.get(clip, "note")), "from start");
}

TEST(MovieClipLoader, MissingEscapingRemoteAndDamagedFilesReportAnErrorAndNothingElse) {
    Folder f;
    // A real movie outside the folder the main movie was opened from must not be read.
    QDir(f.dir.path()).mkdir("inner");
    f.writeMovie("outside.swf", {traceText("outside ran")});
    f.write("inner/damaged.swf", QByteArray("FWS\x08\xff\xff\x00\x00garbage", 15));
    writeFile(f.path("inner/main.swf"), bytesOf(sw::traceMovie({sw::ActionWriter().end()}, 8)));
    auto movie = vp::Movie::fromFile(f.path("inner/main.swf"));
    ASSERT_TRUE(movie->isValid());
    f.player = std::make_unique<vp::Player>(movie, [&f](const QString& line) { f.lines.push_back(line.toStdString()); });
    for (const char* url : {"missing.swf", "../outside.swf", "http://example.com/outside.swf", "damaged.swf",
                            "file:///etc/passwd", ""}) {
        f.lines.clear();
        const Value clip = f.emptyClip("target", 1);
        const Value loader = f.loaderWithHandlers();
        f.call(loader, "loadClip", {Value(QString::fromUtf8(url)), clip});
        f.player->nextFrame();
        EXPECT_EQ(f.lines, (Lines{"onLoadError _level0.target"})) << url;
    }
}

TEST(MovieClipLoader, GetProgressTakesClipsPathsAndLevels) {
    Folder f;
    f.writeMovie("child.swf", {sw::ActionWriter().end()});
    f.play();
    const Value clip = f.emptyClip("holder", 1);
    const Value loader = f.make("MovieClipLoader");
    f.call(loader, "loadClip", {Value(QStringLiteral("child.swf")), clip});
    f.player->nextFrame();
    const std::string childSize = std::to_string(QFileInfo(f.path("child.swf")).size());
    const std::string mainSize = std::to_string(QFileInfo(f.path("main.swf")).size());
    auto loaded = [&](const Value& target) { return f.str(f.get(f.call(loader, "getProgress", {target}), "bytesLoaded")); };
    EXPECT_EQ(loaded(clip), childSize);
    EXPECT_EQ(loaded(Value(QStringLiteral("holder"))), childSize);
    EXPECT_EQ(loaded(Value(0)), mainSize);
    EXPECT_EQ(loaded(Value(0.5)), mainSize);
    EXPECT_EQ(loaded(Value(3)), "undefined");
    EXPECT_EQ(loaded(Value(QStringLiteral("nothingThere"))), "undefined");
    EXPECT_TRUE(f.call(loader, "getProgress", {Value(f.vm().makeObject())}).isUndefined());
    EXPECT_TRUE(f.call(loader, "getProgress", {}).isUndefined());
}

TEST(LoadMovie, QueryStringVariablesAreSetOnTheLoadedRootBeforeItsFirstFrame) {
    Folder f;
    sw::ActionWriter child;
    traceVariable(child, "greeting");
    traceVariable(child, "url");
    f.writeMovie("child.swf", {child.end()});
    sw::ActionWriter main;
    main.push({sw::Push::str("child.swf?greeting=hello%20there&url=http%3A%2F%2Fexample.com%2F"), sw::Push::str("holder")})
        .getUrl2(0, true, false);
    f.play({sw::ActionWriter().end()});
    f.emptyClip("holder", 1);
    f.vm().runActions(std::make_shared<const std::vector<std::uint8_t>>(main.end()), f.root().object());
    EXPECT_TRUE(f.lines.empty());
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"hello there", "http://example.com/"}));
}

TEST(LoadMovie, MoviesUpToVersionSixAndFromSevenOnEachSeeTheirOwnBuiltIns) {
    Folder f;
    // Each child keeps its Object and MovieClip classes and an object it made.
    sw::ActionWriter child;
    for (const char* cls : {"Object", "MovieClip"})
        child.push({sw::Push::str(std::string("my") + cls), sw::Push::str(cls)}).op(sw::op::kGetVariable).op(sw::op::kSetVariable);
    child.push({sw::Push::str("made"), sw::Push::integer(0)}).op(sw::op::kInitObject).op(sw::op::kSetVariable);
    const int versions[] = {5, 6, 7, 9};
    for (int version : versions) f.writeMovie(QStringLiteral("v%1.swf").arg(version), {child.end()}, version);
    f.play({sw::ActionWriter().end(), sw::ActionWriter().end()}, 8);
    std::vector<Value> holders;
    for (int version : versions) {
        const std::string name = "h" + std::to_string(version);
        holders.push_back(f.emptyClip(name.c_str(), static_cast<int>(holders.size()) + 1));
        f.call(holders.back(), "loadMovie", {Value(QStringLiteral("v%1.swf").arg(version))});
    }
    f.player->nextFrame();
    f.player->nextFrame();
    const Value rootObject = f.global("Object"), rootClip = f.global("MovieClip");
    auto mine = [&](std::size_t i, const char* name) { return f.get(holders[i], name); };
    ASSERT_TRUE(mine(0, "myObject").isObject());
    ASSERT_TRUE(mine(2, "myObject").isObject());
    // Versions 5 and 6 share one set, apart from the root's; 7 and 9 share the root's (version 8).
    EXPECT_TRUE(mine(0, "myObject").strictEquals(mine(1, "myObject")));
    EXPECT_TRUE(mine(0, "myMovieClip").strictEquals(mine(1, "myMovieClip")));
    EXPECT_FALSE(mine(0, "myObject").strictEquals(rootObject));
    EXPECT_FALSE(mine(0, "myMovieClip").strictEquals(rootClip));
    for (std::size_t i : {2u, 3u}) {
        EXPECT_TRUE(mine(i, "myObject").strictEquals(rootObject));
        EXPECT_TRUE(mine(i, "myMovieClip").strictEquals(rootClip));
    }
    // Clips and objects are instances of the classes of their own movie's set only.
    EXPECT_FALSE(f.vm().instanceOf(f.root(), mine(0, "myMovieClip").object()));
    EXPECT_TRUE(f.vm().instanceOf(holders[0], mine(0, "myMovieClip").object()));
    EXPECT_FALSE(f.vm().instanceOf(holders[0], rootClip.object()));
    EXPECT_TRUE(f.vm().instanceOf(holders[2], rootClip.object()));
    EXPECT_FALSE(f.vm().instanceOf(mine(0, "made"), rootObject.object()));
    EXPECT_TRUE(f.vm().instanceOf(mine(0, "made"), mine(1, "myObject").object()));
    EXPECT_TRUE(f.vm().instanceOf(mine(2, "made"), rootObject.object()));
    // The other set's clip class still has every clip method, and its clips still work.
    EXPECT_TRUE(f.get(f.get(mine(0, "myMovieClip"), "prototype"), "gotoAndStop").isObject());
    EXPECT_EQ(f.str(f.call(holders[0], "getDepth")), "1");
}

TEST(LoadMovie, ChangesToBuiltInsAndGlobalsStayWithTheVersionGroupThatMadeThem) {
    Folder f;
    auto setOn = [](sw::ActionWriter& a, const char* object, const char* name, const char* value) {
        a.push(sw::Push::str(object)).op(sw::op::kGetVariable).push({sw::Push::str(name), sw::Push::str(value)}).op(sw::op::kSetMember);
    };
    auto keep = [](sw::ActionWriter& a, const char* as, const char* object, const char* name) {
        a.push({sw::Push::str(as), sw::Push::str(object)}).op(sw::op::kGetVariable).push(sw::Push::str(name)).op(sw::op::kGetMember).op(sw::op::kSetVariable);
    };
    // The first version 6 child adds to its clip class and its _global; every child records what it sees.
    sw::ActionWriter writer;
    writer.push(sw::Push::str("MovieClip")).op(sw::op::kGetVariable).push(sw::Push::str("prototype")).op(sw::op::kGetMember)
        .push({sw::Push::str("fromSix"), sw::Push::str("six")}).op(sw::op::kSetMember);
    setOn(writer, "_global", "six", "six");
    sw::ActionWriter reader;
    keep(reader, "seenSix", "_global", "six");
    keep(reader, "seenRoot", "_global", "root");
    f.writeMovie("writer.swf", {writer.end()}, 6);
    f.writeMovie("reader6.swf", {reader.end()}, 6);
    f.writeMovie("reader7.swf", {reader.end()}, 7);
    f.play({sw::ActionWriter().end(), sw::ActionWriter().end()}, 8);
    // The root changes its built-ins, then plays long enough for garbage to be collected before the other
    // group's set is first needed.
    f.vm().setMember(f.get(f.global("MovieClip"), "prototype"), QStringLiteral("fromRoot"), Value(QStringLiteral("root")));
    f.vm().setMember(Value(f.vm().global()), QStringLiteral("root"), Value(QStringLiteral("root")));
    for (int i = 0; i < 65; ++i) f.player->nextFrame();
    const Value w = f.emptyClip("w", 1);
    f.call(w, "loadMovie", {Value(QStringLiteral("writer.swf"))});
    f.player->nextFrame();
    f.player->nextFrame();
    const Value r6 = f.emptyClip("r6", 2), r7 = f.emptyClip("r7", 3);
    f.call(r6, "loadMovie", {Value(QStringLiteral("reader6.swf"))});
    f.call(r7, "loadMovie", {Value(QStringLiteral("reader7.swf"))});
    f.player->nextFrame();
    f.player->nextFrame();
    EXPECT_EQ(f.str(f.get(w, "fromSix")), "six");
    EXPECT_EQ(f.str(f.get(r6, "fromSix")), "six");
    EXPECT_TRUE(f.get(w, "fromRoot").isUndefined()) << "the root's later change is not in the other set";
    EXPECT_TRUE(f.get(f.root(), "fromSix").isUndefined());
    EXPECT_TRUE(f.get(r7, "fromSix").isUndefined());
    EXPECT_EQ(f.str(f.get(r7, "fromRoot")), "root");
    EXPECT_EQ(f.str(f.get(r6, "seenSix")), "six");
    EXPECT_TRUE(f.get(r6, "seenRoot").isUndefined());
    EXPECT_TRUE(f.get(r7, "seenSix").isUndefined());
    EXPECT_EQ(f.str(f.get(r7, "seenRoot")), "root");
    EXPECT_TRUE(f.global("six").isUndefined());
    // Unloaded and loaded again with a movie of the root's group, a clip is of the root's clip class again.
    f.call(w, "loadMovie", {Value(QStringLiteral("reader7.swf"))});
    f.player->nextFrame();
    f.player->nextFrame();
    EXPECT_EQ(f.str(f.get(w, "fromRoot")), "root");
    EXPECT_TRUE(f.get(w, "fromSix").isUndefined());
}

TEST(LoadMovie, LevelsLoadAboveTheRootAndUnloadAgain) {
    Folder f;
    sw::ActionWriter child;
    child.push(sw::Push::str("this")).op(sw::op::kGetVariable).op(sw::op::kTrace);
    child.push(sw::Push::str("_root")).op(sw::op::kGetVariable).op(sw::op::kTrace);
    f.writeMovie("child.swf", {child.end()});
    sw::ActionWriter main;
    main.push({sw::Push::str("child.swf"), sw::Push::str("_level2")}).getUrl2(0, false, false);
    f.play({main.end(), sw::ActionWriter().end()});
    // A load asked for in a frame's script arrives when that frame's scripts are done.
    EXPECT_EQ(f.lines, (Lines{"_level2", "_level2"}));
    ASSERT_NE(f.stage().levelObject(2), nullptr);
    EXPECT_EQ(f.str(f.get(Value(f.stage().scriptObject(*f.stage().levelObject(2))), "_target")), "_level2");
    // An empty address unloads the level.
    sw::ActionWriter unload;
    unload.push({sw::Push::str(""), sw::Push::str("_level2")}).getUrl2(0, false, false);
    f.vm().runActions(std::make_shared<const std::vector<std::uint8_t>>(unload.end()), f.root().object());
    EXPECT_EQ(f.stage().levelObject(2), nullptr);
}

TEST(LoadMovie, LoadingIntoTheRootReplacesLevelZero) {
    Folder f;
    f.writeMovie("other.swf", {traceText("other frame 1")});
    sw::ActionWriter main;
    main.push({sw::Push::str("other.swf"), sw::Push::str("_level0")}).getUrl2(0, false, false);
    f.play({main.end(), traceText("main frame 2 must not run")});
    f.player->nextFrame();
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"other frame 1"}));
}

TEST(LoadMovie, UnloadingAClipRunsItsUnloadHandlerAndEmptiesIt) {
    Folder f;
    f.writeMovie("child.swf", {sw::ActionWriter().end(), sw::ActionWriter().end()});
    f.play();
    const Value clip = f.emptyClip("holder", 1);
    f.call(clip, "loadMovie", {Value(QStringLiteral("child.swf"))});
    f.player->nextFrame();
    EXPECT_EQ(f.str(f.get(clip, "_totalframes")), "2");
    f.listen(clip, "onUnload");
    f.call(clip, "unloadMovie");
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"onUnload"}));
    // An unloaded clip declares no frames, has entered none and holds no bytes.
    for (const char* property : {"_totalframes", "_framesloaded", "_currentframe"})
        EXPECT_EQ(f.str(f.get(clip, property)), "0") << property;
    EXPECT_EQ(f.str(f.call(clip, "getBytesTotal")), "0");
}

TEST(LoadMovie, AnEmptyClipHasOneFrameItHasNotEnteredAndNoBytes) {
    Folder f;
    f.play();
    const Value clip = f.emptyClip("holder", 1);
    f.player->nextFrame();
    EXPECT_EQ(f.str(f.get(clip, "_currentframe")), "0");
    EXPECT_EQ(f.str(f.get(clip, "_totalframes")), "1");
    EXPECT_EQ(f.str(f.get(clip, "_framesloaded")), "1");
    EXPECT_EQ(f.str(f.call(clip, "getBytesLoaded")), "0");
    EXPECT_EQ(f.str(f.call(clip, "getBytesTotal")), "0");
}

TEST(LoadMovie, APlacedClipKeepsItsEventHandlersAndHearsLoadBeforeTheMoviesFirstFrame) {
    Folder f;
    f.writeMovie("child.swf", {traceText("child frame 1")});
    sw::ActionWriter load;
    load.push(sw::Push::str("load")).op(sw::op::kTrace);
    sw::PlaceSpec holder;
    holder.characterId = 1;
    holder.name = "holder";
    holder.clipActions = {{vistrel::swf::clipevent::kLoad, 0, load.end()}};
    sw::ActionWriter main;
    main.push({sw::Push::str("child.swf"), sw::Push::integer(1), sw::Push::str("holder")}).op(sw::op::kGetVariable);
    main.push(sw::Push::str("loadMovie")).op(sw::op::kCallMethod).op(sw::op::kPop);
    sw::MovieSpec spec;
    spec.version = 8;
    spec.frameCount = 2;
    f.playMovie(sw::movie(spec, {sw::defineSprite(1, 1, {sw::showFrame()}), sw::placeObject2(holder, 8),
                                 sw::doAction(main.end()), sw::showFrame(), sw::showFrame()}));
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"load", "load", "child frame 1"}));
}

TEST(LoadMovie, StageSizeIsTheOneOfTheMovieLevelZeroShows) {
    Folder f;
    sw::ActionWriter size;
    size.push(sw::Push::str("Stage")).op(sw::op::kGetVariable).push(sw::Push::str("width")).op(sw::op::kGetMember);
    size.op(sw::op::kTrace);
    size.push(sw::Push::str("Stage")).op(sw::op::kGetVariable).push(sw::Push::str("height")).op(sw::op::kGetMember);
    size.op(sw::op::kTrace);
    sw::MovieSpec spec;
    spec.version = 8;
    spec.widthTwips = 300 * 20;
    spec.heightTwips = 250 * 20;
    f.write("other.swf", bytesOf(sw::movie(spec, {sw::doAction(size.end()), sw::showFrame()})));
    sw::ActionWriter main = size;
    main.push({sw::Push::str("other.swf"), sw::Push::str("_level0")}).getUrl2(0, false, false);
    f.play({main.end(), sw::ActionWriter().end()});
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"200", "100", "300", "250"}));
}

TEST(LoadVariables, PairsAreDecodedIntoTheTargetClipInALaterFrame) {
    Folder f;
    f.write("vars.txt", QByteArray("\xEF\xBB\xBF" "name=J%C3%BCrgen&count=3&empty=", -1));
    f.play();
    const Value clip = f.emptyClip("holder", 1);
    f.call(clip, "loadVariables", {Value(QStringLiteral("vars.txt"))});
    EXPECT_TRUE(f.get(clip, "name").isUndefined());
    f.player->nextFrame();
    EXPECT_EQ(f.vm().toString(f.get(clip, "name")), QStringLiteral("J\u00fcrgen"));
    EXPECT_EQ(f.str(f.get(clip, "count")), "3");
    EXPECT_EQ(f.str(f.get(clip, "empty")), "");
}

TEST(LoadVars, LoadHandsTheTextToOnDataAndOnLoadHearsTheResult) {
    Folder f;
    f.write("vars.txt", "a=1&b=two%20words");
    f.play();
    const Value good = f.make("LoadVars");
    f.listen(good, "onLoad", true);
    EXPECT_EQ(f.str(f.call(good, "load", {Value(QStringLiteral("vars.txt"))})), "true");
    EXPECT_EQ(f.str(f.get(good, "loaded")), "false");
    const Value bad = f.make("LoadVars");
    f.listen(bad, "onLoad", true);
    EXPECT_EQ(f.str(f.call(bad, "load", {Value(QStringLiteral("../vars.txt"))})), "true");
    EXPECT_EQ(f.str(f.call(bad, "load", {})), "false");
    EXPECT_TRUE(f.lines.empty());
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"onLoad true", "onLoad false"}));
    EXPECT_EQ(f.str(f.get(good, "b")), "two words");
    EXPECT_EQ(f.str(f.get(good, "loaded")), "true");
    EXPECT_EQ(f.str(f.call(good, "getBytesTotal")), "17");

    // A script's own onData gets the raw text instead.
    const Value raw = f.make("LoadVars");
    f.listen(raw, "onData", true);
    f.call(raw, "load", {Value(QStringLiteral("vars.txt"))});
    f.lines.clear();
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"onData a=1&b=two%20words"}));
    EXPECT_TRUE(f.get(raw, "a").isUndefined());
}

TEST(XmlLoad, TheDocumentIsParsedBeforeOnLoad) {
    Folder f;
    f.write("doc.xml", "<root><item>x</item></root>");
    f.play();
    const Value doc = f.make("XML");
    f.listen(doc, "onLoad", true);
    f.call(doc, "load", {Value(QStringLiteral("doc.xml"))});
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"onLoad true"}));
    EXPECT_EQ(f.str(f.get(f.get(doc, "firstChild"), "nodeName")), "root");
    const Value missing = f.make("XML");
    f.listen(missing, "onLoad", true);
    f.call(missing, "load", {Value(QStringLiteral("https://example.com/doc.xml"))});
    f.lines.clear();
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"onLoad false"}));
}

TEST(LoadMovie, RootInsideALoadedMovieIsItsLevelUnlessTheClipLocksIt) {
    Folder f;
    sw::ActionWriter child;
    child.push(sw::Push::str("_root")).op(sw::op::kGetVariable).op(sw::op::kTrace);
    f.writeMovie("child.swf", {child.end()});
    f.play();
    const Value open = f.emptyClip("open", 1);
    const Value locked = f.emptyClip("locked", 2);
    // Set before the load and kept through it: the clip, not the loaded movie, holds it.
    f.vm().setMember(locked, QStringLiteral("_lockroot"), Value(true));
    f.call(open, "loadMovie", {Value(QStringLiteral("child.swf"))});
    f.call(locked, "loadMovie", {Value(QStringLiteral("child.swf"))});
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"_level0", "_level0.locked"}));
    EXPECT_EQ(f.str(f.get(locked, "_lockroot")), "true");
    EXPECT_EQ(f.str(f.get(open, "_lockroot")), "false");
}

TEST(MovieClipLoader, AClipWhoseMovieFailedToLoadIsEmptiedAndReadsAsAFailedLoad) {
    Folder f;
    f.writeMovie("child.swf", {sw::ActionWriter().end()}, 6);
    f.play({sw::ActionWriter().end()}, 10);
    const Value clip = f.emptyClip("holder", 1);
    f.call(clip, "createEmptyMovieClip", {Value(QStringLiteral("kid")), Value(1)});
    f.vm().setMember(clip, QStringLiteral("note"), Value(7));
    f.call(clip, "loadMovie", {Value(QStringLiteral("missing.swf"))});
    f.player->nextFrame();
    EXPECT_TRUE(f.get(clip, "kid").isUndefined());
    EXPECT_TRUE(f.get(clip, "note").isUndefined());
    EXPECT_EQ(f.str(f.get(clip, "_framesloaded")), "-1");
    EXPECT_EQ(f.str(f.get(clip, "_totalframes")), "0");
    EXPECT_EQ(f.str(f.get(clip, "_currentframe")), "0");
    EXPECT_EQ(f.str(f.call(clip, "getSWFVersion")), "-1");
    EXPECT_EQ(f.str(f.call(clip, "getBytesTotal")), "-1");
    EXPECT_EQ(f.str(f.call(clip, "getBytesLoaded")), "0");
    EXPECT_TRUE(QString::fromStdString(f.str(f.get(clip, "_url"))).endsWith(QStringLiteral("/missing.swf")));

    // A later load that works clears the failure.
    f.call(clip, "loadMovie", {Value(QStringLiteral("child.swf"))});
    f.player->nextFrame();
    EXPECT_EQ(f.str(f.call(clip, "getSWFVersion")), "6");
    EXPECT_EQ(f.str(f.get(clip, "_framesloaded")), "1");
}
