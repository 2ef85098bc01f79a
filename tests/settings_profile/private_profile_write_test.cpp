#include <string_view>


#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "settings/profile/private_profile.h"
#include "tests/support/unprivileged.h"

namespace vistrel {
namespace {

class ProfileWriteTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("test.ini")); }

    void setText(const QByteArray &text) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray text() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }

    QTemporaryDir m_dir;
};

struct WriteCase {
    const char *name;
    QByteArray before;
    QByteArray after; // after writing [Config] RS = 0
};

class ProfileWriteKeyTest : public ProfileWriteTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(ProfileWriteKeyTest, ChangesOnlyThatKey) {
    setText(GetParam().before);
    PrivateProfile profile(path());
    profile.writeRaw("Config", "RS", "0");
    EXPECT_EQ(text(), GetParam().after);
    EXPECT_EQ(profile.readRaw("Config", "RS"), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProfileWriteKeyTest,
    ::testing::Values(
        WriteCase{"ReplacesInPlace", "; settings\n[Config]\nRS=1\nRC=1\n[Other]\nRS=5\n",
                  "; settings\n[Config]\nRS=0\nRC=1\n[Other]\nRS=5\n"},
        WriteCase{"KeepsSpellingOfKey", "[config]\n  rs = 1 \n", "[config]\nrs=0\n"},
        WriteCase{"AppendsToTheSection", "[Config]\nRC=1\n\n[Position]\nX=3\n",
                  "[Config]\nRC=1\nRS=0\n\n[Position]\nX=3\n"},
        WriteCase{"AppendsAfterHeaderOfEmptySection", "[Config]\n[Position]\n",
                  "[Config]\nRS=0\n[Position]\n"},
        WriteCase{"AppendsSection", "[Position]\nX=3\n", "[Position]\nX=3\n[Config]\nRS=0\n"},
        WriteCase{"AppendsSectionAfterMissingNewline", "[Position]\nX=3",
                  "[Position]\nX=3\n[Config]\nRS=0\n"},
        WriteCase{"AppendsKeyAfterMissingNewline", "[Config]\nRC=1", "[Config]\nRC=1\nRS=0\n"},
        WriteCase{"KeepsCrLf", "[Config]\r\nRS=1\r\nRC=1\r\n", "[Config]\r\nRS=0\r\nRC=1\r\n"},
        WriteCase{"NewLinesFollowCrLf", "[Position]\r\nX=3\r\n", "[Position]\r\nX=3\r\n[Config]\r\nRS=0\r\n"},
        WriteCase{"OnlyFirstDuplicateChanges", "[Config]\nRS=1\nRS=2\n[CONFIG]\nRS=3\n",
                  "[Config]\nRS=0\nRS=2\n[CONFIG]\nRS=3\n"},
        WriteCase{"KeepsGarbageAndComments", "\x01\x02garbage\n[Config]\n;comment\nRS=1\n\xff\xfe\n",
                  "\x01\x02garbage\n[Config]\n;comment\nRS=0\n\xff\xfe\n"},
        WriteCase{"EmptyFile", "", "[Config]\nRS=0\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ProfileWriteTest, CreatesAMissingFile) {
    PrivateProfile profile(path());
    profile.writeString("Config", "SD", QStringLiteral("/home/пользователь"));
    EXPECT_EQ(text(), QByteArray("[Config]\nSD=/home/пользователь\n"));
    EXPECT_EQ(profile.readString("Config", "SD"), QStringLiteral("/home/пользователь"));
}

TEST_F(ProfileWriteTest, ValuesComeBackAsWritten) {
    PrivateProfile profile(path());
    const QStringList values = {QStringLiteral(" leading"),   QStringLiteral("trailing\t"),
                                QStringLiteral("\"quoted\""), QStringLiteral("'single'"),
                                QStringLiteral("a=b"),        QStringLiteral("\""),
                                QStringLiteral("semi;colon"), QString()};
    for (int i = 0; i < values.size(); ++i)
        profile.writeString("v", QByteArray::number(i), values[i]);
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(profile.readString("v", QByteArray::number(i), QStringLiteral("<missing>")), values[i])
            << i;
}

TEST_F(ProfileWriteTest, LineBreaksInAValueCannotAddKeys) {
    PrivateProfile profile(path());
    profile.writeString("Favorites", "n0", QStringLiteral("name\n[Config]\r\nRS=0"));
    EXPECT_EQ(profile.readString("Favorites", "n0"), QStringLiteral("name [Config]  RS=0"));
    EXPECT_EQ(profile.readRaw("Config", "RS", "none"), "none");
}

TEST_F(ProfileWriteTest, EraseRemovesTheSectionAndItsDuplicates) {
    setText("[Config]\nRS=1\n[Favorites]\nn0=A\n; note\na0=/x\n[Position]\nX=1\n[favorites]\nn1=B\n");
    PrivateProfile profile(path());
    profile.eraseSection("FAVORITES");
    EXPECT_EQ(text(), QByteArray("[Config]\nRS=1\n[Position]\nX=1\n"));
}

TEST_F(ProfileWriteTest, EraseOfAMissingSectionChangesNothing) {
    setText("[Config]\r\nRS=1");
    PrivateProfile profile(path());
    profile.eraseSection("Favorites");
    EXPECT_EQ(text(), QByteArray("[Config]\r\nRS=1"));
}

TEST_F(ProfileWriteTest, HugeLinesSurviveARewrite) {
    const QByteArray huge(100000, 'q');
    const QByteArray original = "[Big]\n" + huge + "\nk=" + huge + "\n[Config]\nRS=1\n";
    setText(original);
    PrivateProfile profile(path());
    profile.writeRaw("Config", "RS", "0");
    QByteArray expected = original;
    expected.replace("RS=1", "RS=0");
    EXPECT_EQ(text(), expected);
}

TEST_F(ProfileWriteTest, Utf16FileIsRewrittenAsUtf8KeepingEveryKey) {
    QByteArray utf16("\xff\xfe");
    for (const char16_t c : std::u16string_view(u"[Favorites]\r\nn0=Фильмы\r\n[Config]\r\nRS=1\r\n")) {
        utf16 += char(c & 0xff);
        utf16 += char(c >> 8);
    }
    setText(utf16);
    PrivateProfile profile(path());
    profile.writeRaw("Config", "RS", "0");
    EXPECT_EQ(text(), QString::fromUtf16(u"[Favorites]\r\nn0=Фильмы\r\n[Config]\r\nRS=0\r\n").toUtf8());
}

TEST_F(ProfileWriteTest, BatchWritesNothingBeforeCommit) {
    setText("[Config]\nRS=1\n");
    PrivateProfile profile(path());
    PrivateProfile::Batch batch(profile);
    batch.writeRaw("Config", "RS", "0");
    batch.eraseSection("Config");
    batch.writeString("Config", "LF", QStringLiteral("English.lng"));
    EXPECT_EQ(text(), QByteArray("[Config]\nRS=1\n"));
    batch.commit();
    EXPECT_EQ(text(), QByteArray("[Config]\nLF=English.lng\n"));
}

void expectRefused(PrivateProfile &profile) {
    try {
        profile.writeRaw("Config", "RS", "0");
        FAIL() << "the write was not refused";
    } catch (const ProfileWriteError &e) {
        EXPECT_EQ(std::string(e.what()), ("Unable to write to " + profile.path()).toStdString());
    }
}

TEST_F(ProfileWriteTest, FolderInPlaceOfTheFileRefusesTheWrite) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("test.ini")));
    PrivateProfile profile(path());
    expectRefused(profile);
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

TEST_F(ProfileWriteTest, MissingFolderRefusesTheWrite) {
    PrivateProfile profile(m_dir.filePath(QStringLiteral("нет папки/test.ini")));
    expectRefused(profile);
}

TEST_F(ProfileWriteTest, ReadOnlyFolderRefusesTheWriteAndKeepsTheFile) {
    if (testing::rerunWithoutPrivileges())
        return;
    setText("[Config]\nRS=1\n");
    ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    PrivateProfile profile(path());
    expectRefused(profile);
    EXPECT_EQ(text(), QByteArray("[Config]\nRS=1\n"));
    QFile::setPermissions(m_dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(ProfileWriteTest, UnreadableFileIsNeverOverwritten) {
    if (testing::rerunWithoutPrivileges())
        return;
    setText("[Other]\nkeep=me\n");
    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::WriteOwner));
    PrivateProfile profile(path());
    expectRefused(profile);
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(text(), QByteArray("[Other]\nkeep=me\n"));
}

} // namespace
} // namespace vistrel
