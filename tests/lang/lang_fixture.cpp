#include "lang_fixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include "core/builtin_texts.h"

namespace vistrel::test {

QByteArray cp1251(const QString& text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

QByteArray packBytes(const QString& displayName, const QStringList& lines)
{
    QStringList all;
    if (!displayName.isNull())
        all << QStringLiteral("[Info]") << QStringLiteral("Language=") + displayName;
    all << lines;
    return cp1251(all.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

QStringList fullPackLines(const QString& prefix)
{
    QStringList lines;
    QString section;
    for (const LanguageText& text : interfaceTexts()) {
        if (section != QLatin1String(text.section)) {
            section = QString::fromLatin1(text.section);
            lines << "[" + section + "]";
        }
        lines << QStringLiteral("%1=%2 %3 %1").arg(QLatin1String(text.key), prefix, section);
    }
    lines << QStringLiteral("[Messages]");
    for (int i = 0; i < 6; ++i)
        lines << QStringLiteral("msg1_%1=%2 msg1_%1").arg(i).arg(prefix);
    for (int i = 0; i < 9; ++i)
        lines << QStringLiteral("msg2_%1=%2 msg2_%1").arg(i).arg(prefix);
    return lines;
}

void LangFixture::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    m_state.BaseDir = m_dir.path();
    m_box = std::make_unique<QComboBox>();
    m_windows = LanguageWindows{&m_viewer, &m_favorites, &m_config, m_box.get(),
                                [this](const QString& notice) { m_messages.append(notice); }};
}

void LangFixture::writeSettings(const QByteArray& utf8Text)
{
    writeFile(QStringLiteral("vistrel.ini"), utf8Text);
}

void LangFixture::writeFile(const QString& relativePath, const QByteArray& bytes)
{
    const QString path = m_dir.filePath(relativePath);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace vistrel::test
