// A shell model made to read later: empty, without the program's icons, until started; then the same
// model an immediate one is, and starting it again changes nothing.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "widgets/shell_model.h"

namespace vistrel {
namespace {

TEST(ShellModelStart, AModelMadeToReadLaterReadsOnlyOnceStarted)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("Sub"));
    QFile movie(dir.filePath(QStringLiteral("a.SWF")));
    ASSERT_TRUE(movie.open(QIODevice::WriteOnly));
    movie.close();
    QFile other(dir.filePath(QStringLiteral("notes.txt")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();

    std::unique_ptr<QFileSystemModel> later(createShellModel(nullptr, false));
    std::unique_ptr<QFileSystemModel> now(createShellModel(nullptr));
    EXPECT_TRUE(later->rootPath().isEmpty() || later->rootPath() == QLatin1String("."));
    EXPECT_EQ(now->rootPath(), QStringLiteral("/"));
    EXPECT_NE(later->iconProvider(), now->iconProvider());
    // Waiting for its start, it builds no node, not even along the working folder's path, however
    // long the event loop runs.
    QTest::qWait(50);
    EXPECT_EQ(later->rowCount(QModelIndex()), 0);

    startShellModel(later.get());
    EXPECT_EQ(later->rootPath(), QStringLiteral("/"));
    EXPECT_EQ(later->iconProvider(), now->iconProvider());
    const auto provider = later->iconProvider();
    startShellModel(later.get());
    EXPECT_EQ(later->iconProvider(), provider);

    // Both list the same: the folder and the movie, not the other file.
    for (QFileSystemModel* model : {later.get(), now.get()}) {
        const QModelIndex folder = model->index(dir.path());
        ASSERT_TRUE(folder.isValid());
        if (model->canFetchMore(folder))
            model->fetchMore(folder);
        QTRY_COMPARE(model->rowCount(folder), 2);
        QStringList names;
        for (int row = 0; row < model->rowCount(folder); ++row)
            names << model->index(row, 0, folder).data().toString();
        names.sort();
        EXPECT_EQ(names, (QStringList{QStringLiteral("Sub"), QStringLiteral("a.SWF")}));
    }
    startShellModel(nullptr);   // nothing to start: nothing happens
}

} // namespace
} // namespace vistrel
