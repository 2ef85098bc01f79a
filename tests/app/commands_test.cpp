// Selecting movies, the status panes, and the playback, quality and zoom commands.

#include <algorithm>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "tests/app/app_fixture.h"
#include "widgets/glyph_status_pane.h"
#include "widgets/player/flash_player.h"
#include "widgets/shell_list.h"

namespace vistrel::test {
namespace {

QStringList paneTexts(TForm1& form)
{
    QStringList texts;
    for (int i = 0; i < 6; ++i)
        texts << form.statusPane(i)->caption();
    return texts;
}

TEST_F(MainFormTest, SelectingAMovieLoadsItAndShowsItsFacts)
{
    const QString path = writeMovie(QStringLiteral("one.swf"));
    TForm1& form = start();
    form.ShellList1SelectItem(path, true);
    EXPECT_EQ(m_state.CurrentMovie, path);
    const qint64 length = QFile(path).size();
    const QString size = QStringLiteral(" %1.%2 K").arg(length / 1000).arg(length % 1000, 3, 10, QLatin1Char('0'));
    EXPECT_EQ(paneTexts(form), (QStringList{" 6", " Нет", " 550 x 400", " 12", " 3", size}));
    EXPECT_EQ(form.flash()->frameCount(), 3);
    EXPECT_TRUE(form.flash()->isPlaying());
}

TEST_F(MainFormTest, CompressedMoviesShowTheCompressedWordAndUpperCaseExtensionsLoad)
{
    const QString path = writeMovie(QStringLiteral("two.SWF"), 8, true);
    TForm1& form = start();
    form.ShellList1SelectItem(path, true);
    EXPECT_EQ(m_state.CurrentMovie, path);
    EXPECT_EQ(form.statusPane(1)->caption(), QStringLiteral(" Да"));
    EXPECT_EQ(form.statusPane(0)->caption(), QStringLiteral(" 8"));
}

TEST_F(MainFormTest, DeselectionsFoldersAndOtherFilesChangeNothing)
{
    const QString movie = writeMovie(QStringLiteral("one.swf"));
    const QString folder = makeFolder(QStringLiteral("sub.swf"));
    TForm1& form = start();
    form.ShellList1SelectItem(movie, true);
    const QStringList before = paneTexts(form);
    form.ShellList1SelectItem(writeMovie(QStringLiteral("x.txt")), true);
    form.ShellList1SelectItem(folder, true);
    form.ShellList1SelectItem(writeMovie(QStringLiteral("other.swf")), false);
    EXPECT_EQ(m_state.CurrentMovie, movie);
    EXPECT_EQ(paneTexts(form), before);
}

TEST_F(MainFormTest, AFileThatIsNotAMovieIsHandedOverButLeavesThePanes)
{
    const QString movie = writeMovie(QStringLiteral("one.swf"));
    const QString bogus = m_base + QStringLiteral("/bogus.swf");
    QFile file(bogus);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(64, 'x'));
    file.close();
    TForm1& form = start();
    form.ShellList1SelectItem(movie, true);
    const QStringList before = paneTexts(form);
    form.ShellList1SelectItem(bogus, true);
    EXPECT_EQ(m_state.CurrentMovie, bogus);
    EXPECT_EQ(paneTexts(form), before);
}

TEST_F(MainFormTest, AboutShowsTheStartMovieAndEmptiesThePanes)
{
    TForm1& form = start();
    form.ShellList1SelectItem(writeMovie(QStringLiteral("one.swf")), true);
    form.ZoomInExecute();
    form.AboutExecute();
    EXPECT_EQ(m_state.CurrentMovie, m_state.StartMovie);
    EXPECT_EQ(m_state.ZoomLevel, 100);
    for (const QString& text : paneTexts(form))
        EXPECT_TRUE(text.isEmpty());
}

TEST_F(MainFormTest, ZoomCommandsKeepTheCounterAndTheMarks)
{
    TForm1& form = start();
    form.ShellList1SelectItem(writeMovie(QStringLiteral("one.swf")), true);
    form.ZoomInExecute();
    EXPECT_EQ(m_state.ZoomLevel, 200);
    EXPECT_TRUE(form.action(QStringLiteral("ZoomOut"))->isEnabled());
    EXPECT_FALSE(form.isActionChecked(QStringLiteral("ShowAll")));
    EXPECT_NEAR(form.flash()->zoomFactor(), 2.0, 1e-9);
    form.ZoomOutExecute();
    EXPECT_EQ(m_state.ZoomLevel, 100);
    EXPECT_FALSE(form.action(QStringLiteral("ZoomOut"))->isEnabled());
    EXPECT_TRUE(form.isActionChecked(QStringLiteral("ShowAll")));

    form.ZoomInExecute();
    form.ZoomInExecute();
    form.ShowAllExecute();
    EXPECT_EQ(m_state.ZoomLevel, 100);
    EXPECT_TRUE(form.isActionChecked(QStringLiteral("ShowAll")));
    EXPECT_NEAR(form.flash()->zoomFactor(), 1.0, 1e-9);

    form.HundredPerExecute();
    EXPECT_EQ(m_state.ZoomLevel, 0);
    EXPECT_TRUE(form.isActionChecked(QStringLiteral("HundredPer")));
    EXPECT_FALSE(form.isActionChecked(QStringLiteral("ShowAll")));
    EXPECT_FALSE(form.action(QStringLiteral("ZoomOut"))->isEnabled());
    EXPECT_EQ(form.flash()->scaleMode(), QStringLiteral("NoScale"));
}

TEST_F(MainFormTest, QualityAndZoomAreIgnoredWhileTheStartMovieIsShown)
{
    TForm1& form = start();
    for (const char* name : {"Low", "Best", "Medium", "ZoomIn", "ZoomOut", "HundredPer"})
        form.action(QString::fromLatin1(name))->trigger();
    EXPECT_TRUE(form.isActionChecked(QStringLiteral("High")));
    EXPECT_FALSE(form.isActionChecked(QStringLiteral("Low")));
    EXPECT_FALSE(form.action(QStringLiteral("Low"))->isChecked()); // the menu mark too
    EXPECT_EQ(m_state.ZoomLevel, 100);
    EXPECT_EQ(form.flash()->quality(), QStringLiteral("HIGH"));
    // Show all and playback still act.
    form.StopExecute();
    EXPECT_FALSE(form.flash()->isPlaying());
    form.PlayExecute();
    EXPECT_TRUE(form.flash()->isPlaying());
}

TEST_F(MainFormTest, QualityCommandsMarkOneAndANewMovieStartsHigh)
{
    TForm1& form = start();
    form.ShellList1SelectItem(writeMovie(QStringLiteral("one.swf")), true);
    form.action(QStringLiteral("Low"))->trigger();
    EXPECT_TRUE(form.isActionChecked(QStringLiteral("Low")));
    EXPECT_TRUE(form.action(QStringLiteral("Low"))->isChecked());
    EXPECT_FALSE(form.isActionChecked(QStringLiteral("High")));
    EXPECT_EQ(form.flash()->quality(), QStringLiteral("LOW"));
    // Triggering the checked command again keeps it checked.
    form.action(QStringLiteral("Low"))->trigger();
    EXPECT_TRUE(form.action(QStringLiteral("Low"))->isChecked());
    form.ShellList1SelectItem(writeMovie(QStringLiteral("two.swf")), true);
    EXPECT_TRUE(form.isActionChecked(QStringLiteral("High")));
    EXPECT_FALSE(form.isActionChecked(QStringLiteral("Low")));
}

TEST_F(MainFormTest, PlaybackCommandsStepAndRewindTheMovie)
{
    TForm1& form = start();
    form.ShellList1SelectItem(writeMovie(QStringLiteral("one.swf")), true);
    form.RewindExecute();
    EXPECT_EQ(form.flash()->currentFrame(), 1);
    form.ForwardStepExecute();
    EXPECT_EQ(form.flash()->currentFrame(), 2);
    EXPECT_FALSE(form.flash()->isPlaying());
    form.BackStepExecute();
    EXPECT_EQ(form.flash()->currentFrame(), 1);
}

// Every command is reachable from its menu items, its toolbar button and its shortcut. The table
// is the documented key map and menu design (the help pages list the same keys), not a copy of
// the action table: a change to either must be deliberate.
TEST_F(MainFormTest, EveryActionSitsInItsMenusAndButtonsWithItsShortcut)
{
    TForm1& form = start();
    const struct {
        const char* action;
        QStringList items;
        const char* button;
        QKeySequence shortcut;
    } table[] = {
        {"Quit", {"MMenu_Exit"}, nullptr, QKeySequence(Qt::ALT | Qt::Key_X)},
        {"Play", {"N8"}, "B_Play", QKeySequence(Qt::CTRL | Qt::Key_Return)},
        {"Stop", {"N10"}, "B_Stop", QKeySequence(Qt::CTRL | Qt::Key_Space)},
        {"Rewind", {"N13"}, "B_Rewind", QKeySequence(Qt::CTRL | Qt::Key_Home)},
        {"ForwardStep", {"N14"}, "B_ForwardStep", QKeySequence(Qt::CTRL | Qt::Key_Right)},
        {"BackStep", {"N15"}, "B_BackStep", QKeySequence(Qt::CTRL | Qt::Key_Left)},
        {"ZoomIn", {"N19", "Best1"}, nullptr, QKeySequence(Qt::CTRL | Qt::Key_Up)},
        {"ZoomOut", {"N20", "N5"}, nullptr, QKeySequence(Qt::CTRL | Qt::Key_Down)},
        {"ShowAll", {"N18", "N6"}, nullptr, QKeySequence(Qt::CTRL | Qt::Key_Insert)},
        {"HundredPer", {"N1002", "N1001"}, nullptr, QKeySequence(Qt::CTRL | Qt::Key_Delete)},
        {"Best", {"Best2", "Best3"}, nullptr, QKeySequence(Qt::CTRL | Qt::Key_B)},
        {"High", {"High1", "High2"}, nullptr, QKeySequence(Qt::CTRL | Qt::Key_H)},
        {"Medium", {"Medium1", "Medium2"}, nullptr, QKeySequence(Qt::CTRL | Qt::Key_M)},
        {"Low", {"Low1", "Low2"}, nullptr, QKeySequence(Qt::CTRL | Qt::Key_L)},
        {"Manager", {"MMenu_Manager", "PMFav_FavManager"}, nullptr, QKeySequence(Qt::ALT | Qt::Key_M)},
        {"Config", {"N3"}, nullptr, QKeySequence(Qt::ALT | Qt::Key_C)},
        {"Help", {"N4", "N7"}, nullptr, QKeySequence(Qt::Key_F1)},
        {"HomePage", {"MMenu_HomePage", "PMAbout_HomePage"}, nullptr, QKeySequence(Qt::ALT | Qt::Key_W)},
        {"About", {"MMenu_About", "PMAbout_About"}, nullptr, QKeySequence(Qt::ALT | Qt::Key_A)},
        {"Back", {}, "B_Back", QKeySequence(Qt::ALT | Qt::Key_Left)},
        {"Forward", {}, "B_Forward", QKeySequence(Qt::ALT | Qt::Key_Right)},
        {"UpToParent", {}, "B_UpToParent", QKeySequence(Qt::Key_Backspace)},
    };
    for (const auto& row : table) {
        QAction* act = form.action(QString::fromLatin1(row.action));
        ASSERT_NE(act, nullptr) << row.action;
        EXPECT_TRUE(act->shortcuts().contains(row.shortcut)) << row.action;
        for (const QString& item : row.items)
            EXPECT_EQ(form.menuItem(item), act) << row.action << " " << item.toStdString();
        if (row.button) {
            auto* button = qobject_cast<QToolButton*>(form.control(QString::fromLatin1(row.button)));
            ASSERT_NE(button, nullptr) << row.button;
            QSignalSpy spy(act, &QAction::triggered);
            button->setEnabled(true);
            button->click();
            EXPECT_EQ(spy.count(), 1) << row.button;
        }
    }
}

// The help pages are the independent word on the keys: every key they name is the shortcut of
// one of the window's commands.
TEST_F(MainFormTest, EveryKeyTheHelpNamesIsAShortcut)
{
    TForm1& form = start();
    const QList<QAction*> actions = form.findChildren<QAction*>();
    const QRegularExpression kbd(QStringLiteral("<kbd>([^<]+)</kbd>"));
    int keys = 0;
    for (const QFileInfo& page : QDir(QStringLiteral(VISTREL_HELP_DIR)).entryInfoList({QStringLiteral("*.html")})) {
        QFile file(page.filePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.fileName().toStdString();
        const QString text = QString::fromUtf8(file.readAll());
        for (const QRegularExpressionMatch& match : kbd.globalMatch(text)) {
            const QKeySequence key = QKeySequence::fromString(match.captured(1), QKeySequence::PortableText);
            ASSERT_FALSE(key.isEmpty()) << match.captured(1).toStdString();
            const bool bound = std::any_of(actions.begin(), actions.end(),
                                           [&](const QAction* act) { return act->shortcuts().contains(key); });
            EXPECT_TRUE(bound) << page.fileName().toStdString() << ": " << match.captured(1).toStdString();
            ++keys;
        }
    }
    EXPECT_GE(keys, 15);
}

TEST_F(MainFormTest, ShortcutsReachTheirCommandsWhileTheButtonsAreDisabled)
{
    makeFolder(QStringLiteral("A"));
    TForm1& form = start();
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.shellList()->setFolder(m_base + QStringLiteral("/A"));
    QSignalSpy back(form.action(QStringLiteral("Back")), &QAction::triggered);
    form.control(QStringLiteral("B_Back"))->setEnabled(false);
    QTest::keyClick(&form, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(back.count(), 1);
    EXPECT_EQ(m_state.CurrentDir, m_base);

    // Ctrl+M is medium quality, Alt+M the manager; neither steals the other.
    form.ShellList1SelectItem(writeMovie(QStringLiteral("one.swf")), true);
    QSignalSpy manager(form.action(QStringLiteral("Manager")), &QAction::triggered);
    QTest::keyClick(&form, Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(form.isActionChecked(QStringLiteral("Medium")));
    EXPECT_EQ(manager.count(), 0);
    QTest::keyClick(&form, Qt::Key_M, Qt::AltModifier);
    EXPECT_EQ(manager.count(), 1);
}

} // namespace
} // namespace vistrel::test
