// The player pane inside the main window: which keys the movie gets and which stay the window's, the
// frame pane, browsing back out of folders, playing a movie again, and the file views' pictures.

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QTest>

#include "core/messages.h"
#include "tests/app/app_fixture.h"
#include "tests/support/swf_writer.h"
#include "widgets/glyph_status_pane.h"
#include "widgets/player/flash_player.h"
#include "widgets/shell_list.h"
#include "widgets/status_bar.h"

namespace vistrel::test {
namespace {

namespace pl = vistrel::player;

// Counts what the pane hands to the movie.
class CountingInput : public MovieInput {
public:
    void mouseMove(QPointF) override {}
    void mouseDown(QPointF p, pl::MouseButton) override { downs.append(p); }
    void mouseUp(QPointF, pl::MouseButton) override {}
    void mouseWheel(QPointF, int) override {}
    void mouseLeave() override {}
    void keyDown(pl::KeyEvent) override { ++keyDowns; }
    void keyUp(pl::KeyEvent) override {}
    void textInput(char32_t c) override { typed.append(QChar(static_cast<char16_t>(c))); }
    void textControl(pl::TextControl c) override { controls.append(c); }
    void focusChanged(bool) override {}
    void cancelPointerCapture() override { ++cancels; }
    pl::Cursor cursor() const override { return pl::Cursor::Arrow; }
    bool wantsKeys() const override { return takesKeys; }
    bool editingText() const override { return editing; }

    QList<QPointF> downs;
    int keyDowns = 0;
    QString typed;
    QList<pl::TextControl> controls;
    int cancels = 0;
    bool takesKeys = false;
    bool editing = false;
};

class ViewerPaneTest : public MainFormTest {
protected:
    TForm1& shown()
    {
        TForm1& form = start();
        form.resize(800, 600);
        form.show();
        QApplication::setActiveWindow(&form);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        return form;
    }
    void TearDown() override
    {
        if (m_form)
            m_form->flash()->setMovieInput(nullptr);
    }
    CountingInput input;
};

TEST_F(ViewerPaneTest, TheWindowKeepsItsShortcutsAndTheMovieGetsTheOtherKeys)
{
    const QString movie = writeMovie(QStringLiteral("one.swf"));
    TForm1& form = shown();
    form.ShellList1SelectItem(movie, true);
    form.StopExecute();
    form.RewindExecute();
    ShockwaveFlash* flash = form.flash();
    flash->setMovieInput(&input);

    // A click on the pane gives it the keyboard, and the click reaches the movie.
    form.shellList()->setFocus();
    QTest::mouseClick(flash, Qt::LeftButton, {}, flash->rect().center());
    EXPECT_TRUE(flash->hasFocus());
    EXPECT_EQ(input.downs.size(), 1);

    QTest::keyClick(flash, Qt::Key_Q);
    EXPECT_EQ(input.typed, QStringLiteral("q"));
    EXPECT_EQ(input.keyDowns, 1);

    // Ctrl+Up is zoom in, Ctrl+Right a step: the window's, not the movie's.
    QTest::keyClick(flash, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(m_state.ZoomLevel, 200);
    QTest::keyClick(flash, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(flash->currentFrame(), 2);
    EXPECT_GE(input.cancels, 1); // the step let go of whatever the pointer held
    EXPECT_TRUE(input.controls.isEmpty());
    EXPECT_TRUE(flash->hasFocus());

    // Backspace goes up a folder, unless an input text of the movie has the focus: then it deletes
    // there. A movie that merely listens to keys does not take the window's shortcut.
    makeFolder(QStringLiteral("sub"));
    makeFolder(QStringLiteral("sub/deeper"));
    form.shellList()->setFolder(m_base + QStringLiteral("/sub/deeper"));
    flash->setFocus();
    input.takesKeys = true;
    QTest::keyClick(flash, Qt::Key_Backspace);
    EXPECT_EQ(m_state.CurrentDir, m_base + QStringLiteral("/sub"));
    EXPECT_TRUE(input.controls.isEmpty());
    flash->setFocus();
    input.editing = true;
    QTest::keyClick(flash, Qt::Key_Backspace);
    EXPECT_EQ(m_state.CurrentDir, m_base + QStringLiteral("/sub"));
    EXPECT_EQ(input.controls, QList<pl::TextControl>{pl::TextControl::Backspace});
    input.takesKeys = false;
    input.editing = false;
    QTest::keyClick(flash, Qt::Key_Backspace);
    EXPECT_EQ(m_state.CurrentDir, m_base);
    EXPECT_EQ(input.controls.size(), 1);

    // Browsing keys in the file list never reach the movie.
    const int before = input.keyDowns;
    form.shellList()->setFocus();
    QTest::keyClick(form.shellList(), Qt::Key_Down);
    QTest::keyClick(form.shellList(), Qt::Key_Up);
    QTest::keyClick(form.shellList(), Qt::Key_A);
    EXPECT_EQ(input.keyDowns, before);
}

TEST_F(ViewerPaneTest, AShortcutOfADisabledCommandIsSwallowed)
{
    const QString first = writeMovie(QStringLiteral("a.swf"));
    writeMovie(QStringLiteral("b.swf"));
    TForm1& form = shown();
    ASSERT_TRUE(form.shellList()->selectFile(first));
    // Both movies are listed, so a key that slipped through would load the second.
    QFileSystemModel* model = form.shellList()->shellModel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(form.shellList()->rootIndex()) == 2; }, 5000));
    ASSERT_EQ(m_state.CurrentMovie, first);
    ASSERT_FALSE(form.action(QStringLiteral("ZoomOut"))->isEnabled());
    form.shellList()->setFocus();

    QTest::keyClick(form.shellList(), Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(m_state.CurrentMovie, first);
    EXPECT_EQ(m_state.ZoomLevel, 100);

    // Once enabled, the same key is the command again.
    form.ZoomInExecute();
    QTest::keyClick(form.shellList(), Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(m_state.ZoomLevel, 100);
    EXPECT_EQ(m_state.CurrentMovie, first);
    // Plain arrows still browse.
    QTest::keyClick(form.shellList(), Qt::Key_Down);
    EXPECT_EQ(m_state.CurrentMovie, m_base + QStringLiteral("/b.swf"));
}

TEST_F(ViewerPaneTest, TheFramePaneFollowsPlayingSteppingAndRewinding)
{
    const QString movie = writeMovie(QStringLiteral("three.swf"));
    TForm1& form = start();
    GlyphStatusPane* frame = form.framePane();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->caption().isEmpty()); // the start-up movie

    form.ShellList1SelectItem(movie, true);
    EXPECT_EQ(frame->caption().trimmed(), QStringLiteral("1 / 3"));
    form.ForwardStepExecute();
    form.ForwardStepExecute();
    EXPECT_EQ(frame->caption().trimmed(), QStringLiteral("3 / 3"));
    form.BackStepExecute();
    EXPECT_EQ(frame->caption().trimmed(), QStringLiteral("2 / 3"));
    form.RewindExecute();
    EXPECT_EQ(frame->caption().trimmed(), QStringLiteral("1 / 3"));
    form.PlayExecute();
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame->caption().trimmed() == QStringLiteral("2 / 3"); }, 5000));

    form.AboutExecute();
    EXPECT_TRUE(frame->caption().isEmpty());

    // A file that is no movie shows no frames.
    QFile text(m_base + QStringLiteral("/notes.swf"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just some words");
    text.close();
    form.ShellList1SelectItem(text.fileName(), true);
    EXPECT_EQ(form.flash()->movieNote(), MovieNote::NotAMovie);
    EXPECT_TRUE(frame->caption().isEmpty());

    // Header frame counts of 0 and 65535 do not matter: the pane counts the frames the movie has.
    for (const int declared : {0, 65535}) {
        vistrel::testing::MovieSpec spec;
        spec.frameCount = static_cast<std::uint16_t>(declared);
        const vistrel::testing::Bytes bytes =
            vistrel::testing::movie(spec, {vistrel::testing::showFrame(), vistrel::testing::showFrame()});
        QFile file(m_base + QStringLiteral("/count%1.swf").arg(declared));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        file.close();
        form.ShellList1SelectItem(file.fileName(), true);
        form.StopExecute();
        form.RewindExecute();
        EXPECT_EQ(frame->caption().trimmed(), QStringLiteral("1 / 2")) << declared;
    }

    // The six panes keep their order and widths; the frame pane stands apart at the right end.
    auto* bar = qobject_cast<StatusBar*>(form.control(QStringLiteral("StatusBar1")));
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->panes().size(), 6);
    EXPECT_EQ(bar->panes().at(0)->objectName(), QStringLiteral("StatusVer"));
    EXPECT_EQ(bar->panes().at(5)->objectName(), QStringLiteral("StatusFilesize"));
    EXPECT_EQ(bar->trailingPane(), frame);
    form.resize(900, 500);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(bar->panes().at(0)->x(), 0);
    EXPECT_EQ(frame->geometry().right(), bar->width() - 1);
    EXPECT_GT(frame->x(), bar->panes().at(5)->geometry().right());
    EXPECT_EQ(frame->toolTip(), playerMessage(m_state, PlayerMessage::FrameHint));
}

TEST_F(ViewerPaneTest, BrowsingBackOutOfAFolderSelectsIt)
{
    makeFolder(QStringLiteral("films/one"));
    makeFolder(QStringLiteral("films/two"));
    TForm1& form = shown();
    ShellList* list = form.shellList();
    list->setFolder(m_base + QStringLiteral("/films/two"));
    int loads = 0;
    QObject::connect(form.flash(), &ShockwaveFlash::frameChanged, [&] { ++loads; });
    const QString movieBefore = m_state.CurrentMovie;

    auto selectedPath = [&] {
        const QModelIndex current = list->currentIndex();
        return current.isValid() && list->selectionModel()->isSelected(current)
                   ? list->shellModel()->filePath(current) : QString();
    };

    form.UpToParentExecute();
    EXPECT_EQ(list->folder(), m_base + QStringLiteral("/films"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return selectedPath() == m_base + QStringLiteral("/films/two"); }, 5000));
    // Once the folder is read and sorted, "one" stands above "two".
    ASSERT_TRUE(QTest::qWaitFor([&] {
        QFileSystemModel* model = list->shellModel();
        return model->rowCount(list->rootIndex()) == 2 &&
               model->index(m_base + QStringLiteral("/films/one")).row() == 0;
    }, 5000));
    EXPECT_EQ(selectedPath(), m_base + QStringLiteral("/films/two"));
    // The arrow keys go on from there.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(selectedPath(), m_base + QStringLiteral("/films/one"));

    // Back into "two": the folder left is not in view, nothing is selected.
    form.BackExecute();
    EXPECT_EQ(list->folder(), m_base + QStringLiteral("/films/two"));
    EXPECT_TRUE(selectedPath().isEmpty());
    // Forward out of it again selects it.
    form.ForwardExecute();
    EXPECT_TRUE(QTest::qWaitFor([&] { return selectedPath() == m_base + QStringLiteral("/films/two"); }, 5000));

    // Selecting folders loaded nothing.
    EXPECT_EQ(loads, 0);
    EXPECT_EQ(m_state.CurrentMovie, movieBefore);
}

TEST_F(ViewerPaneTest, EnterOrADoubleClickPlaysTheSelectedMovieAgain)
{
    const QString movie = writeMovie(QStringLiteral("again.swf"));
    TForm1& form = shown();
    ShellList* list = form.shellList();
    ASSERT_TRUE(list->selectFile(movie));
    form.ForwardStepExecute();
    form.ForwardStepExecute();
    ASSERT_EQ(form.flash()->currentFrame(), 3);

    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(form.flash()->currentFrame(), 1);
    EXPECT_TRUE(form.flash()->isPlaying());

    // After About the start-up movie is shown; Enter brings the selected one back.
    form.AboutExecute();
    ASSERT_EQ(m_state.CurrentMovie, m_state.StartMovie);
    QTest::keyClick(list, Qt::Key_Enter);
    EXPECT_EQ(m_state.CurrentMovie, movie);
    EXPECT_EQ(form.statusPane(4)->caption(), QStringLiteral(" 3"));

    form.AboutExecute();
    const QRect item = list->visualRect(list->currentIndex());
    ASSERT_TRUE(item.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(m_state.CurrentMovie, movie);
}

TEST_F(ViewerPaneTest, FoldersAndMoviesLookDifferentWithoutAnIconTheme)
{
    makeFolder(QStringLiteral("folder"));
    writeMovie(QStringLiteral("clip.swf"));
    TForm1& form = start();
    QFileSystemModel* model = form.shellList()->shellModel();
    const QIcon folderIcon =
        qvariant_cast<QIcon>(model->index(m_base + QStringLiteral("/folder")).data(Qt::DecorationRole));
    const QIcon movieIcon =
        qvariant_cast<QIcon>(model->index(m_base + QStringLiteral("/clip.swf")).data(Qt::DecorationRole));
    ASSERT_FALSE(folderIcon.isNull());
    ASSERT_FALSE(movieIcon.isNull());
    EXPECT_NE(folderIcon.pixmap(16).toImage(), movieIcon.pixmap(16).toImage());
}

TEST_F(ViewerPaneTest, NoteAndFramePaneTextsComeFromTheLanguagePack)
{
    EXPECT_EQ(playerMessage(m_state, PlayerMessage::NotAMovie), QStringLiteral("Not an SWF movie"));
    makeFolder(QStringLiteral("Language"));
    QFile pack(m_base + QStringLiteral("/Language/Test.lng"));
    ASSERT_TRUE(pack.open(QIODevice::WriteOnly));
    pack.write("[Info]\nLanguage=Test\n[Messages]\nmsg1_0=No\nmsg3_2=Kein Film\nmsg3_5=Bild\n");
    pack.close();
    TForm1& form = start();
    form.loadLanguage(QStringLiteral("Test.lng"));
    EXPECT_EQ(playerMessage(m_state, PlayerMessage::NotAMovie), QStringLiteral("Kein Film"));
    // A text the pack lacks stays the built-in English one.
    EXPECT_EQ(playerMessage(m_state, PlayerMessage::Damaged),
              QStringLiteral("Damaged movie: shown as far as it could be read"));
    EXPECT_EQ(form.framePane()->toolTip(), QStringLiteral("Bild"));
}

} // namespace
} // namespace vistrel::test
