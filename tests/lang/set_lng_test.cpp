// Listing, looking up and loading language packs in a temporary program folder.

#include <QDir>
#include <QFile>

#include "lang_fixture.h"

namespace vistrel::test {
namespace {

QStringList boxItems(const QComboBox& box)
{
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    return items;
}

QStringList packFiles(const SharedState& state)
{
    QStringList files;
    for (const LanguagePackEntry& entry : state.LanguagePacks)
        files << entry.fileName;
    return files;
}

QStringList packNames(const SharedState& state)
{
    QStringList names;
    for (const LanguagePackEntry& entry : state.LanguagePacks)
        names << entry.displayName;
    return names;
}

QStringList idKeys(int count)
{
    QStringList keys;
    for (int i = 1; i <= count; ++i)
        keys << QStringLiteral("id%1").arg(i, 2, 10, QLatin1Char('0'));
    return keys;
}

using InitLanguageTest = LangFixture;

TEST_F(InitLanguageTest, WithoutLanguageFolderListsNothingAndReportsTheNamedPack)
{
    writeSettings("[Config]\nLF=English.lng\n");
    InitLanguage(m_state, m_windows);

    EXPECT_TRUE(m_state.LanguagePacks.isEmpty());
    EXPECT_EQ(m_box->count(), 0);
    EXPECT_EQ(m_messages, QStringList{"Language file no exists: English.lng"});
    EXPECT_EQ(m_state.CurrentLanguageFile, "English.lng");
    EXPECT_TRUE(m_state.CurrentLanguageName.isEmpty());
    EXPECT_TRUE(m_viewer.calls.isEmpty());
    EXPECT_TRUE(m_state.MainMessages.isEmpty());
    EXPECT_TRUE(m_state.FavoritesMessages.isEmpty());
}

TEST_F(InitLanguageTest, WithoutSettingsFileTheEmptyNameIsReported)
{
    writePack("English.lng", packBytes("English", fullPackLines("en")));
    InitLanguage(m_state, m_windows);

    EXPECT_EQ(m_messages, QStringList{"Language file no exists: "});
    EXPECT_EQ(m_box->count(), 1);
    EXPECT_EQ(m_box->currentIndex(), -1) << "no pack loaded, so the box shows no name";
    EXPECT_TRUE(m_config.calls.isEmpty());
}

TEST_F(InitLanguageTest, ListsOnlyVisiblePackFilesInNameOrder)
{
    writePack("b.lng", packBytes("Bravo", {}));
    writePack("A.LNG", packBytes("Alpha", {}));
    writePack(".hidden.lng", packBytes("Hidden", {}));
    writePack("notes.txt", packBytes("Notes", {}));
    writePack("folder.lng/inside.lng", packBytes("Inside", {}));
    InitLanguage(m_state, m_windows);

    EXPECT_EQ(packFiles(m_state), (QStringList{"A.LNG", "b.lng"}));
    EXPECT_EQ(packNames(m_state), (QStringList{"Alpha", "Bravo"}));
}

TEST_F(InitLanguageTest, BoxIsSortedWhileThePackListKeepsTheListingOrder)
{
    writePack("a.lng", packBytes("Zulu", {}));
    writePack("b.lng", packBytes("alpha", {}));
    writePack("c.lng", packBytes("Mike", {}));
    writePack("d.lng", packBytes("Русский", {}));
    writeSettings("[Config]\nLF=c.lng\n");
    InitLanguage(m_state, m_windows);

    EXPECT_EQ(packNames(m_state), (QStringList{"Zulu", "alpha", "Mike", "Русский"}));
    EXPECT_EQ(boxItems(*m_box), (QStringList{"alpha", "Mike", "Zulu", "Русский"}));
    EXPECT_EQ(m_box->currentText(), "Mike");
    EXPECT_TRUE(m_messages.isEmpty());
}

TEST_F(InitLanguageTest, NamesDifferingOnlyInCaseAreBothListedAndTheFirstListedWins)
{
    writePack("a.lng", packBytes("English", {}));
    writePack("b.lng", packBytes("ENGLISH", {}));
    InitLanguage(m_state, m_windows);

    EXPECT_EQ(m_box->count(), 2);
    EXPECT_EQ(languageFileFor(m_state, "English"), "a.lng");
    EXPECT_EQ(languageFileFor(m_state, "ENGLISH"), "a.lng");
    EXPECT_EQ(languageFileFor(m_state, "english"), "a.lng");
    EXPECT_EQ(languageFileFor(m_state, "Deutsch"), "");
}

// An installed program also lists the packs a user put in their own folder; a user's pack of the
// same file name replaces the shipped one.
TEST_F(InitLanguageTest, PacksOfTheUsersFolderJoinTheShippedOnes)
{
    writePack("English.lng", packBytes("English", {"[Viewer]", "id01=File"}));
    writePack("Deutsch.lng", packBytes("Deutsch", {}));
    writeFile("user/Deutsch.lng", packBytes("Deutsch (mine)", {"[Viewer]", "id01=Datei"}));
    writeFile("user/Suomi.lng", packBytes("Suomi", {}));
    m_state.UserLanguageDir = m_dir.filePath(QStringLiteral("user"));
    writeSettings("[Config]\nLF=Deutsch.lng\n");
    InitLanguage(m_state, m_windows);

    EXPECT_EQ(packFiles(m_state), (QStringList{"Deutsch.lng", "English.lng", "Suomi.lng"}));
    EXPECT_EQ(packNames(m_state), (QStringList{"Deutsch (mine)", "English", "Suomi"}));
    EXPECT_EQ(m_viewer.texts.value("id01"), "Datei");
    EXPECT_TRUE(m_messages.isEmpty());

    LoadLanguage(m_state, m_windows, QStringLiteral("English.lng"));
    EXPECT_EQ(m_viewer.texts.value("id01"), "File");
}

TEST_F(InitLanguageTest, InstalledFirstRunStartsInEnglishWithoutANotice)
{
    writePack("English.lng", packBytes("English", {"[Viewer]", "id01=File"}));
    m_state.ConfigDir = m_dir.filePath(QStringLiteral("config"));
    InitLanguage(m_state, m_windows);

    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(m_state.CurrentLanguageName, "English");
    EXPECT_EQ(m_state.CurrentLanguageFile, "English.lng");
}

TEST_F(InitLanguageTest, LanguageFileNameIsReadFromUtf8Settings)
{
    writePack("Русский.lng", packBytes("Русский", {"[Viewer]", "id01=Файл"}));
    writeSettings("[Config]\nLF=Русский.lng\n");
    InitLanguage(m_state, m_windows);

    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(m_state.CurrentLanguageName, "Русский");
    EXPECT_EQ(m_viewer.texts.value("id01"), "Файл");
}

using LoadLanguageTest = LangFixture;

TEST_F(LoadLanguageTest, AppliesEverySectionInOrderAndFillsTheMessages)
{
    writePack("x.lng", packBytes("Xeno", fullPackLines("xx")));
    InitLanguage(m_state, m_windows);
    m_viewer.calls.clear();
    LoadLanguage(m_state, m_windows, "x.lng");

    EXPECT_EQ(m_viewer.calls, idKeys(30) << "derived");
    EXPECT_EQ(m_favorites.calls, idKeys(12));
    EXPECT_EQ(m_config.calls, idKeys(14));
    EXPECT_EQ(m_viewer.texts.value("id30"), "xx Viewer id30");
    EXPECT_EQ(m_favorites.texts.value("id12"), "xx Favorites id12");
    EXPECT_EQ(m_config.texts.value("id01"), "xx Config id01");
    EXPECT_EQ(m_state.CurrentLanguageName, "Xeno");
    EXPECT_EQ(m_box->currentText(), "Xeno");
    ASSERT_EQ(m_state.MainMessages.size(), 6);
    ASSERT_EQ(m_state.FavoritesMessages.size(), 9);
    EXPECT_EQ(m_state.MainMessages.at(5), "xx msg1_5");
    EXPECT_EQ(m_state.FavoritesMessages.at(8), "xx msg2_8");
}

class MissingPackTest : public LangFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(MissingPackTest, IsReportedAndChangesNothing)
{
    writePack("en.lng", packBytes("English", fullPackLines("en")));
    writePack("dir.lng/keep.txt", "x");
    writeFile("outside.lng", packBytes("Outside", fullPackLines("out")));
    writeSettings("[Config]\nLF=en.lng\n");
    InitLanguage(m_state, m_windows);
    ASSERT_TRUE(m_messages.isEmpty());
    const auto viewerBefore = m_viewer.texts;
    const auto configBefore = m_config.texts;
    const QStringList mainBefore = m_state.MainMessages;
    const int callsBefore = m_viewer.calls.size();

    const QString name = QString::fromUtf8(GetParam());
    LoadLanguage(m_state, m_windows, name);

    EXPECT_EQ(m_messages, QStringList{"Language file no exists: " + name});
    EXPECT_EQ(m_viewer.calls.size(), callsBefore);
    EXPECT_EQ(m_viewer.texts, viewerBefore);
    EXPECT_EQ(m_config.texts, configBefore);
    EXPECT_EQ(m_state.MainMessages, mainBefore);
    EXPECT_EQ(m_state.FavoritesMessages.size(), 9);
    EXPECT_EQ(m_state.CurrentLanguageName, "English");
    EXPECT_EQ(m_box->currentText(), "English");
}

INSTANTIATE_TEST_SUITE_P(Names, MissingPackTest, ::testing::Values("gone.lng", "", "dir.lng", "../outside.lng"));

TEST_F(LoadLanguageTest, PackRemovedAfterStartUpIsReportedOnSwitch)
{
    writePack("en.lng", packBytes("English", fullPackLines("en")));
    writePack("de.lng", packBytes("Deutsch", fullPackLines("de")));
    writeSettings("[Config]\nLF=en.lng\n");
    InitLanguage(m_state, m_windows);
    ASSERT_TRUE(QFile::remove(m_dir.filePath("Language/de.lng")));

    m_state.CurrentLanguageFile = languageFileFor(m_state, "Deutsch");
    LoadLanguage(m_state, m_windows, m_state.CurrentLanguageFile);

    EXPECT_EQ(m_messages, QStringList{"Language file no exists: de.lng"});
    EXPECT_EQ(m_state.CurrentLanguageFile, "de.lng");
    EXPECT_EQ(m_state.CurrentLanguageName, "English");
    EXPECT_EQ(m_viewer.texts.value("id01"), "en Viewer id01");
}

TEST_F(LoadLanguageTest, MissingKeysEmptyTheirTargets)
{
    writePack("full.lng", packBytes("Full", fullPackLines("full")));
    QStringList partial = fullPackLines("part");
    partial.removeAll("id30=part Viewer id30");
    partial.removeAll("id05=part Config id05");
    partial.removeAll("msg2_3=part msg2_3");
    writePack("part.lng", packBytes("Partial", partial));
    InitLanguage(m_state, m_windows);
    LoadLanguage(m_state, m_windows, "full.lng");
    LoadLanguage(m_state, m_windows, "part.lng");

    EXPECT_EQ(m_viewer.texts.value("id30", "absent"), "") << "the favorites button hint is emptied";
    EXPECT_EQ(m_viewer.texts.value("id29"), "part Viewer id29");
    EXPECT_EQ(m_config.texts.value("id05", "absent"), "");
    ASSERT_EQ(m_state.FavoritesMessages.size(), 9);
    EXPECT_EQ(m_state.FavoritesMessages.at(3), "");
    EXPECT_EQ(m_state.FavoritesMessages.at(4), "part msg2_4");
}

TEST_F(LoadLanguageTest, PackWithoutDisplayNameIsListedAndLoadsAsEmptyName)
{
    writePack("anon.lng", packBytes(QString(), {"[Viewer]", "id01=Anon"}));
    writePack("named.lng", packBytes("Named", {}));
    writeSettings("[Config]\nLF=anon.lng\n");
    InitLanguage(m_state, m_windows);

    EXPECT_EQ(packNames(m_state), (QStringList{"", "Named"}));
    EXPECT_EQ(m_state.CurrentLanguageName, "");
    EXPECT_EQ(m_box->currentIndex(), m_box->findText(""));
    EXPECT_GE(m_box->currentIndex(), 0);
    EXPECT_EQ(m_viewer.texts.value("id01"), "Anon");
}

struct MessageCase {
    const char* value;
    const char* expected;
};

class MessageCutTest : public LangFixture, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(MessageCutTest, MessageEndsBeforeItsFirstEqualsSign)
{
    const QString line = QStringLiteral("msg1_2=") + QString::fromUtf8(GetParam().value);
    writePack("m.lng", packBytes("M", {"[Messages]", line, "msg2_0=" + QString::fromUtf8(GetParam().value)}));
    InitLanguage(m_state, m_windows);
    LoadLanguage(m_state, m_windows, "m.lng");

    ASSERT_EQ(m_state.MainMessages.size(), 6);
    EXPECT_EQ(m_state.MainMessages.at(2), QString::fromUtf8(GetParam().expected));
    EXPECT_EQ(m_state.FavoritesMessages.at(0), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Values, MessageCutTest,
                         ::testing::Values(MessageCase{"plain text", "plain text"}, MessageCase{"a=b", "a"},
                                           MessageCase{"=starts", ""}, MessageCase{"one==two", "one"},
                                           MessageCase{"\"q=x\"", "q"}, MessageCase{"Папка=нет", "Папка"}));

TEST_F(LoadLanguageTest, InterfaceTextsKeepTheirEqualsSigns)
{
    writePack("e.lng", packBytes("E", {"[Viewer]", "id01=a=b"}));
    InitLanguage(m_state, m_windows);
    LoadLanguage(m_state, m_windows, "e.lng");
    EXPECT_EQ(m_viewer.texts.value("id01"), "a=b");
}

TEST_F(LoadLanguageTest, Cp1251AndByteOrderMarkedUtf8PacksAreDecoded)
{
    writePack("ru.lng", packBytes("Русский", {"[Config]", "id02=\" Исходная директория  \"", "id11=Язык:", "[Messages]",
                                              "msg1_0=Нет"}));
    writePack("de.lng", QByteArray("\xEF\xBB\xBF; pack\n[Info]\nLanguage=Deutsch\n[Config]\nid11=Sprache:\n"
                                   "id12=Schließen\n[Messages]\nmsg1_0=Qualität\n"));
    InitLanguage(m_state, m_windows);

    EXPECT_EQ(packNames(m_state), (QStringList{"Deutsch", "Русский"}));
    LoadLanguage(m_state, m_windows, "ru.lng");
    EXPECT_EQ(m_config.texts.value("id02"), " Исходная директория  ");
    EXPECT_EQ(m_config.texts.value("id11"), "Язык:");
    EXPECT_EQ(m_state.MainMessages.at(0), "Нет");

    LoadLanguage(m_state, m_windows, "de.lng");
    EXPECT_EQ(m_box->currentText(), "Deutsch");
    EXPECT_EQ(m_config.texts.value("id12"), "Schließen");
    EXPECT_EQ(m_state.MainMessages.at(0), "Qualität");
}

TEST_F(LoadLanguageTest, ByteOrderMarkRightBeforeTheFirstSection)
{
    // What a text editor writes when it saves a pack as UTF-8.
    writePack("fr.lng", QByteArray("\xEF\xBB\xBF[Info]\nLanguage=Français\n[Viewer]\nid01=Fichier\n"));
    writeSettings("[Config]\nLF=fr.lng\n");
    InitLanguage(m_state, m_windows);
    EXPECT_EQ(packNames(m_state), QStringList{"Français"});
    EXPECT_EQ(m_state.CurrentLanguageName, "Français");
    EXPECT_EQ(m_viewer.texts.value("id01"), "Fichier");
}

TEST_F(LoadLanguageTest, WindowsLineEndingsLeaveNoTraceInTheTexts)
{
    writePack("crlf.lng", cp1251("[Info]\r\nLanguage=Crlf\r\n[Viewer]\r\nid01=Файл\r\n[Messages]\r\nmsg1_0=Да\r\n"));
    InitLanguage(m_state, m_windows);
    LoadLanguage(m_state, m_windows, "crlf.lng");
    EXPECT_EQ(m_state.CurrentLanguageName, "Crlf");
    EXPECT_EQ(m_viewer.texts.value("id01"), "Файл");
    EXPECT_EQ(m_state.MainMessages.at(0), "Да");
}

class GarbagePackTest : public LangFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(GarbagePackTest, BinaryPackLoadsWithoutControlCharacters)
{
    // Deterministic noise with NULs, line breaks, brackets and "=" among it.
    QByteArray bytes = GetParam() ? QByteArray("\xEF\xBB\xBF\n") : QByteArray();
    static constexpr char kHead[] = "[Info]\nLanguage=\x01\x98\xFF\xC0\x00zz\n"
                                    "[Viewer]\nid01=\x00\x1F\xE0\x80\xED\xA0\x80\n";
    bytes += QByteArray(kHead, sizeof kHead - 1);
    quint32 seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes.append(static_cast<char>((seed >> 16) & 0xFF));
    }
    writePack("noise.lng", bytes);
    writeSettings("[Config]\nLF=noise.lng\n");
    InitLanguage(m_state, m_windows);

    ASSERT_EQ(m_state.LanguagePacks.size(), 1);
    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(m_viewer.calls.size(), 31);
    EXPECT_EQ(m_state.MainMessages.size(), 6);
    QStringList all = m_viewer.texts.values() + m_state.MainMessages + m_state.FavoritesMessages;
    all << m_state.CurrentLanguageName;
    for (const QString& text : all) {
        for (QChar c : text)
            EXPECT_FALSE(c.unicode() < 0x20 && c != u'\t') << "control character in " << text.toStdString();
    }
    EXPECT_TRUE(m_state.CurrentLanguageName.endsWith("zz")) << "what can be shown is shown";
}

INSTANTIATE_TEST_SUITE_P(Encodings, GarbagePackTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Utf8Marked" : "Cp1251"; });

TEST_F(LoadLanguageTest, OversizedFileIsTreatedAsUnreadable)
{
    QByteArray bytes = packBytes("Huge", {"[Viewer]", "id01=Huge"});
    bytes += QByteArray(2 * 1024 * 1024, ';');
    writePack("huge.lng", bytes);
    writeSettings("[Config]\nLF=huge.lng\n");
    InitLanguage(m_state, m_windows);
    ASSERT_EQ(packNames(m_state), QStringList{""});

    EXPECT_TRUE(m_messages.isEmpty()) << "the file exists, it just gives nothing";
    EXPECT_EQ(m_viewer.texts.value("id01", "absent"), "");
    EXPECT_EQ(m_state.MainMessages.size(), 6);
}

} // namespace
} // namespace vistrel::test
