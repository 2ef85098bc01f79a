// The packs shipped with the program: every one holds every text and message, and the Russian
// pack repeats the built-in texts.

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QSet>

#include "core/builtin_texts.h"
#include "core/messages.h"
#include "lang_fixture.h"

namespace vistrel::test {
namespace {

const QString kPackDir = QStringLiteral(VISTREL_PACK_DIR);
constexpr char kAbsent[] = "\x01"
                           "absent";

QStringList shippedPacks()
{
    return QDir(kPackDir).entryList({QStringLiteral("*.lng")}, QDir::Files, QDir::Name);
}

QStringList messageKeys()
{
    QStringList keys;
    for (int i = 0; i < 6; ++i)
        keys << QStringLiteral("msg1_%1").arg(i);
    for (int i = 0; i < 9; ++i)
        keys << QStringLiteral("msg2_%1").arg(i);
    return keys;
}

TEST(ShippedPacksTest, RussianAndEnglishAreShipped)
{
    const QStringList packs = shippedPacks();
    EXPECT_TRUE(packs.contains("Russian.lng"));
    EXPECT_TRUE(packs.contains("English.lng"));
}

class ShippedPackTest : public ::testing::TestWithParam<QString> {
protected:
    QString path() const { return kPackDir + "/" + GetParam(); }
};

TEST_P(ShippedPackTest, HoldsEveryKeyWithAText)
{
    const PrivateProfile pack(path());
    const bool utf8 = isUnicodePack(path());
    EXPECT_FALSE(readPackText(pack, utf8, "Info", "Language").isEmpty());
    for (const LanguageText& text : interfaceTexts()) {
        SCOPED_TRACE(std::string(text.section) + "/" + text.key);
        ASSERT_NE(pack.readRaw(text.section, text.key, kAbsent), QByteArray(kAbsent));
        const QString value = readPackText(pack, utf8, text.section, text.key);
        EXPECT_FALSE(value.trimmed().isEmpty());
        EXPECT_FALSE(value.contains(QChar(QChar::ReplacementCharacter)));
    }
    for (const QString& key : messageKeys()) {
        SCOPED_TRACE(key.toStdString());
        const QByteArray raw = pack.readRaw("Messages", key.toLatin1(), kAbsent);
        ASSERT_NE(raw, QByteArray(kAbsent));
        EXPECT_FALSE(raw.trimmed().isEmpty());
        EXPECT_FALSE(raw.contains('=')) << "a message is cut at its first '='";
    }
}

TEST_P(ShippedPackTest, GroupCaptionsKeepTheirFramingBlanks)
{
    const PrivateProfile pack(path());
    const bool utf8 = isUnicodePack(path());
    for (const char* key : {"id02", "id03"}) {
        const QString caption = readPackText(pack, utf8, "Config", key);
        EXPECT_TRUE(caption.startsWith(' ') && caption.endsWith(' ')) << key << ": '" << caption.toStdString() << "'";
    }
}

TEST_P(ShippedPackTest, IsEncodedAsItsMarkSays)
{
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    const bool marked = isUnicodePack(path());
    const QByteArray text = marked ? content.mid(3) : content;
    const bool validUtf8 = QString::fromUtf8(text).toUtf8() == text;
    if (marked) {
        EXPECT_TRUE(validUtf8) << "valid UTF-8 after the mark";
    } else {
        // Without a mark the pack is read as Windows-1251: only plain ASCII may look like UTF-8.
        const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
        EXPECT_TRUE(ascii || !validUtf8) << "UTF-8 text without a byte-order mark would show garbled";
    }
}

INSTANTIATE_TEST_SUITE_P(Packs, ShippedPackTest, ::testing::ValuesIn(shippedPacks().toVector()),
                         [](const auto& info) { return QString(info.param).remove(".lng").toStdString(); });

TEST(ShippedPacksTest, DisplayNamesAreDistinct)
{
    QSet<QString> seen;
    for (const QString& name : shippedPacks()) {
        const QString path = kPackDir + "/" + name;
        const QString display = readPackText(PrivateProfile(path), isUnicodePack(path), "Info", "Language").toLower();
        EXPECT_FALSE(seen.contains(display)) << display.toStdString();
        seen.insert(display);
    }
}

TEST(ShippedPacksTest, RussianPackRepeatsTheBuiltInTexts)
{
    const QString path = kPackDir + "/Russian.lng";
    const PrivateProfile pack(path);
    EXPECT_EQ(readPackText(pack, false, "Info", "Language"), "Русский");
    for (const LanguageText& text : interfaceTexts())
        EXPECT_EQ(readPackText(pack, false, text.section, text.key), QString::fromUtf8(text.builtin))
            << text.section << "/" << text.key;
    const SharedState noPack;
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(readPackText(pack, false, "Messages", QByteArray("msg1_") + QByteArray::number(i)),
                  mainMessage(noPack, static_cast<MainMessage>(i)));
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(readPackText(pack, false, "Messages", QByteArray("msg2_") + QByteArray::number(i)),
                  favoritesMessage(noPack, static_cast<FavoritesMessage>(i)));
}

using ShippedPackLoadTest = LangFixture;

TEST_F(ShippedPackLoadTest, EnglishPackLoadsFromAProgramFolder)
{
    for (const QString& name : shippedPacks()) {
        QFile source(kPackDir + "/" + name);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        writePack(name, source.readAll());
    }
    writeSettings("[Config]\nLF=English.lng\n");
    InitLanguage(m_state, m_windows);

    EXPECT_TRUE(m_messages.isEmpty());
    EXPECT_EQ(m_state.LanguagePacks.size(), shippedPacks().size());
    EXPECT_EQ(m_box->currentText(), "English");
    EXPECT_EQ(m_viewer.texts.value("id01"), "File");
    EXPECT_EQ(m_config.texts.value("id02"), " Start folder  ");
    EXPECT_EQ(m_state.MainMessages.value(0), "No");
    EXPECT_EQ(m_state.MainMessages.value(1), "Yes");

    LoadLanguage(m_state, m_windows, languageFileFor(m_state, "deutsch"));
    EXPECT_EQ(m_favorites.texts.value("id11"), "Schließen");
}

} // namespace
} // namespace vistrel::test
