#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "swf_info/status_texts.h"

namespace vistrel {
namespace {

SwfHeaderInfo header(const char *signature, std::uint8_t version) {
    SwfHeaderInfo h{};
    std::memcpy(h.Signature, signature, 3);
    h.Version = version;
    return h;
}

struct FileSizeCase {
    std::uint32_t fileLength;
    const char *expected;
};

class FileSizePaneTest : public ::testing::TestWithParam<FileSizeCase> {};

TEST_P(FileSizePaneTest, ShowsThousandsWithThreeDecimals) {
    SwfHeaderInfo h = header("FWS", 6);
    h.FileLength = GetParam().fileLength;
    EXPECT_EQ(formatPaneTexts(h, "no", "yes").filesize, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lengths, FileSizePaneTest,
                         ::testing::Values(FileSizeCase{4096, " 4.096 K"}, FileSizeCase{12045, " 12.045 K"},
                                           FileSizeCase{999, " 0.999 K"}, FileSizeCase{1000, " 1.000 K"},
                                           FileSizeCase{1234567, " 1234.567 K"}, FileSizeCase{0, " 0.000 K"},
                                           FileSizeCase{4294967295u, " 4294967.295 K"}));

TEST(PaneTextsTest, DescribeAnUncompressedMovie) {
    SwfHeaderInfo h = header("FWS", 6);
    h.Width = 550;
    h.Height = 400;
    h.FrameRate = 12;
    h.FrameCount = 1;
    h.FileLength = 4096;
    const PaneTexts texts = formatPaneTexts(h, "Нет", "Да");
    EXPECT_EQ(texts.ver, " 6");
    EXPECT_EQ(texts.compress, " Нет");
    EXPECT_EQ(texts.size, " 550 x 400");
    EXPECT_EQ(texts.fps, " 12");
    EXPECT_EQ(texts.count, " 1");
    EXPECT_EQ(texts.filesize, " 4.096 K");
}

TEST(PaneTextsTest, FrameRateShowsOnlyItsWholePart) {
    SwfHeaderInfo h = header("FWS", 8);
    h.FrameRate = 29;
    h.FrameRateFraction = 248;
    EXPECT_EQ(formatPaneTexts(h, "no", "yes").fps, " 29");
}

TEST(PaneTextsTest, NegativeSizesKeepTheirSign) {
    SwfHeaderInfo h = header("FWS", 8);
    h.Width = -1;
    h.Height = 0;
    h.FrameCount = 65535;
    const PaneTexts texts = formatPaneTexts(h, "no", "yes");
    EXPECT_EQ(texts.size, " -1 x 0");
    EXPECT_EQ(texts.count, " 65535");
}

struct CompressionCase {
    const char *signature;
    std::uint8_t version;
    const char *expected;
};

class CompressionPaneTest : public ::testing::TestWithParam<CompressionCase> {};

TEST_P(CompressionPaneTest, NamesZlibAndLzmaMoviesCompressed) {
    EXPECT_EQ(formatPaneTexts(header(GetParam().signature, GetParam().version), "no", "yes").compress,
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Signatures, CompressionPaneTest,
                         ::testing::Values(CompressionCase{"FWS", 10, " no"},
                                           CompressionCase{"CWS", 6, " yes"},
                                           CompressionCase{"CWS", 5, " no"},
                                           CompressionCase{"ZWS", 13, " yes"},
                                           CompressionCase{"ZWS", 40, " yes"}));

} // namespace
} // namespace vistrel
