// Opening a movie or a folder named on the command line or dropped on the window.

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFile>
#include <QUrl>
#include <sys/stat.h>

#include "tests/app/app_fixture.h"
#include "widgets/glyph_status_pane.h"
#include "widgets/shell_list.h"

namespace vistrel::test {
namespace {

TEST_F(MainFormTest, AMovieOpensInItsFolderSelectedAndPlaying)
{
    makeFolder(QStringLiteral("films"));
    const QString movie = writeMovie(QStringLiteral("films/intro.swf"));
    TForm1& form = start();
    EXPECT_EQ(form.OpenPath(movie), QString());
    EXPECT_EQ(form.shellList()->folder(), m_base + QStringLiteral("/films"));
    EXPECT_EQ(m_state.CurrentDir, m_base + QStringLiteral("/films"));
    EXPECT_EQ(m_state.CurrentMovie, movie);
    ASSERT_TRUE(form.shellList()->currentIndex().isValid());
    EXPECT_EQ(form.shellList()->currentIndex().data().toString(), QStringLiteral("intro.swf"));
    EXPECT_FALSE(form.statusPane(0)->caption().isEmpty()) << "the movie's header facts are shown";
}

TEST_F(MainFormTest, AFolderOpensWithoutChangingTheMovie)
{
    const QString folder = makeFolder(QStringLiteral("a/b"));
    TForm1& form = start();
    EXPECT_EQ(form.OpenPath(folder), QString());
    EXPECT_EQ(form.shellList()->folder(), folder);
    EXPECT_EQ(m_state.CurrentMovie, m_state.StartMovie);
}

TEST_F(MainFormTest, WhatCannotBeOpenedIsSaidAndNothingChanges)
{
    TForm1& form = start();
    const QString missing = m_base + QStringLiteral("/gone.swf");
    EXPECT_EQ(form.OpenPath(missing), QStringLiteral("No such file or folder: ") + missing);
    const QString fifo = m_base + QStringLiteral("/pipe.swf");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(form.OpenPath(fifo), QStringLiteral("Not a file or folder: ") + fifo);
    EXPECT_EQ(form.shellList()->folder(), m_base);
    EXPECT_EQ(m_state.CurrentMovie, m_state.StartMovie);
}

TEST_F(MainFormTest, ADroppedMovieOpensAndAFailedDropIsReported)
{
    makeFolder(QStringLiteral("drop"));
    const QString movie = writeMovie(QStringLiteral("drop/here.swf"));
    TForm1& form = start();
    const auto drop = [&form](const QString& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        // Straight to the window's handlers: the application only routes drops of a real drag.
        QObject& window = form;
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        window.event(&enter);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        window.event(&event);
        return enter.isAccepted();
    };
    EXPECT_TRUE(drop(movie)) << "a movie is welcome";
    EXPECT_EQ(m_state.CurrentMovie, movie);
    EXPECT_TRUE(m_messages.empty());

    const QString gone = m_base + QStringLiteral("/drop/gone");
    EXPECT_FALSE(drop(gone)) << "nothing there: the drag is refused";
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages.front().text, QStringLiteral("No such file or folder: ") + gone);
    EXPECT_EQ(m_state.CurrentMovie, movie);
}

} // namespace
} // namespace vistrel::test
