// The configuration dialog's layout, its start-up state and the option handlers.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "config_fixture.h"
#include "widgets/folder_dialog.h"

namespace vistrel::test {
namespace {

struct Placement {
    const char* name;
    int left;
    int top;
    int width;
};

class ConfigLayoutTest : public ConfigFixture, public ::testing::WithParamInterface<Placement> {};

// The places are the dialog's design, fixed so that language packs with longer texts still fit;
// they are the contract, so they are written out here.
TEST_P(ConfigLayoutTest, ControlSitsAtItsDesignedPlace)
{
    createDialog();
    const QWidget* widget = child<QWidget>(GetParam().name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->x(), GetParam().left);
    EXPECT_EQ(widget->y(), GetParam().top);
    EXPECT_EQ(widget->width(), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(Controls, ConfigLayoutTest,
                         ::testing::Values(Placement{"RadioGroup1", 6, 8, 385}, Placement{"RadioBut_RD1", 16, 24, 353},
                                           Placement{"RadioBut_RD2", 16, 48, 337}, Placement{"EditDir", 34, 73, 335},
                                           Placement{"CheckGroup1", 6, 127, 385}, Placement{"CheckBox_RS", 16, 27, 353},
                                           Placement{"RadioBut_RC1", 16, 51, 297},
                                           Placement{"RadioBut_RC2", 16, 75, 313},
                                           Placement{"CheckBox_SH", 24, 250, 361},
                                           Placement{"CheckBox_SI", 24, 279, 361}, Placement{"CBox_Lng", 266, 304, 120},
                                           Placement{"Border1", 6, 326, 385}, Placement{"B_Add", 10, 342, 120},
                                           Placement{"B_Close", 138, 342, 120}, Placement{"B_Default", 266, 342, 120}),
                         [](const auto& info) { return std::string(info.param.name); });

using ConfigDialogTest = ConfigFixture;

TEST_F(ConfigDialogTest, FixedClientAreaAndDesignedTabOrder)
{
    TForm3& dialog = createDialog();
    EXPECT_EQ(dialog.size(), QSize(397, 373));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.windowTitle(), "Конфигурация");
    EXPECT_FALSE(child<QComboBox>("CBox_Lng")->isEditable());

    const QStringList expected = {"B_Add",        "B_Close",     "CheckBox_RS",  "RadioBut_RC1",
                                  "RadioBut_RC2", "EditDir",     "RadioBut_RD1", "RadioBut_RD2",
                                  "CheckBox_SH",  "CheckBox_SI", "B_Default",    "CBox_Lng"};
    QStringList order;
    QWidget* widget = child<QWidget>("B_Add");
    while (order.size() < expected.size()) {
        if (expected.contains(widget->objectName()) && !order.contains(widget->objectName()))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
        if (widget == child<QWidget>("B_Add"))
            break;
    }
    EXPECT_EQ(order, expected);
}

TEST_F(ConfigDialogTest, LanguageLabelEndsBeforeTheBoxWhateverItsText)
{
    TForm3& dialog = createDialog();
    const QLabel* label = child<QLabel>("Label1");
    EXPECT_EQ(label->geometry().right() + 1, 255);
    dialog.applyText("id11", "Sprache der Benutzeroberfläche:");
    EXPECT_EQ(label->geometry().right() + 1, 255);
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
}

TEST_F(ConfigDialogTest, StartUpStateFollowsTheLoadedOptions)
{
    m_state.RememberSize = m_state.RememberPosition = m_state.RememberDir = false;
    m_state.ShowHints = m_state.ShowMenuIcons = false;
    m_state.StartDir = "/data/fixed";
    createDialog();

    EXPECT_EQ(m_state.StartDir, "/data/fixed");
    EXPECT_TRUE(child<QRadioButton>("RadioBut_RD2")->isChecked());
    EXPECT_TRUE(child<QLineEdit>("EditDir")->isEnabled());
    EXPECT_EQ(child<QLineEdit>("EditDir")->text(), "/data/fixed");
    EXPECT_TRUE(child<QRadioButton>("RadioBut_RC2")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("CheckBox_RS")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("CheckBox_SH")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("CheckBox_SI")->isChecked());
}

TEST_F(ConfigDialogTest, ShowingCentresOverTheMainWindowAndClearsTheChangeMark)
{
    m_state.ConfigChanged = true;
    m_host.bounds = QRect(200, 100, 901, 700);
    TForm3& dialog = showDialog();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

    EXPECT_FALSE(m_state.ConfigChanged);
    const QSize frame = dialog.frameGeometry().size();
    EXPECT_EQ(dialog.pos(), QPoint(200 + (901 - frame.width()) / 2, 100 + (700 - frame.height()) / 2));
}

TEST_F(ConfigDialogTest, SaveWithoutChangesWritesNothing)
{
    TForm3& dialog = showDialog();
    child<QPushButton>("B_Add")->click();
    EXPECT_EQ(m_host.saveCalls, 0);
    EXPECT_TRUE(m_host.loads.isEmpty());
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ConfigDialogTest, UncheckingRememberSizeFreezesTheCurrentSizes)
{
    showDialog();
    child<QCheckBox>("CheckBox_RS")->click();
    EXPECT_FALSE(m_state.RememberSize);
    EXPECT_TRUE(m_state.ConfigChanged);
    EXPECT_EQ(m_state.SavedWidth, 800);
    EXPECT_EQ(m_state.SavedHeight, 600);
    EXPECT_EQ(m_state.SavedPanelWidth, 170);
    EXPECT_EQ(m_state.SavedSplitterPos, 200);

    // Resizing afterwards does not touch the snapshot, nor does checking the box again.
    m_host.bounds = QRect(0, 0, 1000, 900);
    m_host.panel = 300;
    child<QCheckBox>("CheckBox_RS")->click();
    EXPECT_TRUE(m_state.RememberSize);
    EXPECT_EQ(m_state.SavedWidth, 800);
    EXPECT_EQ(m_state.SavedPanelWidth, 170);

    child<QPushButton>("B_Add")->click();
    EXPECT_EQ(m_host.saveCalls, 1);
}

TEST_F(ConfigDialogTest, SwitchingRememberPositionOnTakesTheWindowPosition)
{
    m_state.RememberPosition = false;
    m_state.SavedLeft = 7;
    m_state.SavedTop = 9;
    showDialog();

    child<QRadioButton>("RadioBut_RC2")->click();
    EXPECT_FALSE(m_state.ConfigChanged) << "already off";

    child<QRadioButton>("RadioBut_RC1")->click();
    EXPECT_TRUE(m_state.RememberPosition);
    EXPECT_TRUE(m_state.ConfigChanged);
    EXPECT_EQ(m_state.SavedLeft, 100);
    EXPECT_EQ(m_state.SavedTop, 50);

    m_host.bounds.moveTo(300, 400);
    child<QRadioButton>("RadioBut_RC2")->click();
    EXPECT_FALSE(m_state.RememberPosition);
    EXPECT_TRUE(child<QRadioButton>("RadioBut_RC2")->isChecked());
    EXPECT_EQ(m_state.SavedLeft, 100) << "switching off keeps the snapshot";
    EXPECT_EQ(m_state.SavedTop, 50);
}

TEST_F(ConfigDialogTest, TypingIntoTheFolderFieldMarksEveryKeystroke)
{
    m_state.RememberDir = false;
    m_state.StartDir = "/a";
    showDialog();
    QLineEdit* edit = child<QLineEdit>("EditDir");
    edit->setFocus();
    edit->end(false);

    QString typed = "/a";
    for (const char c : {'/', 'b', 'c'}) {
        m_state.ConfigChanged = false;
        QTest::keyClick(edit, c);
        typed += QLatin1Char(c);
        EXPECT_TRUE(m_state.ConfigChanged) << "after " << c;
        EXPECT_EQ(m_state.StartDir, typed);
    }
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_TRUE(m_dialog->isVisible()) << "Enter in the field presses no button";

    child<QPushButton>("B_Add")->click();
    EXPECT_EQ(m_host.saveCalls, 1);
    EXPECT_EQ(m_state.StartDir, "/a/bc");
}

TEST_F(ConfigDialogTest, FixedFolderRadioFillsTheFieldWithTheStartFolder)
{
    showDialog();
    child<QRadioButton>("RadioBut_RD2")->click();
    EXPECT_FALSE(m_state.RememberDir);
    EXPECT_TRUE(m_state.ConfigChanged);
    EXPECT_TRUE(child<QLineEdit>("EditDir")->isEnabled());
    EXPECT_EQ(child<QLineEdit>("EditDir")->text(), m_host.folder);

    child<QRadioButton>("RadioBut_RD1")->click();
    EXPECT_TRUE(m_state.RememberDir);
    EXPECT_FALSE(child<QLineEdit>("EditDir")->isEnabled());
    EXPECT_EQ(child<QLineEdit>("EditDir")->text(), m_host.folder) << "the text stays";
}

TEST_F(ConfigDialogTest, FolderButtonTakesAConfirmedFolderOnly)
{
    m_state.RememberDir = false;
    m_state.StartDir = "/start";
    TForm3& dialog = showDialog();
    QString askedWith;
    std::optional<QString> answer;
    setFolderChooser([&](const QString& start) {
        askedWith = start;
        return answer;
    });

    dialog.EditDirButtonClick();
    EXPECT_EQ(askedWith, "/start");
    EXPECT_FALSE(m_state.ConfigChanged);
    EXPECT_EQ(m_state.StartDir, "/start");

    answer = QStringLiteral("/picked/folder");
    dialog.EditDirButtonClick();
    EXPECT_TRUE(m_state.ConfigChanged);
    EXPECT_EQ(m_state.StartDir, "/picked/folder");
    EXPECT_EQ(child<QLineEdit>("EditDir")->text(), "/picked/folder");
    setFolderChooser({});
}

TEST_F(ConfigDialogTest, DefaultsThenCloseKeepTheOptionsInMemoryAndWriteNothing)
{
    m_state.RememberSize = m_state.RememberPosition = m_state.RememberDir = false;
    m_state.ShowHints = m_state.ShowMenuIcons = false;
    m_state.StartDir = "/fixed";
    TForm3& dialog = showDialog();

    child<QPushButton>("B_Default")->click();
    EXPECT_TRUE(m_state.RememberSize && m_state.RememberPosition && m_state.RememberDir);
    EXPECT_TRUE(m_state.ShowHints && m_state.ShowMenuIcons);
    EXPECT_TRUE(m_state.ConfigChanged);
    EXPECT_TRUE(child<QCheckBox>("CheckBox_RS")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("RadioBut_RC1")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("RadioBut_RD1")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("CheckBox_SH")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("CheckBox_SI")->isChecked());
    EXPECT_FALSE(child<QLineEdit>("EditDir")->isEnabled());
    EXPECT_EQ(child<QLineEdit>("EditDir")->text(), "/fixed");
    EXPECT_EQ(m_state.StartDir, "/fixed");

    child<QPushButton>("B_Close")->click();
    EXPECT_EQ(m_host.saveCalls, 0);
    EXPECT_FALSE(m_state.ConfigChanged);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(m_state.ShowHints && m_state.RememberDir);
}

TEST_F(ConfigDialogTest, RefusedSaveLeavesTheDialogOpenWithTheChangeMarked)
{
    TForm3& dialog = showDialog();
    child<QCheckBox>("CheckBox_SH")->click();
    m_host.onSave = [] { throw std::runtime_error("Unable to write to /read-only/vistrel.ini"); };
    EXPECT_THROW(dialog.B_AddClick(), std::runtime_error);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(m_state.ConfigChanged);

    m_host.onSave = nullptr;
    dialog.B_AddClick();
    EXPECT_EQ(m_host.saveCalls, 2);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ConfigDialogTest, ReturningFromTheFolderDialogIsNotANewShowing)
{
    TForm3& dialog = showDialog();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    child<QCheckBox>("CheckBox_SH")->click();
    setFolderChooser([&](const QString&) { return std::optional<QString>(); });
    dialog.EditDirButtonClick();
    // The window system gives the focus back; that is no showing.
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&dialog, &activate);
    EXPECT_TRUE(m_state.ConfigChanged);
    setFolderChooser({});

    dialog.hide();
    dialog.show();
    EXPECT_FALSE(m_state.ConfigChanged) << "a new showing clears the mark";
}

} // namespace
} // namespace vistrel::test
