// Settings files damaged in the ways files get damaged: binary garbage, endless lines, duplicate
// sections and keys, a missing final newline, Windows line ends, things that are not files at
// all, and a disk that fills up during the save. Reading gives what the platform's profile
// functions would give; the next save writes every favorite that was read; a refused save
// leaves the old file as it was.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/shared_state.h"
#include "settings/profile/private_profile.h"
#include "settings/settings_file.h"
#include "tests/support/fake_main_window.h"
#include "tests/support/unprivileged.h"

using vistrel::Favorite;
using vistrel::SharedState;

namespace {

struct DamagedFile {
    const char* name;
    QByteArray text;
    QList<Favorite> favorites; // what reading must give
};

// The bytes of a literal, NULs included.
template <std::size_t N> QByteArray bytes(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

QByteArray longText(qsizetype length) {
    return QByteArray(length, 'x');
}

std::vector<DamagedFile> damagedFiles() {
    return {
        {"BinaryGarbageAroundTheKeys",
         bytes("\x00\xff\xfe\x01garbage\x7f\n[Favorites]\nn0=Movies\na0=/m\n\x01\x02\x03\xff\xfe\n\x00\x00\n"
               "n1=Games\na1=/g\n[Config]\nRS=\xff\xfe\n"),
         {{"Movies", "/m"}, {"Games", "/g"}}},
        {"LinesOfAHundredThousandCharacters",
         "[Config]\nSD=" + longText(100000) + "\n[Favorites]\nn0=" + longText(100000) + "\na0=/a\n" + longText(100000) +
             "\nn1=B\na1=/b\n",
         {{QString(longText(vistrel::PrivateProfile::kMaxValueLength)), "/a"}, {"B", "/b"}}},
        {"DuplicateSectionsAndKeys",
         "[favorites]\nn0=First\nN0=Second\na0=/first\n[Config]\nRS=1\n[FAVORITES]\nn1=Hidden\na1=/hidden\n",
         {{"First", "/first"}}},
        {"NoFinalNewline", "[Favorites]\nn0=A\na0=/a\nn1=B\na1=/b", {{"A", "/a"}, {"B", "/b"}}},
        {"WindowsLineEnds", "[Favorites]\r\nn0=A\r\na0=/a\r\nn1=B\r\na1=/b\r\n", {{"A", "/a"}, {"B", "/b"}}},
        {"CarriageReturnsOnly", "[Favorites]\rn0=A\ra0=/a\r", {}},
        {"BlanksAndQuotes", "  [ Favorites ]  \n  n0 =  \" padded \"  \n a0= '/q' \n", {{" padded ", "/q"}}},
        {"SectionHeaderCutShort", "[Favorites\nn0=A\na0=/a\n", {}},
    };
}

class DamagedSettingsTest : public ::testing::TestWithParam<DamagedFile> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        m_state.BaseDir = m_folder.path();
    }
    void writeSettings(const QByteArray& text) {
        QFile file(m_state.settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray settingsText() const {
        QFile file(m_state.settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_folder;
    SharedState m_state;
    vistrel::testing::FakeMainWindow m_window;
};

} // namespace

TEST_P(DamagedSettingsTest, ReadsWhatCanBeReadAndTheNextSaveKeepsIt) {
    writeSettings(GetParam().text);
    vistrel::LoadSettings(m_state, m_window);
    EXPECT_EQ(m_state.FavoriteList, GetParam().favorites);

    vistrel::SaveSettings(m_state, m_window);
    // The favorites come back from the saved file as they were read from the damaged one.
    SharedState reread;
    reread.BaseDir = m_state.BaseDir;
    vistrel::testing::FakeMainWindow window;
    vistrel::LoadSettings(reread, window);
    EXPECT_EQ(reread.FavoriteList, GetParam().favorites);
    EXPECT_EQ(reread.RememberSize, m_state.RememberSize);

    // The saved favorites form one section (none without favorites), numbered from 0 without gaps.
    const QByteArray saved = settingsText();
    EXPECT_EQ(saved.count("[Favorites]"), GetParam().favorites.isEmpty() ? 0 : 1) << saved.left(400).toStdString();
    const vistrel::PrivateProfile profile(m_state.settingsPath());
    const auto favoriteCount = GetParam().favorites.size();
    EXPECT_TRUE(profile.readRaw("Favorites", "n" + QByteArray::number(favoriteCount), "none") == "none");
    EXPECT_TRUE(saved.endsWith('\n'));
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedSettingsTest, ::testing::ValuesIn(damagedFiles()),
                         [](const auto& info) { return std::string(info.param.name); });

class SettingsOnDamagedGroundTest : public DamagedSettingsTest {};

TEST_F(SettingsOnDamagedGroundTest, PipeInPlaceOfTheFileGivesDefaultsAndRefusesTheSave) {
    ASSERT_EQ(mkfifo(QFile::encodeName(m_state.settingsPath()).constData(), 0600), 0);
    vistrel::LoadSettings(m_state, m_window); // must not wait for a writer
    EXPECT_TRUE(m_state.RememberSize);
    EXPECT_TRUE(m_state.FavoriteList.isEmpty());
    EXPECT_THROW(vistrel::SaveSettings(m_state, m_window), vistrel::ProfileWriteError);
}

TEST_F(SettingsOnDamagedGroundTest, LinkToAnEndlessDeviceGivesDefaults) {
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), m_state.settingsPath()));
    vistrel::LoadSettings(m_state, m_window);
    EXPECT_TRUE(m_state.FavoriteList.isEmpty());
    EXPECT_EQ(m_window.windowBounds().width(), 740);
}

namespace {

// Files can grow to at most `bytes` while this lives: a disk that is full past that point. The
// limit binds every user, the superuser included, which folder permissions do not.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN); // writes past the limit fail instead of killing us
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

} // namespace

TEST_F(SettingsOnDamagedGroundTest, DiskFullDuringTheSaveKeepsTheOldFileAndNamesIt) {
    QByteArray old = "; kept as it is\n[Config]\nRS=0\n[Favorites]\n";
    for (int i = 0; i < 20; ++i)
        old += "n" + QByteArray::number(i) + "=Old " + QByteArray::number(i) + "\na" + QByteArray::number(i) + "=/old\n";
    writeSettings(old);
    vistrel::LoadSettings(m_state, m_window);
    for (int i = 0; i < 200; ++i)
        m_state.FavoriteList.append(Favorite{QStringLiteral("New favorite with a long name %1").arg(i),
                                             QStringLiteral("/a/folder/deep/down/in/the/tree/%1").arg(i)});

    const QStringList before = QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    {
        FileSizeLimit full(4096);
        ASSERT_TRUE(full.active());
        try {
            vistrel::SaveSettings(m_state, m_window);
            ADD_FAILURE() << "a save that did not fit reported success; the file now has " << settingsText().size()
                          << " bytes";
        } catch (const vistrel::ProfileWriteError& error) {
            EXPECT_EQ(QString::fromUtf8(error.what()), "Unable to write to " + m_state.settingsPath());
        }
    }
    EXPECT_EQ(settingsText(), old);
    // No half-written temporary file is left beside it.
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), before);
    // Once there is room again, the same save goes through.
    vistrel::SaveSettings(m_state, m_window);
    EXPECT_TRUE(settingsText().contains("n219=New favorite with a long name 199"));
}

TEST_F(SettingsOnDamagedGroundTest, ReadOnlyFolderKeepsTheOldFile) {
    if (vistrel::testing::rerunWithoutPrivileges())
        return;
    writeSettings("[Favorites]\nn0=A\na0=/a\n");
    vistrel::LoadSettings(m_state, m_window);
    m_state.FavoriteList.append(Favorite{"B", "/b"});
    ASSERT_TRUE(QFile::setPermissions(m_folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    EXPECT_THROW(vistrel::SaveSettings(m_state, m_window), vistrel::ProfileWriteError);
    QFile::setPermissions(m_folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(settingsText(), "[Favorites]\nn0=A\na0=/a\n");
}

// Found by fuzz_profile (fuzz/crashes/profile/utf16_mark_behind_utf8_mark.bin, 9 bytes): a file
// of a UTF-8 mark followed by the bytes of a UTF-16 mark. Reading skips the UTF-8 mark; the
// rewrite left it out, so the next read took the file for UTF-16 and the value just written was
// gone.
TEST_F(SettingsOnDamagedGroundTest, RewriteNeverTurnsTheFileIntoUtf16) {
    for (const char* utf16Mark : {"\xff\xfe", "\xfe\xff"}) {
        writeSettings(QByteArray("\xef\xbb\xbf") + utf16Mark + "\n[Config]\nRS=1\n");
        vistrel::PrivateProfile profile(m_state.settingsPath());
        vistrel::PrivateProfile::Batch batch(profile);
        batch.writeRaw("Messages", "RS", "");
        batch.writeRaw("Messages", "extra", "1");
        batch.commit();
        EXPECT_EQ(profile.readRaw("Messages", "RS", "missing"), "");
        EXPECT_EQ(profile.readRaw("Messages", "extra"), "1");
        EXPECT_EQ(profile.readRaw("Config", "RS"), "1");
    }
}
