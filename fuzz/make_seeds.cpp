// Writes the seed corpora of the fuzz targets: small, valid movies that reach each family of tags
// in each compression, settings files and language packs with the usual damage.
// Usage: fuzz_make_seeds OUT_FOLDER (normally fuzz/seeds)

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;

namespace {

constexpr std::uint32_t kRed = 0xff0000ff, kGreen = 0x00ff00ff, kBlue = 0x0000ffff;

void save(const std::filesystem::path& folder, const std::string& name, const sw::Bytes& bytes) {
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

sw::Bytes place(std::uint16_t depth, std::uint16_t id) { return sw::placeObject2({.depth = depth, .characterId = id}); }

sw::Bytes shapesMovie(sw::Compression compression) {
    // LZMA movies exist from version 13 on.
    sw::MovieSpec spec{.version = compression == sw::Compression::Lzma ? 13 : 10, .frameCount = 2,
                       .compression = compression};
    return sw::movie(spec, {sw::setBackgroundColor(0x336699), sw::rectangleShape(1, 0, 0, 2000, 1000, kRed),
                            sw::rectangleShape(2, 500, 500, 800, 800, kGreen, 1), place(1, 1),
                            sw::frameLabel("start"), sw::showFrame(),
                            sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(100, 50)}),
                            place(2, 2), sw::showFrame()});
}

sw::Bytes styledShapes() {
    sw::FillSpec linear{.type = 0x10, .matrix = {.scaleX = 0.05, .scaleY = 0.05}, .stops = {{0, kRed}, {255, kBlue}}};
    sw::FillSpec focal{.type = 0x13, .stops = {{0, kGreen}, {128, kRed}, {255, 0x00000000}}, .focalPoint = 0.5};
    sw::LineSpec thick{.width = 60, .rgba = 0x000000ff, .startCap = 1, .endCap = 2, .join = 2};
    sw::ShapeBuilder shape;
    shape.fill(linear).fill(focal).line(thick).nonZeroWinding()
        .style(std::nullopt, 1, 1).rect(100, 100, 1500, 800)
        .style(0, 2, 0).moveTo(2000, 200).curveTo(3000, 200, 3000, 1200).lineTo(2000, 1200).lineTo(2000, 200);
    return sw::movie({}, {shape.build(4, 1, 0, 4000, 0, 2000), place(1, 1), sw::showFrame()});
}

sw::Bytes spritesAndMasks() {
    const sw::Bytes inner = sw::defineSprite(3, 2, {place(1, 1), sw::showFrame(), sw::removeObject2(1), sw::showFrame()});
    return sw::movie({.frameCount = 2},
                     {sw::rectangleShape(1, 0, 0, 1000, 1000, kRed), sw::rectangleShape(2, 0, 0, 3000, 1500, kBlue), inner,
                      sw::placeObject2({.depth = 1, .characterId = 1, .clipDepth = 3}), place(2, 2),
                      sw::placeObject2({.depth = 4, .characterId = 3, .matrix = sw::MatrixSpec{.scaleX = 2, .scaleY = 0.5},
                                        .cxform = sw::CxformSpec{.mult = {{128, 256, 256, 200}}, .add = {{10, 0, 0, 0}}},
                                        .name = "clip"}),
                      sw::showFrame(), sw::showFrame()});
}

sw::Bytes morphAndFilters() {
    sw::ByteWriter blur;
    blur.u8(1).u8(1).fixed16(4).fixed16(4).u8(1 << 3);  // one blur filter, one pass
    return sw::movie({.frameCount = 2},
                     {sw::morphRectangles(1, 0, 0, 500, 500, kRed, 1000, 500, 1500, 900, 0x0000ff80),
                      sw::rectangleShape(2, 0, 0, 800, 800, kGreen),
                      sw::placeObject2({.depth = 1, .characterId = 1, .ratio = 0}),
                      sw::placeObject3({.depth = 2, .characterId = 2, .blendMode = 3, .filterList = blur.take()}),
                      sw::showFrame(), sw::placeObject2({.depth = 1, .move = true, .ratio = 40000}), sw::showFrame()});
}

sw::Bytes bitmapFill() {
    std::vector<std::uint32_t> pixels;
    for (int i = 0; i < 16; ++i)
        pixels.push_back(i % 2 ? 0xffff0000u : 0x8000ff00u);
    sw::FillSpec clipped{.type = 0x41, .matrix = {.scaleX = 20, .scaleY = 20}, .bitmapId = 1};
    sw::FillSpec repeating{.type = 0x40, .matrix = {.scaleX = 10, .scaleY = 10}, .bitmapId = 1};
    sw::ShapeBuilder shape;
    shape.fill(clipped).fill(repeating).style(std::nullopt, 1, std::nullopt).rect(0, 0, 1600, 1600)
        .style(std::nullopt, 2, std::nullopt).rect(2000, 0, 1600, 1600);
    return sw::movie({}, {sw::bitsLossless2(1, 4, 4, pixels), shape.build(3, 2, 0, 4000, 0, 2000), place(1, 2), sw::showFrame()});
}

// An edit text with an embedded font, in HTML, next to a static text of the same font.
sw::Bytes texts() {
    sw::ShapeBuilder box;
    box.style(std::nullopt, 1, std::nullopt).rect(0, -16000, 14000, 16000); // font units: 20480 to the em
    sw::ByteWriter edit;
    edit.u16(3).rect(0, 3000, 0, 800);
    edit.u8(0x80 | 0x04 | 0x01).u8(0x02 | 0x01);  // text, colour, font; HTML, outlines
    edit.u16(1).u16(400).rgba(0x202020ff).string("").string("<p align=\"center\"><b>AB</b> <font color=\"#ff0000\">BA</font></p>");
    return sw::movie({}, {sw::defineFont3(1, "Boxes", {{box, 'A', 700}, {box, 'B', 700}}),
                          sw::defineText(2, 2, 0, 3000, -800, 200, 1, kRed, 400, 100, 600, {{0, 700}, {1, 700}, {0, 700}}),
                          sw::tag(37, edit.data()), place(1, 2), sw::placeObject2({.depth = 2, .characterId = 3,
                                                                                 .matrix = sw::MatrixSpec::translate(0, 900)}),
                          sw::showFrame()});
}

// The Russian letters of a UTF-8 text in Windows-1251: the packs' own encoding.
std::string toCp1251(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80 || i + 1 >= utf8.size()) {
            out += static_cast<char>(lead);
            continue;
        }
        const unsigned code = ((lead & 0x1fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3fu);
        if (code >= 0x410 && code <= 0x44f)
            out += static_cast<char>(0xc0 + (code - 0x410));
        else
            out += code == 0x401 ? '\xa8' : code == 0x451 ? '\xb8' : '?';
    }
    return out;
}

// An ASCII text as UTF-16 with its byte-order mark: a pack saved by a "Unicode" editor.
std::string toUtf16(const std::string& ascii) {
    std::string out = "\xff\xfe";
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

void saveText(const std::filesystem::path& folder, const std::string& name, const std::string& text) {
    save(folder, name, sw::Bytes(text.begin(), text.end()));
}

void writeTextSeeds(const std::filesystem::path& out) {
    const std::filesystem::path profiles = out / "profile", packs = out / "lang_pack";
    saveText(profiles, "settings.ini",
             "[Config]\nRS=1\nRC=1\nRD=1\nSH=1\nSI=0\nSD=/home/user/movies\nLF=English.lng\n[Position]\nX=10\n"
             "Y=-20\nW=740\nH=600\nP1=170\nP2=200\n[Favorites]\nn0=Movies\na0=/home/user/movies\nn1=Games=old\n"
             "a1=/srv/games\n");
    saveText(profiles, "windows_lines.ini",
             "; saved on another system\r\n[config]\r\nrs = 0 \r\nSD=\"  /tmp/with blanks  \"\r\n\r\n[Favorites]\r\n"
             "N0='quoted'\r\nA0=C:\\X\r\nn1=\r\nn2=after the gap");
    saveText(profiles, "duplicates.ini",
             "[Favorites]\nn0=first\nn0=second\na0=/a\n[Other]\nkey=value\n[FAVORITES]\nn1=hidden\n[Position]\n"
             "X=0x1F\nY=12abc\nW=99999999999\nH=-0\n");
    saveText(profiles, "odd_lines.ini",
             "no section line\n=value without key\n[unclosed\n[ spaced ] trailing\nk==v\n[x]\nk= \"v\" \n"
             "\tindented=\x01\x02\xff\n");

    saveText(packs, "english.lng",
             "[Info]\nLanguage=English\n[Viewer]\nid01=File\nid02=Open folder\nid30=Favorites\n[Favorites]\n"
             "id01=Name\n[Config]\nid01=Options\n[Messages]\nmsg1_0=Compressed=yes\nmsg1_1=Not compressed\n"
             "msg2_0=Delete the favorite?\n");
    saveText(packs, "russian.lng",
             toCp1251("[Info]\r\nLanguage=Русский\r\n[Viewer]\r\nid01=Файл\r\nid02=Открыть папку\r\n"
                      "id30=Закладки\r\n[Config]\r\nid14=Язык\r\n[Messages]\r\nmsg1_0=Сжатый\r\n"
                      "msg2_8==начинается с равенства\r\n"));
    saveText(packs, "utf8_bom.lng",
             "\xef\xbb\xbf[Info]\nLanguage=Українська\n[Viewer]\nid01=Файл\n[Messages]\nmsg1_0=Стиснений\n");
    saveText(packs, "utf16.lng", toUtf16("[Info]\nLanguage=Deutsch\n[Viewer]\nid01=Datei\n"));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds OUT_FOLDER\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    const std::filesystem::path movies = out / "movie", headers = out / "swf_header";

    save(movies, "shapes.swf", shapesMovie(sw::Compression::None));
    save(movies, "shapes_zlib.swf", shapesMovie(sw::Compression::Zlib));
    save(movies, "shapes_lzma.swf", shapesMovie(sw::Compression::Lzma));
    save(movies, "styled_shapes.swf", styledShapes());
    save(movies, "sprites_masks.swf", spritesAndMasks());
    save(movies, "morph_filters.swf", morphAndFilters());
    save(movies, "bitmap_fill.swf", bitmapFill());
    save(movies, "texts.swf", texts());

    // The header reader needs only the first bytes; the rest of each movie is still a fair input.
    save(headers, "plain.swf", shapesMovie(sw::Compression::None));
    save(headers, "zlib.swf", shapesMovie(sw::Compression::Zlib));
    save(headers, "lzma.swf", shapesMovie(sw::Compression::Lzma));
    save(headers, "wide_rect.swf", sw::movie({.version = 4, .widthTwips = 0x3fffffff, .heightTwips = 1}, {}));
    save(headers, "old_zlib.swf", sw::movie({.version = 5, .compression = sw::Compression::Zlib}, {}));

    writeTextSeeds(out);
    return 0;
}
