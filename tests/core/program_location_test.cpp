// A program folder of its own keeps everything in the working folder; an installed layout
// (PREFIX/bin beside PREFIX/share/vistrel) reads its data there and the user's files from the
// configuration and data folders.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "core/program_location.h"

namespace vistrel {
namespace {

class ProgramLocationTest : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    void touch(const QString& relative)
    {
        const QString file = path(relative);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ProgramLocation locate(const QString& executableDir) const
    {
        return locateProgram(path("work"), executableDir, path("config"), path("data"), path("home"));
    }

    QTemporaryDir m_dir;
};

TEST_F(ProgramLocationTest, ProgramFolderOfItsOwnUsesTheWorkingFolder)
{
    touch("build/bin/swfinfo.dat");
    // Even with an installed copy beside it, a folder that holds the start-up movie is its own.
    touch("build/share/vistrel/swfinfo.dat");
    const ProgramLocation location = locate(path("build/bin"));
    EXPECT_EQ(location.baseDir, path("work"));
    EXPECT_TRUE(location.configDir.isEmpty());
    EXPECT_TRUE(location.userLanguageDir.isEmpty());
    EXPECT_EQ(location.homeDir, path("work"));
}

TEST_F(ProgramLocationTest, InstalledLayoutReadsItsDataFromTheSharedFolder)
{
    touch("usr/share/vistrel/swfinfo.dat");
    ASSERT_TRUE(QDir().mkpath(path("usr/bin")));
    const ProgramLocation location = locate(path("usr/bin"));
    EXPECT_EQ(location.baseDir, path("usr/share/vistrel"));
    EXPECT_EQ(location.configDir, path("config/vistrel"));
    EXPECT_EQ(location.userLanguageDir, path("data/vistrel/Language"));
    EXPECT_EQ(location.homeDir, path("home"));
}

TEST_F(ProgramLocationTest, UnknownLayoutFallsBackToTheWorkingFolder)
{
    // No start-up movie anywhere (a copied executable, a half-removed install): as a folder of its own.
    ASSERT_TRUE(QDir().mkpath(path("usr/bin")));
    ASSERT_TRUE(QDir().mkpath(path("usr/share/vistrel")));
    EXPECT_EQ(locate(path("usr/bin")).baseDir, path("work"));
    // Data beside a folder not named bin is not an installed layout either.
    touch("opt/share/vistrel/swfinfo.dat");
    ASSERT_TRUE(QDir().mkpath(path("opt/programs")));
    EXPECT_EQ(locate(path("opt/programs")).baseDir, path("work"));
}

TEST_F(ProgramLocationTest, InstalledWithoutUserFoldersKeepsSettingsWithTheData)
{
    touch("usr/share/vistrel/swfinfo.dat");
    ASSERT_TRUE(QDir().mkpath(path("usr/bin")));
    const ProgramLocation location = locateProgram(path("work"), path("usr/bin"), {}, {}, {});
    EXPECT_EQ(location.baseDir, path("usr/share/vistrel"));
    EXPECT_TRUE(location.configDir.isEmpty());
    EXPECT_TRUE(location.userLanguageDir.isEmpty());
    EXPECT_EQ(location.homeDir, path("work"));
}

} // namespace
} // namespace vistrel
