// Writes a folder of movies made to hurt a player: bombs, absurd sizes, deep nesting, cuts and
// bit flips. Not a test: scripts/hostile_movies.sh opens each with vistrel-tool and prints how
// long it took and how much memory it needed.
//
// Usage: vistrel_make_hostile_movies FOLDER
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <zlib.h>

#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kRed = 0xff0000ff, kGreen = 0x00ff00ff, kBlue = 0x0000ffff;

sw::Bytes place(std::uint16_t depth, std::uint16_t id) { return sw::placeObject2({.depth = depth, .characterId = id}); }

sw::Bytes movieOf(const std::vector<sw::Bytes>& tags, std::uint16_t frames = 1,
                  sw::Compression compression = sw::Compression::None) {
    // Movies compressed with LZMA exist from version 13 on.
    const int version = compression == sw::Compression::Lzma ? 13 : 10;
    return sw::movie({.version = version, .frameCount = frames, .compression = compression}, tags);
}

sw::Bytes zlibOf(const sw::Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    sw::Bytes out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9);
    out.resize(size);
    return out;
}

void save(const fs::path& folder, const std::string& name, const sw::Bytes& bytes) {
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void setDeclaredLength(sw::Bytes& file, std::uint32_t length) {
    for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
}

// Every sprite level places the level below at `width` depths.
sw::Bytes objectBomb(int width, int levels) {
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 100, 100, kRed)};
    for (int level = 2; level <= levels + 1; ++level) {
        std::vector<sw::Bytes> body;
        for (int depth = 1; depth <= width; ++depth) body.push_back(place(std::uint16_t(depth), std::uint16_t(level - 1)));
        body.push_back(sw::showFrame());
        tags.push_back(sw::defineSprite(std::uint16_t(level), 1, body));
    }
    tags.push_back(place(1, std::uint16_t(levels + 1)));
    tags.push_back(sw::showFrame());
    return movieOf(tags, 1, sw::Compression::Zlib);
}

// Each sprite holds the previous one: a chain far deeper than any real movie.
sw::Bytes spriteChain(int length) {
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 500, 500, kGreen)};
    for (int id = 2; id <= length; ++id)
        tags.push_back(sw::defineSprite(std::uint16_t(id), 1, {place(1, std::uint16_t(id - 1)), sw::showFrame()}));
    tags.push_back(place(1, std::uint16_t(length)));
    tags.push_back(sw::showFrame());
    return movieOf(tags);
}

// Sprites defined inside sprites in the file itself.
sw::Bytes nestedDefinitions(int depth) {
    sw::Bytes inner = sw::rectangleShape(1, 0, 0, 500, 500, kBlue);
    for (int level = 0; level < depth; ++level)
        inner = sw::defineSprite(std::uint16_t(2 + level), 1, {inner, sw::showFrame()});
    return movieOf({inner, place(1, 2), sw::showFrame()});
}

// A mask over a mask over a mask..., each covering all the layers above it.
sw::Bytes clipTower(int layers) {
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 4000, 2000, kRed)};
    for (int depth = 1; depth <= layers; ++depth)
        tags.push_back(sw::placeObject2({.depth = std::uint16_t(depth), .characterId = 1,
                                         .matrix = sw::MatrixSpec::translate(depth, depth),
                                         .clipDepth = std::uint16_t(layers + 1)}));
    tags.push_back(place(std::uint16_t(layers + 1), 1));
    tags.push_back(sw::showFrame());
    return movieOf(tags, 1, sw::Compression::Zlib);
}

// One shape with a very long outline.
sw::Bytes longOutline(int edges) {
    sw::ShapeBuilder shape;
    shape.fill(sw::FillSpec::solid(kGreen)).line({.width = 20}).style(std::nullopt, 1, 1).moveTo(0, 0);
    std::mt19937 random(7);
    for (int i = 0; i < edges; ++i) shape.lineTo(int(random() % 4000), int(random() % 2000));
    return movieOf({shape.build(4, 1, 0, 4000, 0, 2000), place(1, 1), sw::showFrame()}, 1, sw::Compression::Zlib);
}

// Colour-mapped bitmaps of the largest size, each holding only its palette and first row.
sw::Bytes bitmapBomb(int count) {
    std::vector<sw::Bytes> tags;
    for (int id = 1; id <= count; ++id) {
        sw::Bytes data(3 + 8192, 0);
        data[0] = 0xff;
        sw::ByteWriter w;
        w.u16(std::uint16_t(id)).u8(3).u16(8192).u16(8192).u8(0).bytes(zlibOf(data));
        tags.push_back(sw::tag(20, w.data(), true));
        sw::ShapeBuilder shape;
        shape.fill(sw::FillSpec{.type = 0x41, .matrix = {.scaleX = 1, .scaleY = 1}, .bitmapId = std::uint16_t(id)})
            .style(std::nullopt, 1, std::nullopt)
            .rect(0, 0, 4000, 2000);
        tags.push_back(shape.build(3, std::uint16_t(1000 + id), 0, 4000, 0, 2000));
        tags.push_back(place(std::uint16_t(id), std::uint16_t(1000 + id)));
    }
    tags.push_back(sw::showFrame());
    return movieOf(tags);
}

// A compressed body that inflates to far more than a movie may be: frame after empty frame.
sw::Bytes inflateBomb(sw::Compression compression) {
    sw::Bytes body(200u * 1024 * 1024, 0);
    for (std::size_t i = 0; i + 1 < body.size(); i += 2) body[i] = 0x40;   // ShowFrame, short form
    sw::Bytes plain = sw::movie({.version = 13, .frameCount = 65535}, {});
    plain.pop_back(); plain.pop_back();   // drop the End tag
    plain.insert(plain.end(), body.begin(), body.end());
    setDeclaredLength(plain, std::uint32_t(plain.size()));
    return sw::compressBody(plain, compression);
}

// Text with a huge number of glyph records in one line.
sw::Bytes glyphFlood(int glyphs) {
    sw::ShapeBuilder glyph;
    glyph.style(std::nullopt, 1, std::nullopt).rect(0, -16000, 14000, 16000);
    std::vector<sw::TextGlyph> text(std::size_t(glyphs), sw::TextGlyph{0, 1});
    return movieOf({sw::defineFont3(1, "Flood", {{glyph, 'A', 700}}),
                    sw::defineText(2, 2, 0, 4000, -400, 400, 1, kRed, 400, 0, 200, text), place(1, 2), sw::showFrame()},
                   1, sw::Compression::Zlib);
}

// Filters with the widest blur and most passes on an object scaled up a thousand times.
sw::Bytes filterStorm() {
    sw::ByteWriter filters;
    filters.u8(8);
    for (int i = 0; i < 8; ++i) {
        filters.u8(1);                                   // blur
        filters.u32(0x00ff0000).u32(0x00ff0000);         // 255.0 on both axes (16.16)
        filters.u8(std::uint8_t(15 << 3));               // 15 passes
    }
    return movieOf({sw::rectangleShape(1, 0, 0, 4000, 2000, kRed),
                    sw::placeObject3({.depth = 1, .characterId = 1, .matrix = sw::MatrixSpec{.scaleX = 1000, .scaleY = 1000},
                                      .blendMode = 3, .filterList = filters.data()}),
                    sw::showFrame()});
}

// `count` tiny squares in a sprite that moves every frame over a backdrop whose colour changes every
// frame: every pixel of every frame changes, and every frame draws them all.
sw::Bytes tinyObjectsEveryFrame(int count, std::uint16_t frames) {
    constexpr int kColumns = 125, kCell = 88;   // twips
    std::vector<sw::Bytes> inside;
    for (int i = 0; i < count; ++i)
        inside.push_back(sw::placeObject2({.depth = std::uint16_t(i + 1), .characterId = 1,
                                           .matrix = sw::MatrixSpec::translate((i % kColumns) * kCell, (i / kColumns) * kCell)}));
    inside.push_back(sw::showFrame());
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 40, 40, kRed), sw::defineSprite(2, 1, inside),
                                sw::rectangleShape(3, 0, 0, 11000, 8000, kBlue), place(1, 3), place(2, 2)};
    for (int f = 0; f < frames; ++f) {
        const auto shade = std::int16_t(f * 16 % 256);
        tags.push_back(sw::placeObject2({.depth = 1, .move = true, .cxform = sw::CxformSpec{std::nullopt, std::array<std::int16_t, 4>{shade, shade, 0, 0}}}));
        tags.push_back(sw::placeObject2({.depth = 2, .move = true, .matrix = sw::MatrixSpec::translate(f * 20 % kCell, f * 20 % kCell)}));
        tags.push_back(sw::showFrame());
    }
    return sw::movie({.version = 10, .widthTwips = 11000, .heightTwips = 8000, .frameCount = frames}, tags);
}

// A square blurred 255 pixels in 15 passes at 64 times its size, a box some 16 000 pixels wide, moving
// every frame so no finished layer can be kept.
sw::Bytes wideBlur(std::uint16_t frames) {
    sw::ByteWriter filters;
    filters.u8(1).u8(1).u32(0x00ff0000).u32(0x00ff0000).u8(std::uint8_t(15 << 3));
    const auto at = [](int f) {
        sw::MatrixSpec m = sw::MatrixSpec::translate(1000 + f * 40, 1000 + f * 20);
        m.scaleX = m.scaleY = 64;
        return m;
    };
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 100, 60, kGreen),
                                sw::placeObject3({.depth = 1, .characterId = 1, .matrix = at(0), .filterList = filters.data()})};
    for (int f = 0; f < frames; ++f) {
        tags.push_back(sw::placeObject2({.depth = 1, .move = true, .matrix = at(f)}));
        tags.push_back(sw::showFrame());
    }
    return sw::movie({.version = 10, .widthTwips = 11000, .heightTwips = 8000, .frameCount = frames}, tags);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    fs::create_directories(folder);

    save(folder, "object_bomb.swf", objectBomb(200, 4));
    save(folder, "sprite_chain.swf", spriteChain(20000));
    save(folder, "nested_definitions.swf", nestedDefinitions(5000));
    save(folder, "clip_tower.swf", clipTower(5000));
    save(folder, "long_outline.swf", longOutline(500000));
    save(folder, "bitmap_bomb.swf", bitmapBomb(40));
    save(folder, "inflate_bomb_zlib.swf", inflateBomb(sw::Compression::Zlib));
    save(folder, "inflate_bomb_lzma.swf", inflateBomb(sw::Compression::Lzma));
    save(folder, "glyph_flood.swf", glyphFlood(1000000));
    save(folder, "filter_storm.swf", filterStorm());
    save(folder, "tiny_objects_every_frame.swf", tinyObjectsEveryFrame(10000, 30));
    save(folder, "wide_blur.swf", wideBlur(30));
    for (const auto compression : {sw::Compression::None, sw::Compression::Zlib, sw::Compression::Lzma}) {
        sw::Bytes big = sw::everyFamilyMovie(compression);
        setDeclaredLength(big, 0xffffffffu);
        save(folder, "declared_4gib_" + std::to_string(int(compression)) + ".swf", big);
    }

    // Cuts and bit flips of the rich movie, the same ones on every run.
    const sw::Bytes rich = sw::everyFamilyMovie();
    std::mt19937 random(2026);
    for (int i = 0; i < 20; ++i) {
        const std::size_t cut = 8 + random() % (rich.size() - 8);
        save(folder, "cut_" + std::to_string(i) + ".swf", sw::Bytes(rich.begin(), rich.begin() + std::ptrdiff_t(cut)));
    }
    for (int i = 0; i < 40; ++i) {
        sw::Bytes flipped = rich;
        for (int flips = 0; flips < 1 + i % 8; ++flips) flipped[8 + random() % (flipped.size() - 8)] ^= std::uint8_t(1u << (random() % 8));
        save(folder, "flip_" + std::to_string(i) + ".swf", flipped);
    }
    for (int i = 0; i < 20; ++i) {
        sw::Bytes wild = rich;
        for (int bytes = 0; bytes < 4; ++bytes) wild[8 + random() % (wild.size() - 8)] = (i % 2) ? 0xff : 0x00;
        save(folder, "oversized_" + std::to_string(i) + ".swf", wild);
    }
    return 0;
}
