// Sound objects of scripts with files: loadSound of MP3 files beside the movie (event and streaming
// modes, onLoad, bytes, duration and position, onSoundComplete), the ID3 tags such files carry, and the
// volume of clips holding one another. Every case writes its files into a temporary folder.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "player/avm1/vm.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/sound/id3.h"
#include "player/sound/mixer.h"
#include "player/stage.h"
#include "tests/avm1/script_movie.h"
#include "tests/sound/sound_fixtures.h"
#include "tests/support/action_writer.h"

using namespace vistrel;
using namespace vistrel::testing;
using avm1::Value;

namespace {

QByteArray bytesOf(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

void append(Bytes& to, const std::string& s) { to.insert(to.end(), s.begin(), s.end()); }

// An ID3 2.3 frame holding Latin-1 text (COMM: language and an empty description first).
Bytes id3Frame(const std::string& id, const std::string& text) {
    Bytes body{0};
    if (id == "COMM") {
        append(body, "eng");
        body.push_back(0);
    }
    append(body, text);
    Bytes f;
    append(f, id);
    const auto n = static_cast<std::uint32_t>(body.size());
    for (int shift : {24, 16, 8, 0}) f.push_back(static_cast<std::uint8_t>(n >> shift));
    f.push_back(0);
    f.push_back(0);
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

Bytes id3v2(const std::vector<Bytes>& frames, int major = 3) {
    Bytes body;
    for (const Bytes& f : frames) body.insert(body.end(), f.begin(), f.end());
    body.resize(body.size() + 16, 0);   // padding
    Bytes t;
    append(t, "ID3");
    t.push_back(static_cast<std::uint8_t>(major));
    t.push_back(0);
    t.push_back(0);
    const auto n = static_cast<std::uint32_t>(body.size());
    for (int shift : {21, 14, 7, 0}) t.push_back(static_cast<std::uint8_t>((n >> shift) & 0x7f));
    t.insert(t.end(), body.begin(), body.end());
    return t;
}

Bytes id3v1(const std::string& title, const std::string& artist, int track, int genre) {
    Bytes t(128, 0);
    t[0] = 'T', t[1] = 'A', t[2] = 'G';
    std::copy(title.begin(), title.end(), t.begin() + 3);
    std::copy(artist.begin(), artist.end(), t.begin() + 33);
    t[93] = '1', t[94] = '9', t[95] = '9', t[96] = '9';
    t[126] = static_cast<std::uint8_t>(track);
    t[127] = static_cast<std::uint8_t>(genre);
    return t;
}

std::string textOf(const sound::Id3Tags& tags, const std::string& id) {
    for (const auto& f : tags.frames)
        if (f.id == id) return f.text.toStdString();
    return "(none)";
}

// A movie opened from a temporary folder; the test drives its scripts from C++ and takes the mix itself.
class Folder {
public:
    Folder() { EXPECT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const Bytes& bytes) {
        QDir().mkpath(QFileInfo(path(name)).path());
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytesOf(bytes));
    }
    void play(const std::vector<Bytes>& tags = {}) {
        std::vector<Bytes> all = tags;
        all.push_back(showFrame());
        all.push_back(showFrame());
        MovieSpec spec;
        spec.version = 8;
        spec.frameRate = 10;
        spec.frameCount = 2;
        write("movies/main.swf", movie(spec, all));
        auto m = player::Movie::fromFile(path("movies/main.swf"));
        ASSERT_TRUE(m->isValid());
        player = std::make_unique<player::Player>(m, [this](const QString& l) { lines.push_back(l.toStdString()); });
        player->setSoundDevicePulling(true);
    }
    avm1::Vm& vm() { return *player->stage().vm(); }
    Value root() { return Value(player->stage().scriptObject(player->stage().rootObject())); }
    Value sound(const Value& target = {}) {
        const Value ctor = vm().getMember(Value(vm().global()), QStringLiteral("Sound"));
        std::vector<Value> args;
        if (!target.isUndefined()) args.push_back(target);
        return vm().construct(ctor, args);
    }
    Value call(const Value& o, const char* method, std::initializer_list<Value> args = {}) {
        const std::vector<Value> list(args);
        return vm().callMethod(o, QString::fromUtf8(method), list);
    }
    Value get(const Value& o, const char* name) { return vm().getMember(o, QString::fromUtf8(name)); }
    std::string str(const Value& v) { return vm().toString(v).toStdString(); }
    double num(const Value& v) { return vm().toNumber(v); }
    // A handler recording its name and first argument.
    void listen(const Value& o, const char* name) {
        const std::string event = name;
        avm1::Object* f = vm().makeFunction(QString::fromUtf8(name), [this, event](avm1::Vm& vm, const Value&, std::span<const Value> args) {
            lines.push_back(event + (args.empty() ? std::string() : " " + vm.toString(args[0]).toStdString()));
            return Value();
        });
        vm().setMember(o, QString::fromUtf8(name), Value(f));
    }
    sound::Samples mix(std::size_t frames) {
        sound::Samples out(frames * 2);
        player->mixer()->mix(out.data(), frames);
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<player::Player> player;
    std::vector<std::string> lines;
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(Id3, BothVersionsAreReadWithTheirFamiliarNamesAndTheAudioBetweenThem) {
    Bytes file = id3v2({id3Frame("TIT2", "A Title"), id3Frame("TPE1", "An Artist"), id3Frame("COMM", "Note"),
                        id3Frame("TRCK", "4"), id3Frame("APIC", "not text")});
    const std::size_t audioAt = file.size();
    append(file, "audio bytes");
    const Bytes v1 = id3v1("Old Title", "Old Artist", 7, 13);
    file.insert(file.end(), v1.begin(), v1.end());
    sound::Id3Tags tags = sound::readId3(file);
    EXPECT_TRUE(tags.found);
    EXPECT_EQ(tags.audioBegin, audioAt);
    EXPECT_EQ(tags.audioEnd, audioAt + 11);
    EXPECT_EQ(textOf(tags, "TIT2"), "A Title");
    EXPECT_EQ(textOf(tags, "songname"), "A Title");
    EXPECT_EQ(textOf(tags, "artist"), "An Artist");
    EXPECT_EQ(textOf(tags, "comment"), "Note");
    EXPECT_EQ(textOf(tags, "track"), "4");
    EXPECT_EQ(textOf(tags, "APIC"), "(none)");   // pictures are no text

    // Version 1 alone (1.1: the track in the comment's last byte).
    Bytes old(40, 0x55);
    old.insert(old.end(), v1.begin(), v1.end());
    tags = sound::readId3(old);
    EXPECT_EQ(tags.audioBegin, 0u);
    EXPECT_EQ(tags.audioEnd, 40u);
    EXPECT_EQ(textOf(tags, "songname"), "Old Title");
    EXPECT_EQ(textOf(tags, "artist"), "Old Artist");
    EXPECT_EQ(textOf(tags, "year"), "1999");
    EXPECT_EQ(textOf(tags, "track"), "7");
    EXPECT_EQ(textOf(tags, "genre"), "13");

    EXPECT_FALSE(sound::readId3(Bytes(300, 0x11)).found);
}

TEST(Id3, OtherVersionsEncodingsAndDamagedTags) {
    // 2.2: three-letter frames and three-byte sizes.
    Bytes v22;
    append(v22, "TT2");
    v22.insert(v22.end(), {0, 0, 6, 0});
    append(v22, "Short");
    sound::Id3Tags tags = sound::readId3(id3v2({v22}, 2));
    EXPECT_EQ(textOf(tags, "TIT2"), "Short");
    EXPECT_EQ(textOf(tags, "songname"), "Short");

    // 2.4 with UTF-8 and UTF-16 text.
    Bytes utf8;
    append(utf8, "TPE1");
    utf8.insert(utf8.end(), {0, 0, 0, 6, 0, 0, 3});
    append(utf8, "Ca\xc3\xb1o");
    Bytes utf16;
    append(utf16, "TALB");
    utf16.insert(utf16.end(), {0, 0, 0, 7, 0, 0, 1, 0xff, 0xfe, 'O', 0, 'K', 0});
    tags = sound::readId3(id3v2({utf8, utf16}, 4));
    EXPECT_EQ(tags.frames.size(), 4u);
    EXPECT_EQ(textOf(tags, "artist"), "Ca\xc3\xb1o");
    EXPECT_EQ(textOf(tags, "album"), "OK");

    // Sizes far past the end, a frame cut short, an empty frame: what fits is read, nothing more.
    Bytes cut = id3v2({id3Frame("TIT2", "Whole")});
    cut[6] = cut[7] = cut[8] = cut[9] = 0x7f;   // the tag claims 256 MiB
    Bytes big;
    append(big, "TPE1");
    big.insert(big.end(), {0x7f, 0xff, 0xff, 0xff, 0, 0, 0});
    append(big, "Cut");
    cut.insert(cut.end() - 16, big.begin(), big.end());
    tags = sound::readId3(cut);
    EXPECT_EQ(textOf(tags, "TIT2"), "Whole");
    EXPECT_EQ(textOf(tags, "TPE1"), "Cut");
    EXPECT_EQ(tags.audioBegin, cut.size());
    for (std::size_t n = 0; n < cut.size(); ++n) sound::readId3(std::span<const std::uint8_t>(cut.data(), n));
}

TEST(SoundScript, LoadSoundReadsAnMp3BesideTheMovieAfterTheCallingScript) {
    const auto mp3 = encodeMp3(440, 1.0, 22050, 1);
    if (!mp3) GTEST_SKIP() << "ffmpeg cannot encode MP3 here";
    Folder f;
    Bytes file = id3v2({id3Frame("TIT2", "Tone"), id3Frame("COMM", "first"), id3Frame("COMM", "second")});
    file.insert(file.end(), mp3->begin(), mp3->end());
    f.write("movies/music/tone.mp3", file);
    f.play();
    const Value s = f.sound();
    f.listen(s, "onID3");
    f.listen(s, "onLoad");
    f.listen(s, "onSoundComplete");
    f.call(s, "loadSound", {Value(QStringLiteral("music/tone.mp3")), Value(false)});
    EXPECT_TRUE(f.lines.empty()) << "nothing arrives inside the calling script";
    EXPECT_EQ(f.str(f.call(s, "getBytesLoaded")), "0");
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"onID3", "onLoad true"}));
    EXPECT_EQ(f.num(f.call(s, "getBytesTotal")), static_cast<double>(file.size()));
    EXPECT_EQ(f.num(f.call(s, "getBytesLoaded")), static_cast<double>(file.size()));
    EXPECT_NEAR(f.num(f.get(s, "duration")), 1000, 80);
    const Value id3 = f.get(s, "id3");
    EXPECT_EQ(f.str(f.get(id3, "songname")), "Tone");
    EXPECT_EQ(f.str(f.get(id3, "COMM")), "first,second");
    EXPECT_EQ(f.str(f.get(id3, "comment")), "second");

    // An event sound waits for start(); then it plays the tone and tells when it is done.
    EXPECT_EQ(peak(f.mix(4410)), 0);
    f.call(s, "start");
    const sound::Samples played = f.mix(static_cast<std::size_t>(0.5 * sound::kOutputRate));
    EXPECT_NEAR(measuredFrequency(played), 440, 15);
    EXPECT_NEAR(f.num(f.get(s, "position")), 500, 30);
    f.lines.clear();
    f.mix(sound::kOutputRate);
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"onSoundComplete"}));
}

TEST(SoundScript, StreamingLoadsPlayByThemselvesAndFollowTheClipsVolume) {
    const auto mp3 = encodeMp3(660, 1.0, 44100, 2);
    if (!mp3) GTEST_SKIP() << "ffmpeg cannot encode MP3 here";
    Folder f;
    f.write("movies/tone.mp3", *mp3);
    f.play();
    const Value outer = f.call(f.root(), "createEmptyMovieClip", {Value(QStringLiteral("outer")), Value(1)});
    const Value inner = f.call(outer, "createEmptyMovieClip", {Value(QStringLiteral("inner")), Value(1)});
    f.call(f.sound(inner), "loadSound", {Value(QStringLiteral("tone.mp3")), Value(true)});
    f.player->nextFrame();
    const double full = peak(f.mix(0.3 * sound::kOutputRate));
    EXPECT_GT(full, 2000);
    // The holder's volume and the inner clip's multiply.
    f.call(f.sound(outer), "setVolume", {Value(50)});
    f.call(f.sound(inner), "setVolume", {Value(50)});
    EXPECT_NEAR(peak(f.mix(0.3 * sound::kOutputRate)) / full, 0.25, 0.05);
    EXPECT_EQ(f.num(f.call(f.sound(inner), "getVolume")), 50);
}

TEST(SoundScript, FilesOutsideTheMovieFolderOrMissingFailToLoad) {
    const auto mp3 = encodeMp3(440, 0.3, 22050, 1);
    if (!mp3) GTEST_SKIP() << "ffmpeg cannot encode MP3 here";
    Folder f;
    f.write("outside.mp3", *mp3);
    f.write("movies/noise.mp3", Bytes(5000, 0x37));   // no MP3 frame in it
    f.play();
    for (const char* url : {"../outside.mp3", "missing.mp3", "http://127.0.0.1/a.mp3", "noise.mp3"}) {
        const Value s = f.sound();
        f.listen(s, "onLoad");
        f.call(s, "loadSound", {Value(QString::fromLatin1(url)), Value(true)});
    }
    f.player->nextFrame();
    EXPECT_EQ(f.lines, (Lines{"onLoad false", "onLoad false", "onLoad false", "onLoad false"}));
    EXPECT_EQ(peak(f.mix(4410)), 0);
}

TEST(SoundScript, AClipPathKeptAsTextIsReadFromTheClipWhoseScriptUsesIt) {
    namespace op = vistrel::testing::op;
    ActionWriter a;
    auto call = [&a](const std::vector<Push>& args, const char* function) {
        a.push(args).push({Push::integer(static_cast<std::int32_t>(args.size())), Push::str(function)})
            .op(op::kCallFunction).op(op::kPop);
    };
    auto traceVolume = [&a](const char* sound) {
        a.push({Push::integer(0), Push::str(sound)}).op(op::kGetVariable).push(Push::str("getVolume"))
            .op(op::kCallMethod).op(op::kTrace);
    };
    call({Push::integer(1), Push::str("mc")}, "createEmptyMovieClip");
    // mc.createEmptyMovieClip("nested", 1)
    a.push({Push::integer(1), Push::str("nested"), Push::integer(2), Push::str("mc")}).op(op::kGetVariable)
        .push(Push::str("createEmptyMovieClip")).op(op::kCallMethod).op(op::kPop);
    // s = new Sound("nested"): a path, not a clip
    a.push({Push::str("s"), Push::str("nested"), Push::integer(1), Push::str("Sound")}).op(op::kNewObject)
        .op(op::kSetVariable);
    a.setTarget("mc");
    // _root.s.setVolume(50) and its reading, from mc: "nested" is mc.nested
    a.push({Push::integer(50), Push::integer(1), Push::str("_root.s")}).op(op::kGetVariable)
        .push(Push::str("setVolume")).op(op::kCallMethod).op(op::kPop);
    traceVolume("_root.s");
    a.setTarget("");
    traceVolume("s");   // from the root, "nested" names no clip
    // The clip itself kept its volume.
    a.push({Push::str("t"), Push::str("mc.nested"), Push::integer(1), Push::str("Sound")}).op(op::kNewObject)
        .op(op::kSetVariable);
    traceVolume("t");
    ScriptMovie m(8, a.end());
    EXPECT_EQ(m.lines, (std::vector<std::string>{"50", "undefined", "50"}));
}

TEST(SoundScript, TimelineSoundsFollowTheSoundSettingsOfTheirClipAndItsHolders) {
    // A clip whose first frame starts an event sound (left 1000, right 3000) and a stream block (100).
    std::vector<std::int16_t> sides(2 * sound::kOutputRate);
    for (std::size_t i = 0; i < sides.size(); i += 2) sides[i] = 1000, sides[i + 1] = 3000;
    Folder f;
    f.play({defineSound(1, 3, 3, true, true, sound::kOutputRate, littleEndian(sides)),
            defineSprite(5, 2, {soundStreamHead(2, 3, 3, true, false, 4410),
                                soundStreamBlock(littleEndian(std::vector<std::int16_t>(4410, 100))), startSound(1),
                                showFrame(), showFrame()}),
            placeObject2({.depth = 1, .characterId = 5, .name = std::string("mc")})});
    auto both = [&f] {
        const sound::Samples out = f.mix(1);
        return std::vector<int>{out[0], out[1]};
    };
    EXPECT_EQ(both(), (std::vector<int>{1100, 3100}));
    // The movie's own Sound object sets the level of everything in it.
    f.call(f.sound(), "setVolume", {Value(50)});
    EXPECT_EQ(both(), (std::vector<int>{550, 1550}));
    // The clip's transform sends its right side to the left and its left to the right.
    avm1::Object* swap = f.vm().makeObject();
    for (const char* side : {"ll", "rr"}) swap->setOwn(QString::fromLatin1(side), Value(0));
    for (const char* side : {"lr", "rl"}) swap->setOwn(QString::fromLatin1(side), Value(100));
    const Value mc = f.get(f.root(), "mc");
    f.call(f.sound(mc), "setTransform", {Value(swap)});
    EXPECT_EQ(both(), (std::vector<int>{1550, 550}));
    f.call(f.sound(), "setVolume", {Value(0)});
    EXPECT_EQ(both(), (std::vector<int>{0, 0}));
    f.call(f.sound(), "setVolume", {Value(100)});
    EXPECT_EQ(both(), (std::vector<int>{3100, 1100}));
    // Stopping the clip's sounds stops what its timeline started, not the stream.
    f.call(f.sound(mc), "stop");
    EXPECT_EQ(both(), (std::vector<int>{100, 100}));
}
