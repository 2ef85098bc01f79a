// Work the first painted frame does not need waits until after it: the favorites manager and the
// settings dialog are made once, when the window has painted its first frame or when one is asked
// for, speaking the window's language; the window's icon is drawn after the first frame.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>

#include "app/main_form.h"
#include "favorites/favorites_dialog.h"
#include "lang/set_lng.h"
#include "settings/config_dialog.h"
#include "tests/app/app_fixture.h"
#include "widgets/player/flash_player.h"

namespace vistrel::test {
namespace {

class DeferredDialogsTest : public MainFormTest {
protected:
    void writePack(const QString& fileName, const QByteArray& language, const QByteArray& favoritesTitle,
                   const QByteArray& configTitle)
    {
        QDir(m_base).mkpath(QStringLiteral("Language"));
        QFile pack(m_base + QStringLiteral("/Language/") + fileName);
        ASSERT_TRUE(pack.open(QIODevice::WriteOnly));
        pack.write("[Info]\nLanguage=" + language + "\n[Favorites]\nid01=" + favoritesTitle + "\n[Config]\nid01=" +
                   configTitle + "\n");
    }

    // Starts the window as the program does: dialogs left to the maker, the language applied, the packs
    // listed when the dialogs are made (or, with `listPacksAtStart`, at once).
    TForm1& startWithMaker(bool listPacksAtStart = false)
    {
        TForm1& form = start();
        form.setDialogMaker([this, &form] {
            ++m_made;
            m_favorites = new TForm2(m_state, form, &form);
            m_config = new TForm3(m_state, form, &form);
            form.setDialogs(m_favorites, m_config);
        });
        InitLanguage(m_state, form.languageWindows(), listPacksAtStart);
        return form;
    }

    int m_made = 0;
    TForm2* m_favorites = nullptr;
    TForm3* m_config = nullptr;
};

TEST_F(DeferredDialogsTest, MadeOnceOnDemandWithTheActiveLanguage)
{
    writePack(QStringLiteral("Alpha.lng"), "Alpha", "Alpha favorites", "Alpha settings");
    writePack(QStringLiteral("Beta.lng"), "Beta", "Beta favorites", "Beta settings");
    writeSettings("[Config]\nLF=Beta.lng\n");
    for (const bool listPacksAtStart : {false, true}) {
        SCOPED_TRACE(listPacksAtStart ? "packs listed at start" : "packs listed with the dialogs");
        m_made = 0;
        TForm1& form = startWithMaker(listPacksAtStart);
        EXPECT_EQ(m_made, 0);   // nothing painted, nothing asked for
        EXPECT_EQ(form.languageWindows().config, nullptr);
        EXPECT_EQ(m_state.CurrentLanguageName, QStringLiteral("Beta"));
        EXPECT_EQ(m_state.LanguagePacks.size(), listPacksAtStart ? 2 : 0);

        form.ensureDialogs();
        form.ensureDialogs();
        ASSERT_EQ(m_made, 1);
        EXPECT_EQ(m_favorites->windowTitle(), QStringLiteral("Beta favorites"));
        EXPECT_EQ(m_config->windowTitle(), QStringLiteral("Beta settings"));
        // The language box lists every pack and shows the active one; the list knows their files.
        QComboBox* box = m_config->languageBox();
        ASSERT_EQ(box->count(), 2);
        EXPECT_EQ(box->itemText(0), QStringLiteral("Alpha"));
        EXPECT_EQ(box->itemText(1), QStringLiteral("Beta"));
        EXPECT_EQ(box->currentText(), QStringLiteral("Beta"));
        EXPECT_EQ(languageFileFor(m_state, QStringLiteral("Alpha")), QStringLiteral("Alpha.lng"));
        // A later change of language reaches them as before.
        form.loadLanguage(QStringLiteral("Alpha.lng"));
        EXPECT_EQ(m_config->windowTitle(), QStringLiteral("Alpha settings"));

        form.deleteDialogs();
        EXPECT_EQ(form.languageWindows().favorites, nullptr);
        form.ensureDialogs();   // deleted for good: not made again
        EXPECT_EQ(m_made, 1);
    }
}

TEST_F(DeferredDialogsTest, MadeAfterTheFirstPaintedFrame)
{
    TForm1& form = startWithMaker();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_made == 1; }, 10000));
    EXPECT_NE(form.languageWindows().config, nullptr);
}

TEST_F(DeferredDialogsTest, TheWindowIconFollowsTheFirstFrame)
{
    TForm1& form = start();
    EXPECT_FALSE(form.testAttribute(Qt::WA_SetWindowIcon));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.testAttribute(Qt::WA_SetWindowIcon); }, 10000));
    // Every size a desktop may ask for, up to the largest.
    EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(256, 256)));
    EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(16, 16)));
}

} // namespace
} // namespace vistrel::test
