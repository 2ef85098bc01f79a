// Decoding of pack values: packs are Windows-1251 unless they open with a UTF-8 or UTF-16
// byte-order mark.

#include "lang/set_lng.h"

#include <QFile>
#include <QStringDecoder>

namespace vistrel {
namespace {

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

// Packs hold single-line texts; anything below a blank (or in the C1 block a stray byte maps to)
// can only come from a damaged file, and a NUL would cut the text short in some widgets.
QString dropControlCharacters(QString text)
{
    text.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t') || (u >= 0x7F && u < 0xA0);
    });
    return text;
}

} // namespace

bool isUnicodePack(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = file.read(3);
    return start == QByteArrayView(kUtf8Bom, 3) || start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF");
}

QString decodePackValue(QByteArrayView raw, bool utf8)
{
    if (utf8) {
        // Invalid sequences become replacement characters, so a wrongly marked pack still shows
        // what it can.
        return dropControlCharacters(QString::fromUtf8(raw));
    }
    // Opening the converter costs more than decoding a text: each thread keeps one.
    thread_local QStringDecoder decoder("windows-1251");
    decoder.resetState();
    if (!decoder.isValid()) {
        // A Qt built without the code page: Latin-1 keeps the ASCII part legible.
        return dropControlCharacters(QString::fromLatin1(raw));
    }
    return dropControlCharacters(decoder.decode(raw));
}

QString readPackText(const PrivateProfile& pack, bool utf8, QByteArrayView section, QByteArrayView key)
{
    return decodePackValue(pack.readRaw(section, key), utf8);
}

QString readPackText(const ProfileSnapshot& pack, bool utf8, QByteArrayView section, QByteArrayView key)
{
    return decodePackValue(pack.readRaw(section, key), utf8);
}

} // namespace vistrel
