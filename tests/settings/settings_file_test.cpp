#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/shared_state.h"
#include "settings/profile/private_profile.h"
#include "settings/settings_file.h"
#include "tests/support/fake_main_window.h"
#include "tests/support/unprivileged.h"

namespace vistrel {
namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_oldCurrent = QDir::currentPath();
        m_state.BaseDir = m_dir.path();
    }
    void TearDown() override { QDir::setCurrent(m_oldCurrent); }

    void setFile(const QByteArray &text) {
        QFile file(m_state.settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray fileText() const {
        QFile file(m_state.settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }

    void load() { LoadSettings(m_state, m_host); }
    void save() { SaveSettings(m_state, m_host); }

    // A second run of the program on the same folder.
    void restart() {
        const QString base = m_state.BaseDir;
        m_state = SharedState{};
        m_state.BaseDir = base;
        m_host = testing::FakeMainWindow{};
        load();
    }

    QTemporaryDir m_dir;
    QString m_oldCurrent;
    SharedState m_state;
    testing::FakeMainWindow m_host;
};

TEST_F(SettingsFileTest, AbsentFileGivesTheDefaults) {
    load();
    EXPECT_EQ(m_host.bounds, QRect(0, 0, 740, 600));
    EXPECT_EQ(m_host.panel, 170);
    EXPECT_EQ(m_host.splitter, 200);
    EXPECT_TRUE(m_state.RememberSize);
    EXPECT_TRUE(m_state.RememberPosition);
    EXPECT_TRUE(m_state.RememberDir);
    EXPECT_TRUE(m_state.ShowHints);
    EXPECT_TRUE(m_state.ShowMenuIcons);
    EXPECT_TRUE(m_host.hints);
    EXPECT_TRUE(m_host.menuImages);
    EXPECT_EQ(m_state.CurrentDir, m_state.BaseDir);
    EXPECT_TRUE(m_state.FavoriteList.isEmpty());
    EXPECT_FALSE(QFile::exists(m_state.settingsPath())) << "loading must not create the file";
}

struct GeometryCase {
    const char *name;
    QByteArray position;
    QRect bounds;
    int panel;
    int splitter;
};

class GeometryCorrectionTest : public SettingsFileTest, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(GeometryCorrectionTest, SmallOrNegativeValuesAreReplaced) {
    setFile("[Position]\n" + GetParam().position);
    load();
    EXPECT_EQ(m_host.bounds, GetParam().bounds);
    EXPECT_EQ(m_host.panel, GetParam().panel);
    EXPECT_EQ(m_host.splitter, GetParam().splitter);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GeometryCorrectionTest,
    ::testing::Values(
        GeometryCase{"TooNarrow", "X=5\nY=6\nW=399\nH=299\nP1=9\nP2=9\n", QRect(5, 6, 740, 600), 170, 200},
        GeometryCase{"SmallestKept", "X=5\nY=6\nW=400\nH=300\nP1=10\nP2=10\n", QRect(5, 6, 400, 300), 10, 10},
        GeometryCase{"TooNarrowSaved", "W=350\nH=800\n", QRect(0, 0, 740, 800), 170, 200},
        GeometryCase{"NegativePosition", "X=-20\nY=-1\nW=900\nH=700\nP1=180\nP2=250\n", QRect(0, 0, 900, 700),
                     180, 250},
        GeometryCase{"NegativeSizes", "W=-5\nH=-5\nP1=-1\nP2=-100\n", QRect(0, 0, 740, 600), 170, 200},
        GeometryCase{"NotNumbers", "X=abc\nY=1e3\nW=wide\nH=12px\n", QRect(0, 0, 740, 600), 170, 200},
        GeometryCase{"Hexadecimal", "X=0x10\nW=0x320\nH=0X258\n", QRect(16, 0, 800, 600), 170, 200}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SettingsFileTest, WindowIsCentredWhenPositionIsNotRemembered) {
    setFile("[Config]\nRC=0\n[Position]\nX=-20\nY=3000\nW=801\nH=601\n");
    m_host.screen = QSize(1367, 769);
    load();
    // 1367 / 2 - 801 / 2 and 769 / 2 - 601 / 2, halves rounded toward zero
    EXPECT_EQ(m_host.bounds, QRect(283, 84, 801, 601));
    EXPECT_EQ(m_state.SavedLeft, 283);
    EXPECT_EQ(m_state.SavedTop, 84);
}

TEST_F(SettingsFileTest, WindowLargerThanTheScreenIsCentredOffTheEdge) {
    setFile("[Config]\nRC=0\n[Position]\nW=1000\nH=700\n");
    m_host.screen = QSize(800, 600);
    load();
    EXPECT_EQ(m_host.bounds.topLeft(), QPoint(-100, -50));
}

TEST_F(SettingsFileTest, SizeSnapshotKeepsTheStartSizesWhenSizeIsNotRemembered) {
    setFile("[Config]\nRS=0\n[Position]\nX=10\nY=20\nW=800\nH=500\nP1=5\nP2=300\n");
    load();
    EXPECT_EQ(m_state.SavedWidth, 800);
    EXPECT_EQ(m_state.SavedHeight, 500);
    EXPECT_EQ(m_state.SavedPanelWidth, 170); // after the correction
    EXPECT_EQ(m_state.SavedSplitterPos, 300);

    m_host.bounds = QRect(50, 60, 1200, 900);
    m_host.panel = 250;
    m_host.splitter = 400;
    save();
    restart();
    EXPECT_EQ(m_host.bounds, QRect(50, 60, 800, 500)); // the position is still remembered
    EXPECT_EQ(m_host.panel, 170);
    EXPECT_EQ(m_host.splitter, 300);
}

TEST_F(SettingsFileTest, RememberedGeometryComesBack) {
    load();
    m_host.bounds = QRect(33, 44, 1024, 768);
    m_host.panel = 222;
    m_host.splitter = 333;
    save();
    restart();
    EXPECT_EQ(m_host.bounds, QRect(33, 44, 1024, 768));
    EXPECT_EQ(m_host.panel, 222);
    EXPECT_EQ(m_host.splitter, 333);
}

TEST_F(SettingsFileTest, NarrowPanelIsWidenedToNineAtSaveAndComesBackDefault) {
    load();
    m_host.panel = 3;
    save();
    EXPECT_EQ(m_host.panel, 9);
    EXPECT_TRUE(fileText().contains("\nP1=9\n"));
    restart();
    EXPECT_EQ(m_host.panel, 170);
}

TEST_F(SettingsFileTest, SaveWritesEveryKeyInItsOrder) {
    load();
    m_state.CurrentLanguageFile.clear();
    m_state.FavoriteList = {Favorite{QStringLiteral("Фильмы"), QStringLiteral("/home/u/films")},
                            Favorite{QStringLiteral("B"), QStringLiteral("/b")}};
    save();
    const QByteArray base = m_state.BaseDir.toUtf8();
    EXPECT_EQ(fileText(), "[Config]\nRS=1\nRC=1\nRD=1\nSH=1\nSI=1\nSD=" + base +
                              "\nLF=\n"
                              "[Position]\nX=0\nY=0\nW=740\nH=600\nP1=170\nP2=200\n"
                              "[Favorites]\nn0=Фильмы\na0=/home/u/films\nn1=B\na1=/b\n");
    EXPECT_EQ(m_host.menuRebuilds, 1);
}

TEST_F(SettingsFileTest, SaveKeepsOtherSectionsAndComments) {
    setFile("; written by hand\n[Extra]\nkey=value\n[Config]\nRS=1\nCustom=7\n[Favorites]\nn0=Old\na0=/old\n"
            "n5=Stale\n");
    load();
    m_state.FavoriteList = {Favorite{QStringLiteral("New"), QStringLiteral("/new")}};
    save();
    const QByteArray text = fileText();
    EXPECT_TRUE(text.startsWith("; written by hand\n[Extra]\nkey=value\n[Config]\nRS=1\nCustom=7\n"))
        << text.data();
    EXPECT_TRUE(text.endsWith("[Favorites]\nn0=New\na0=/new\n")) << text.data();
    EXPECT_FALSE(text.contains("Stale"));
}

TEST_F(SettingsFileTest, FavoritesStopAtTheFirstGap) {
    setFile("[Favorites]\nn0=A\na0=C:\\X\nn1=B\na1=/b\nn3=D\na3=/d\n");
    load();
    ASSERT_EQ(m_state.FavoriteList.size(), 2);
    EXPECT_EQ(m_state.FavoriteList[0], (Favorite{QStringLiteral("A"), QStringLiteral("C:\\X")}));
    EXPECT_EQ(m_state.FavoriteList[1], (Favorite{QStringLiteral("B"), QStringLiteral("/b")}));
    save();
    EXPECT_FALSE(fileText().contains("n3="));
    EXPECT_FALSE(fileText().contains("/d"));
}

TEST_F(SettingsFileTest, EmptyNameEndsTheFavorites) {
    setFile("[Favorites]\nn0=A\na0=C:\\X\nn1=\na1=/y\nn2=C\n");
    load();
    ASSERT_EQ(m_state.FavoriteList.size(), 1);
    EXPECT_EQ(m_state.FavoriteList[0].name, QStringLiteral("A"));
}

TEST_F(SettingsFileTest, AtMost256FavoritesAreReadAndWritten) {
    QByteArray text = "[Favorites]\n";
    for (int i = 0; i < 300; ++i)
        text += "n" + QByteArray::number(i) + "=F" + QByteArray::number(i) + "\na" + QByteArray::number(i) +
                "=/f\n";
    setFile(text);
    load();
    ASSERT_EQ(m_state.FavoriteList.size(), 256);
    EXPECT_EQ(m_state.FavoriteList.back().name, QStringLiteral("F255"));
    save();
    restart();
    EXPECT_EQ(m_state.FavoriteList.size(), 256);
    EXPECT_FALSE(fileText().contains("n256="));
}

TEST_F(SettingsFileTest, NameWithEqualsSurvivesSaveAndLoad) {
    load();
    const Favorite favorite{QStringLiteral("a=b = c"), QStringLiteral("/x=y")};
    m_state.FavoriteList = {favorite};
    save();
    restart();
    ASSERT_EQ(m_state.FavoriteList.size(), 1);
    EXPECT_EQ(m_state.FavoriteList[0], favorite);
}

TEST_F(SettingsFileTest, ExistingStartFolderBecomesTheCurrentFolder) {
    const QString folder = m_dir.filePath(QStringLiteral("фильмы"));
    ASSERT_TRUE(QDir().mkpath(folder));
    setFile("[Config]\nRD=0\nSD=" + folder.toUtf8() + "\n");
    load();
    EXPECT_EQ(m_state.CurrentDir, folder);
    EXPECT_EQ(m_state.StartDir, folder);
    EXPECT_EQ(QDir::currentPath(), QDir(folder).canonicalPath());
}

// A start folder reached through a link stays the link, in the state and in the file written
// back; only "." and ".." are cleaned away.
TEST_F(SettingsFileTest, StartFolderThroughALinkStaysALink) {
    const QString real = m_dir.filePath(QStringLiteral("real"));
    ASSERT_TRUE(QDir().mkpath(real + QStringLiteral("/inner")));
    const QString link = m_dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(real, link));
    setFile("[Config]\nRD=1\nSD=" + link.toUtf8() + "/inner/./../inner\n");
    load();
    EXPECT_EQ(m_state.CurrentDir, link + QStringLiteral("/inner"));
    EXPECT_EQ(QDir::currentPath(), QDir(real + QStringLiteral("/inner")).canonicalPath());
    save();
    EXPECT_TRUE(fileText().contains("\nSD=" + link.toUtf8() + "/inner\n")) << fileText().constData();
}

TEST_F(SettingsFileTest, MissingStartFolderFallsBackToTheProgramFolder) {
    setFile("[Config]\nRD=0\nSD=" + m_dir.filePath(QStringLiteral("gone")).toUtf8() + "\n");
    load();
    EXPECT_EQ(m_state.CurrentDir, m_state.BaseDir);
    EXPECT_EQ(m_state.StartDir, m_state.BaseDir);
    save();
    EXPECT_TRUE(fileText().contains("\nSD=" + m_state.BaseDir.toUtf8() + "\n"));
}

TEST_F(SettingsFileTest, RememberedFolderIsWrittenAtSave) {
    load();
    m_state.CurrentDir = QStringLiteral("/tmp");
    save();
    EXPECT_EQ(m_state.StartDir, QStringLiteral("/tmp"));
    EXPECT_TRUE(fileText().contains("\nSD=/tmp\n"));
}

TEST_F(SettingsFileTest, OptionsOffSwitchHintsAndMenuImagesOff) {
    setFile("[Config]\nSH=0\nSI=0\nRS=yes\n");
    load();
    EXPECT_FALSE(m_state.ShowHints);
    EXPECT_FALSE(m_state.ShowMenuIcons);
    EXPECT_TRUE(m_state.RememberSize); // not a number: the default
    EXPECT_FALSE(m_host.hints);
    EXPECT_FALSE(m_host.menuImages);

    m_state.ShowHints = true;
    save();
    EXPECT_TRUE(m_host.hints);
    EXPECT_FALSE(m_host.menuImages);
    EXPECT_TRUE(fileText().startsWith("[Config]\nSH=1\nSI=0\nRS=1\n"));
}

// An installed program keeps its settings in the user's configuration folder, made on the first save,
// and shows the home folder when none is remembered.
TEST_F(SettingsFileTest, InstalledProgramSavesIntoItsConfigurationFolder) {
    m_state.ConfigDir = m_dir.filePath(QStringLiteral("config/vistrel"));
    m_state.HomeDir = m_dir.filePath(QStringLiteral("home"));
    ASSERT_TRUE(QDir().mkpath(m_state.HomeDir));
    load();
    EXPECT_EQ(m_state.CurrentDir, m_state.HomeDir);
    EXPECT_FALSE(QFileInfo::exists(m_state.ConfigDir)) << "loading makes no folder";
    save();
    EXPECT_TRUE(QFileInfo(m_state.ConfigDir + QStringLiteral("/vistrel.ini")).isFile());
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(QStringLiteral("vistrel.ini")))) << "nothing in the data folder";
    EXPECT_TRUE(fileText().contains("\nSD=" + m_state.HomeDir.toUtf8() + "\n"));
}

TEST_F(SettingsFileTest, ConfigurationFolderThatCannotBeMadeRefusesTheSave) {
    // A file where the folder would go: the folder cannot be made, and the save says so.
    QFile blocker(m_dir.filePath(QStringLiteral("config")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_state.ConfigDir = m_dir.filePath(QStringLiteral("config/vistrel"));
    load();
    EXPECT_THROW(save(), ProfileWriteError);
    EXPECT_EQ(m_host.menuRebuilds, 0);
}

TEST_F(SettingsFileTest, RefusedSaveThrowsAndChangesNothing) {
    load();
    ASSERT_TRUE(QDir(m_state.BaseDir).mkdir(QStringLiteral("vistrel.ini")));
    m_state.CurrentDir = QStringLiteral("/tmp");
    m_host.bounds = QRect(1, 2, 900, 800);
    try {
        save();
        FAIL() << "the save was not refused";
    } catch (const ProfileWriteError &e) {
        EXPECT_EQ(std::string(e.what()),
                  ("Unable to write to " + m_state.BaseDir + "/vistrel.ini").toStdString());
    }
    EXPECT_EQ(m_host.menuRebuilds, 0);
    EXPECT_TRUE(m_state.StartDir.isEmpty());
}

TEST_F(SettingsFileTest, ReadOnlyFolderKeepsTheOldFile) {
    if (testing::rerunWithoutPrivileges())
        return;
    setFile("[Config]\nRS=1\n");
    load();
    ASSERT_TRUE(QFile::setPermissions(m_state.BaseDir, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    EXPECT_THROW(save(), ProfileWriteError);
    QFile::setPermissions(m_state.BaseDir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(fileText(), QByteArray("[Config]\nRS=1\n"));
}

} // namespace
} // namespace vistrel
