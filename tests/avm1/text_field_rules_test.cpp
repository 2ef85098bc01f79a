// Rules of script-made text fields as scripts read them back: condensed white space, and the other
// field settings this file's tests name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/avm1/vm.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/action_writer.h"

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
TEST(TextFieldRules, PrototypeListsItsPropertiesFirstToLastAndHidesLaterOnes) {
    using namespace sw;
    // for (p in TextField.prototype) trace(p);
    auto lister = [] {
        ActionWriter a;
        a.push(Push::str("TextField")).op(op::kGetVariable).push(Push::str("prototype")).op(op::kGetMember);
        a.op(op::kEnumerate2);
        a.label("loop").storeRegister(0).push(Push::null()).op(op::kEquals2).ifTrue("done");
        a.push(Push::reg(0)).op(op::kTrace).jump("loop").label("done");
        return a.end();
    };
    Movie v6(6, lister());
    ASSERT_GE(v6.lines.size(), 3u);
    EXPECT_EQ(v6.lines[0], "styleSheet");
    EXPECT_EQ(v6.lines[1], "mouseWheelEnabled");
    EXPECT_EQ(v6.lines.back(), "gridFitType");
    EXPECT_TRUE(v6.path("TextField.prototype.replaceText").isUndefined());
    // Before version 8 the later settings are plain values an object may shadow and delete again.
    const Value o = v6.make("TextField");
    v6.set(o, "filters", str("test"));
    v6.set(o, "scroll", str("test"));
    EXPECT_EQ(v6.str(v6.get(o, "filters")), "test");
    EXPECT_TRUE(v6.get(o, "scroll").isUndefined());

    Movie v8(8);
    EXPECT_TRUE(v8.path("TextField.prototype.replaceText").isObject());
    const Value field = newField(v8, "t", 1);
    EXPECT_EQ(v8.str(v8.get(field, "gridFitType")), "pixel");
}
