#pragma once
// The interface texts of the window design: every text a language pack can replace, by section
// ("Viewer", "Favorites", "Config") and key ("id01", ...), with the text shown until a pack is loaded.

#include <QString>
#include <span>

namespace vistrel {

struct LanguageText {
    const char* section;
    const char* key;
    const char* builtin; // UTF-8
};

// All texts in pack order: Viewer id01..id30, Favorites id01..id12, Config id01..id14.
std::span<const LanguageText> interfaceTexts();
// Keys of one section, in order.
std::span<const LanguageText> interfaceTexts(const char* section);
// The built-in text of section/key; empty when there is no such text.
QString builtinText(const char* section, const char* key);

} // namespace vistrel
