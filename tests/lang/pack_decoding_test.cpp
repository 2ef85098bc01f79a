// Turning raw pack bytes into display text.

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "lang/set_lng.h"

namespace vistrel::test {
namespace {

template <std::size_t N>
QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, static_cast<qsizetype>(N - 1));
}

TEST(PackDecodingTest, Cp1251CyrillicBlockMapsToUnicode)
{
    QByteArray all;
    for (int b = 0xC0; b <= 0xFF; ++b)
        all.append(static_cast<char>(b));
    const QString text = decodePackValue(all, false);
    ASSERT_EQ(text.size(), 64);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(text.at(i).unicode(), 0x0410 + i) << "byte " << (0xC0 + i);
}

TEST(PackDecodingTest, Utf8IsReadOnlyWhenAsked)
{
    const QByteArray utf8 = QStringLiteral("Qualität").toUtf8();
    EXPECT_EQ(decodePackValue(utf8, true), "Qualität");
    EXPECT_NE(decodePackValue(utf8, false), "Qualität");
}

TEST(PackDecodingTest, InvalidUtf8ShowsReplacementCharacters)
{
    const QString text = decodePackValue(bytes("ok\xC3\x28\xFF!"), true);
    EXPECT_TRUE(text.startsWith("ok"));
    EXPECT_TRUE(text.endsWith("!"));
    EXPECT_TRUE(text.contains(QChar(QChar::ReplacementCharacter)));
}

struct ControlCase {
    const char* name;
    QByteArray raw;
    bool utf8;
    const char* expected;
};

class ControlCharacterTest : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ControlCharacterTest, AreDropped)
{
    EXPECT_EQ(decodePackValue(GetParam().raw, GetParam().utf8), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, ControlCharacterTest,
                         ::testing::Values(ControlCase{"Nul",
                                                       bytes("a\x00"
                                                             "b"),
                                                       false, "ab"},
                                           ControlCase{"CarriageReturn", bytes("line\r"), false, "line"},
                                           ControlCase{"UndefinedCp1251Byte", bytes("x\x98y"), false, "xy"},
                                           ControlCase{"Utf8C1", bytes("x\xC2\x85y"), true, "xy"},
                                           ControlCase{"TabKept", bytes("a\tb"), false, "a\tb"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PackDecodingTest, ByteOrderMarkIsDetectedFromTheFileStart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&](const QString& name, const QByteArray& content) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return file.fileName();
    };
    EXPECT_TRUE(isUnicodePack(write("bom.lng", bytes("\xEF\xBB\xBF[Info]"))));
    EXPECT_TRUE(isUnicodePack(write("utf16le.lng", bytes("\xFF\xFE[\x00"))));
    EXPECT_TRUE(isUnicodePack(write("utf16be.lng", bytes("\xFE\xFF\x00["))));
    EXPECT_FALSE(isUnicodePack(write("plain.lng", bytes("[Info]\xEF\xBB\xBF"))));
    EXPECT_FALSE(isUnicodePack(write("short.lng", bytes("\xEF\xBB"))));
    EXPECT_FALSE(isUnicodePack(write("empty.lng", QByteArray())));
    EXPECT_FALSE(isUnicodePack(dir.filePath("missing.lng")));
}

} // namespace
} // namespace vistrel::test
