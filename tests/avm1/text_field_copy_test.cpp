// Text fields copied by duplicateMovieClip, and settings a field takes as they are given rather than as
// they read later: line breaks a single-line field drops, filters read back as copies, embedded text
// whose font is missing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/movie.h"
#include "player/player.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::ActionWriter;
using sw::Push;
namespace op = sw::op;

namespace {

// Script helpers: each leaves nothing on the stack unless it says so.
void traceMember(ActionWriter& a, const std::string& object, const std::string& property) {
    a.push(Push::str(object)).op(op::kGetVariable).push(Push::str(property)).op(op::kGetMember).op(op::kTrace);
}
void setMember(ActionWriter& a, const std::string& object, const std::string& property, const Push& value) {
    a.push(Push::str(object)).op(op::kGetVariable).push({Push::str(property), value}).op(op::kSetMember);
}
// object.method(args...), its result dropped.
void callMethod(ActionWriter& a, const std::string& object, const std::string& method, std::vector<Push> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.push(*it);
    a.push(Push::integer(static_cast<std::int32_t>(args.size())));
    a.push(Push::str(object)).op(op::kGetVariable).push(Push::str(method)).op(op::kCallMethod).op(op::kPop);
}
void createField(ActionWriter& a, const std::string& name, int depth, int x, int y, int w, int h) {
    callMethod(a, "_root", "createTextField", {Push::str(name), Push::integer(depth), Push::integer(x), Push::integer(y),
                                                Push::integer(w), Push::integer(h)});
}
// The duplicateMovieClip action, its depth in the scripts' numbering.
void duplicate(ActionWriter& a, const std::string& source, const std::string& name, int depth) {
    a.push({Push::str(source), Push::str(name), Push::integer(16384 + depth)}).op(op::kCloneSprite);
}

std::vector<std::string> run(const ActionWriter& a, int version = 8) {
    sw::MovieSpec spec;
    spec.version = version;
    spec.widthTwips = 4000;
    spec.heightTwips = 2000;
    std::vector<std::string> lines;
    vp::Player player(vp::Movie::fromBytes(sw::movie(spec, {sw::doAction(a.end()), sw::showFrame()})),
                      [&](const QString& line) { lines.push_back(line.toStdString()); });
    return lines;
}

}  // namespace

TEST(TextFieldCopy, DuplicateMakesAFreshFieldThatKeepsOnlyPlaceLookAndInputType) {
    ActionWriter a;
    createField(a, "src", 1, 10, 20, 100, 30);
    setMember(a, "src", "text", Push::str("hello"));
    setMember(a, "src", "type", Push::str("input"));
    setMember(a, "src", "border", Push::boolean(true));
    setMember(a, "src", "selectable", Push::boolean(false));
    setMember(a, "src", "maxChars", Push::integer(3));
    setMember(a, "src", "variable", Push::str("v"));
    setMember(a, "src", "_rotation", Push::integer(5));
    setMember(a, "src", "_xscale", Push::integer(200));
    setMember(a, "src", "_alpha", Push::integer(50));
    setMember(a, "src", "_visible", Push::boolean(false));
    duplicate(a, "src", "copy", 2);
    for (const char* p : {"_name", "_x", "_y", "_rotation", "_xscale", "_alpha", "_visible", "_width", "_height",
                          "text", "type", "border", "selectable", "maxChars", "variable"})
        traceMember(a, "copy", p);
    a.push(Push::str("copy")).op(op::kGetVariable).push(Push::str("getDepth")).op(op::kGetMember).op(op::kTypeOf);
    a.op(op::kTrace);
    // The source is left as it was.
    traceMember(a, "src", "text");
    const std::vector<std::string> expected{"copy", "10", "20", "5", "200", "50", "true", "0", "0", "",
                                            "input", "false", "true", "null", "null", "function", "hello"};
    EXPECT_EQ(run(a), expected);
}

TEST(TextFieldCopy, DuplicateLeavesBehindWhatAutoSizeMovedTheFieldBy) {
    ActionWriter a;
    createField(a, "src", 1, 50, 0, 100, 30);
    setMember(a, "src", "autoSize", Push::str("right"));
    setMember(a, "src", "text", Push::str("abc"));
    // Growing to its text from the right edge moves the field: its place reads moved.
    a.push(Push::str("src")).op(op::kGetVariable).push(Push::str("_x")).op(op::kGetMember);
    a.push(Push::integer(50)).op(op::kGreater).op(op::kTrace);
    duplicate(a, "src", "copy", 2);
    traceMember(a, "copy", "_x");
    // Nor does moving the field afterwards lose what autoSize added.
    setMember(a, "src", "_x", Push::integer(200));
    duplicate(a, "src", "again", 3);
    a.push(Push::str("again")).op(op::kGetVariable).push(Push::str("_x")).op(op::kGetMember);
    a.push(Push::integer(200)).op(op::kLess2).op(op::kTrace);
    // Only text fields and clips are copied; a missing source or a depth out of range makes nothing.
    duplicate(a, "nothing", "none", 4);
    duplicate(a, "src", "deep", 2146000000);
    a.push(Push::str("none")).op(op::kGetVariable).op(op::kTypeOf).op(op::kTrace);
    a.push(Push::str("deep")).op(op::kGetVariable).op(op::kTypeOf).op(op::kTrace);
    // A copy made at the source's own depth replaces it.
    duplicate(a, "src", "same", 1);
    a.push(Push::str("src")).op(op::kGetVariable).op(op::kTypeOf).op(op::kTrace);
    a.push(Push::str("same")).op(op::kGetVariable).push(Push::str("_x")).op(op::kGetMember);
    a.push(Push::str("again")).op(op::kGetVariable).push(Push::str("_x")).op(op::kGetMember);
    a.op(op::kEquals2).op(op::kTrace);
    EXPECT_EQ(run(a), (std::vector<std::string>{"true", "50", "true", "undefined", "undefined", "undefined", "true"}));
}

TEST(TextFieldCopy, LineBreaksASingleLineFieldIgnoredStayGoneWhenItTurnsMultiline) {
    ActionWriter a;
    createField(a, "one", 1, 0, 0, 100, 30);
    setMember(a, "one", "html", Push::boolean(true));
    setMember(a, "one", "htmlText", Push::str("a<br>b<BR/>c<br  />d"));
    traceMember(a, "one", "text");
    setMember(a, "one", "multiline", Push::boolean(true));
    traceMember(a, "one", "text");
    // Markup given to a multiline field keeps its breaks, whatever the field turns into later.
    createField(a, "many", 2, 0, 0, 100, 30);
    setMember(a, "many", "html", Push::boolean(true));
    setMember(a, "many", "multiline", Push::boolean(true));
    setMember(a, "many", "htmlText", Push::str("a<br>b"));
    traceMember(a, "many", "text");
    // Other tags whose names start alike are no breaks.
    setMember(a, "one", "multiline", Push::boolean(false));
    setMember(a, "one", "htmlText", Push::str("<b>x</b><brx>y"));
    traceMember(a, "one", "text");
    EXPECT_EQ(run(a, 7), (std::vector<std::string>{"abcd", "abcd", "a\nb", "xy"}));
}

TEST(TextFieldCopy, FiltersReadBackAsCopiesOfWhatWasSet) {
    ActionWriter a;
    createField(a, "t", 1, 0, 0, 100, 30);
    traceMember(a, "t", "filters");
    // t.filters = [new flash.filters.BlurFilter(7, 3)]
    a.push(Push::str("t")).op(op::kGetVariable).push(Push::str("filters"));
    a.push({Push::integer(3), Push::integer(7), Push::integer(2)});
    a.push(Push::str("flash")).op(op::kGetVariable).push(Push::str("filters")).op(op::kGetMember);
    a.push(Push::str("BlurFilter")).op(op::kNewMethod);
    a.push(Push::integer(1)).op(op::kInitArray).op(op::kSetMember);
    // f = t.filters; f[0].blurX = 99; trace(f.length); trace(t.filters[0].blurX); trace(t.filters[0].blurY)
    a.push(Push::str("f")).push(Push::str("t")).op(op::kGetVariable).push(Push::str("filters")).op(op::kGetMember);
    a.op(op::kSetVariable);
    a.push(Push::str("f")).op(op::kGetVariable).push(Push::integer(0)).op(op::kGetMember);
    a.push({Push::str("blurX"), Push::integer(99)}).op(op::kSetMember);
    traceMember(a, "f", "length");
    for (const char* p : {"blurX", "blurY"}) {
        a.push(Push::str("t")).op(op::kGetVariable).push(Push::str("filters")).op(op::kGetMember);
        a.push(Push::integer(0)).op(op::kGetMember).push(Push::str(p)).op(op::kGetMember).op(op::kTrace);
    }
    // Anything but filters in the list is dropped; a value that is no list clears them.
    setMember(a, "t", "filters", Push::integer(4));
    a.push(Push::str("t")).op(op::kGetVariable).push(Push::str("filters")).op(op::kGetMember);
    a.push(Push::str("length")).op(op::kGetMember).op(op::kTrace);
    EXPECT_EQ(run(a), (std::vector<std::string>{"", "1", "7", "3", "0"}));
}

TEST(TextFieldCopy, EmbeddedTextWithoutItsFontTakesNoRoom) {
    ActionWriter a;
    createField(a, "t", 1, 0, 0, 100, 30);
    setMember(a, "t", "embedFonts", Push::boolean(true));
    setMember(a, "t", "autoSize", Push::str("left"));
    // t.setNewTextFormat(new TextFormat("NoSuchFont", 20))
    a.push({Push::integer(20), Push::str("NoSuchFont"), Push::integer(2), Push::str("TextFormat")}).op(op::kNewObject);
    a.push(Push::integer(1)).push(Push::str("t")).op(op::kGetVariable).push(Push::str("setNewTextFormat"));
    a.op(op::kCallMethod).op(op::kPop);
    setMember(a, "t", "text", Push::str("some words"));
    for (const char* p : {"textWidth", "textHeight", "_width", "_height"}) traceMember(a, "t", p);
    EXPECT_EQ(run(a), (std::vector<std::string>{"0", "0", "4", "4"}));
}
