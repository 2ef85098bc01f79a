#include <cstring>
#include <string>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "swf_info/swf_file_info.h"
#include "tests/support/movie_bytes.h"
#include "tests/support/unprivileged.h"

namespace vistrel {
namespace {

using testing::Bytes;

// A header filled with a recognisable pattern, to see which fields the reader touched.
SwfHeaderInfo sentinelHeader() {
    SwfHeaderInfo header;
    std::memset(&header, 0xAB, sizeof header);
    return header;
}

bool untouched(const SwfHeaderInfo &header) {
    const SwfHeaderInfo sentinel = sentinelHeader();
    return std::memcmp(&header, &sentinel, sizeof header) == 0;
}

class SwfHeaderTest : public ::testing::Test {
protected:
    std::string file(const Bytes &bytes, const std::string &name = "movie.swf") {
        const std::string path = m_dir.filePath(QString::fromStdString(name)).toStdString();
        testing::writeFile(path, bytes);
        return path;
    }

    SwfHeaderInfo read(const Bytes &bytes, bool expected = true) {
        SwfHeaderInfo header = sentinelHeader();
        EXPECT_EQ(ReadSwfHeader(file(bytes), header), expected);
        return header;
    }

    QTemporaryDir m_dir;
};

TEST_F(SwfHeaderTest, DecodesA550By400Movie) {
    const SwfHeaderInfo h = read(testing::plainMovie("FWS", 6, 4096, testing::window550x400()));
    EXPECT_EQ(std::string(h.Signature, 3), "FWS");
    EXPECT_EQ(h.Version, 6);
    EXPECT_EQ(h.FileLength, 4096u);
    EXPECT_EQ(h.XMin, 0);
    EXPECT_EQ(h.XMax, 11000);
    EXPECT_EQ(h.YMin, 0);
    EXPECT_EQ(h.YMax, 8000);
    EXPECT_EQ(h.Width, 550);
    EXPECT_EQ(h.Height, 400);
    EXPECT_EQ(h.FrameRate, 12);
    EXPECT_EQ(h.FrameRateFraction, 0);
    EXPECT_EQ(h.FrameCount, 1u);
}

TEST_F(SwfHeaderTest, NegativeXMinWidensTheFrame) {
    Bytes window = {0x7F, 0xF3, 0x85, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x0C, 0x01, 0x00};
    window.resize(25, 0);
    const SwfHeaderInfo h = read(testing::plainMovie("FWS", 6, 4096, window));
    EXPECT_EQ(h.XMin, -200);
    EXPECT_EQ(h.XMax, 11000);
    EXPECT_EQ(h.Width, 560);
    EXPECT_EQ(h.Height, 400);
}

TEST_F(SwfHeaderTest, ZeroWidthFieldsGiveAnEmptyFrameAndRateRightAfter) {
    Bytes window = {0x00, 0x80, 0x18, 0x2A, 0x01};
    window.resize(25, 0xEE);
    const SwfHeaderInfo h = read(testing::plainMovie("FWS", 8, 33, window));
    EXPECT_EQ(h.XMin, 0);
    EXPECT_EQ(h.XMax, 0);
    EXPECT_EQ(h.YMin, 0);
    EXPECT_EQ(h.YMax, 0);
    EXPECT_EQ(h.Width, 0);
    EXPECT_EQ(h.Height, 0);
    EXPECT_EQ(h.FrameRateFraction, 0x80);
    EXPECT_EQ(h.FrameRate, 24);
    EXPECT_EQ(h.FrameCount, 0x012Au);
}

TEST_F(SwfHeaderTest, ThirtyOneBitFieldsKeepTheirExtremes) {
    const std::int32_t lowest = -(1 << 30);
    const std::int32_t highest = (1 << 30) - 1;
    const SwfHeaderInfo h = read(
        testing::plainMovie("FWS", 10, 100, testing::rectWindow(31, lowest, highest, -1, 0, 30, 0, 65535)));
    EXPECT_EQ(h.XMin, lowest);
    EXPECT_EQ(h.XMax, highest);
    EXPECT_EQ(h.YMin, -1);
    EXPECT_EQ(h.YMax, 0);
    EXPECT_EQ(h.Width, 107374182); // (2^31 - 1) / 20
    EXPECT_EQ(h.Height, 0);        // 1 / 20 truncated
    EXPECT_EQ(h.FrameRate, 30);
    EXPECT_EQ(h.FrameCount, 65535u);
}

TEST_F(SwfHeaderTest, FrameSizeTruncatesTowardZero) {
    const SwfHeaderInfo h =
        read(testing::plainMovie("FWS", 10, 100, testing::rectWindow(8, 0, -30, 0, -59, 1, 0, 1)));
    EXPECT_EQ(h.Width, -1);
    EXPECT_EQ(h.Height, -2);
}

TEST_F(SwfHeaderTest, FileOf22BytesIsNoMovieAndLeavesTheHeaderAlone) {
    Bytes bytes = testing::plainMovie("FWS", 6, 4096, testing::window550x400());
    bytes.resize(22);
    const SwfHeaderInfo h = read(bytes, false);
    EXPECT_TRUE(untouched(h));
}

TEST_F(SwfHeaderTest, FileOf23BytesIsReadWithTheMissingBytesAsZero) {
    // 24-bit fields end in byte 12 of the window; the rate follows, the count would be in 15-16.
    Bytes bytes = testing::plainMovie("FWS", 6, 4096, testing::rectWindow(24, 0, 11000, 0, 8000, 12, 64, 7));
    bytes.resize(23);
    const SwfHeaderInfo h = read(bytes);
    EXPECT_EQ(h.Width, 550);
    EXPECT_EQ(h.Height, 400);
    EXPECT_EQ(h.FrameRateFraction, 64);
    EXPECT_EQ(h.FrameRate, 12);
    EXPECT_EQ(h.FrameCount, 0u);
}

TEST_F(SwfHeaderTest, MissingFileLeavesTheHeaderAlone) {
    SwfHeaderInfo h = sentinelHeader();
    EXPECT_FALSE(ReadSwfHeader(m_dir.filePath("absent.swf").toStdString(), h));
    EXPECT_FALSE(ReadSwfHeader("", h));
    EXPECT_TRUE(untouched(h));
}

struct RejectedSignature {
    const char *name;
    const char *signature;
    std::uint8_t version;
};

class RejectedSignatureTest : public SwfHeaderTest,
                              public ::testing::WithParamInterface<RejectedSignature> {};

TEST_P(RejectedSignatureTest, SetsOnlyTheFirstThreeFields) {
    const RejectedSignature &param = GetParam();
    const SwfHeaderInfo h =
        read(testing::plainMovie(param.signature, param.version, 777, testing::window550x400()), false);
    EXPECT_EQ(std::string(h.Signature, 3), param.signature);
    EXPECT_EQ(h.Version, param.version);
    EXPECT_EQ(h.FileLength, 777u);
    SwfHeaderInfo rest = sentinelHeader();
    std::memcpy(rest.Signature, h.Signature, 3);
    rest.Version = h.Version;
    rest.FileLength = h.FileLength;
    EXPECT_EQ(std::memcmp(&rest, &h, sizeof h), 0);
}

INSTANTIATE_TEST_SUITE_P(Signatures, RejectedSignatureTest,
                         ::testing::Values(RejectedSignature{"CompressedVersion5", "CWS", 5},
                                           RejectedSignature{"LowerCase", "fws", 6},
                                           RejectedSignature{"LowerCaseCompressed", "cws", 9},
                                           RejectedSignature{"LzmaBelowVersion13", "ZWS", 12},
                                           RejectedSignature{"Garbage", "PK\x03", 4}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SwfHeaderTest, CompressedMovieReportsTheDeclaredLengthNotTheFileSize) {
    Bytes body = testing::window550x400();
    // Incompressible filler makes a file of about 40000 bytes.
    std::uint32_t seed = 12345;
    for (int i = 0; i < 40000; ++i) {
        seed = seed * 1103515245u + 12345u;
        body.push_back(static_cast<std::uint8_t>(seed >> 24));
    }
    const Bytes bytes = testing::zlibMovie(6, 120000, body, 0);
    ASSERT_GT(bytes.size(), 40000u);
    const SwfHeaderInfo h = read(bytes);
    EXPECT_EQ(std::string(h.Signature, 3), "CWS");
    EXPECT_EQ(h.FileLength, 120000u);
    EXPECT_EQ(h.Width, 550);
    EXPECT_EQ(h.Height, 400);
    EXPECT_EQ(h.FrameRate, 12);
    EXPECT_EQ(h.FrameCount, 1u);
}

TEST_F(SwfHeaderTest, TruncatedZlibBodyGivesWhatArrived) {
    // Stored blocks: 2 bytes of zlib header and 5 of block header, then the window as is.
    Bytes bytes = testing::zlibMovie(7, 5000, testing::window550x400(), 0);
    bytes.resize(8 + 2 + 5 + 11); // up to the rate; the count never arrives
    const SwfHeaderInfo h = read(bytes);
    EXPECT_EQ(h.Width, 550);
    EXPECT_EQ(h.FrameRate, 12);
    EXPECT_EQ(h.FrameCount, 0u);
}

TEST_F(SwfHeaderTest, CorruptZlibBodyRaisesError) {
    Bytes bytes = testing::fixedHeader("CWS", 6, 5000);
    bytes.resize(40, 0xFF);
    SwfHeaderInfo h = sentinelHeader();
    try {
        ReadSwfHeader(file(bytes), h);
        FAIL() << "no error raised";
    } catch (const SwfReadError &e) {
        EXPECT_STREQ(e.what(), "Error");
    }
}

TEST_F(SwfHeaderTest, ZlibBodyDamagedAfterItsStartRaisesError) {
    Bytes bytes = testing::zlibMovie(6, 5000, testing::window550x400(), 0);
    bytes[8 + 2] = 0x07; // block type 3 does not exist
    SwfHeaderInfo h = sentinelHeader();
    EXPECT_THROW(ReadSwfHeader(file(bytes), h), SwfReadError);
}

TEST_F(SwfHeaderTest, DecodesAnLzmaMovie) {
    Bytes body = testing::rectWindow(15, -200, 11000, 0, 8000, 25, 128, 300);
    body.resize(3000, 0x11);
    const SwfHeaderInfo h = read(testing::lzmaMovie(13, 3008, body));
    EXPECT_EQ(std::string(h.Signature, 3), "ZWS");
    EXPECT_EQ(h.Version, 13);
    EXPECT_EQ(h.FileLength, 3008u);
    EXPECT_EQ(h.XMin, -200);
    EXPECT_EQ(h.Width, 560);
    EXPECT_EQ(h.Height, 400);
    EXPECT_EQ(h.FrameRate, 25);
    EXPECT_EQ(h.FrameRateFraction, 128);
    EXPECT_EQ(h.FrameCount, 300u);
}

TEST_F(SwfHeaderTest, LzmaPropertiesOutOfRangeRaiseError) {
    Bytes bytes = testing::lzmaMovie(13, 100, testing::window550x400());
    bytes[12] = 0xFF; // lc/lp/pb byte beyond 9 * 5 * 5
    SwfHeaderInfo h = sentinelHeader();
    try {
        ReadSwfHeader(file(bytes), h);
        FAIL() << "no error raised";
    } catch (const SwfReadError &e) {
        EXPECT_STREQ(e.what(), "Error");
    }
}

TEST_F(SwfHeaderTest, LzmaPropertiesAskingForAHugeDictionaryStillDecode) {
    Bytes bytes = testing::lzmaMovie(15, 100, testing::window550x400());
    for (int i = 13; i < 17; ++i)
        bytes[i] = 0xFF; // a 4 GiB dictionary
    const SwfHeaderInfo h = read(bytes);
    EXPECT_EQ(h.Width, 550);
    EXPECT_EQ(h.FrameCount, 1u);
}

TEST_F(SwfHeaderTest, FolderRaisesOpenErrorNamingIt) {
    SwfHeaderInfo h = sentinelHeader();
    const std::string folder = m_dir.filePath("movie-folder.swf").toStdString();
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
    try {
        ReadSwfHeader(folder, h);
        FAIL() << "no error raised";
    } catch (const SwfReadError &e) {
        EXPECT_NE(std::string(e.what()).find(folder), std::string::npos) << e.what();
    }
    EXPECT_TRUE(untouched(h));
}

TEST_F(SwfHeaderTest, UnreadableFileRaisesOpenError) {
    if (testing::rerunWithoutPrivileges())
        return;
    const std::string path = file(testing::plainMovie("FWS", 6, 4096, testing::window550x400()));
    ASSERT_TRUE(QFile::setPermissions(QString::fromStdString(path), QFileDevice::Permissions()));
    ASSERT_FALSE(QFile(QString::fromStdString(path)).open(QIODevice::ReadOnly)) << "permissions not enforced";
    SwfHeaderInfo h = sentinelHeader();
    EXPECT_THROW(ReadSwfHeader(path, h), SwfReadError);
}

// Every prefix of a small movie of each kind is no movie while it is shorter than the smallest
// one, and decodes from then on: a cut body leaves the rest of the window zero, it is no error.
TEST_F(SwfHeaderTest, EveryTruncationIsNoMovieOrDecodes) {
    Bytes filler(200);
    for (std::size_t i = 0; i < filler.size(); ++i)
        filler[i] = static_cast<std::uint8_t>(i * 7);
    Bytes body = testing::window550x400();
    body.insert(body.end(), filler.begin(), filler.end());
    for (const Bytes &whole : {testing::plainMovie("FWS", 6, 300, body), testing::zlibMovie(8, 300, body),
                               testing::lzmaMovie(14, 300, body)}) {
        for (std::size_t length = 0; length <= whole.size(); ++length) {
            SwfHeaderInfo h = sentinelHeader();
            const std::string path =
                file(Bytes(whole.begin(), whole.begin() + static_cast<long>(length)), "cut.swf");
            bool result = false;
            try {
                result = ReadSwfHeader(path, h);
            } catch (const SwfReadError &error) {
                ADD_FAILURE() << "cut at " << length << " of " << whole.size() << ": " << error.what();
                continue;
            }
            if (length < 23) {
                EXPECT_FALSE(result) << length;
                EXPECT_TRUE(untouched(h)) << length;
            } else {
                EXPECT_TRUE(result) << length;
            }
        }
    }
}

struct BitsCase {
    std::uint32_t bitPos;
    std::uint32_t count;
    std::uint32_t expected;
};

class ReadBitsTest : public ::testing::TestWithParam<BitsCase> {};

TEST_P(ReadBitsTest, ReadsMostSignificantBitFirst) {
    const std::uint8_t data[] = {0xB3, 0xF0, 0x0F, 0x80, 0x01};
    EXPECT_EQ(ReadBits(data, GetParam().bitPos, GetParam().count), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Positions, ReadBitsTest,
                         ::testing::Values(BitsCase{0, 0, 0}, BitsCase{3, 0, 0}, BitsCase{0, 1, 1},
                                           BitsCase{1, 3, 0b011}, BitsCase{4, 8, 0x3F},
                                           BitsCase{0, 16, 0xB3F0}, BitsCase{7, 2, 0b11},
                                           BitsCase{0, 31, 0xB3F00F80u >> 1},
                                           BitsCase{8, 31, 0xF00F8001u >> 1}, BitsCase{0, 32, 0xB3F00F80u}));

} // namespace
} // namespace vistrel
