#pragma once
// The settings file and the language packs are INI files read and written with the rules of the
// Windows private-profile functions: section and key names match without regard to case, blanks
// around names and values are trimmed, a value in matching quotes loses them, a value is read up
// to 2047 bytes. There is no cache: every read opens the file, every write rewrites it.
//
// Values are bytes: the settings file is UTF-8, language packs are Windows-1251, and the caller
// decodes. A file that opens with a UTF-16 byte-order mark is read as its text in UTF-8. Every rewrite is atomic (temporary file, then rename), so an interrupted write leaves
// the old file or the new one, never a mix.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <stdexcept>
#include <utility>
#include <vector>

namespace vistrel {

// A write that the system refused; what() is "Unable to write to <path>" (UTF-8).
class ProfileWriteError : public std::runtime_error {
public:
    explicit ProfileWriteError(const QString& path);
};

class PrivateProfile {
public:
    static constexpr int kMaxValueLength = 2047;

    explicit PrivateProfile(QString path);
    const QString& path() const { return m_path; }

    // The raw value of [section] key, at most kMaxValueLength bytes; defaultValue when the file,
    // the section or the key is missing. The first matching section and key win.
    QByteArray readRaw(QByteArrayView section, QByteArrayView key, QByteArrayView defaultValue = {}) const;

    // UTF-8 string; missing gives defaultValue.
    QString readString(QByteArrayView section, QByteArrayView key, const QString& defaultValue = {}) const;
    // Decimal, or hexadecimal after "0x"/"0X"; missing or not a number gives defaultValue. The
    // whole value must be the number: "12abc" gives defaultValue, not 12.
    int readInt(QByteArrayView section, QByteArrayView key, int defaultValue) const;
    // An integer; any value other than 0 is true; missing or not a number gives defaultValue.
    bool readBool(QByteArrayView section, QByteArrayView key, bool defaultValue) const;

    // Each of these rewrites the file with one change, creating file and section when missing and
    // keeping every other section, key and comment line. Throws ProfileWriteError when refused.
    // A value that reading would change (blanks at its ends, matching quotes around it) is stored
    // in double quotes, and line breaks in it become blanks, so what is read back is what was
    // written and a value can never add lines of its own.
    void writeString(QByteArrayView section, QByteArrayView key, const QString& value);
    void writeRaw(QByteArrayView section, QByteArrayView key, QByteArrayView value);
    void eraseSection(QByteArrayView section);

    // Several changes applied to the file's current contents and written in one atomic rewrite;
    // nothing reaches the file before commit(). Used by SaveSettings, so a save is all or nothing.
    class Batch {
    public:
        explicit Batch(PrivateProfile& profile);
        void writeString(QByteArrayView section, QByteArrayView key, const QString& value);
        void writeRaw(QByteArrayView section, QByteArrayView key, QByteArrayView value);
        void eraseSection(QByteArrayView section);
        void commit(); // throws ProfileWriteError; the old file stays intact then

    private:
        PrivateProfile& m_profile;
        QByteArray m_text; // the file as it will be written
        bool m_unreadable = false; // the file exists but could not be read: never overwrite it
    };

private:
    QString m_path;
};

// A profile file read once: the reads answer as PrivateProfile's would have at the moment it was read,
// without opening and parsing the file again for every key. For a file read key by key in one go that
// nothing writes meanwhile (a language pack applied to the windows).
class ProfileSnapshot {
public:
    explicit ProfileSnapshot(const QString& path);

    QByteArray readRaw(QByteArrayView section, QByteArrayView key, QByteArrayView defaultValue = {}) const;

private:
    QByteArray m_data;
    // Each key's value in m_data, by section and key name in ASCII lower case: the first section of a
    // name and the first key of a name in it, as the reads find them.
    QHash<std::pair<QByteArray, QByteArray>, QByteArrayView> m_values;
};

} // namespace vistrel
