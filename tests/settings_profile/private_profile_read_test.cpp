#include <string_view>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "settings/profile/private_profile.h"

namespace vistrel {
namespace {

class ProfileReadTest : public ::testing::Test {
protected:
    PrivateProfile profileWith(const QByteArray &text) {
        QFile file(path());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        return PrivateProfile(path());
    }

    QString path() const { return m_dir.filePath(QStringLiteral("test.ini")); }

    QTemporaryDir m_dir;
};

// The text in UTF-16 after its byte-order mark.
QByteArray utf16(std::u16string_view text, bool bigEndian) {
    QByteArray out = bigEndian ? QByteArray("\xfe\xff") : QByteArray("\xff\xfe");
    for (const char16_t c : text) {
        const char high = char(c >> 8), low = char(c & 0xff);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

const char kWithNuls[] = "[a]\nk=x\0y\n\0\0\nj=2\n";

struct ReadCase {
    const char *name;
    QByteArray text;
    const char *section;
    const char *key;
    QByteArray expected; // "<default>" when the lookup should miss
};

class ProfileReadRulesTest : public ProfileReadTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ProfileReadRulesTest, FindsTheValue) {
    const ReadCase &c = GetParam();
    const PrivateProfile profile = profileWith(c.text);
    EXPECT_EQ(profile.readRaw(c.section, c.key, "<default>"), c.expected);
}

// A file read once answers every rule as a read that opens the file does.
TEST_P(ProfileReadRulesTest, SnapshotFindsTheSameValue) {
    const ReadCase &c = GetParam();
    const PrivateProfile profile = profileWith(c.text);
    const ProfileSnapshot snapshot(profile.path());
    EXPECT_EQ(snapshot.readRaw(c.section, c.key, "<default>"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileReadRulesTest,
    ::testing::Values(
        ReadCase{"Plain", "[Config]\nRS=1\n", "Config", "RS", "1"},
        ReadCase{"SectionCase", "[CONFIG]\nRS=1\n", "config", "RS", "1"},
        ReadCase{"KeyCase", "[Config]\nlf=English.lng\n", "Config", "LF", "English.lng"},
        ReadCase{"BlanksAroundNames", "  [  Config \t]  \n \t RS \t= 0 \n", "Config", "RS", "0"},
        ReadCase{"BlanksInsideValueKept", "[a]\nk=  one  two  \n", "a", "k", "one  two"},
        ReadCase{"SplitAtFirstEquals", "[Favorites]\nn0=a=b=c\n", "Favorites", "n0", "a=b=c"},
        ReadCase{"DoubleQuotes", "[a]\nk=\"  quoted \"\n", "a", "k", "  quoted "},
        ReadCase{"SingleQuotes", "[a]\nk='x'\n", "a", "k", "x"},
        ReadCase{"UnmatchedQuotesStay", "[a]\nk=\"x'\n", "a", "k", "\"x'"},
        ReadCase{"LoneQuoteStays", "[a]\nk=\"\n", "a", "k", "\""},
        ReadCase{"EmptyValue", "[a]\nk=\n", "a", "k", ""},
        ReadCase{"MissingKey", "[a]\nother=1\n", "a", "k", "<default>"},
        ReadCase{"MissingSection", "[b]\nk=1\n", "a", "k", "<default>"},
        ReadCase{"KeyOfAnotherSection", "[a]\nx=1\n[b]\nk=2\n", "a", "k", "<default>"},
        ReadCase{"KeyBeforeAnySection", "k=1\n[a]\n", "a", "k", "<default>"},
        ReadCase{"CrLf", "[a]\r\nk=v\r\n[b]\r\nk=w\r\n", "b", "k", "w"},
        ReadCase{"NoFinalNewline", "[a]\nk=last", "a", "k", "last"},
        ReadCase{"FirstDuplicateKeyWins", "[a]\nk=1\nk=2\n", "a", "k", "1"},
        ReadCase{"FirstDuplicateSectionWins", "[a]\nk=1\n[A]\nk=2\nj=3\n", "a", "j", "<default>"},
        ReadCase{"CommentsIgnored", "; k=comment\n[a]\n;k=0\nk=1\n", "a", "k", "1"},
        ReadCase{"LineWithoutEquals", "[a]\njust text\nk=1\n", "a", "k", "1"},
        ReadCase{"UnclosedSectionIsNoSection", "[a]\n[b\nk=1\n", "a", "k", "1"},
        ReadCase{"Utf8Value", "[a]\nk=Папка\n", "a", "k", "Папка"},
        ReadCase{"NulBytes", QByteArray(kWithNuls, sizeof kWithNuls - 1), "a", "j", "2"},
        ReadCase{"BinaryGarbage", QByteArray("\x80\xfe\x01[\x80\x81]\n\x1b=\x7f\n[a]\nk=ok\n"), "a", "k",
                 "ok"},
        // A file saved as UTF-16 with its mark reads as the same text would in UTF-8.
        ReadCase{"Utf16LittleEndian", utf16(u"[a]\r\nk=Папка\r\n", false), "a", "k", "Папка"},
        ReadCase{"Utf16BigEndian", utf16(u"[A]\nK = x\n", true), "a", "k", "x"},
        ReadCase{"Utf16LastCharacterCut", utf16(u"[a]\nk=ab", false).chopped(1), "a", "k", "a"},
        ReadCase{"Utf16MarkOnly", QByteArray("\xff\xfe"), "a", "k", "<default>"},
        ReadCase{"Utf16MarkInsideTheFileIsNoMark", "[a]\nk=\xff\xfe" "1\n", "a", "k", "\xff\xfe" "1"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ProfileReadTest, MissingFileGivesDefaults) {
    const PrivateProfile profile(m_dir.filePath(QStringLiteral("absent.ini")));
    EXPECT_EQ(profile.readRaw("a", "k", "d"), "d");
    EXPECT_EQ(profile.readString("a", "k", QStringLiteral("s")), QStringLiteral("s"));
    EXPECT_EQ(profile.readInt("a", "k", 42), 42);
    EXPECT_TRUE(profile.readBool("a", "k", true));
}

TEST_F(ProfileReadTest, ValueIsCutAt2047Bytes) {
    const QByteArray longValue(5000, 'v');
    const PrivateProfile profile = profileWith("[a]\nk=" + longValue + "\n");
    EXPECT_EQ(profile.readRaw("a", "k"), QByteArray(2047, 'v'));
}

TEST_F(ProfileReadTest, CutInsideAUtf8CharacterDropsItsPiece) {
    // 2046 ASCII bytes, then a two-byte letter that straddles the limit.
    const PrivateProfile profile = profileWith("[a]\nk=" + QByteArray(2046, 'x') + "Я\n");
    const QString value = profile.readString("a", "k");
    EXPECT_EQ(value, QString(2046, QLatin1Char('x')));
}

TEST_F(ProfileReadTest, LinesOfAnyLength) {
    const QByteArray huge(100000, 'z');
    const PrivateProfile profile =
        profileWith("[a]\n" + huge + "\nlong=" + huge + "\n" + huge + "=1\nk=after\n");
    EXPECT_EQ(profile.readRaw("a", "k"), "after");
    EXPECT_EQ(profile.readRaw("a", "long").size(), 2047);
    EXPECT_EQ(profile.readRaw("a", huge), "1");
}

struct IntCase {
    const char *value;
    int expected; // with the default -7
};

class ProfileIntTest : public ProfileReadTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(ProfileIntTest, ParsesTheWholeValue) {
    const PrivateProfile profile = profileWith(QByteArray("[a]\nk=") + GetParam().value + "\n");
    EXPECT_EQ(profile.readInt("a", "k", -7), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, ProfileIntTest,
                         ::testing::Values(IntCase{"0", 0}, IntCase{"740", 740}, IntCase{"-20", -20},
                                           IntCase{"+5", 5}, IntCase{"0x1F", 31}, IntCase{"0XfF", 255},
                                           IntCase{"-0x10", -16}, IntCase{" 12 ", 12}, IntCase{"\"15\"", 15},
                                           IntCase{"2147483647", 2147483647},
                                           IntCase{"-2147483648", -2147483647 - 1}, IntCase{"", -7},
                                           IntCase{"12abc", -7}, IntCase{"abc", -7}, IntCase{"0x", -7},
                                           IntCase{"-", -7}, IntCase{"1.5", -7}, IntCase{"0xG", -7},
                                           IntCase{"2147483648", -7}, IntCase{"99999999999999999999", -7},
                                           IntCase{"1 2", -7}));

TEST_F(ProfileReadTest, BooleansAreIntegers) {
    const PrivateProfile profile = profileWith("[c]\nzero=0\none=1\nmany=-3\nword=yes\n");
    EXPECT_FALSE(profile.readBool("c", "zero", true));
    EXPECT_TRUE(profile.readBool("c", "one", false));
    EXPECT_TRUE(profile.readBool("c", "many", false));
    EXPECT_TRUE(profile.readBool("c", "word", true));
    EXPECT_FALSE(profile.readBool("c", "word", false));
    EXPECT_FALSE(profile.readBool("c", "missing", false));
}

TEST_F(ProfileReadTest, FolderInPlaceOfTheFileGivesDefaults) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("test.ini")));
    const PrivateProfile profile(path());
    EXPECT_EQ(profile.readRaw("a", "k", "d"), "d");
}

// A file read once: no file or a folder gives the defaults, long values are cut as a read cuts them,
// and what was read stays what it answers when the file changes afterwards.
TEST_F(ProfileReadTest, SnapshotReadsTheFileOnce) {
    EXPECT_EQ(ProfileSnapshot(m_dir.filePath(QStringLiteral("absent.ini"))).readRaw("a", "k", "d"), "d");
    const QString folder = m_dir.filePath(QStringLiteral("folder.ini"));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder.ini")));
    EXPECT_EQ(ProfileSnapshot(folder).readRaw("a", "k", "d"), "d");
    EXPECT_EQ(ProfileSnapshot(folder).readRaw("a", "k", QByteArray(3000, 'd')), QByteArray(2047, 'd'));

    PrivateProfile profile = profileWith("[a]\nk=" + QByteArray(5000, 'v') + "\nj=1\n");
    const ProfileSnapshot snapshot(profile.path());
    EXPECT_EQ(snapshot.readRaw("a", "k"), QByteArray(2047, 'v'));
    profile.writeString("a", "j", QStringLiteral("2"));
    EXPECT_EQ(profile.readRaw("a", "j"), "2");
    EXPECT_EQ(snapshot.readRaw("a", "j"), "1");
    EXPECT_EQ(ProfileSnapshot(profile.path()).readRaw("A", "J"), "2");
}

} // namespace
} // namespace vistrel
