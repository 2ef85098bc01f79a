// Language packs that are not Windows-1251 text: UTF-8 without its mark, UTF-16, binary data,
// endless lines, cut multi-byte characters, control characters, things that are not files.
// Loading shows what can be read, gives every window a printable text for every key, fills both
// message lists, and never crashes or waits.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include "core/builtin_texts.h"
#include "core/shared_state.h"
#include "lang/set_lng.h"
#include "widgets/message_box.h"

namespace {

class RecordingWindow : public vistrel::LanguageTarget {
public:
    void applyText(const QString& key, const QString& text) override { texts[key] = text; }
    QMap<QString, QString> texts;
};

// The bytes of a literal, NULs included.
template <std::size_t N> QByteArray bytes(const char (&text)[N]) {
    return QByteArray(text, N - 1);
}

QByteArray utf16WithMark(const QString& text, bool bigEndian = false) {
    QByteArray out = bigEndian ? QByteArray("\xfe\xff", 2) : QByteArray("\xff\xfe", 2);
    for (const QChar c : text) {
        const char high = static_cast<char>(c.unicode() >> 8), low = static_cast<char>(c.unicode() & 0xff);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

QByteArray pseudoRandomBytes(qsizetype size) {
    QByteArray out(size, '\0');
    std::uint32_t state = 12345;
    for (char& c : out) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 23);
    }
    return out;
}

bool printable(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 && c != u'\t')
            return false;
    }
    return true;
}

struct DamagedPack {
    const char* name;
    QByteArray bytes;
    QString viewerId01; // the text expected for Viewer/id01; null: anything printable
};

std::vector<DamagedPack> damagedPacks() {
    return {
        {"Utf8WithoutMark", bytes("[Info]\nLanguage=Deutsch\n[Viewer]\nid01=Datei\nid02=Ordner \xc3\xb6" "ffnen\n"),
         QStringLiteral("Datei")},
        {"Utf16WithMark", utf16WithMark(QStringLiteral("[Info]\r\nLanguage=Deutsch\r\n[Viewer]\r\nid01=Datei\r\n")),
         QStringLiteral("Datei")},
        {"Utf16BigEndianWithMark", utf16WithMark(QStringLiteral("[Viewer]\nid01=\u0424\u0430\u0439\u043b\n"), true),
         QStringLiteral("\u0424\u0430\u0439\u043b")},
        {"Utf16CutInTheMiddleOfACharacter", utf16WithMark(QStringLiteral("[Viewer]\nid01=Datei")).chopped(1),
         QStringLiteral("Date")},
        {"BinaryData", pseudoRandomBytes(64 * 1024), {}},
        {"BinaryDataAroundSoundKeys",
         pseudoRandomBytes(3000) + "\n[Viewer]\nid01=Sound\n" + pseudoRandomBytes(3000), QStringLiteral("Sound")},
        {"CutMultiByteCharacterUnderTheMark", bytes("\xef\xbb\xbf[Viewer]\nid01=Fil\xd0"), QStringLiteral("Fil\ufffd")},
        {"ControlCharactersInValues", bytes("[Viewer]\nid01=A\x01" "B\x00" "C\x1b[31m\n"), QStringLiteral("ABC[31m")},
        {"LineOfAHundredThousandLetters", "[Viewer]\nid01=" + QByteArray(100000, '\xc0') + "\n",
         QString(vistrel::PrivateProfile::kMaxValueLength, QChar(0x0410))},
        {"EmptyFile", QByteArray(), QStringLiteral("")},
        {"WindowsLineEndsWithoutFinalNewline", bytes("[Viewer]\r\nid01=\xc4\xe0\r\n[Messages]\r\nmsg1_0=a=b"),
         QStringLiteral("\u0414\u0430")},
    };
}

class DamagedPackTest : public ::testing::TestWithParam<DamagedPack> {
protected:
    void SetUp() override {
        if (!QApplication::instance()) {
            static int argc = 1;
            static char name[] = "robustness_settings_tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
        ASSERT_TRUE(m_folder.isValid());
        ASSERT_TRUE(QDir(m_folder.path()).mkpath(QStringLiteral("Language")));
        m_state.BaseDir = m_folder.path();
        m_box = std::make_unique<QComboBox>();
        m_windows = vistrel::LanguageWindows{&m_viewer, &m_favorites, &m_config, m_box.get(),
                                             [this](const QString& notice) { m_messages.append(notice); }};
    }

    QString packPath(const char* fileName) const { return m_state.languageFolder() + QString::fromLatin1(fileName); }
    void writePack(const char* fileName, const QByteArray& content) {
        QFile file(packPath(fileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    void expectEveryTextPrintable() const {
        for (const RecordingWindow* window : {&m_viewer, &m_favorites, &m_config}) {
            for (const QString& text : window->texts)
                EXPECT_TRUE(printable(text)) << text.left(80).toStdString();
        }
        EXPECT_TRUE(printable(m_state.CurrentLanguageName));
        for (const QString& message : m_state.MainMessages + m_state.FavoritesMessages)
            EXPECT_TRUE(printable(message));
    }

    QTemporaryDir m_folder;
    vistrel::SharedState m_state;
    RecordingWindow m_viewer, m_favorites, m_config;
    std::unique_ptr<QComboBox> m_box; // made once the application exists
    vistrel::LanguageWindows m_windows;
    QStringList m_messages;
};

} // namespace

TEST_P(DamagedPackTest, ShowsWhatItCanAndSetsEveryText) {
    writePack("damaged.lng", GetParam().bytes);
    vistrel::InitLanguage(m_state, m_windows); // lists the pack; the settings name none
    ASSERT_EQ(m_state.LanguagePacks.size(), 1);
    vistrel::LoadLanguage(m_state, m_windows, QStringLiteral("damaged.lng"));

    EXPECT_EQ(m_viewer.texts.size(), vistrel::interfaceTexts("Viewer").size());
    EXPECT_EQ(m_favorites.texts.size(), vistrel::interfaceTexts("Favorites").size());
    EXPECT_EQ(m_config.texts.size(), vistrel::interfaceTexts("Config").size());
    EXPECT_EQ(m_state.MainMessages.size(), 6);
    EXPECT_EQ(m_state.FavoritesMessages.size(), 9);
    expectEveryTextPrintable();
    if (!GetParam().viewerId01.isNull()) {
        EXPECT_EQ(m_viewer.texts.value(QStringLiteral("id01")), GetParam().viewerId01);
    }
}

INSTANTIATE_TEST_SUITE_P(Packs, DamagedPackTest, ::testing::ValuesIn(damagedPacks()),
                         [](const auto& info) { return std::string(info.param.name); });

class PackOnDamagedGroundTest : public DamagedPackTest {};

TEST_F(PackOnDamagedGroundTest, PipeNamedLikeAPackIsNeitherWaitedForNorLoaded) {
    ASSERT_EQ(mkfifo(QFile::encodeName(packPath("pipe.lng")).constData(), 0600), 0);
    vistrel::InitLanguage(m_state, m_windows);
    vistrel::LoadLanguage(m_state, m_windows, QStringLiteral("pipe.lng"));
    EXPECT_TRUE(m_viewer.texts.isEmpty());
    EXPECT_EQ(m_messages.last(), QStringLiteral("Language file no exists: pipe.lng"));
}

TEST_F(PackOnDamagedGroundTest, LinkToAnEndlessDeviceIsNotReadForEver) {
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), packPath("zero.lng")));
    vistrel::InitLanguage(m_state, m_windows);
    vistrel::LoadLanguage(m_state, m_windows, QStringLiteral("zero.lng"));
    expectEveryTextPrintable();
}

TEST_F(PackOnDamagedGroundTest, PackNameReachingOutOfTheFolderIsRefused) {
    writePack("real.lng", "[Viewer]\nid01=Real\n");
    vistrel::LoadLanguage(m_state, m_windows, QStringLiteral("../Language/real.lng"));
    EXPECT_TRUE(m_viewer.texts.isEmpty());
    EXPECT_EQ(m_messages.size(), 1);
}
