// Start-up of the main window in a program folder, its layout, and the end of a run.

#include <QAction>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include "app/vistrel_application.h"
#include "widgets/player/flash_player.h"
#include "tests/app/app_fixture.h"
#include "widgets/glyph_status_pane.h"
#include "widgets/shell_combo.h"
#include "widgets/shell_list.h"
#include "widgets/shell_model.h"
#include "widgets/shell_tree.h"
#include "widgets/shell_views.h"

namespace vistrel::test {
namespace {

TEST_F(MainFormTest, FirstStartWithoutSettingsUsesTheDefaults)
{
    TForm1& form = start();
    EXPECT_EQ(form.windowBounds(), QRect(0, 0, 740, 600));
    EXPECT_EQ(form.panelWidth(), 170);
    EXPECT_EQ(form.splitterPosition(), 200);
    EXPECT_TRUE(m_state.ShowHints);
    EXPECT_TRUE(m_state.ShowMenuIcons);
    EXPECT_EQ(m_state.CurrentDir, m_base);
    EXPECT_EQ(form.shellList()->folder(), m_base);
    EXPECT_EQ(form.menu(QStringLiteral("MenuFavor"))->actions().size(), 2);
    EXPECT_EQ(m_state.BaseDir, m_base);
    EXPECT_EQ(m_state.StartMovie, m_base + QStringLiteral("/swfinfo.dat"));
    EXPECT_EQ(m_state.CurrentMovie, m_state.StartMovie);
}

TEST_F(MainFormTest, StartUpLeavesOneHistoryEntryAndTheDesignedMarks)
{
    TForm1& form = start();
    EXPECT_EQ(m_state.FolderHistory, QStringList{m_base});
    EXPECT_EQ(m_state.HistoryIndex, 0);
    EXPECT_FALSE(form.control(QStringLiteral("B_Back"))->isEnabled());
    EXPECT_FALSE(form.control(QStringLiteral("B_Forward"))->isEnabled());
    EXPECT_TRUE(form.isActionChecked(QStringLiteral("High")));
    EXPECT_TRUE(form.isActionChecked(QStringLiteral("ShowAll")));
    EXPECT_FALSE(form.isActionChecked(QStringLiteral("HundredPer")));
    EXPECT_FALSE(form.action(QStringLiteral("ZoomOut"))->isEnabled());
    EXPECT_EQ(m_state.ZoomLevel, 100);
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(form.statusPane(i)->caption().isEmpty());
}

// The sizes are the window design itself (users and the help pages know this layout), so they
// are written out here rather than derived from the code.
TEST_F(MainFormTest, LayoutHoldsTheControlsInTheirDesignedOrderAndSizes)
{
    TForm1& form = start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QStringList panes = {"StatusVer", "StatusCompress", "StatusSize", "StatusFps", "StatusCount", "StatusFilesize"};
    const int widths[] = {48, 56, 100, 56, 100, 100};
    int left = -1;
    for (int i = 0; i < panes.size(); ++i) {
        GlyphStatusPane* pane = form.statusPane(i);
        ASSERT_NE(pane, nullptr);
        EXPECT_EQ(pane->objectName(), panes.at(i));
        EXPECT_EQ(pane->width(), widths[i]);
        EXPECT_EQ(pane->height(), 23);
        EXPECT_GT(pane->x(), left);
        left = pane->x();
    }
    EXPECT_EQ(form.control(QStringLiteral("Toolbar1"))->height(), 29);
    EXPECT_EQ(form.control(QStringLiteral("Toolbar2"))->height(), 29);
    EXPECT_EQ(form.control(QStringLiteral("StatusBar1"))->height(), 25);
    EXPECT_EQ(form.control(QStringLiteral("B_Favor"))->width(), 35);
    EXPECT_EQ(form.control(QStringLiteral("B_Scale"))->width(), 39);
    EXPECT_EQ(form.control(QStringLiteral("B_Quality"))->width(), 39);
    EXPECT_EQ(form.control(QStringLiteral("B_About"))->width(), 35);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Vistrel 1.0"));
    EXPECT_EQ(form.control(QStringLiteral("StatusVer"))->toolTip(), QStringLiteral("Версия"));
    EXPECT_EQ(form.control(QStringLiteral("B_Favor"))->toolTip(), QStringLiteral("Закладки"));
}

// Each toolbar lies between two grooves (a line of the mid colour over a lighter one, at the top and at
// the bottom), its buttons start two pixels in from the frame's edge and stand one pixel apart.
TEST_F(MainFormTest, ToolbarsLieBetweenGroovesWithTheirButtonsOnePixelApart)
{
    TForm1& form = start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    for (const char* name : {"Toolbar1", "Toolbar2"}) {
        SCOPED_TRACE(name);
        QWidget* frame = form.control(QString::fromLatin1(name));
        ASSERT_NE(frame, nullptr);
        const QImage image = frame->grab().toImage();
        ASSERT_EQ(image.height(), 29);
        const QRgb mid = frame->palette().color(QPalette::Mid).rgb();
        const QRgb light = QColor(mid).lighter().rgb();
        const QRgb window = frame->palette().color(QPalette::Window).rgb();
        ASSERT_NE(mid, light);
        for (const int x : {0, image.width() / 2, image.width() - 1}) {
            EXPECT_EQ(image.pixel(x, 0), mid);
            EXPECT_EQ(image.pixel(x, 1), light);
            EXPECT_EQ(image.pixel(x, 27), mid);
            EXPECT_EQ(image.pixel(x, 28), light);
        }
        // Between the grooves, where no button lies, the window colour shows.
        EXPECT_EQ(image.pixel(image.width() - 1, 14), window);
    }
    const QStringList row = {"B_Rewind", "B_BackStep", "B_Play", "B_Stop", "B_ForwardStep"};
    QWidget* frame = form.control(QStringLiteral("Toolbar2"));
    const QRect first(form.control(row.front())->mapTo(frame, QPoint(0, 0)), form.control(row.front())->size());
    EXPECT_EQ(first.left(), 2);
    EXPECT_EQ(first.top(), 4);
    EXPECT_EQ(first.bottom(), 24);
    for (int i = 1; i < row.size(); ++i) {
        const QWidget* before = form.control(row.at(i - 1));
        const QWidget* button = form.control(row.at(i));
        EXPECT_EQ(button->x(), before->x() + before->width() + 1) << row.at(i).toStdString();
        EXPECT_EQ(button->y(), before->y());
    }
}

TEST_F(MainFormTest, SavedGeometryIsRestoredAndCorrected)
{
    writeSettings("[Position]\nX=-20\nY=30\nW=399\nH=300\nP1=9\nP2=250\n");
    TForm1& form = start();
    EXPECT_EQ(form.windowBounds(), QRect(0, 30, 740, 300));
    EXPECT_EQ(form.panelWidth(), 170);
    EXPECT_EQ(form.splitterPosition(), 250);
}

TEST_F(MainFormTest, ANarrowSavedWindowKeepsItsSizeWhenShown)
{
    writeSettings("[Position]\nX=10\nY=10\nW=400\nH=300\n");
    TForm1& form = start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.windowBounds().size(), QSize(400, 300));
    EXPECT_NE(form.control(QStringLiteral("RzToolButton1")), nullptr);
    EXPECT_FALSE(form.control(QStringLiteral("RzToolButton1"))->isVisible());
}

TEST_F(MainFormTest, ARelativeStartFolderOpensBelowTheProgramFolder)
{
    const QString folder = makeFolder(QStringLiteral("A/B"));
    writeSettings("[Config]\nRD=0\nSD=A/B\n");
    TForm1& form = start();
    EXPECT_EQ(m_state.CurrentDir, folder);
    EXPECT_EQ(form.listFolderPath(), folder);
}

TEST_F(MainFormTest, EndOfRunWritesTheWholeSettingsFile)
{
    TForm1& form = start();
    form.FormDestroy();
    const QByteArray text = readSettings();
    for (const char* key : {"RS=1", "RC=1", "RD=1", "SH=1", "SI=1", "LF=", "X=0", "Y=0", "W=740", "H=600",
                            "P1=170", "P2=200"})
        EXPECT_TRUE(text.contains(key)) << key << " missing in\n" << text.constData();
    EXPECT_TRUE(text.contains(QStringLiteral("SD=%1").arg(m_base).toUtf8()));
}

TEST_F(MainFormTest, ResizingTheWindowOrThePanelShowsThePlayerAgain)
{
    TForm1& form = start();
    form.show();
    const QSize before = form.flash()->size();
    form.resize(900, 700);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.flash()->size() != before; }));
    const int flashWidth = form.flash()->width();
    form.setPanelWidth(300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.flash()->width() != flashWidth; }));
    EXPECT_LT(form.flash()->width(), flashWidth);
}

TEST(ErrorBox, AppendsAFullStopOnlyAfterCharactersThatSortAfterIt)
{
    EXPECT_EQ(errorBoxText(QStringLiteral("Unable to write to /x/vistrel.ini")),
              QStringLiteral("Unable to write to /x/vistrel.ini."));
    EXPECT_EQ(errorBoxText(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(errorBoxText(QStringLiteral("Why?")), QStringLiteral("Why?."));
    EXPECT_EQ(errorBoxText(QStringLiteral("a-")), QStringLiteral("a-"));
    EXPECT_EQ(errorBoxText(QStringLiteral("a!")), QStringLiteral("a!"));
    EXPECT_EQ(errorBoxText(QString()), QString());
}

} // namespace
} // namespace vistrel::test
