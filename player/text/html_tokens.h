// Splitting edit-text HTML into decoded text and tags (internal to the HTML text parser).
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include <QString>

namespace vistrel::player::html_detail {

// One tag; names of the tag and its attributes are lower-cased, values are kept as written (references
// in them are not decoded).
struct Tag {
    QString name;
    bool closing = false;     // </name>
    bool selfClosing = false; // <name/>
    std::vector<std::pair<QString, QString>> attributes;

    bool has(QStringView key) const;
    QString attribute(QStringView key) const; // empty when absent
};

// Decodes the named entities of the subset and numeric ones; anything else stays literal.
QString decodeEntities(QStringView text);

// Reports text and tags in document order. A "<" that does not start a well-formed tag is text;
// comments are dropped. `blank` tells text written only as literal blanks and line ends (no
// entities). Runs in time linear in the input.
void tokenize(const QString& html, const std::function<void(const QString&, bool blank)>& onText,
              const std::function<void(const Tag&)>& onTag);

} // namespace vistrel::player::html_detail
