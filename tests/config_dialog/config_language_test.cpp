// Choosing the language pack in the configuration dialog.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "config_fixture.h"
#include "lang/set_lng.h"
#include "widgets/message_box.h"

namespace vistrel::test {
namespace {

// A program folder with two packs, listed and loaded by the real language loader; the fake main
// window's loadLanguage hands over to it as the real one does.
class ConfigLanguageTest : public ConfigFixture {
protected:
    void SetUp() override
    {
        ConfigFixture::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        m_state.BaseDir = m_dir.path();
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("Language"));
        writePack("en.lng", "[Info]\nLanguage=English\n[Config]\nid01=Settings\nid12=Save\n");
        writePack("ru.lng", "[Info]\nLanguage=\xD0\xF3\xF1\xF1\xEA\xE8\xE9\n[Config]\nid01=\xCA\xEE\xED\xF4\xE8\xE3\n");
        writeFile("vistrel.ini", "[Config]\nLF=ru.lng\n");

        createDialog();
        m_windows = LanguageWindows{nullptr, nullptr, m_dialog.get(), m_dialog->languageBox(),
                                    [this](const QString& notice) { m_messages << notice; }};
        m_host.onLoad = [this](const QString& fileName) { LoadLanguage(m_state, m_windows, fileName); };
        setMessageHandler([this](MessageKind, const QString& text, QMessageBox::StandardButtons) {
            m_messages << text;
            return QMessageBox::Ok;
        });
        InitLanguage(m_state, m_windows);
        m_host.loads.clear();
        ASSERT_EQ(m_state.CurrentLanguageName, "Русский");
        m_dialog->show();
    }
    void TearDown() override { setMessageHandler({}); }

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    void writePack(const QString& name, const QByteArray& bytes) { writeFile("Language/" + name, bytes); }

    QComboBox* box() const { return m_dialog->languageBox(); }
    void choose(const QString& name) { box()->setCurrentIndex(box()->findText(name)); }

    QTemporaryDir m_dir;
    LanguageWindows m_windows;
    QStringList m_messages;
};

TEST_F(ConfigLanguageTest, SameLanguageAgainDoesNotReload)
{
    choose("Русский");
    child<QPushButton>("B_Add")->click();
    EXPECT_TRUE(m_host.loads.isEmpty());
    EXPECT_EQ(m_host.saveCalls, 0);
    EXPECT_FALSE(m_dialog->isVisible());
}

TEST_F(ConfigLanguageTest, AnotherLanguageThenCloseChangesNothing)
{
    choose("English");
    child<QPushButton>("B_Close")->click();
    EXPECT_EQ(box()->currentText(), "Русский");
    EXPECT_TRUE(m_host.loads.isEmpty());
    EXPECT_EQ(m_host.saveCalls, 0);
    EXPECT_EQ(m_state.CurrentLanguageFile, "ru.lng");
    EXPECT_EQ(m_dialog->windowTitle(), "Конфиг");
}

TEST_F(ConfigLanguageTest, EscapeLeavesLikeClose)
{
    choose("English");
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(box()->currentText(), "Русский");
    EXPECT_EQ(m_host.saveCalls, 0);
}

TEST_F(ConfigLanguageTest, WindowManagerCloseLeavesLikeClose)
{
    choose("English");
    m_state.ConfigChanged = true;
    EXPECT_TRUE(m_dialog->close());
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(box()->currentText(), "Русский");
    EXPECT_FALSE(m_state.ConfigChanged);
    EXPECT_EQ(m_host.saveCalls, 0);
}

TEST_F(ConfigLanguageTest, AnotherLanguageThenSaveLoadsItAndSaves)
{
    choose("English");
    child<QPushButton>("B_Add")->click();
    EXPECT_EQ(m_host.loads, QStringList{"en.lng"});
    EXPECT_EQ(m_state.CurrentLanguageFile, "en.lng");
    EXPECT_EQ(m_state.CurrentLanguageName, "English");
    EXPECT_EQ(m_host.saveCalls, 1);
    EXPECT_EQ(m_dialog->windowTitle(), "Settings");
    EXPECT_EQ(child<QPushButton>("B_Add")->text(), "Save");
    EXPECT_EQ(child<QPushButton>("B_Close")->text(), "") << "a key missing from the pack";
    EXPECT_FALSE(m_state.ConfigChanged);
}

TEST_F(ConfigLanguageTest, PackRemovedSinceStartUpIsReportedAndTheSettingsAreStillSaved)
{
    ASSERT_TRUE(QFile::remove(m_dir.filePath("Language/en.lng")));
    choose("English");
    child<QPushButton>("B_Add")->click();

    EXPECT_EQ(m_messages, QStringList{"Language file no exists: en.lng"});
    EXPECT_EQ(m_state.CurrentLanguageFile, "en.lng") << "written at the save";
    EXPECT_EQ(m_state.CurrentLanguageName, "Русский");
    EXPECT_EQ(m_host.saveCalls, 1);
    EXPECT_FALSE(m_dialog->isVisible());
}

TEST_F(ConfigLanguageTest, DeletedStartUpPackLeavesTheBoxWithoutAName)
{
    m_messages.clear();
    writeFile("vistrel.ini", "[Config]\nLF=gone.lng\n");
    m_state.CurrentLanguageName.clear();
    InitLanguage(m_state, m_windows);
    EXPECT_EQ(m_messages, QStringList{"Language file no exists: gone.lng"});
    EXPECT_EQ(box()->currentIndex(), -1);
    EXPECT_EQ(box()->count(), 2);

    // Saving without choosing anything leaves the language alone.
    child<QPushButton>("B_Add")->click();
    EXPECT_TRUE(m_host.loads.isEmpty());
    EXPECT_EQ(m_host.saveCalls, 0);
}

} // namespace
} // namespace vistrel::test
