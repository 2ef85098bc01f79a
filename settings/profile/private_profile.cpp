#include "settings/profile/private_profile.h"

#include <limits>
#include <optional>

#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>

namespace vistrel {
namespace {

// The file as one line after another: a line's text ends before its "\n" (and a "\r" in front
// of it); `next` is where the following line starts, so splicing keeps line ends as they were.
struct LineSpan {
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype next = 0;
};

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QByteArrayView name;
    QByteArrayView value;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArrayView trimmed(QByteArrayView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A name as sameName compares it.
QByteArray asciiLowered(QByteArrayView name) {
    QByteArray lowered(name.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < name.size(); ++i)
        lowered[i] = asciiLower(name[i]);
    return lowered;
}

// Names match without regard to ASCII letter case; other bytes must be equal.
bool sameName(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

// Calls visit(span) for every line, the last one also when the file lacks a final newline;
// visit returns false to stop early.
template <typename Visit> void forEachLine(QByteArrayView text, Visit visit) {
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype newline = text.indexOf('\n', start);
        LineSpan span;
        span.start = start;
        span.next = newline < 0 ? text.size() : newline + 1;
        span.end = newline < 0 ? text.size() : newline;
        if (span.end > span.start && text[span.end - 1] == '\r')
            --span.end;
        if (!visit(span))
            return;
        start = span.next;
    }
}

ParsedLine parseLine(QByteArrayView line) {
    ParsedLine parsed;
    const QByteArrayView text = trimmed(line);
    if (text.startsWith('[')) {
        const qsizetype close = text.lastIndexOf(']');
        if (close > 0) {
            parsed.kind = LineKind::Section;
            parsed.name = trimmed(text.sliced(1, close - 1));
        }
        return parsed;
    }
    if (text.startsWith(';'))
        return parsed; // a comment line
    const qsizetype equals = text.indexOf('=');
    if (equals < 0)
        return parsed;
    parsed.kind = LineKind::Key;
    parsed.name = trimmed(text.first(equals));
    parsed.value = trimmed(text.sliced(equals + 1));
    return parsed;
}

// The value of the first matching key in the first matching section.
std::optional<QByteArrayView> findValue(QByteArrayView text, QByteArrayView section, QByteArrayView key) {
    std::optional<QByteArrayView> found;
    bool inSection = false;
    bool sectionSeen = false;
    forEachLine(text, [&](const LineSpan &span) {
        const ParsedLine line = parseLine(text.sliced(span.start, span.end - span.start));
        if (line.kind == LineKind::Section) {
            if (inSection)
                return false; // the first matching section has ended
            inSection = !sectionSeen && sameName(line.name, section);
            sectionSeen = sectionSeen || inSection;
        } else if (inSection && line.kind == LineKind::Key && sameName(line.name, key)) {
            found = line.value;
            return false;
        }
        return true;
    });
    return found;
}

QByteArrayView unquoted(QByteArrayView value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

QByteArray lineEnding(QByteArrayView text) {
    const qsizetype newline = text.indexOf('\n');
    return (newline > 0 && text[newline - 1] == '\r') ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
}

// What goes after "key=". A line break in a value would start new lines of the file, so it
// becomes a blank. A value that reading would change (blanks at its ends, or matching quotes
// around it) is put in double quotes, which reading removes again.
QByteArray storedValue(QByteArrayView value) {
    QByteArray stored = value.toByteArray();
    stored.replace('\r', ' ');
    stored.replace('\n', ' ');
    const bool blankAtEnds = !stored.isEmpty() && (isBlank(stored.front()) || isBlank(stored.back()));
    if (blankAtEnds || unquoted(stored).size() != stored.size())
        stored = '"' + stored + '"';
    return stored;
}

void setKey(QByteArray &text, QByteArrayView section, QByteArrayView key, QByteArrayView value) {
    const QByteArray eol = lineEnding(text);
    const QByteArray storedText = storedValue(value);

    bool inSection = false;
    bool sectionFound = false;
    std::optional<LineSpan> keyLine;
    QByteArray keyName;
    LineSpan lastFilled; // the header or the last non-blank line of the section
    forEachLine(text, [&](const LineSpan &span) {
        const QByteArrayView lineText = QByteArrayView(text).sliced(span.start, span.end - span.start);
        const ParsedLine line = parseLine(lineText);
        if (line.kind == LineKind::Section) {
            if (inSection)
                return false;
            inSection = sameName(line.name, section);
            sectionFound = inSection;
            lastFilled = span;
            return true;
        }
        if (!inSection)
            return true;
        if (line.kind == LineKind::Key && sameName(line.name, key)) {
            keyLine = span;
            keyName = line.name.toByteArray();
            return false;
        }
        if (!trimmed(lineText).isEmpty())
            lastFilled = span;
        return true;
    });

    if (keyLine) {
        // The key keeps its spelling; only this line changes.
        text.replace(keyLine->start, keyLine->end - keyLine->start, keyName + '=' + storedText);
    } else if (sectionFound) {
        QByteArray insertion = key.toByteArray() + '=' + storedText + eol;
        if (text[lastFilled.next - 1] != '\n') // the last line of a file without a final newline
            insertion.prepend(eol);
        text.insert(lastFilled.next, insertion);
    } else {
        if (!text.isEmpty() && !text.endsWith('\n'))
            text += eol;
        text += '[' + section.toByteArray() + ']' + eol + key.toByteArray() + '=' + storedText + eol;
    }
}

// Removes every section of that name with all its lines, duplicates included, so that keys
// written afterwards cannot mix with a stale copy further down.
void removeSection(QByteArray &text, QByteArrayView section) {
    QByteArray kept;
    kept.reserve(text.size());
    bool dropping = false;
    forEachLine(text, [&](const LineSpan &span) {
        const ParsedLine line = parseLine(QByteArrayView(text).sliced(span.start, span.end - span.start));
        if (line.kind == LineKind::Section)
            dropping = sameName(line.name, section);
        if (!dropping)
            kept += QByteArrayView(text).sliced(span.start, span.next - span.start);
        return true;
    });
    text = kept;
}

// Whole-value parse: an optional sign, then decimal digits or "0x"/"0X" and hexadecimal digits.
// Anything else, trailing text included ("12abc"), is not a number; so is a value beyond int.
std::optional<int> parseInt(QByteArrayView text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    long long magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > kLimit)
            return std::nullopt;
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return std::nullopt;
    return static_cast<int>(value);
}

// A value cut at the length limit may end inside a UTF-8 sequence; that piece is dropped.
QByteArrayView withoutBrokenTail(QByteArrayView text) {
    qsizetype lead = text.size();
    for (int back = 1; back <= 4 && back <= text.size(); ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) != 0x80) {
            lead = text.size() - back;
            break;
        }
    }
    if (lead == text.size())
        return text;
    const auto byte = static_cast<unsigned char>(text[lead]);
    const qsizetype expected = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return text.size() - lead < expected ? text.first(lead) : text;
}

struct FileText {
    bool exists = false;
    bool readable = false;
    QByteArray data;
};

FileText readFile(const QString &path) {
    FileText result;
    QFile file(path);
    result.exists = QFileInfo::exists(path);
    if (!result.exists)
        return result;
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return result;
    result.data = file.readAll();
    result.readable = file.error() == QFileDevice::NoError;
    // A file saved by an editor as UTF-8 may start with a byte-order mark; it is no part of the
    // first line, which would otherwise hide the first section.
    if (result.data.startsWith("\xEF\xBB\xBF")) {
        result.data.remove(0, 3);
    } else if (result.data.startsWith("\xFF\xFE") || result.data.startsWith("\xFE\xFF")) {
        // A file saved as UTF-16 ("Unicode" in Windows editors), which the system's own profile
        // functions read too: it is read as the same text in UTF-8.
        QStringDecoder decoder(result.data.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        result.data = QString(decoder.decode(QByteArrayView(result.data).sliced(2))).toUtf8();
    }
    return result;
}

void writeAtomically(const QString &path, const QByteArray &text) {
    QSaveFile file(path);
    // Unbuffered, so a short write (a full disk, a file size limit) shows in write()'s result:
    // commit() ignores a failed flush of the device's buffer and would put a cut file in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw ProfileWriteError(path);
    if (file.write(text) != text.size())
        throw ProfileWriteError(path);
    // Some file systems report a full disk only when the data reaches it; commit() ignores that
    // too. Leaving scope without commit() removes the temporary file.
    if (::fsync(file.handle()) != 0 || !file.commit())
        throw ProfileWriteError(path);
}

} // namespace

ProfileWriteError::ProfileWriteError(const QString &path)
    : std::runtime_error((QStringLiteral("Unable to write to ") + path).toUtf8().toStdString()) {}

PrivateProfile::PrivateProfile(QString path) : m_path(std::move(path)) {}

QByteArray PrivateProfile::readRaw(QByteArrayView section, QByteArrayView key,
                                   QByteArrayView defaultValue) const {
    const FileText file = readFile(m_path);
    const std::optional<QByteArrayView> value = findValue(file.data, section, key);
    if (!value)
        return defaultValue.first(std::min<qsizetype>(defaultValue.size(), kMaxValueLength)).toByteArray();
    const QByteArrayView bare = unquoted(*value);
    return bare.first(std::min<qsizetype>(bare.size(), kMaxValueLength)).toByteArray();
}

ProfileSnapshot::ProfileSnapshot(const QString &path) : m_data(readFile(path).data) {
    // Read through once, so that a key costs a look-up instead of a pass over the file.
    const QByteArrayView text(m_data);
    QSet<QByteArray> sectionsSeen;
    QByteArray section;
    bool inSection = false;
    forEachLine(text, [&](const LineSpan &span) {
        const ParsedLine line = parseLine(text.sliced(span.start, span.end - span.start));
        if (line.kind == LineKind::Section) {
            section = asciiLowered(line.name);
            inSection = !sectionsSeen.contains(section);
            sectionsSeen.insert(section);
        } else if (inSection && line.kind == LineKind::Key) {
            const std::pair<QByteArray, QByteArray> name(section, asciiLowered(line.name));
            if (!m_values.contains(name))
                m_values.insert(name, line.value);
        }
        return true;
    });
}

QByteArray ProfileSnapshot::readRaw(QByteArrayView section, QByteArrayView key, QByteArrayView defaultValue) const {
    const auto value = m_values.constFind({asciiLowered(section), asciiLowered(key)});
    if (value == m_values.cend())
        return defaultValue.first(std::min<qsizetype>(defaultValue.size(), PrivateProfile::kMaxValueLength)).toByteArray();
    const QByteArrayView bare = unquoted(*value);
    return bare.first(std::min<qsizetype>(bare.size(), PrivateProfile::kMaxValueLength)).toByteArray();
}

QString PrivateProfile::readString(QByteArrayView section, QByteArrayView key,
                                   const QString &defaultValue) const {
    const FileText file = readFile(m_path);
    const std::optional<QByteArrayView> value = findValue(file.data, section, key);
    if (!value)
        return defaultValue;
    const QByteArrayView bare = unquoted(*value);
    if (bare.size() <= kMaxValueLength)
        return QString::fromUtf8(bare);
    return QString::fromUtf8(withoutBrokenTail(bare.first(kMaxValueLength)));
}

int PrivateProfile::readInt(QByteArrayView section, QByteArrayView key, int defaultValue) const {
    const FileText file = readFile(m_path);
    const std::optional<QByteArrayView> value = findValue(file.data, section, key);
    if (!value)
        return defaultValue;
    const QByteArrayView bare = unquoted(*value);
    return parseInt(bare.first(std::min<qsizetype>(bare.size(), kMaxValueLength))).value_or(defaultValue);
}

bool PrivateProfile::readBool(QByteArrayView section, QByteArrayView key, bool defaultValue) const {
    return readInt(section, key, defaultValue ? 1 : 0) != 0;
}

void PrivateProfile::writeString(QByteArrayView section, QByteArrayView key, const QString &value) {
    writeRaw(section, key, value.toUtf8());
}

void PrivateProfile::writeRaw(QByteArrayView section, QByteArrayView key, QByteArrayView value) {
    Batch batch(*this);
    batch.writeRaw(section, key, value);
    batch.commit();
}

void PrivateProfile::eraseSection(QByteArrayView section) {
    Batch batch(*this);
    batch.eraseSection(section);
    batch.commit();
}

PrivateProfile::Batch::Batch(PrivateProfile &profile) : m_profile(profile) {
    FileText file = readFile(profile.path());
    m_unreadable = file.exists && !file.readable;
    m_text = std::move(file.data);
}

void PrivateProfile::Batch::writeString(QByteArrayView section, QByteArrayView key, const QString &value) {
    writeRaw(section, key, value.toUtf8());
}

void PrivateProfile::Batch::writeRaw(QByteArrayView section, QByteArrayView key, QByteArrayView value) {
    setKey(m_text, section, key, value);
}

void PrivateProfile::Batch::eraseSection(QByteArrayView section) {
    removeSection(m_text, section);
}

void PrivateProfile::Batch::commit() {
    // A file we could not read would lose its other sections if it were rewritten.
    if (m_unreadable)
        throw ProfileWriteError(m_profile.path());
    // Text opening with the bytes of a UTF-16 mark (left there by a UTF-8 mark that reading took
    // away) would be read back as UTF-16 and lose every key: the UTF-8 mark goes back in front.
    if (m_text.startsWith("\xFF\xFE") || m_text.startsWith("\xFE\xFF"))
        writeAtomically(m_profile.path(), "\xEF\xBB\xBF" + m_text);
    else
        writeAtomically(m_profile.path(), m_text);
}

} // namespace vistrel
