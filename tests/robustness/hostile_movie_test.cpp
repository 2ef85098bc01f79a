// Movies made to hurt the engine: self-reference, nesting and object bombs, absurd sizes and
// lengths, cut and bit-flipped files. Each must load and draw promptly, within bounded memory,
// and still show the sound part in front of the damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <QImage>

#include "player/bitmap/bitmap_decode.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/render/recording_renderer.h"
#include "player/swf/byte_reader.h"
#include "player/swf/parser.h"
#include "player/stage_view.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;

namespace {

constexpr std::uint32_t kRed = 0xff0000ff, kGreen = 0x00ff00ff;

sw::Bytes place(std::uint16_t depth, std::uint16_t id) { return sw::placeObject2({.depth = depth, .characterId = id}); }

sw::Bytes movieOf(const std::vector<sw::Bytes>& tags, std::uint16_t frames = 1) {
    return sw::movie({.frameCount = frames}, tags);
}

// Draws `frames` frames of the movie through the recording renderer and through QPainter; gives
// the recorded lines of the last frame.
QStringList playAndDraw(const sw::Bytes& bytes, int frames = 1) {
    const auto movie = vp::Movie::fromBytes(bytes);
    vp::Player player(movie);
    vp::RecordingRenderer recorder;
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer painter(image);
    const QTransform view = vp::stageToDevice(movie->stageRect(), QSizeF(32, 32), vp::ScaleMode::ShowAll, 1.0);
    for (int i = 0; i < frames; ++i) {
        if (i > 0)
            player.nextFrame();
        recorder.clear();
        player.render(recorder, view, vp::RenderQuality::High);
        player.render(painter, view, vp::RenderQuality::Best);
    }
    return recorder.lines();
}

qsizetype shapesDrawn(const QStringList& lines) {
    return std::count_if(lines.begin(), lines.end(), [](const QString& line) { return line.startsWith(u"shape "); });
}

// DefineBitsLossless2 with any declared size and only a few real pixels behind it.
sw::Bytes losslessHeader(std::uint16_t id, std::uint16_t width, std::uint16_t height) {
    sw::ByteWriter w;
    w.u16(id).u8(5).u16(width).u16(height).bytes(sw::zlibCompress(sw::Bytes(64, 0x7f)));
    return sw::tag(36, w.data(), true);
}

sw::Bytes bitmapFilledSquare(std::uint16_t id, std::uint16_t bitmapId) {
    sw::ShapeBuilder shape;
    shape.fill(sw::FillSpec{.type = 0x41, .matrix = {.scaleX = 20, .scaleY = 20}, .bitmapId = bitmapId})
        .style(std::nullopt, 1, std::nullopt)
        .rect(0, 0, 1000, 1000);
    return shape.build(3, id, 0, 1000, 0, 1000);
}

void setDeclaredLength(sw::Bytes& file, std::uint32_t length) {
    for (int i = 0; i < 4; ++i)
        file[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
}

}  // namespace

TEST(HostileMovie, SpriteThatPlacesItselfStopsAtTheNestingLimit) {
    const sw::Bytes bytes = movieOf({sw::rectangleShape(1, 0, 0, 1000, 1000, kRed),
                                     sw::defineSprite(2, 1, {place(1, 2), place(2, 1), sw::showFrame()}), place(1, 1),
                                     place(2, 2), sw::showFrame()});
    const QStringList lines = playAndDraw(bytes, 3);
    // The root's own square, and the square inside every level the player agreed to build.
    EXPECT_GE(shapesDrawn(lines), 2);
    EXPECT_LE(shapesDrawn(lines), vp::ObjectBudget::kMaxNesting + 2);
}

// Sprite k places sprite k - 1, `depth` sprites deep, each defined on its own (no nesting in the
// file), with the square at the bottom; the square is also placed directly on the stage.
sw::Bytes chainOfSprites(std::uint16_t depth) {
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 1000, 1000, kRed)};
    for (std::uint16_t id = 2; id < depth + 2; ++id)
        tags.push_back(sw::defineSprite(id, 1, {place(1, static_cast<std::uint16_t>(id - 1)), sw::showFrame()}));
    tags.push_back(place(1, 1));
    tags.push_back(place(2, static_cast<std::uint16_t>(depth + 1)));
    tags.push_back(sw::showFrame());
    return movieOf(tags);
}

TEST(HostileMovie, LongChainOfSpritesIsCutAtTheNestingLimit) {
    // Within the limit the square at the bottom of the chain shows; 5000 deep it is never reached.
    EXPECT_EQ(shapesDrawn(playAndDraw(chainOfSprites(vp::ObjectBudget::kMaxNesting / 2), 2)), 2);
    EXPECT_EQ(shapesDrawn(playAndDraw(chainOfSprites(5000), 2)), 1);
}

TEST(HostileMovie, SpritesNestedInsideEachOtherInTheFileAreLimited) {
    sw::Bytes sprite = sw::defineSprite(1000, 1, {sw::showFrame()});
    for (std::uint16_t id = 999; id >= 900; --id)
        sprite = sw::defineSprite(id, 1, {sprite, sw::showFrame()});
    const QStringList lines = playAndDraw(
        movieOf({sw::rectangleShape(1, 0, 0, 1000, 1000, kRed), sprite, place(1, 1), place(2, 900), sw::showFrame()}));
    EXPECT_EQ(shapesDrawn(lines), 1);
}

TEST(HostileMovie, ObjectBombIsHeldToTheBudget) {
    // Each level places the level below at 200 depths: 200^4 objects if nothing stopped it.
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 100, 100, kRed)};
    for (std::uint16_t level = 2; level <= 5; ++level) {
        std::vector<sw::Bytes> body;
        for (std::uint16_t depth = 1; depth <= 200; ++depth)
            body.push_back(place(depth, static_cast<std::uint16_t>(level - 1)));
        body.push_back(sw::showFrame());
        tags.push_back(sw::defineSprite(level, 1, body));
    }
    tags.push_back(place(1, 5));
    tags.push_back(sw::showFrame());
    const QStringList lines = playAndDraw(movieOf(tags), 2);
    EXPECT_LE(shapesDrawn(lines), vp::ObjectBudget::kMaxObjects);
}

TEST(HostileMovie, GiantBitmapIsRefusedAndTheRestIsDrawn) {
    const sw::Bytes bytes = movieOf({losslessHeader(1, 60000, 60000), bitmapFilledSquare(2, 1),
                                     sw::rectangleShape(3, 0, 0, 500, 500, kGreen), place(1, 2), place(2, 3),
                                     sw::showFrame()});
    EXPECT_TRUE(vp::Movie::fromBytes(bytes)->bitmap(1).isNull());
    EXPECT_GE(shapesDrawn(playAndDraw(bytes)), 1);
}

// Colour-mapped DefineBitsLossless whose data holds the palette and a single row: the decoder
// still gives the whole declared size (missing rows stay transparent), so a few kilobytes of
// file stand for width * height pixels of memory.
sw::Bytes oneRowBitmap(std::uint16_t id, std::uint16_t width, std::uint16_t height) {
    sw::Bytes data(3 + width, 0);
    data[0] = 0xff;   // one palette entry, red
    sw::ByteWriter w;
    w.u16(id).u8(3).u16(width).u16(height).u8(0).bytes(sw::zlibCompress(data));
    return sw::tag(20, w.data(), true);
}

TEST(HostileMovie, BitmapsPastTheMovieBudgetAreLeftUndecoded) {
    // Each bitmap is as large as one may be; together they ask for more than a movie is granted.
    constexpr std::uint16_t kSide = 8192;
    static_assert(std::int64_t(kSide) * kSide == vp::kMaxBitmapPixels);
    constexpr int kFitting = int(vp::kMaxMovieBitmapPixels / vp::kMaxBitmapPixels);
    std::vector<sw::Bytes> tags;
    for (int i = 1; i <= kFitting + 2; ++i)
        tags.push_back(oneRowBitmap(std::uint16_t(i), kSide, kSide));
    tags.push_back(sw::rectangleShape(100, 0, 0, 500, 500, kGreen));
    tags.push_back(place(1, 100));
    tags.push_back(sw::showFrame());
    const auto movie = vp::Movie::fromBytes(movieOf(tags));
    ASSERT_TRUE(movie->isValid());
    for (int i = 1; i <= kFitting; ++i) {
        const QImage image = movie->bitmap(std::uint16_t(i));
        ASSERT_EQ(image.size(), QSize(kSide, kSide)) << "bitmap " << i;
        EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
        EXPECT_EQ(qAlpha(image.pixel(0, 1)), 0);   // a row the data does not hold
    }
    EXPECT_TRUE(movie->bitmap(std::uint16_t(kFitting + 1)).isNull());
    EXPECT_TRUE(movie->bitmap(std::uint16_t(kFitting + 2)).isNull());
    // The rest of the movie is untouched by the refusal: the bitmaps decoded before it are still
    // held whole, and the shapes are built.
    for (int i = 1; i <= kFitting; ++i)
        EXPECT_EQ(movie->bitmap(std::uint16_t(i)).size(), QSize(kSide, kSide)) << "bitmap " << i;
    EXPECT_FALSE(movie->shapePaths(100).items.empty());
}

TEST(HostileMovie, BitmapWhoseDataIsFarTooShortDecodesToNothing) {
    const auto movie = vp::Movie::fromBytes(movieOf({losslessHeader(1, 4000, 4000), sw::showFrame()}));
    EXPECT_TRUE(movie->bitmap(1).isNull());
}

class DeclaredLengthTest : public ::testing::TestWithParam<sw::Compression> {};

TEST_P(DeclaredLengthTest, FourGibibytesDeclaredLoadsWhatIsThere) {
    sw::Bytes bytes = sw::movie({.compression = GetParam()},
                                {sw::rectangleShape(1, 0, 0, 1000, 1000, kRed), place(1, 1), sw::showFrame()});
    setDeclaredLength(bytes, 0xffffffffu);
    const auto movie = vp::Movie::fromBytes(bytes);
    ASSERT_TRUE(movie->isValid());
    EXPECT_EQ(shapesDrawn(playAndDraw(bytes)), 1);
}

INSTANTIATE_TEST_SUITE_P(Compressions, DeclaredLengthTest,
                         ::testing::Values(sw::Compression::None, sw::Compression::Zlib, sw::Compression::Lzma),
                         [](const auto& info) {
                             return std::string(info.param == sw::Compression::None   ? "Plain"
                                                : info.param == sw::Compression::Zlib ? "Zlib"
                                                                                      : "Lzma");
                         });

TEST(HostileMovie, TagLongerThanTheFileEndsTheMovieThere) {
    sw::Bytes bytes = movieOf({sw::rectangleShape(1, 0, 0, 1000, 1000, kRed), place(1, 1), sw::showFrame()});
    bytes.erase(bytes.end() - 2, bytes.end()); // drop the End tag
    const sw::Bytes huge = sw::tag(2, sw::Bytes(8, 0), true);
    bytes.insert(bytes.end(), huge.begin(), huge.begin() + 2);
    for (std::uint8_t b : {0xf0, 0xff, 0xff, 0xff}) // a body length of nearly 4 GiB
        bytes.push_back(b);
    EXPECT_EQ(shapesDrawn(playAndDraw(bytes)), 1);
}

bool mentions(const vistrel::swf::Diagnostics& diagnostics, const std::string& words) {
    return std::any_of(diagnostics.begin(), diagnostics.end(),
                       [&](const auto& d) { return d.text.find(words) != std::string::npos; });
}

// A damaged movie loads with its problems listed (at most the recorded limit) and draws at most
// the engine's object budget.
void expectBoundedLoad(const sw::Bytes& bytes) {
    const auto movie = vp::Movie::fromBytes(bytes);
    EXPECT_LE(movie->diagnostics().size(), vistrel::swf::kMaxDiagnostics + 1);
    EXPECT_LE(shapesDrawn(playAndDraw(bytes, 2)), vp::ObjectBudget::kMaxObjects);
}

TEST(HostileMovie, EveryCutOfARichMovieShowsWhatArrivedAndSaysItEndsEarly) {
    const sw::Bytes whole = sw::everyFamilyMovie();
    // The signature, length, frame rectangle, rate and count must all be there to load.
    const std::size_t rectBytes = (5 + 4 * (whole[8] >> 3) + 7) / 8;
    const std::size_t headerEnd = 8 + rectBytes + 4;
    const qsizetype mostShapes = std::max(shapesDrawn(playAndDraw(whole, 1)), shapesDrawn(playAndDraw(whole, 2)));
    ASSERT_GE(mostShapes, 4);
    for (std::size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE("cut at " + std::to_string(length));
        const sw::Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        const auto movie = vp::Movie::fromBytes(cut);
        EXPECT_EQ(movie->isValid(), length >= headerEnd);
        if (movie->isValid()) {
            EXPECT_TRUE(mentions(movie->diagnostics(), "ends early"));
        }
        EXPECT_LE(shapesDrawn(playAndDraw(cut, 2)), mostShapes);
    }
}

TEST(HostileMovie, EveryBitFlipOfARichMovieLoadsWithinBounds) {
    const sw::Bytes whole = sw::everyFamilyMovie();
    for (std::size_t byte = 0; byte < whole.size(); ++byte) {
        for (int bit : {0, 3, 7}) {
            SCOPED_TRACE("bit " + std::to_string(bit) + " of byte " + std::to_string(byte));
            sw::Bytes flipped = whole;
            flipped[byte] ^= static_cast<std::uint8_t>(1u << bit);
            // A damaged signature is no movie; damage anywhere else still loads.
            EXPECT_EQ(vp::Movie::fromBytes(flipped)->isValid(), byte >= 3);
            expectBoundedLoad(flipped);
        }
    }
}

TEST(HostileMovie, FullByteValuesInEveryFieldLoadWithinBounds) {
    // Each byte in turn set to 0xff and to 0x00: maximal and zero counts, lengths and bit widths.
    const sw::Bytes whole = sw::everyFamilyMovie();
    for (std::size_t byte = 8; byte < whole.size(); ++byte) {
        for (std::uint8_t value : {0x00, 0xff}) {
            SCOPED_TRACE("byte " + std::to_string(byte) + " set to " + std::to_string(value));
            sw::Bytes changed = whole;
            changed[byte] = value;
            EXPECT_TRUE(vp::Movie::fromBytes(changed)->isValid());
            expectBoundedLoad(changed);
        }
    }
}

TEST(HostileMovie, FramesPastWhatCanBeNumberedAreCut) {
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 100, 100, kRed), place(1, 1)};
    tags.insert(tags.end(), 70000, sw::showFrame());
    const auto cut = vp::Movie::fromBytes(movieOf(tags, 65535));
    EXPECT_EQ(vp::Player(cut).frameCount(), vistrel::swf::kMaxFrames);
    EXPECT_TRUE(mentions(cut->diagnostics(), "more frames"));

    // A movie of exactly the most frames that can be numbered, End tag and all, is whole.
    tags.resize(2 + vistrel::swf::kMaxFrames);
    const auto whole = vp::Movie::fromBytes(movieOf(tags, 65535));
    EXPECT_EQ(vp::Player(whole).frameCount(), vistrel::swf::kMaxFrames);
    EXPECT_TRUE(whole->diagnostics().empty());
}

TEST(HostileMovie, TagFloodStopsAtTheMovieBudget) {
    // Two-byte tags of a code nobody defines: a compressed file of a few kilobytes that would
    // otherwise unfold into millions of records.
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 100, 100, kGreen), place(1, 1), sw::showFrame()};
    tags.insert(tags.end(), vistrel::swf::kMaxTags + 1000, sw::tag(1000, {}));
    const auto movie = vp::Movie::fromBytes(sw::movie({.compression = sw::Compression::Zlib}, tags));
    ASSERT_TRUE(movie->isValid());
    EXPECT_TRUE(mentions(movie->diagnostics(), "more tags"));
    EXPECT_GE(shapesDrawn(playAndDraw(sw::movie({.compression = sw::Compression::Zlib}, tags))), 1);
}

TEST(HostileMovie, TagBudgetCountsTheTagsInsideSprites) {
    std::vector<sw::Bytes> inner(80, sw::showFrame());
    sw::Bytes stream = sw::defineSprite(2, 80, inner);
    for (int i = 0; i < 50; ++i) {
        const sw::Bytes frame = sw::showFrame();
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    vistrel::swf::ByteReader reader(stream);
    vistrel::swf::Diagnostics diagnostics;
    vistrel::swf::ParseBudget budget{.tagsLeft = 100};
    const auto records = vistrel::swf::parseTags(reader, 10, diagnostics, 0, &budget);
    const auto& sprite = std::get<vistrel::swf::DefineSprite>(records.front().tag);
    EXPECT_EQ(sprite.tags.size(), 81u);   // its End tag included
    EXPECT_EQ(records.size() + sprite.tags.size(), 100u);
    EXPECT_EQ(budget.tagsLeft, 0u);
    EXPECT_TRUE(mentions(diagnostics, "more tags"));
}

TEST(HostileMovie, ProblemsPastTheLimitAreCountedOnce) {
    // Thousands of placement tags too short for their own fields.
    std::vector<sw::Bytes> tags(5000, sw::tag(26, {0x02}));
    const auto movie = vp::Movie::fromBytes(movieOf(tags));
    ASSERT_EQ(movie->diagnostics().size(), vistrel::swf::kMaxDiagnostics + 1);
    EXPECT_EQ(movie->diagnostics().back().text, "further problems are not listed");
}

TEST(HostileMovie, MasksPastTheNestingLimitAreLeftOut) {
    // Hundreds of masks over one square: the outer ones cover the stage, the ones past the limit
    // only a corner. Had they all been applied, nothing would show in the middle.
    constexpr int kMasks = vp::kMaxMaskNesting + 200;
    constexpr std::uint16_t kContentDepth = kMasks + 1;
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 4000, 2000, kGreen),
                                sw::rectangleShape(2, 0, 0, 20, 20, kRed), sw::setBackgroundColor(0xffffff)};
    for (int depth = 1; depth <= kMasks; ++depth)
        tags.push_back(sw::placeObject2({.depth = std::uint16_t(depth),
                                         .characterId = std::uint16_t(depth <= vp::kMaxMaskNesting ? 1 : 2),
                                         .clipDepth = kContentDepth}));
    tags.push_back(place(kContentDepth, 1));
    tags.push_back(sw::showFrame());
    const auto movie = vp::Movie::fromBytes(movieOf(tags));
    vp::Player player(movie);
    QImage image(40, 20, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer painter(image);
    player.render(painter, vp::stageToDevice(movie->stageRect(), QSizeF(40, 20), vp::ScaleMode::ShowAll, 1.0),
                  vp::RenderQuality::Best);
    EXPECT_EQ(image.pixel(20, 10), qRgb(0, 255, 0));
}

TEST(HostileMovie, FrameCountFarBeyondTheFramesThereSteppingEnds) {
    sw::Bytes bytes = sw::movie({.frameCount = 65535}, {sw::rectangleShape(1, 0, 0, 100, 100, kRed), place(1, 1),
                                                        sw::showFrame()});
    const auto movie = vp::Movie::fromBytes(bytes);
    vp::Player player(movie);
    player.gotoFrame(player.frameCount());
    for (int i = 0; i < 5; ++i)
        player.nextFrame();
    EXPECT_GE(player.currentFrame(), 1);
    EXPECT_LE(player.currentFrame(), player.frameCount());
}
