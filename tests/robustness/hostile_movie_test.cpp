// Movies made to hurt the engine: self-reference, nesting and object bombs, absurd sizes and
// lengths, cut and bit-flipped files. Each must load and draw promptly, within bounded memory,
// and still show the sound part in front of the damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <QImage>

#include <zlib.h>

#include "player/bitmap/bitmap_decode.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/render/recording_renderer.h"
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

sw::Bytes zlibOf(const sw::Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    sw::Bytes out(size);
    compress(out.data(), &size, data.data(), static_cast<uLong>(data.size()));
    out.resize(size);
    return out;
}

// DefineBitsLossless2 with any declared size and only a few real pixels behind it.
sw::Bytes losslessHeader(std::uint16_t id, std::uint16_t width, std::uint16_t height) {
    sw::ByteWriter w;
    w.u16(id).u8(5).u16(width).u16(height).bytes(zlibOf(sw::Bytes(64, 0x7f)));
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

// A movie with one tag of each family the engine draws: the base of the cut and flip sweeps.
sw::Bytes richMovie() {
    sw::ShapeBuilder glyph;
    glyph.style(std::nullopt, 1, std::nullopt).rect(0, -16000, 14000, 16000); // font units: 20480 to the em
    sw::FillSpec gradient{.type = 0x12, .matrix = {.scaleX = 0.05, .scaleY = 0.05}, .stops = {{0, kRed}, {255, kGreen}}};
    sw::ShapeBuilder styled;
    styled.fill(gradient).line({.width = 40}).style(std::nullopt, 1, 1).rect(0, 0, 1500, 1500).curveTo(1800, 700, 0, 0);
    std::vector<std::uint32_t> pixels(16, 0xff336699u);
    return movieOf({sw::setBackgroundColor(0x102030), styled.build(3, 1, 0, 2000, 0, 2000),
                    sw::morphRectangles(2, 0, 0, 500, 500, kRed, 200, 200, 900, 900, kGreen),
                    sw::bitsLossless2(3, 4, 4, pixels), bitmapFilledSquare(4, 3),
                    sw::defineFont3(5, "Boxes", {{glyph, 'A', 700}}),
                    sw::defineText(6, 2, 0, 2000, -800, 200, 5, kRed, 400, 100, 600, {{0, 700}, {0, 700}}),
                    sw::defineSprite(7, 2, {place(1, 1), sw::showFrame(), sw::removeObject2(1), sw::showFrame()}),
                    sw::placeObject2({.depth = 1, .characterId = 1, .clipDepth = 3}), place(2, 7),
                    sw::placeObject2({.depth = 3, .characterId = 2, .ratio = 30000}), place(4, 4), place(5, 6),
                    sw::showFrame(), sw::removeObject2(5), sw::showFrame()},
                   2);
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

TEST(HostileMovie, LongChainOfSpritesIsCutAtTheNestingLimit) {
    // Sprite k places sprite k - 1, 5000 deep, each defined on its own (no nesting in the file).
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 1000, 1000, kRed)};
    for (std::uint16_t id = 2; id < 5002; ++id)
        tags.push_back(sw::defineSprite(id, 1, {place(1, static_cast<std::uint16_t>(id - 1)), sw::showFrame()}));
    tags.push_back(place(1, 1));
    tags.push_back(place(2, 5001));
    tags.push_back(sw::showFrame());
    const QStringList lines = playAndDraw(movieOf(tags), 2);
    EXPECT_GE(shapesDrawn(lines), 1); // the square placed directly on the stage
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
    w.u16(id).u8(3).u16(width).u16(height).u8(0).bytes(zlibOf(data));
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
    // The rest of the movie is untouched by the refusal, and a refused bitmap stays refused.
    EXPECT_TRUE(movie->bitmap(std::uint16_t(kFitting + 1)).isNull());
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

TEST(HostileMovie, EveryCutOfARichMovieLoadsAndDraws) {
    const sw::Bytes whole = richMovie();
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        SCOPED_TRACE("cut at " + std::to_string(length));
        playAndDraw(sw::Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)), 2);
    }
    EXPECT_GE(shapesDrawn(playAndDraw(whole)), 4);
}

TEST(HostileMovie, EveryBitFlipOfARichMovieLoadsAndDraws) {
    const sw::Bytes whole = richMovie();
    for (std::size_t byte = 0; byte < whole.size(); ++byte) {
        for (int bit : {0, 3, 7}) {
            SCOPED_TRACE("bit " + std::to_string(bit) + " of byte " + std::to_string(byte));
            sw::Bytes flipped = whole;
            flipped[byte] ^= static_cast<std::uint8_t>(1u << bit);
            playAndDraw(flipped, 2);
        }
    }
}

TEST(HostileMovie, FullByteValuesInEveryFieldLoadAndDraw) {
    // Each byte in turn set to 0xff and to 0x00: maximal and zero counts, lengths and bit widths.
    const sw::Bytes whole = richMovie();
    for (std::size_t byte = 8; byte < whole.size(); ++byte) {
        for (std::uint8_t value : {0x00, 0xff}) {
            SCOPED_TRACE("byte " + std::to_string(byte) + " set to " + std::to_string(value));
            sw::Bytes changed = whole;
            changed[byte] = value;
            playAndDraw(changed, 2);
        }
    }
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
