// Rules of script-made text fields as scripts read them back: condensed white space, and the other
// field settings this file's tests name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/avm1/vm.h"
#include "tests/avm1/script_movie.h"

namespace sw = vistrel::testing;
using vistrel::avm1::Value;
using Movie = sw::ScriptMovie;

namespace {

Value str(const char* s) { return Value(QString::fromUtf8(s)); }

Value newField(Movie& m, const char* name, int depth) {
    m.call(m.root(), "createTextField", {str(name), Value(depth), Value(0), Value(0), Value(100), Value(40)});
    return m.get(m.root(), name);
}

// The text a field shows after `html` is set with condenseWhite on.
std::string condensed(Movie& m, const char* html, bool multiline) {
    const Value field = newField(m, "t", 1);
    m.set(field, "html", Value(true));
    m.set(field, "multiline", Value(multiline));
    m.set(field, "condenseWhite", Value(true));
    m.set(field, "htmlText", str(html));
    return m.str(m.get(field, "text"));
}

}  // namespace

TEST(TextFieldRules, CondenseWhiteBeforeVersion8WorksBetweenTags) {
    Movie m(7);
    EXPECT_EQ(condensed(m, "\n \tasdf \t  \n", false), " asdf ");
    EXPECT_EQ(condensed(m, " <b> a </b> <i> b </i> ", false), " a  b ");
    // Only spaces, tabs and line ends are blanks: other spaces and controls stay.
    EXPECT_EQ(condensed(m, "a b \xC2\xA0 c \x0B d", false), "a b \xC2\xA0 c \x0B d");
}

TEST(TextFieldRules, CondenseWhiteFromVersion8ReachesAcrossTagsAndDropsLeadingBlanks) {
    Movie m(8);
    EXPECT_EQ(condensed(m, "\n \tasdf \t  \n", false), "asdf ");
    EXPECT_EQ(condensed(m, " <b> a </b> <i> b </i> ", false), "a b ");
    EXPECT_EQ(condensed(m, "a b \xC2\xA0 c \x0C\r d", false), "a b \xC2\xA0 c \x0C d");
    // A line's start is a start too.
    EXPECT_EQ(condensed(m, " <p>x</p>  <p>y</p> ", true), "x\ry\r");
    EXPECT_EQ(condensed(m, " <p>x</p>  <p>y</p> ", false), "x y ");
}
