// Style sheets as text fields take them: rules of selectors and name: value declarations, read the
// forgiving way movies count on.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <QString>

namespace vistrel::player {

struct CssRule {
    QString selector;
    // Declarations in the order written; names in script form ("font-size" becomes "fontSize").
    std::vector<std::pair<QString, QString>> declarations;
};

// The rules of `text`, one per selector (a list "a, b" gives a rule each), or nothing when the text is
// malformed anywhere (then none of it counts). Values keep their inner and trailing blanks. Linear in
// the input.
std::optional<std::vector<CssRule>> parseStyleSheet(const QString& text);

// "font-size" -> "fontSize": each dash goes and the character after it is capitalised.
QString cssPropertyName(const QString& name);

}  // namespace vistrel::player
