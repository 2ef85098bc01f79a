#pragma once
// A window whose texts a language pack replaces. The language loader calls applyText for every
// key of the window's section, in key order; the window writes the text into the key's control.

#include <QString>

namespace vistrel {

class LanguageTarget {
public:
    virtual ~LanguageTarget() = default;
    // key: "id01", "id02", ...; text already decoded to Unicode.
    virtual void applyText(const QString& key, const QString& text) = 0;
    // Texts derived from others after the section has been applied (hints that copy captions).
    virtual void applyDerivedTexts() {}
    // The pack's messages have been read (they are read after all sections).
    virtual void applyMessages() {}
};

} // namespace vistrel
