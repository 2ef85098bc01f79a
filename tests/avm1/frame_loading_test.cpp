// Which frames a movie has loaded: waits for frames (by index, number or label) and movies whose header
// declares fewer bytes than the file holds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "player/movie.h"
#include "player/player.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
namespace op = vistrel::testing::op;
using sw::ActionWriter;
using sw::Push;
using Lines = std::vector<std::string>;

namespace {

Lines play(const sw::Bytes& movieBytes, int frames) {
    auto movie = vp::Movie::fromBytes(movieBytes);
    Lines lines;
    vp::Player player(movie, [&lines](const QString& line) { lines.push_back(line.toStdString()); });
    for (int i = 1; i < frames; ++i) player.nextFrame();
    return lines;
}

sw::Bytes threeFrames(const sw::Bytes& firstFrameActions) {
    sw::MovieSpec spec;
    spec.version = 8;
    spec.frameCount = 3;
    return sw::movie(spec, {sw::doAction(firstFrameActions), sw::showFrame(), sw::frameLabel("second"),
                            sw::showFrame(), sw::showFrame()});
}

// if (frame is loaded) trace(name)
void waitAndSay(ActionWriter& a, const Push& frame, const std::string& name) {
    a.push(frame).waitForFrame2(2).push(Push::str(name)).op(op::kTrace);
}

}  // namespace

TEST(FramesLoaded, AWholeMovieCountsEveryFrameAMovieCanHaveAsLoaded) {
    ActionWriter a;
    // By index: up to the format's frame limit, whatever the timeline holds.
    a.waitForFrame(2, 2).push(Push::str("index 2")).op(op::kTrace);
    a.waitForFrame(16000, 2).push(Push::str("index 16000")).op(op::kTrace);
    a.waitForFrame(16001, 2).push(Push::str("index 16001")).op(op::kTrace);
    // By number: the same limit, one based; the number wraps as a 32-bit integer.
    waitAndSay(a, Push::dbl(16001), "16001");
    waitAndSay(a, Push::dbl(16002), "16002");
    waitAndSay(a, Push::dbl(2147483647.0), "2147483647");
    waitAndSay(a, Push::dbl(2147483648.0), "2147483648");
    waitAndSay(a, Push::dbl(2147483649.0), "2147483649");
    waitAndSay(a, Push::dbl(4294967298.0), "4294967298");
    // Fractions, infinities and NaN name no frame: nothing to wait for.
    waitAndSay(a, Push::dbl(16002.5), "16002.5");
    waitAndSay(a, Push::dbl(std::numeric_limits<double>::infinity()), "Infinity");
    waitAndSay(a, Push::dbl(std::nan("")), "NaN");
    // Strings: a whole number in full is a frame number, anything else a label.
    waitAndSay(a, Push::str("16002"), "'16002'");
    waitAndSay(a, Push::str("1e5"), "'1e5'");
    waitAndSay(a, Push::str(" 16002"), "' 16002'");
    waitAndSay(a, Push::str("0x3E82"), "'0x3E82'");
    waitAndSay(a, Push::str("second"), "'second'");
    waitAndSay(a, Push::str("nowhere"), "'nowhere'");
    EXPECT_EQ(play(threeFrames(a.end()), 1),
              (Lines{"index 2", "index 16000", "16001", "2147483649", "4294967298", "16002.5", "Infinity", "NaN",
                     "' 16002'", "'0x3E82'", "'second'", "'nowhere'"}));
}

TEST(DeclaredLength, BytesPastTheLengthInTheHeaderAreNeverPlayed) {
    for (const sw::Compression compression : {sw::Compression::None, sw::Compression::Zlib}) {
        ActionWriter first;
        first.push(Push::str("frame 1")).op(op::kTrace);
        ActionWriter second;
        second.push(Push::str("frame 2")).op(op::kTrace);
        sw::MovieSpec spec;
        spec.version = 8;
        spec.frameCount = 2;
        const sw::Bytes secondFrame = sw::doAction(second.end());
        sw::Bytes bytes = sw::movie(spec, {sw::doAction(first.end()), sw::showFrame(), secondFrame, sw::showFrame()});
        // The header claims the file ends after the first frame.
        const std::uint32_t declared = static_cast<std::uint32_t>(bytes.size() - secondFrame.size() - 4);
        for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<std::uint8_t>(declared >> (8 * i));
        if (compression != sw::Compression::None) bytes = sw::compressBody(bytes, compression);
        // The second frame never comes: the first stays, its script run once.
        EXPECT_EQ(play(bytes, 4), Lines{"frame 1"}) << "compression " << static_cast<int>(compression);
    }
    // A length too short for the header itself is not taken at its word.
    ActionWriter only;
    only.push(Push::str("played")).op(op::kTrace);
    sw::Bytes bytes = sw::movie(sw::MovieSpec{}, {sw::doAction(only.end()), sw::showFrame()});
    for (const std::uint32_t declared : {0u, 9u}) {
        for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<std::uint8_t>(declared >> (8 * i));
        EXPECT_EQ(play(bytes, 1), Lines{"played"}) << "declared " << declared;
    }
}
