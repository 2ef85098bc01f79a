// Symbols imported from a movie file next to the importing one: the imported sprite plays with its
// scripts, everything it refers to comes along under ids clear of the importer's, and imports that
// leave the folder, loop back or nest too deeply are not followed.
#include <gtest/gtest.h>

#include <set>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/recording_renderer.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;

namespace {

void writeFile(const QString& path, const sw::Bytes& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

sw::Bytes movieOf(const std::vector<sw::Bytes>& tags, std::uint16_t frameCount = 1) {
    sw::MovieSpec spec;
    spec.frameCount = frameCount;
    return sw::movie(spec, tags);
}

sw::Bytes traceAction(const std::string& text) {
    sw::ActionWriter a;
    a.push(sw::Push::str(text)).op(sw::op::kTrace);
    return sw::doAction(a.end());
}

sw::Bytes traceCode(const std::string& text) {
    sw::ActionWriter a;
    a.push(sw::Push::str(text)).op(sw::op::kTrace);
    return a.end();
}

QStringList drawCalls(const vp::Player& player) {
    vp::RecordingRenderer r;
    player.render(r, QTransform(), vp::RenderQuality::High);
    return r.lines();
}

// A one-glyph font (a box) so texts have something to refer to.
sw::Bytes boxFont(std::uint16_t id) {
    sw::ShapeBuilder box;
    box.style(1, std::nullopt, std::nullopt).rect(0, -800, 800, 800);
    return sw::defineFont3(id, "Box", {{box, 'A', 1000}});
}

sw::Bytes editText(std::uint16_t id, std::uint16_t fontId) {
    sw::ByteWriter w;
    w.u16(id).rect(0, 4000, 0, 2000);
    w.u8(0x80 | 0x20 | 0x04 | 0x01).u8(0x20 | 0x01);   // has text, font, colour, read only; layout, outlines
    w.u16(fontId).u16(400).rgba(0x000000ff);
    w.u8(0).u16(0).u16(0).u16(0).s16(0);
    w.string("").string("A");
    return sw::tag(37, w.data());
}

// A movie whose only content is importing `name` as `id` from `url`.
sw::Bytes importer(const std::string& url, std::uint16_t id, const std::string& name) {
    return movieOf({sw::importAssets(url, {{id, name}}), sw::showFrame()});
}

// A library exporting one sprite named `name` under id 1.
sw::Bytes library(const std::string& name) {
    return movieOf({sw::rectangleShape(2, 0, 0, 100, 100, 0x00ff00ff),
                    sw::defineSprite(1, 1, {sw::placeObject2({.depth = 1, .characterId = 2}), sw::showFrame()}),
                    sw::exportAssets({{1, name}}), sw::showFrame()});
}

bool isSprite(const vp::Movie& movie, std::uint16_t id) {
    const vp::Character* c = movie.character(id);
    return c && std::holds_alternative<vp::SpriteCharacter>(*c);
}

}  // namespace

TEST(ImportAssets, ImportedSpritePlaysWithItsScripts) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The library's shape 1 is red; the importer's own shape 1 is blue. Both must draw as their own.
    writeFile(dir.filePath("lib.swf"),
              movieOf({sw::rectangleShape(1, 0, 0, 100, 100, 0xff0000ff),
                       sw::defineSprite(2, 2, {sw::placeObject2({.depth = 1, .characterId = 1}), traceAction("lib frame 1"),
                                               sw::showFrame(), traceAction("lib frame 2"), sw::showFrame()}),
                       sw::doInitAction(2, traceCode("lib init")),
                       sw::defineSprite(3, 1, {traceAction("extra attached"), sw::showFrame()}),
                       sw::exportAssets({{2, "Clip"}, {3, "Extra"}}), sw::showFrame()}));
    sw::ActionWriter attach;   // the library's other export is reachable by name, as its own scripts would use it
    attach.push({sw::Push::integer(7), sw::Push::str("extra"), sw::Push::str("Extra"), sw::Push::integer(3),
                 sw::Push::str("_root")})
        .op(sw::op::kGetVariable)
        .push(sw::Push::str("attachMovie"))
        .op(sw::op::kCallMethod)
        .op(sw::op::kPop);
    writeFile(dir.filePath("main.swf"),
              movieOf({sw::rectangleShape(1, 0, 0, 100, 100, 0x0000ffff), sw::importAssets("lib.swf", {{5, "Clip"}}),
                       sw::placeObject2({.depth = 1, .characterId = 5, .name = "clip"}),
                       sw::placeObject2({.depth = 2, .characterId = 1, .matrix = sw::MatrixSpec::translate(500, 0)}),
                       sw::doAction(attach.end()), sw::showFrame(), sw::showFrame()},
                      2));

    auto movie = vp::Movie::fromFile(dir.filePath("main.swf"));
    ASSERT_TRUE(movie->isValid());
    ASSERT_TRUE(isSprite(*movie, 5));
    EXPECT_EQ(movie->exportedCharacter("Clip"), 5);
    ASSERT_TRUE(isSprite(*movie, movie->exportedCharacter("Extra")));

    QStringList traced;
    vp::Player player(movie, [&](const QString& line) { traced << line; });
    const QStringList calls = drawCalls(player);
    EXPECT_TRUE(calls.contains("shape 1 at 0,0 #ff0000ff")) << calls.join(" | ").toStdString();
    EXPECT_TRUE(calls.contains("shape 1 at 500,0 #0000ffff")) << calls.join(" | ").toStdString();
    ASSERT_TRUE(traced.contains("lib init")) << traced.join(" | ").toStdString();
    ASSERT_TRUE(traced.contains("lib frame 1")) << traced.join(" | ").toStdString();
    EXPECT_LT(traced.indexOf("lib init"), traced.indexOf("lib frame 1"));
    EXPECT_TRUE(traced.contains("extra attached")) << traced.join(" | ").toStdString();
    player.nextFrame();
    EXPECT_EQ(traced.count("lib frame 2"), 1) << traced.join(" | ").toStdString();
    EXPECT_EQ(traced.count("lib init"), 1);

    // From bytes alone there is no folder to import from: the symbol stays undefined.
    QFile file(dir.filePath("main.swf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    auto fromBytes = vp::Movie::fromBytes(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                    static_cast<std::size_t>(bytes.size())));
    ASSERT_TRUE(fromBytes->isValid());
    EXPECT_EQ(fromBytes->character(5), nullptr);
    vp::Player quiet(fromBytes);   // places an undefined id: plays on without it
    EXPECT_EQ(quiet.currentFrame(), 1);
}

TEST(ImportAssets, InitScriptsOfTheLibraryRunInItsOrderWhicheverSymbolWasNamed) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Each init script traces its name and the clip it runs on.
    auto init = [](std::uint16_t id, const std::string& text) {
        sw::ActionWriter a;
        a.push(sw::Push::str(text)).op(sw::op::kTrace);
        a.push(sw::Push::str("this")).op(sw::op::kGetVariable).op(sw::op::kTrace);
        return sw::doInitAction(id, a.end());
    };
    writeFile(dir.filePath("lib.swf"),
              movieOf({sw::defineSprite(1, 1, {sw::showFrame()}), sw::defineSprite(2, 1, {sw::showFrame()}),
                       sw::defineSprite(3, 1, {sw::showFrame()}), sw::exportAssets({{1, "one"}, {2, "two"}, {3, "three"}}),
                       init(3, "init three"), init(1, "init one"), init(2, "init two"), sw::showFrame()}));
    writeFile(dir.filePath("main.swf"), movieOf({sw::importAssets("lib.swf", {{9, "two"}}), traceAction("main frame"),
                                                 sw::showFrame()}));
    auto movie = vp::Movie::fromFile(dir.filePath("main.swf"));
    ASSERT_TRUE(movie->isValid());
    QStringList traced;
    vp::Player player(movie, [&](const QString& line) { traced << line; });
    EXPECT_EQ(traced, (QStringList{"init three", "_level0", "init one", "_level0", "init two", "_level0", "main frame"}));
}

TEST(ImportAssets, ReferencesAreRemappedToFreeIds) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    sw::FillSpec bitmapFill;
    bitmapFill.type = 0x41;
    bitmapFill.bitmapId = 3;
    sw::ShapeBuilder bitmapShape;
    bitmapShape.fill(bitmapFill).style(std::nullopt, 1, std::nullopt).rect(0, 0, 40, 40);
    writeFile(dir.filePath("kit.swf"),
              movieOf({sw::bitsLossless2(3, 2, 2, {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff}),
                       bitmapShape.build(3, 4, 0, 40, 0, 40), boxFont(5),
                       sw::defineText(6, 2, 0, 4000, 0, 2000, 5, 0x000000ff, 400, 20, 1000, {{0, 1000}}),
                       editText(7, 5), sw::defineButton2(8, {{.states = 0x0f, .characterId = 4, .depth = 1}}, {}),
                       sw::defineSprite(9, 1,
                                        {sw::placeObject2({.depth = 1, .characterId = 4}),
                                         sw::placeObject2({.depth = 2, .characterId = 6}),
                                         sw::placeObject2({.depth = 3, .characterId = 7}),
                                         sw::placeObject2({.depth = 4, .characterId = 8}),
                                         sw::placeObject2({.depth = 5, .characterId = 40}),   // defined nowhere
                                         sw::showFrame()}),
                       sw::exportAssets({{9, "Kit"}, {5, "KitFont"}}), sw::showFrame()}));
    // The importer defines every id the library uses, and places id 40 itself later on.
    std::vector<sw::Bytes> tags;
    for (std::uint16_t id = 1; id <= 9; ++id) tags.push_back(sw::rectangleShape(id, 0, 0, 10, 10, 0x0000ffff));
    tags.push_back(sw::importAssets("kit.swf", {{20, "Kit"}, {21, "KitFont"}}, true));
    tags.push_back(sw::showFrame());
    tags.push_back(sw::placeObject2({.depth = 1, .characterId = 40}));
    tags.push_back(sw::showFrame());
    writeFile(dir.filePath("main.swf"), movieOf(tags, 2));

    auto movie = vp::Movie::fromFile(dir.filePath("main.swf"));
    ASSERT_TRUE(movie->isValid());
    for (std::uint16_t id = 1; id <= 9; ++id) {
        const vp::Character* own = movie->character(id);
        ASSERT_TRUE(own && std::holds_alternative<vistrel::swf::DefineShape>(*own)) << id;
    }
    EXPECT_EQ(movie->character(40), nullptr);
    ASSERT_TRUE(isSprite(*movie, 20));
    const auto* font = std::get_if<vp::FontCharacter>(movie->character(21));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->font.id, 21);   // the glyph cache is keyed by it

    const vp::Timeline& kit = std::get<vp::SpriteCharacter>(*movie->character(20)).timeline;
    ASSERT_EQ(kit.frames.size(), 1u);
    std::vector<std::uint16_t> placed;
    for (const vp::FrameCommand& command : kit.frames[0].commands)
        if (const auto* p = std::get_if<vistrel::swf::PlaceObject>(&command); p && p->character) placed.push_back(*p->character);
    ASSERT_EQ(placed.size(), 5u);
    std::set<std::uint16_t> fresh(placed.begin(), placed.end());
    EXPECT_EQ(fresh.size(), 5u);
    for (std::uint16_t id : placed) {
        EXPECT_TRUE(id > 9 && id != 20 && id != 21 && id != 40) << id;
    }

    // Shape with its bitmap fill.
    const auto* shape = std::get_if<vistrel::swf::DefineShape>(movie->character(placed[0]));
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->id, placed[0]);
    ASSERT_EQ(shape->shape.fills.size(), 1u);
    const std::uint16_t bitmapId = shape->shape.fills[0].bitmapId;
    EXPECT_TRUE(bitmapId > 9 && bitmapId != 20 && bitmapId != 21 && !fresh.count(bitmapId)) << bitmapId;
    const vp::Character* bitmap = movie->character(bitmapId);
    ASSERT_TRUE(bitmap && std::holds_alternative<vp::BitmapCharacter>(*bitmap));
    EXPECT_EQ(movie->bitmap(bitmapId).width(), 2);

    // Static and edit texts share the font imported by name.
    const auto* text = std::get_if<vistrel::swf::DefineText>(movie->character(placed[1]));
    ASSERT_NE(text, nullptr);
    ASSERT_FALSE(text->records.empty());
    EXPECT_EQ(text->records[0].fontId, std::optional<std::uint16_t>(21));
    const auto* edit = std::get_if<vistrel::swf::DefineEditText>(movie->character(placed[2]));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->fontId, std::optional<std::uint16_t>(21));

    // The button's record and its up state point at the copied shape.
    const auto* button = std::get_if<vp::ButtonCharacter>(movie->character(placed[3]));
    ASSERT_NE(button, nullptr);
    ASSERT_EQ(button->button.records.size(), 1u);
    EXPECT_EQ(button->button.records[0].character, placed[0]);
    const auto& up = button->upState.frames.at(0).commands.at(0);
    EXPECT_EQ(std::get<vistrel::swf::PlaceObject>(up).character, std::optional<std::uint16_t>(placed[0]));

    // What the library could not resolve stays unresolved here, not the importer's id 40.
    EXPECT_EQ(movie->character(placed[4]), nullptr);

    // The imported sprite draws its bitmap-filled shape, not the importer's blue shape 4.
    QStringList calls;
    {
        std::vector<sw::Bytes> show = tags;
        show.insert(show.end() - 3, sw::placeObject2({.depth = 9, .characterId = 20}));
        writeFile(dir.filePath("show.swf"), movieOf(show, 2));
        vp::Player player(vp::Movie::fromFile(dir.filePath("show.swf")));
        calls = drawCalls(player);
    }
    EXPECT_FALSE(calls.filter("#0000ffff").size() > 0) << calls.join(" | ").toStdString();
    EXPECT_TRUE(calls.filter("shape 1 at 0,0").size() > 0) << calls.join(" | ").toStdString();
}

TEST(ImportAssets, NamesFindFilesInTheFolderWhateverTheirCaseAndNothingOutsideIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath("movies/sub"));
    const QString movies = dir.filePath("movies");
    writeFile(dir.filePath("outside.swf"), library("Thing"));
    writeFile(movies + "/lib.swf", library("Thing"));
    writeFile(movies + "/sub/deep.swf", library("Thing"));
    ASSERT_TRUE(QFile::link(dir.filePath("outside.swf"), movies + "/link.swf"));

    auto imports = [&](const std::string& url) {
        writeFile(movies + "/main.swf", importer(url, 7, "Thing"));
        auto movie = vp::Movie::fromFile(movies + "/main.swf");
        EXPECT_TRUE(movie->isValid());
        return isSprite(*movie, 7);
    };
    EXPECT_TRUE(imports("lib.swf"));
    EXPECT_TRUE(imports("./lib.swf"));
    EXPECT_TRUE(imports("sub/deep.swf"));
    EXPECT_FALSE(imports("../outside.swf"));
    EXPECT_FALSE(imports("sub/../lib.swf"));
    EXPECT_FALSE(imports("%2e%2e/outside.swf"));
    EXPECT_FALSE(imports(dir.filePath("outside.swf").toStdString()));
    EXPECT_FALSE(imports((movies + "/lib.swf").toStdString()));   // absolute, even inside the folder
    EXPECT_FALSE(imports("file://" + (movies + "/lib.swf").toStdString()));
    EXPECT_FALSE(imports("http://127.0.0.1/lib.swf"));
    EXPECT_FALSE(imports("lib.swf?x=1"));
    EXPECT_FALSE(imports("link.swf"));   // a link out of the folder
    EXPECT_FALSE(imports("missing.swf"));
    EXPECT_FALSE(imports(""));
    // Names were written where case did not matter; it still does not, inside the folder only.
    EXPECT_TRUE(imports("LIB.SWF"));
    EXPECT_TRUE(imports("Sub/Deep.Swf"));
    EXPECT_TRUE(imports("SUB\\DEEP.swf"));
    EXPECT_FALSE(imports("SUB"));   // a folder is no file
    EXPECT_FALSE(imports("LINK.SWF"));
    EXPECT_FALSE(imports("../OUTSIDE.SWF"));

    // A damaged library leaves the symbol undefined and the movie playing.
    sw::Bytes damaged = library("Thing");
    damaged.resize(damaged.size() / 2);
    writeFile(movies + "/damaged.swf", damaged);
    EXPECT_FALSE(imports("damaged.swf"));
    writeFile(movies + "/garbage.swf", sw::Bytes(64, 0xab));
    EXPECT_FALSE(imports("garbage.swf"));
}

TEST(ImportAssets, CyclesEndAndNestingIsBounded) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // a imports Thing from b; b defines Thing and imports Other from a, which imports from b again.
    writeFile(dir.filePath("a.swf"),
              movieOf({sw::importAssets("b.swf", {{1, "Thing"}}), sw::defineSprite(2, 1, {sw::showFrame()}),
                       sw::exportAssets({{2, "Other"}}), sw::showFrame()}));
    writeFile(dir.filePath("b.swf"),
              movieOf({sw::importAssets("a.swf", {{3, "Other"}}), sw::defineSprite(1, 1, {sw::showFrame()}),
                       sw::exportAssets({{1, "Thing"}}), sw::showFrame()}));
    auto a = vp::Movie::fromFile(dir.filePath("a.swf"));
    ASSERT_TRUE(a->isValid());
    EXPECT_TRUE(isSprite(*a, 1));
    auto self = vp::Movie::fromFile(dir.filePath("self.swf"));   // missing file: just invalid
    EXPECT_FALSE(self->isValid());
    writeFile(dir.filePath("self.swf"), importer("self.swf", 1, "Thing"));
    self = vp::Movie::fromFile(dir.filePath("self.swf"));
    ASSERT_TRUE(self->isValid());
    EXPECT_EQ(self->character(1), nullptr);

    // A chain m0 -> m1 -> ... where each passes on what it imported under the same name: four levels of
    // imports are followed, a fifth is not.
    auto chain = [&](const QString& prefix, int length) {
        for (int i = 0; i < length; ++i) {
            const std::string next = (prefix + QString::number(i + 1) + ".swf").toStdString();
            writeFile(dir.filePath(prefix + QString::number(i) + ".swf"), importer(next, 1, "Deep"));
        }
        writeFile(dir.filePath(prefix + QString::number(length) + ".swf"), library("Deep"));
        return vp::Movie::fromFile(dir.filePath(prefix + "0.swf"));
    };
    EXPECT_TRUE(isSprite(*chain("four", 4), 1));
    EXPECT_FALSE(isSprite(*chain("five", 5), 1));
}
