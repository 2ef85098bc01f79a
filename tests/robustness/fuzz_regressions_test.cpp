// Inputs the fuzz targets found, cut down to what still shows the fault, run through the same
// path as their fuzz target. The committed files in fuzz/crashes/ hold the same inputs.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/recording_renderer.h"
#include "player/stage_view.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;

namespace {

// The most address space the process has ever had mapped, in KiB: it grows with every large
// allocation, touched or not, which is what an unbounded allocation request shows as.
long peakVirtualKb() {
    std::ifstream status("/proc/self/status");
    std::string field;
    while (status >> field) {
        long value = 0;
        if (field == "VmPeak:" && status >> value)
            return value;
    }
    return 0;
}

} // namespace

// Found by fuzz_movie (fuzz/crashes/movie/lzma_huge_dictionary.swf, 39 bytes): the five LZMA
// property bytes of a "ZWS" movie name the dictionary size, and the engine handed it to the
// decoder unchecked, so a few bytes made it allocate up to 4 GiB. The dictionary never needs to
// exceed what is decoded.
TEST(FuzzRegression, LzmaDictionarySizeDoesNotSizeTheAllocation) {
    sw::Bytes bytes = sw::movie({.version = 13, .compression = sw::Compression::Lzma},
                                {sw::rectangleShape(1, 0, 0, 1000, 1000, 0xff0000ff),
                                 sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()});
    // Bytes 12-16 are the properties: one byte of literal and position bits, then the dictionary
    // size; 3 GiB here, for a movie of a few dozen bytes.
    const std::uint32_t dictionary = 0xc0000000u;
    for (int i = 0; i < 4; ++i)
        bytes[13 + i] = static_cast<std::uint8_t>(dictionary >> (8 * i));

    const long before = peakVirtualKb();
    const auto movie = vp::Movie::fromBytes(bytes);
    EXPECT_LT(peakVirtualKb() - before, 256 * 1024) << "the dictionary size was taken from the file";

    ASSERT_TRUE(movie->isValid());
    vp::Player player(movie);
    vp::RecordingRenderer renderer;
    player.render(renderer, vp::stageToDevice(movie->stageRect(), QSizeF(50, 50), vp::ScaleMode::ShowAll, 1.0),
                  vp::RenderQuality::High);
    EXPECT_TRUE(renderer.lines().join('\n').contains(QStringLiteral("shape ")));
}
