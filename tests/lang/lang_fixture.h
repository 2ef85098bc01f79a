#pragma once
// A temporary program folder with a settings file and language packs, three recording windows,
// a language box and a captured message box.

#include <QByteArray>
#include <QComboBox>
#include <QMap>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "lang/set_lng.h"

namespace vistrel::test {

// Records every text a pack writes, and the order of the calls.
class RecordingTarget : public LanguageTarget {
public:
    void applyText(const QString& key, const QString& text) override
    {
        texts[key] = text;
        calls.append(key);
    }
    void applyDerivedTexts() override { calls.append(QStringLiteral("derived")); }

    QMap<QString, QString> texts;
    QStringList calls;
};

// Windows-1251 bytes of a text (the encoding of classic packs).
QByteArray cp1251(const QString& text);

// Pack bytes: "[Info]" with the display name (none when null), then the given lines verbatim.
QByteArray packBytes(const QString& displayName, const QStringList& lines);
// A pack holding every key: Section/idNN = "<prefix> Section idNN", messages "<prefix> msgN_i".
QStringList fullPackLines(const QString& prefix);

class LangFixture : public ::testing::Test {
protected:
    void SetUp() override;

    void writeSettings(const QByteArray& utf8Text);
    void writeFile(const QString& relativePath, const QByteArray& bytes);
    void writePack(const QString& fileName, const QByteArray& bytes) { writeFile("Language/" + fileName, bytes); }

    QTemporaryDir m_dir;
    SharedState m_state;
    RecordingTarget m_viewer;
    RecordingTarget m_favorites;
    RecordingTarget m_config;
    std::unique_ptr<QComboBox> m_box;
    LanguageWindows m_windows;
    QStringList m_messages; // missing-pack notices, in order
};

} // namespace vistrel::test
