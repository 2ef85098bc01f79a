// The private-profile layer on any file: reads never fail, and a write or an erase does exactly
// what it says. The value written reads back as written, and an unrelated key keeps its value.
//
// Input layout: the settings file, then the value to write, then four control bytes at the very
// end (value length, key, section, operation), so a plain INI seed is a usable input as it is.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include "settings/profile/private_profile.h"

namespace {

constexpr const char* kSections[] = {"Config", "Position", "Favorites", "Info", "Messages", "x"};
constexpr const char* kKeys[] = {"RS", "SD", "LF", "X", "n0", "a0", "n255", "id01", "msg1_0", "k"};
constexpr std::size_t kSectionCount = std::size(kSections);
constexpr std::size_t kKeyCount = std::size(kKeys);

QByteArray name(const char* base, bool upper) {
    const QByteArray text(base);
    return upper ? text.toUpper() : text;
}

bool sameName(const QByteArray& a, const QByteArray& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// What a write stores for a value, as reading gives it back: line breaks become blanks, and at
// most the longest readable value comes back.
QByteArray expectedReadBack(QByteArray value) {
    value.replace('\r', ' ');
    value.replace('\n', ' ');
    return value.left(vistrel::PrivateProfile::kMaxValueLength);
}

// The settings file lives in memory when /dev/shm allows, which keeps the rewrites cheap.
const QString& profilePath() {
    static std::unique_ptr<QTemporaryDir> folder;
    static const QString path = [] {
        folder = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/vistrel-fuzz-XXXXXX"));
        if (!folder->isValid())
            folder = std::make_unique<QTemporaryDir>();
        if (!folder->isValid())
            std::abort();
        return folder->filePath(QStringLiteral("vistrel.ini"));
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString& path = profilePath();
    std::uint8_t op = 0, sectionPick = 0, keyPick = 0, valueLength = 0;
    if (size >= 4) {
        op = data[size - 1];
        sectionPick = data[size - 2];
        keyPick = data[size - 3];
        valueLength = data[size - 4];
        size -= 4;
    }
    const std::size_t valueSize = std::min<std::size_t>(valueLength, size);
    size -= valueSize;
    const QByteArray fileText(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QByteArray value(reinterpret_cast<const char*>(data + size), static_cast<qsizetype>(valueSize));
    // Long values matter too: the length byte's top bit repeats the value past the read limit.
    if (valueLength & 0x80)
        value = value.repeated(1 + 2100 / std::max<qsizetype>(1, value.size()));

    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(fileText) != fileText.size())
            std::abort();
    }

    const QByteArray section = name(kSections[sectionPick % kSectionCount], op & 0x10);
    const QByteArray key = name(kKeys[keyPick % kKeyCount], op & 0x20);
    const QByteArray otherSection = name(kSections[(sectionPick / kSectionCount) % kSectionCount], false);
    const QByteArray otherKey = name(kKeys[(keyPick / kKeyCount) % kKeyCount], false);
    const bool sameSection = sameName(section, otherSection);
    const bool sameKey = sameSection && sameName(key, otherKey);

    vistrel::PrivateProfile profile(path);
    const QByteArray otherBefore = profile.readRaw(otherSection, otherKey, "\x01missing");
    static_cast<void>(profile.readString(section, key, QStringLiteral("d")));
    static_cast<void>(profile.readInt(section, key, -7));
    static_cast<void>(profile.readBool(section, key, true));

    switch (op & 0x03) {
    case 0: // reading only
        check(profile.readRaw(otherSection, otherKey, "\x01missing") == otherBefore);
        break;
    case 1:
    case 2: {
        vistrel::PrivateProfile::Batch batch(profile);
        batch.writeRaw(section, key, value);
        if (op & 0x02) // a second change in the same rewrite
            batch.writeRaw(section, "extra", "1");
        batch.commit();
        check(profile.readRaw(section, key, "\x01missing") == expectedReadBack(value));
        if (!sameKey)
            check(profile.readRaw(otherSection, otherKey, "\x01missing") == otherBefore);
        break;
    }
    case 3:
        profile.eraseSection(section);
        check(profile.readRaw(section, key, "\x01missing") == "\x01missing");
        if (!sameSection)
            check(profile.readRaw(otherSection, otherKey, "\x01missing") == otherBefore);
        break;
    }
    return 0;
}
