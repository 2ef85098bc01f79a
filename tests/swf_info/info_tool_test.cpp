#include <string>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/movie_bytes.h"

namespace vistrel {
namespace {

using testing::Bytes;

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class InfoToolTest : public ::testing::Test {
protected:
    ToolRun run(const QStringList &args) {
        QProcess process;
        process.start(QStringLiteral(VISTREL_TOOL_PATH), args);
        EXPECT_TRUE(process.waitForFinished(60000));
        ToolRun result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    QString file(const Bytes &bytes, const QString &name = QStringLiteral("movie.swf")) {
        const QString path = m_dir.filePath(name);
        testing::writeFile(path.toStdString(), bytes);
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(InfoToolTest, PrintsFactsAndPaneTextsOfAMovie) {
    const ToolRun result = run({"info", file(testing::plainMovie("FWS", 6, 4096, testing::window550x400()))});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out.toStdString(), "Signature: FWS\n"
                                        "Version: 6\n"
                                        "FileLength: 4096\n"
                                        "XMin: 0\n"
                                        "XMax: 11000\n"
                                        "YMin: 0\n"
                                        "YMax: 8000\n"
                                        "Width: 550\n"
                                        "Height: 400\n"
                                        "FrameRate: 12\n"
                                        "FrameRateFraction: 0\n"
                                        "FrameCount: 1\n"
                                        "StatusVer: \" 6\"\n"
                                        "StatusCompress: \" Нет\"\n"
                                        "StatusSize: \" 550 x 400\"\n"
                                        "StatusFps: \" 12\"\n"
                                        "StatusCount: \" 1\"\n"
                                        "StatusFilesize: \" 4.096 K\"\n");
    EXPECT_TRUE(result.err.isEmpty());
}

TEST_F(InfoToolTest, CompressedMovieIsMarkedCompressed) {
    const ToolRun result = run({"info", file(testing::zlibMovie(9, 120000, testing::window550x400()))});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.out.contains(QStringLiteral("Signature: CWS\n")));
    EXPECT_TRUE(result.out.contains(QStringLiteral("StatusCompress: \" Да\"\n")));
    EXPECT_TRUE(result.out.contains(QStringLiteral("StatusFilesize: \" 120.000 K\"\n")));
}

struct FailureCase {
    const char *name;
    Bytes bytes;
    int exitCode;
};

class InfoToolFailureTest : public InfoToolTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(InfoToolFailureTest, ExitsWithItsCodeAndOneLineOfMessage) {
    const ToolRun result = run({"info", file(GetParam().bytes)});
    EXPECT_EQ(result.exitCode, GetParam().exitCode);
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_EQ(result.err.count(QLatin1Char('\n')), 1) << result.err.toStdString();
}

Bytes corruptZlibMovie() {
    Bytes bytes = testing::fixedHeader("CWS", 6, 5000);
    bytes.resize(40, 0xFF);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, InfoToolFailureTest,
    ::testing::Values(FailureCase{"WrongSignature", testing::plainMovie("GIF", 8, 0, Bytes(30)), 1},
                      FailureCase{"CompressedVersion5",
                                  testing::plainMovie("CWS", 5, 100, testing::window550x400()), 1},
                      FailureCase{"TooShort", Bytes(22, 0x46), 1},
                      FailureCase{"CorruptZlib", corruptZlibMovie(), 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(InfoToolTest, MissingFileAndFolderCannotBeRead) {
    EXPECT_EQ(run({"info", m_dir.filePath("absent.swf")}).exitCode, 2);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.swf"));
    const ToolRun result = run({"info", m_dir.filePath("folder.swf")});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains(m_dir.filePath("folder.swf")));
}

TEST_F(InfoToolTest, WrongUsagePrintsUsage) {
    for (const QStringList &args : {QStringList{}, QStringList{"frobnicate"}, QStringList{"info"},
                                    QStringList{"info", "a.swf", "b.swf"}}) {
        const ToolRun result = run(args);
        EXPECT_EQ(result.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(result.err.contains(QStringLiteral("Usage"))) << args.join(' ').toStdString();
    }
}

} // namespace
} // namespace vistrel
