// The header reader against files that are not what their name says: huge compressed files,
// pipes and devices, and every cut of a compressed header.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>

#include "swf_info/swf_file_info.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;

namespace {

long peakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void writeBytes(const std::string& path, const sw::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

sw::Bytes smallMovie(sw::Compression compression) {
    // LZMA movies exist from version 13 on.
    return sw::movie({.version = compression == sw::Compression::Lzma ? 13 : 10, .widthTwips = 11000,
                      .heightTwips = 8000, .frameRate = 12, .frameCount = 7, .compression = compression},
                     {sw::showFrame()});
}

class HostileHeaderTest : public ::testing::Test {
protected:
    std::string path(const char* name) const { return m_folder.filePath(QString::fromLatin1(name)).toStdString(); }
    QTemporaryDir m_folder;
};

} // namespace

class HugeCompressedFileTest : public HostileHeaderTest, public ::testing::WithParamInterface<sw::Compression> {};

TEST_P(HugeCompressedFileTest, IsDecodedWithoutReadingItWhole) {
    // A 1 GiB file that holds a real movie at its start and nothing (a hole) behind it.
    const std::string file = path("huge.swf");
    writeBytes(file, smallMovie(GetParam()));
    ASSERT_EQ(truncate(file.c_str(), off_t{1} << 30), 0);

    const long before = peakResidentKb();
    vistrel::SwfHeaderInfo header{};
    ASSERT_TRUE(vistrel::ReadSwfHeader(file, header));
    EXPECT_EQ(header.Width, 550);
    EXPECT_EQ(header.Height, 400);
    EXPECT_EQ(header.FrameCount, 7u);
    EXPECT_LT(peakResidentKb() - before, 64 * 1024) << "the reader held the file in memory";
}

INSTANTIATE_TEST_SUITE_P(Compressions, HugeCompressedFileTest,
                         ::testing::Values(sw::Compression::Zlib, sw::Compression::Lzma),
                         [](const auto& info) { return std::string(info.param == sw::Compression::Zlib ? "Zlib" : "Lzma"); });

TEST_F(HostileHeaderTest, PipeNamedLikeAMovieIsRefusedAtOnce) {
    const std::string file = path("pipe.swf");
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    vistrel::SwfHeaderInfo header{};
    // Opening a pipe with no writer would block for ever.
    EXPECT_THROW(vistrel::ReadSwfHeader(file, header), vistrel::SwfReadError);
}

TEST_F(HostileHeaderTest, LinkToAnEndlessDeviceIsRefused) {
    const std::string file = path("zero.swf");
    std::filesystem::create_symlink("/dev/zero", file);
    vistrel::SwfHeaderInfo header{};
    EXPECT_THROW(vistrel::ReadSwfHeader(file, header), vistrel::SwfReadError);
}

TEST_F(HostileHeaderTest, DeclaredLengthOfFourGibibytesIsReportedAsStored) {
    sw::Bytes bytes = smallMovie(sw::Compression::Zlib);
    for (int i = 4; i < 8; ++i)
        bytes[i] = 0xff;
    const std::string file = path("long.swf");
    writeBytes(file, bytes);
    vistrel::SwfHeaderInfo header{};
    ASSERT_TRUE(vistrel::ReadSwfHeader(file, header));
    EXPECT_EQ(header.FileLength, 0xffffffffu);
    EXPECT_EQ(header.Width, 550);
}

class HeaderCutTest : public HostileHeaderTest, public ::testing::WithParamInterface<sw::Compression> {};

// A cut file is no movie while it is shorter than the smallest one, and is read without an error
// from there on; the whole file gives the movie's own facts.
TEST_P(HeaderCutTest, EveryCutIsNoMovieOrIsRead) {
    const sw::Bytes whole = smallMovie(GetParam());
    const std::string file = path("cut.swf");
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        SCOPED_TRACE("cut at " + std::to_string(length));
        writeBytes(file, sw::Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
        vistrel::SwfHeaderInfo header{};
        bool read = false;
        EXPECT_NO_THROW(read = vistrel::ReadSwfHeader(file, header));
        EXPECT_EQ(read, length >= 23);
        if (length == whole.size()) {
            EXPECT_EQ(header.Width, 550);
            EXPECT_EQ(header.Height, 400);
            EXPECT_EQ(header.FrameCount, 7u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Compressions, HeaderCutTest,
                         ::testing::Values(sw::Compression::None, sw::Compression::Zlib, sw::Compression::Lzma),
                         [](const auto& info) {
                             return std::string(info.param == sw::Compression::None   ? "Plain"
                                                : info.param == sw::Compression::Zlib ? "Zlib"
                                                                                      : "Lzma");
                         });
