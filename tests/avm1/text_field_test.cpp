// TextField objects: properties read from and written to the field instance, drawing from the instance,
// variable binding, formats and fields made by createTextField.
#include <gtest/gtest.h>

#include <cstring>

#include <QImage>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::ActionWriter;
using sw::Push;
namespace op = sw::op;

namespace {

struct FieldSpec {
    std::uint16_t id = 2;
    std::uint16_t fontId = 1;
    bool outlines = true;
    bool html = false, border = false, readOnly = true, autoSize = false, wordWrap = false;
    std::string variable;
    std::string text;
    std::int32_t width = 2000, height = 600;   // twips
    std::int16_t indent = 0;                   // twips
};

sw::Bytes editText(const FieldSpec& f) {
    sw::ByteWriter w;
    w.u16(f.id).rect(0, f.width, 0, f.height);
    w.u8(static_cast<std::uint8_t>(0x80 | (f.wordWrap ? 0x40 : 0) | 0x20 | (f.readOnly ? 0x08 : 0) | 0x04 | 0x01));
    w.u8(static_cast<std::uint8_t>((f.autoSize ? 0x40 : 0) | 0x20 | (f.border ? 0x08 : 0) | (f.html ? 0x02 : 0) |
                                   (f.outlines ? 0x01 : 0)));
    w.u16(f.fontId).u16(400).rgba(0x000000ff);
    w.u8(0).u16(0).u16(0).s16(f.indent).s16(0);
    w.string(f.variable).string(f.text);
    return sw::tag(37, w.data());
}

// A font whose one glyph 'A' is a full-height box, half an em wide.
sw::Bytes boxFont(std::uint16_t id) {
    sw::ShapeBuilder glyph;
    glyph.style(std::nullopt, 1, std::nullopt).rect(0, -20480, 10240, 20480);
    return sw::defineFont3(id, "Box", {{glyph, 'A', 20480}});
}

// Script helpers: each leaves nothing on the stack.
void pushMember(ActionWriter& a, const std::string& object, const std::string& property) {
    a.push(Push::str(object)).op(op::kGetVariable).push(Push::str(property)).op(op::kGetMember);
}
void traceMember(ActionWriter& a, const std::string& object, const std::string& property) {
    pushMember(a, object, property);
    a.op(op::kTrace);
}
void traceVariable(ActionWriter& a, const std::string& name) { a.push(Push::str(name)).op(op::kGetVariable).op(op::kTrace); }
void setMember(ActionWriter& a, const std::string& object, const std::string& property, const Push& value) {
    a.push(Push::str(object)).op(op::kGetVariable).push({Push::str(property), value}).op(op::kSetMember);
}
void setVariable(ActionWriter& a, const std::string& name, const Push& value) {
    a.push({Push::str(name), value}).op(op::kSetVariable);
}
// object.method(args...), its result left on the stack.
void callMethod(ActionWriter& a, const std::string& object, const std::string& method, std::vector<Push> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.push(*it);
    a.push(Push::integer(static_cast<std::int32_t>(args.size())));
    a.push(Push::str(object)).op(op::kGetVariable).push(Push::str(method)).op(op::kCallMethod);
}

std::shared_ptr<const vp::Movie> makeMovie(const std::vector<sw::Bytes>& tags, int version = 8, std::uint16_t frames = 1) {
    sw::MovieSpec spec;
    spec.version = version;
    spec.widthTwips = 4000;
    spec.heightTwips = 2000;
    spec.frameCount = frames;
    std::vector<sw::Bytes> all{sw::setBackgroundColor(0xffffff)};
    all.insert(all.end(), tags.begin(), tags.end());
    return vp::Movie::fromBytes(sw::movie(spec, all));
}

std::vector<std::string> run(const std::vector<sw::Bytes>& tags, int frames = 1, int version = 8) {
    std::vector<std::string> lines;
    vp::Player player(makeMovie(tags, version, static_cast<std::uint16_t>(frames)),
                      [&](const QString& line) { lines.push_back(line.toStdString()); });
    for (int i = 1; i < frames; ++i) player.nextFrame();
    return lines;
}

QImage render(vp::Player& player, const vp::Movie& movie) {
    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, vp::stageToDevice(movie.stageRect(), QSizeF(200, 100), vp::ScaleMode::ShowAll, 1),
                  vp::RenderQuality::High);
    return image;
}

int darkPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
    return n;
}

sw::Bytes placeField(std::uint16_t id, const std::string& name, std::uint16_t depth = 1) {
    return sw::placeObject2({.depth = depth, .characterId = id, .name = name});
}

}  // namespace

TEST(TextFieldObject, PropertiesReadTheDefinitionAndWriteTheInstance) {
    ActionWriter a;
    for (const char* p : {"text", "html", "type", "variable", "border", "background", "wordWrap", "multiline",
                          "maxChars", "selectable", "length", "_width", "_height", "autoSize", "embedFonts"})
        traceMember(a, "t", p);
    setMember(a, "t", "text", Push::str("AAA"));
    setMember(a, "t", "border", Push::boolean(true));
    setMember(a, "t", "type", Push::str("INPUT"));
    setMember(a, "t", "type", Push::str("nonsense"));
    setMember(a, "t", "backgroundColor", Push::integer(-1));
    setMember(a, "t", "_width", Push::integer(50));
    for (const char* p : {"text", "length", "border", "type", "backgroundColor", "_width", "_xscale"}) traceMember(a, "t", p);
    const auto lines = run({boxFont(1), editText({.text = "AA"}), placeField(2, "t"), sw::doAction(a.end()),
                            sw::showFrame()});
    const std::vector<std::string> expected{
        "AA", "false", "dynamic", "null", "false", "false", "false", "true", "null", "true", "2", "100", "30",
        "none", "true",
        "AAA", "3", "true", "input", "16777215", "50", "100"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldObject, ChangedTextIsDrawnFromTheInstance) {
    // Setting the same text a field already shows draws exactly what the definition draws.
    auto same = makeMovie({boxFont(1), editText({.text = "AA"}), placeField(2, "t"), sw::showFrame()});
    ActionWriter set;
    setMember(set, "t", "text", Push::str("AA"));
    auto scripted = makeMovie({boxFont(1), editText({.text = ""}), placeField(2, "t"), sw::doAction(set.end()),
                               sw::showFrame()});
    vp::Player a(same), b(scripted);
    const QImage fromDefinition = render(a, *same);
    const QImage fromScript = render(b, *scripted);
    EXPECT_GT(darkPixels(fromDefinition), 0);
    EXPECT_EQ(fromDefinition, fromScript);

    // Longer text covers more; emptied text shows nothing.
    ActionWriter longer;
    setMember(longer, "t", "text", Push::str("AAAA"));
    auto more = makeMovie({boxFont(1), editText({.text = "AA"}), placeField(2, "t"), sw::doAction(longer.end()),
                           sw::showFrame()});
    vp::Player c(more);
    EXPECT_GT(darkPixels(render(c, *more)), darkPixels(fromDefinition) * 3 / 2);
    ActionWriter clear;
    setMember(clear, "t", "text", Push::str(""));
    auto none = makeMovie({boxFont(1), editText({.text = "AA"}), placeField(2, "t"), sw::doAction(clear.end()),
                           sw::showFrame()});
    vp::Player d(none);
    EXPECT_EQ(darkPixels(render(d, *none)), 0);
}

TEST(TextFieldObject, VariableBindingBothWays) {
    // A missing variable takes the field's text; a set one shows in the field from the next frame (and
    // at once to a script reading the field); setting the field's text sets the variable.
    ActionWriter first;
    traceVariable(first, "v");
    setVariable(first, "v", Push::str("hello"));
    traceMember(first, "t", "text");
    setVariable(first, "w", Push::integer(42));
    ActionWriter second;
    traceMember(second, "u", "text");
    setMember(second, "t", "text", Push::str("back"));
    traceVariable(second, "v");
    setMember(second, "t", "variable", Push::str("_root.w"));
    traceMember(second, "t", "text");
    traceMember(second, "t", "variable");
    const auto lines = run({boxFont(1), editText({.id = 2, .variable = "v", .text = "init"}),
                            editText({.id = 3, .variable = "/:w", .text = ""}), placeField(2, "t", 1),
                            placeField(3, "u", 2), sw::doAction(first.end()), sw::showFrame(),
                            sw::doAction(second.end()), sw::showFrame()},
                           2);
    const std::vector<std::string> expected{"init", "hello", "42", "back", "42", "_root.w"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldObject, BoundFieldShowsItsVariableEachFrame) {
    // Nothing reads the field: the frame's sync alone brings the variable's value to the screen.
    ActionWriter a;
    setVariable(a, "v", Push::str("AA"));
    auto movie = makeMovie({boxFont(1), editText({.variable = "v", .text = ""}), placeField(2, "t"),
                            sw::doAction(a.end()), sw::showFrame(), sw::showFrame()},
                           8, 2);
    vp::Player player(movie);
    EXPECT_EQ(darkPixels(render(player, *movie)), 0);
    player.nextFrame();
    EXPECT_GT(darkPixels(render(player, *movie)), 0);
}

TEST(TextFieldObject, CreateTextFieldAndRemoveIt) {
    ActionWriter a;
    callMethod(a, "_root", "createTextField", {Push::str("made"), Push::integer(5), Push::dbl(10.7), Push::dbl(-3.9),
                                                Push::integer(-40), Push::str("nonsense")});
    a.op(op::kTrace);
    for (const char* p : {"_x", "_y", "_width", "_height", "text", "type", "variable"}) traceMember(a, "made", p);
    callMethod(a, "made", "getDepth", {});
    a.op(op::kTrace);
    setMember(a, "made", "text", Push::str("x\ny"));
    traceMember(a, "made", "text");
    traceMember(a, "made", "length");
    callMethod(a, "made", "removeTextField", {});
    a.op(op::kPop);
    traceVariable(a, "made");
    // Hostile sizes and missing arguments do no harm.
    callMethod(a, "_root", "createTextField", {Push::str("big"), Push::integer(6), Push::dbl(1e300), Push::dbl(-1e300),
                                                Push::dbl(1e300), Push::dbl(1e300)});
    a.op(op::kPop);
    a.push(Push::str("big")).op(op::kGetVariable).op(op::kTypeOf).op(op::kTrace);
    callMethod(a, "_root", "createTextField", {Push::str("few")});
    a.op(op::kTrace);
    const auto lines = run({sw::doAction(a.end()), sw::showFrame()});
    // The text's line end is kept as a carriage return, which trace writes as a line feed.
    const std::vector<std::string> expected{
        "_level0.made", "10", "-3", "40", "0", "", "dynamic", "null", "5", "x\ny", "3", "undefined", "object",
        "undefined"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldObject, HtmlTextAndFormats) {
    ActionWriter a;
    setMember(a, "t", "htmlText", Push::str("<b>A</b>A"));
    traceMember(a, "t", "text");
    traceMember(a, "t", "htmlText");
    callMethod(a, "t", "getTextFormat", {});
    a.push(Push::str("size")).op(op::kGetMember).op(op::kTrace);
    // A format object sets the color of the text; textColor still names the color of new text.
    a.push(Push::str("fmt")).push({Push::str("color"), Push::integer(0xff0000), Push::integer(1)}).op(op::kInitObject);
    a.op(op::kSetVariable);
    a.push(Push::str("fmt")).op(op::kGetVariable).push(Push::integer(1));
    a.push(Push::str("t")).op(op::kGetVariable).push(Push::str("setTextFormat")).op(op::kCallMethod).op(op::kPop);
    traceMember(a, "t", "textColor");
    callMethod(a, "t", "getTextFormat", {});
    a.push(Push::str("color")).op(op::kGetMember).op(op::kTrace);
    // condenseWhite (version 8): runs of blanks and line ends become one space, across tags; blanks at
    // the start go.
    setMember(a, "t", "condenseWhite", Push::boolean(true));
    setMember(a, "t", "htmlText", Push::str("\n A \r\n A<b> \n</b>"));
    traceMember(a, "t", "text");
    setMember(a, "t", "html", Push::boolean(false));
    traceMember(a, "t", "text");
    const auto lines = run({boxFont(1), editText({.html = true, .text = ""}), placeField(2, "t"),
                            sw::doAction(a.end()), sw::showFrame()});
    const std::vector<std::string> expected{
        "AA",
        "<P ALIGN=\"LEFT\"><FONT FACE=\"Box\" SIZE=\"20\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">"
        "<B>A</B>A</FONT></P>",
        "20", "0", "16711680", "A A ", "A A "};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldObject, AutoSizeFollowsTheText) {
    ActionWriter a;
    callMethod(a, "_root", "createTextField", {Push::str("f"), Push::integer(1), Push::integer(100), Push::integer(0),
                                                Push::integer(10), Push::integer(10)});
    a.op(op::kPop);
    setMember(a, "f", "text", Push::str("some words here"));
    setMember(a, "f", "autoSize", Push::str("right"));
    traceMember(a, "f", "autoSize");
    // Grown past its 10 pixels to the text and the gutters around it.
    pushMember(a, "f", "_width");
    pushMember(a, "f", "textWidth");
    a.op(op::kSubtract).push(Push::integer(3)).op(op::kGreater).op(op::kTrace);
    pushMember(a, "f", "_width");
    pushMember(a, "f", "textWidth");
    a.op(op::kSubtract).push(Push::integer(6)).op(op::kLess2).op(op::kTrace);
    pushMember(a, "f", "_width");
    a.push(Push::integer(20)).op(op::kGreater).op(op::kTrace);
    pushMember(a, "f", "_x");
    pushMember(a, "f", "_width");
    a.op(op::kAdd2).op(op::kTrace);
    setMember(a, "f", "autoSize", Push::boolean(false));
    traceMember(a, "f", "autoSize");
    const auto lines = run({sw::doAction(a.end()), sw::showFrame()});
    const std::vector<std::string> expected{"right", "true", "true", "true", "110", "none"};
    EXPECT_EQ(lines, expected);
}

namespace {

// A font whose one glyph 'A' advances a fraction short of an em (20000 of 20480 units), so advances
// at most sizes end in a fraction of a twip.
sw::Bytes wideFont(std::uint16_t id) {
    sw::ShapeBuilder glyph;
    glyph.style(std::nullopt, 1, std::nullopt).rect(0, -18000, 19000, 22000);
    sw::ShapeBuilder blank;
    blank.style(std::nullopt, 1, std::nullopt).rect(0, 0, 1, 1);
    return sw::defineFont3(id, "Wide", {{blank, ' ', 10240}, {glyph, 'A', 20000}});
}

// name = {key: value, ...} as a plain object.
void makeObject(ActionWriter& a, const std::string& name, const std::vector<std::pair<std::string, Push>>& fields) {
    a.push(Push::str(name));
    for (const auto& [key, value] : fields) a.push({Push::str(key), value});
    a.push(Push::integer(static_cast<std::int32_t>(fields.size()))).op(op::kInitObject).op(op::kSetVariable);
}

void callWithVariable(ActionWriter& a, const std::string& object, const std::string& method, const std::string& arg) {
    a.push(Push::str(arg)).op(op::kGetVariable).push(Push::integer(1));
    a.push(Push::str(object)).op(op::kGetVariable).push(Push::str(method)).op(op::kCallMethod).op(op::kPop);
}

}  // namespace

TEST(TextFieldMetrics, ScriptFieldsMeasureTheirEmbeddedFontInWholeTwips) {
    // Size 13 is 260 twips: each 'A' advances 253.9 twips, cut to 253; the ascent (228.5) and descent
    // (50.8) are cut on their own to 228 and 50. Measures in pixels are cut down as well.
    ActionWriter a;
    callMethod(a, "_root", "createTextField", {Push::str("f"), Push::integer(1), Push::integer(0), Push::integer(0),
                                                Push::integer(300), Push::integer(400)});
    a.op(op::kPop);
    setMember(a, "f", "embedFonts", Push::boolean(true));
    setMember(a, "f", "multiline", Push::boolean(true));
    makeObject(a, "plain", {{"font", Push::str("Wide")}, {"size", Push::integer(13)}});
    callWithVariable(a, "f", "setNewTextFormat", "plain");
    setMember(a, "f", "text", Push::str("AAA"));
    traceMember(a, "f", "textWidth");    // 759 twips: 37.95 pixels
    traceMember(a, "f", "textHeight");   // 278 twips: 13.9 pixels
    std::string fifteen = "A";
    for (int i = 1; i < 15; ++i) fifteen += "\rA";
    setMember(a, "f", "text", Push::str(fifteen));
    traceMember(a, "f", "textHeight");   // 4170 twips: 208.5 pixels
    // Leading from the new text's format: after a lone line it counts, otherwise only between lines.
    makeObject(a, "spaced", {{"font", Push::str("Wide")}, {"size", Push::integer(13)}, {"leading", Push::integer(5)}});
    callWithVariable(a, "f", "setNewTextFormat", "spaced");
    setMember(a, "f", "text", Push::str("A"));
    traceMember(a, "f", "textHeight");   // 278 + 100 twips
    callMethod(a, "f", "getTextFormat", {});
    a.push(Push::str("leading")).op(op::kGetMember).op(op::kTrace);
    setMember(a, "f", "text", Push::str("A\rA"));
    traceMember(a, "f", "textHeight");   // 2 * 278 + 100 twips
    // An embedded font the movie does not hold shows nothing and takes no room.
    makeObject(a, "missing", {{"font", Push::str("Missing")}});
    callWithVariable(a, "f", "setNewTextFormat", "missing");
    setMember(a, "f", "text", Push::str("AAA"));
    traceMember(a, "f", "textWidth");
    const auto lines = run({wideFont(1), sw::doAction(a.end()), sw::showFrame()});
    const std::vector<std::string> expected{"37", "13", "208", "18", "5", "32", "0"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldMetrics, ScrollPositionsWrapAndClamp) {
    // Five short lines in a field that shows about two: the last first line is 4.
    ActionWriter a;
    callMethod(a, "_root", "createTextField", {Push::str("f"), Push::integer(1), Push::integer(0), Push::integer(0),
                                                Push::integer(100), Push::integer(40)});
    a.op(op::kPop);
    setMember(a, "f", "embedFonts", Push::boolean(true));
    setMember(a, "f", "multiline", Push::boolean(true));
    makeObject(a, "plain", {{"font", Push::str("Wide")}, {"size", Push::integer(13)}});
    callWithVariable(a, "f", "setNewTextFormat", "plain");
    setMember(a, "f", "text", Push::str("A\rA\rA\rA\rA"));
    traceMember(a, "f", "maxscroll");
    for (const Push& v : {Push::integer(100), Push::dbl(2147483648.0), Push::dbl(2147483649.0), Push::null(),
                          Push::str("3")}) {
        setMember(a, "f", "scroll", v);
        traceMember(a, "f", "scroll");
    }
    // hscroll takes the number as 32 bits too: 2^31 is negative, so no scroll.
    setMember(a, "f", "hscroll", Push::dbl(2147483648.0));
    traceMember(a, "f", "hscroll");
    const auto lines = run({wideFont(1), sw::doAction(a.end()), sw::showFrame()});
    const std::vector<std::string> expected{"4", "4", "4", "1", "1", "3", "0"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldMetrics, NewTextTakesTheNewFormatsParagraphSettings) {
    ActionWriter a;
    callMethod(a, "_root", "createTextField", {Push::str("f"), Push::integer(1), Push::integer(0), Push::integer(0),
                                                Push::integer(300), Push::integer(100)});
    a.op(op::kPop);
    makeObject(a, "fmt", {{"leftMargin", Push::integer(7)}, {"rightMargin", Push::integer(5)},
                          {"blockIndent", Push::integer(15)}, {"indent", Push::integer(-3)},
                          {"align", Push::str("center")}, {"bullet", Push::boolean(true)}});
    callWithVariable(a, "f", "setNewTextFormat", "fmt");
    // Text already there keeps its settings until new text replaces it.
    callMethod(a, "f", "getNewTextFormat", {});
    a.push(Push::str("blockIndent")).op(op::kGetMember).op(op::kTrace);
    setMember(a, "f", "text", Push::str("A"));
    for (const char* p : {"leftMargin", "rightMargin", "blockIndent", "indent", "align", "bullet"}) {
        callMethod(a, "f", "getTextFormat", {});
        a.push(Push::str(p)).op(op::kGetMember).op(op::kTrace);
    }
    const auto lines = run({sw::doAction(a.end()), sw::showFrame()});
    const std::vector<std::string> expected{"15", "7", "5", "15", "-3", "center", "true"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldMetrics, PlaceSizeAndColorAsScriptsReadThem) {
    ActionWriter a;
    callMethod(a, "_root", "createTextField", {Push::str("g"), Push::integer(2), Push::integer(50), Push::integer(0),
                                                Push::integer(100), Push::integer(30)});
    a.op(op::kPop);
    setMember(a, "g", "embedFonts", Push::boolean(true));
    makeObject(a, "plain", {{"font", Push::str("Wide")}, {"size", Push::integer(13)}});
    callWithVariable(a, "g", "setNewTextFormat", "plain");
    setMember(a, "g", "text", Push::str("AAA"));
    // A centred field that shrinks to its text keeps its middle, already when its place is read next.
    setMember(a, "g", "autoSize", Push::str("center"));
    pushMember(a, "g", "_x");
    a.push(Push::integer(50)).op(op::kGreater).op(op::kTrace);
    pushMember(a, "g", "_x");
    pushMember(a, "g", "_width");
    a.push(Push::integer(2)).op(op::kDivide).op(op::kAdd2).push(Push::dbl(99.9)).op(op::kGreater).op(op::kTrace);
    pushMember(a, "g", "_x");
    pushMember(a, "g", "_width");
    a.push(Push::integer(2)).op(op::kDivide).op(op::kAdd2).push(Push::dbl(100.1)).op(op::kLess2).op(op::kTrace);
    // textColor is the color of new text: formatting the text already there leaves it.
    setMember(a, "g", "textColor", Push::integer(0xff));
    makeObject(a, "red", {{"color", Push::integer(0xff0000)}});
    callWithVariable(a, "g", "setTextFormat", "red");
    traceMember(a, "g", "textColor");
    makeObject(a, "green", {{"color", Push::integer(0x00ff00)}});
    callWithVariable(a, "g", "setNewTextFormat", "green");
    traceMember(a, "g", "textColor");
    // A size a script sets is cut to whole twips.
    setMember(a, "g", "autoSize", Push::str("none"));
    setMember(a, "g", "_height", Push::dbl(3.94));
    traceMember(a, "g", "_height");
    // ... and it is the size of the field's own bounds: a scaled field shows it scaled.
    setMember(a, "g", "_xscale", Push::integer(200));
    setMember(a, "g", "_width", Push::integer(20));
    traceMember(a, "g", "_width");
    traceMember(a, "g", "_xscale");
    const auto lines = run({wideFont(1), sw::doAction(a.end()), sw::showFrame()});
    const std::vector<std::string> expected{"true", "true", "true", "255", "65280", "3.9", "40", "200"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldMetrics, BlanksEndingALineCountInTheWidthOfLeftAlignedText) {
    // "AA " at size 13: two advances of 253 twips and a blank of 130. Up to version 7 the blank always
    // counts; from version 8 right and centred lines leave it out.
    ActionWriter a;
    callMethod(a, "_root", "createTextField", {Push::str("f"), Push::integer(1), Push::integer(0), Push::integer(0),
                                                Push::integer(300), Push::integer(100)});
    a.op(op::kPop);
    setMember(a, "f", "embedFonts", Push::boolean(true));
    for (const char* align : {"left", "right", "center"}) {
        makeObject(a, "fmt", {{"font", Push::str("Wide")}, {"size", Push::integer(13)}, {"align", Push::str(align)}});
        callWithVariable(a, "f", "setNewTextFormat", "fmt");
        setMember(a, "f", "text", Push::str("AA "));
        traceMember(a, "f", "textWidth");
        setMember(a, "f", "text", Push::str(""));
        traceMember(a, "f", "textWidth");
    }
    const std::vector<sw::Bytes> tags{wideFont(1), sw::doAction(a.end()), sw::showFrame()};
    EXPECT_EQ(run(tags, 1, 8), (std::vector<std::string>{"31", "0", "25", "0", "25", "0"}));
    EXPECT_EQ(run(tags, 1, 7), (std::vector<std::string>{"31", "0", "31", "0", "31", "0"}));
}

TEST(TextFieldMetrics, LineEndsAndWordsTooLongForALine) {
    // Lines of 278 twips at size 13. "\r\n" ends two lines, the empty one as high as the others.
    ActionWriter a;
    callMethod(a, "_root", "createTextField", {Push::str("f"), Push::integer(1), Push::integer(0), Push::integer(0),
                                                Push::integer(30), Push::integer(200)});
    a.op(op::kPop);
    setMember(a, "f", "embedFonts", Push::boolean(true));
    setMember(a, "f", "multiline", Push::boolean(true));
    makeObject(a, "plain", {{"font", Push::str("Wide")}, {"size", Push::integer(13)}});
    callWithVariable(a, "f", "setNewTextFormat", "plain");
    setMember(a, "f", "text", Push::str("A\r\nA"));
    traceMember(a, "f", "textHeight");   // 834 twips
    // A word wider than the 26 pixels inside the field breaks where the line is full: two of 253 twips fit.
    setMember(a, "f", "wordWrap", Push::boolean(true));
    setMember(a, "f", "text", Push::str("AAAAA"));
    traceMember(a, "f", "textWidth");    // 506 twips
    traceMember(a, "f", "textHeight");   // three lines
    setMember(a, "f", "wordWrap", Push::boolean(false));
    traceMember(a, "f", "textWidth");    // one line of 1265 twips
    const auto lines = run({wideFont(1), sw::doAction(a.end()), sw::showFrame()});
    const std::vector<std::string> expected{"41", "25", "41", "63"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldMetrics, KerningOfTheDefinitionsMarkupIsPartOfTheFormat) {
    // The same markup set by a script keeps its kerning out of the format scripts read.
    ActionWriter a;
    callMethod(a, "t", "getTextFormat", {});
    a.push(Push::str("kerning")).op(op::kGetMember).op(op::kTrace);
    setMember(a, "t", "htmlText", Push::str("<font kerning=\"1\">AA</font>"));
    callMethod(a, "t", "getTextFormat", {});
    a.push(Push::str("kerning")).op(op::kGetMember).op(op::kTrace);
    const auto lines = run({boxFont(1), editText({.html = true, .text = "<font kerning=\"1\">A</font>"}),
                            placeField(2, "t"), sw::doAction(a.end()), sw::showFrame()});
    const std::vector<std::string> expected{"true", "false"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldMetrics, AVeryLongWordInANarrowFieldEnds) {
    // Every character takes a line of its own: the layout still ends, with one line per character.
    const std::string word(20000, 'A');
    for (bool embedded : {true, false}) {
        ActionWriter a;
        callMethod(a, "_root", "createTextField", {Push::str("f"), Push::integer(1), Push::integer(0),
                                                    Push::integer(0), Push::integer(5), Push::integer(20)});
        a.op(op::kPop);
        setMember(a, "f", "embedFonts", Push::boolean(embedded));
        setMember(a, "f", "wordWrap", Push::boolean(true));
        makeObject(a, "plain", {{"font", Push::str("Wide")}, {"size", Push::integer(13)}});
        callWithVariable(a, "f", "setNewTextFormat", "plain");
        setMember(a, "f", "text", Push::str(word));
        traceMember(a, "f", "maxscroll");
        const auto lines = run({wideFont(1), sw::doAction(a.end()), sw::showFrame()});
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_GT(std::stoi(lines[0]), 19000) << (embedded ? "embedded" : "device");
    }
}

TEST(TextFieldObject, AntiAliasingSettingsComeFromTheMovieAndTakeKnownValues) {
    ActionWriter a;
    for (const char* name : {"antiAliasType", "gridFitType", "thickness", "sharpness"}) traceMember(a, "t", name);
    traceMember(a, "u", "antiAliasType");
    // Unknown names leave a setting alone; numbers are kept as given.
    setMember(a, "t", "antiAliasType", Push::str("aaaaa"));
    setMember(a, "t", "gridFitType", Push::str("none"));
    setMember(a, "t", "sharpness", Push::str("x"));
    for (const char* name : {"antiAliasType", "gridFitType", "sharpness"}) traceMember(a, "t", name);
    // The text settings of character 2: advanced, subpixel grid, thickness 1.5, sharpness -100.
    sw::ByteWriter csm;
    csm.u16(2).u8(0x40 | (2 << 3));
    const float thickness = 1.5f, sharpness = -100.0f;
    std::uint32_t bits;
    std::memcpy(&bits, &thickness, 4);
    csm.u32(bits);
    std::memcpy(&bits, &sharpness, 4);
    csm.u32(bits);
    const auto lines = run({boxFont(1), editText({.text = "AA"}), sw::tag(74, csm.data()), placeField(2, "t"),
                            editText({.id = 3, .text = "AA"}), placeField(3, "u", 2), sw::doAction(a.end()),
                            sw::showFrame()});
    EXPECT_EQ(lines, (std::vector<std::string>{"advanced", "subpixel", "1.5", "-100", "normal", "advanced", "none", "NaN"}));
}

TEST(TextFieldObject, TextColorRecolorsTheMarkupAlreadyThere) {
    ActionWriter a;
    setMember(a, "t", "textColor", Push::integer(0x404040));
    callMethod(a, "t", "getTextFormat", {});
    a.push(Push::str("color")).op(op::kGetMember).op(op::kTrace);
    traceMember(a, "t", "text");
    const auto lines = run({boxFont(1), editText({.html = true, .text = "<font color=\"#000000\">A</font><b>A</b>"}),
                            placeField(2, "t"), sw::doAction(a.end()), sw::showFrame()});
    EXPECT_EQ(lines, (std::vector<std::string>{"4210752", "AA"}));
}

TEST(TextFieldObject, BoundFieldFollowsAssignmentsNotStringForms) {
    ActionWriter a;
    // v = new Object(): the field shows it.
    a.push({Push::str("v"), Push::integer(0), Push::str("Object")}).op(op::kNewObject).op(op::kSetVariable);
    traceMember(a, "t", "text");
    // Object.prototype.toString = function () { return "X"; }: the same object, not assigned again.
    ActionWriter body;
    body.push(Push::str("X")).op(op::kReturn);
    a.push(Push::str("Object")).op(op::kGetVariable).push(Push::str("prototype")).op(op::kGetMember);
    a.push(Push::str("toString")).defineFunction("", {}, body).op(op::kSetMember);
    traceMember(a, "t", "text");
    // A write of the field's own that the variable refuses (read-only) leaves the field its text.
    setVariable(a, "w", Push::str("old"));
    a.push({Push::integer(4), Push::str("w"), Push::str("_root")}).op(op::kGetVariable);
    a.push({Push::integer(3), Push::str("ASSetPropFlags")}).op(op::kCallFunction).op(op::kPop);
    setMember(a, "u", "text", Push::str("new"));
    traceMember(a, "u", "text");
    traceVariable(a, "w");
    const auto lines = run({boxFont(1), editText({.variable = "v", .text = "A"}), placeField(2, "t"),
                            editText({.id = 3, .variable = "w", .text = "A"}), placeField(3, "u", 2),
                            sw::doAction(a.end()), sw::showFrame()});
    EXPECT_EQ(lines, (std::vector<std::string>{"[object Object]", "[object Object]", "new", "old"}));
}

TEST(TextFieldObject, IndentsMayReachLeftAndAreKeptAsGiven) {
    ActionWriter a;
    callMethod(a, "t", "getNewTextFormat", {});
    a.push(Push::str("indent")).op(op::kGetMember).op(op::kTrace);
    // fmt = new TextFormat(); fmt.indent = 64010; t.setNewTextFormat(fmt)
    a.push({Push::str("fmt"), Push::integer(0), Push::str("TextFormat")}).op(op::kNewObject).op(op::kSetVariable);
    setMember(a, "fmt", "indent", Push::integer(64010));
    a.push(Push::str("fmt")).op(op::kGetVariable).push(Push::integer(1));
    a.push(Push::str("t")).op(op::kGetVariable).push(Push::str("setNewTextFormat")).op(op::kCallMethod).op(op::kPop);
    callMethod(a, "t", "getNewTextFormat", {});
    a.push(Push::str("indent")).op(op::kGetMember).op(op::kTrace);
    const auto lines = run({boxFont(1), editText({.text = "AA", .indent = -200}), placeField(2, "t"),
                            sw::doAction(a.end()), sw::showFrame()});
    EXPECT_EQ(lines, (std::vector<std::string>{"-10", "64010"}));
}

namespace {

// Renders the first frame of a movie holding the box font, `field` placed as "f" at (x, y) twips, and
// `script` run after it.
QImage renderField(const sw::Bytes& field, ActionWriter script, std::int32_t x = 0, std::int32_t y = 0) {
    auto movie = makeMovie({boxFont(1), field,
                            sw::placeObject2({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec::translate(x, y), .name = "f"}),
                            sw::doAction(script.end()), sw::showFrame()});
    vp::Player player(movie);
    return render(player, *movie);
}

int darkIn(const QImage& img, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
    return n;
}

}  // namespace

TEST(TextFieldDrawing, ScrolledFieldsDrawFromTheLineAndPixelScrolledTo) {
    // Three lines, one box more on each; the 30-pixel field shows one line. Boxes are 10 pixels wide
    // every 20, from the 2-pixel gutter.
    const sw::Bytes lines = editText({.text = "A\rAA\rAAA"});
    const QRect secondBox(22, 4, 10, 12);
    EXPECT_EQ(darkIn(renderField(lines, ActionWriter()), secondBox), 0);
    ActionWriter down;
    setMember(down, "f", "scroll", Push::integer(2));
    EXPECT_GT(darkIn(renderField(lines, down), secondBox), 60);

    // Moved 5 pixels left, the first box reaches past the gutter, where the text is cut.
    const sw::Bytes wide = editText({.text = "AAAAAAAA"});
    ActionWriter left;
    setMember(left, "f", "hscroll", Push::integer(5));
    const QImage moved = renderField(wide, left);
    EXPECT_EQ(darkIn(moved, QRect(0, 4, 2, 12)), 0);
    EXPECT_GT(darkIn(moved, QRect(2, 4, 5, 12)), 40);
    EXPECT_EQ(darkIn(moved, QRect(7, 4, 10, 12)), 0);
    EXPECT_GT(darkIn(moved, QRect(17, 4, 10, 12)), 100);
}

TEST(TextFieldDrawing, LayoutChangesScrollBackAndOtherSettingsDoNot) {
    ActionWriter a;
    const auto scrollThen = [&](const std::string& property, const Push& value) {
        setMember(a, "f", "scroll", Push::integer(2));
        setMember(a, "f", "hscroll", Push::integer(3));
        setMember(a, "f", property, value);
        traceMember(a, "f", "scroll");
        traceMember(a, "f", "hscroll");
    };
    scrollThen("background", Push::boolean(true));
    scrollThen("borderColor", Push::integer(0xff0000));
    scrollThen("text", Push::str("AAAAAAAA\rA\rA"));   // the same text again
    scrollThen("textColor", Push::integer(0xff));
    scrollThen("wordWrap", Push::boolean(true));
    const auto lines = run({boxFont(1), editText({.text = "AAAAAAAA\rA\rA"}), placeField(2, "f"), sw::doAction(a.end()),
                            sw::showFrame()});
    const std::vector<std::string> expected{"2", "3", "2", "3", "2", "3", "1", "0", "1", "0"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldDrawing, FrameLiesOnWholePixelsWhereverTheFieldStands) {
    // At (10.5, 10.25) pixels the frame's lines fall on columns 10 and 110 and rows 10 and 40, solid.
    const QImage img = renderField(editText({.border = true}), ActionWriter(), 210, 205);
    for (int y : {15, 25, 35}) {
        EXPECT_LT(qGray(img.pixel(10, y)), 32) << y;
        EXPECT_GT(qGray(img.pixel(9, y)), 224) << y;
        EXPECT_GT(qGray(img.pixel(11, y)), 224) << y;
        EXPECT_LT(qGray(img.pixel(110, y)), 32) << y;
        EXPECT_GT(qGray(img.pixel(111, y)), 224) << y;
    }
    EXPECT_LT(qGray(img.pixel(50, 10)), 32);
    EXPECT_GT(qGray(img.pixel(50, 11)), 224);
    EXPECT_LT(qGray(img.pixel(50, 40)), 32);
    EXPECT_GT(qGray(img.pixel(50, 41)), 224);

    // The corner and the size are rounded each on its own, halves to the even pixel: a field 31.5 by
    // 18.5 pixels at (11.5, 10.5) has its frame on columns 12 and 44 and rows 10 and 28.
    const QImage odd = renderField(editText({.border = true, .width = 630, .height = 370}), ActionWriter(), 230, 210);
    const auto dark = [&](int x, int y) { return qGray(odd.pixel(x, y)) < 32; };
    EXPECT_FALSE(dark(11, 20));
    EXPECT_TRUE(dark(12, 20));
    EXPECT_FALSE(dark(43, 20));
    EXPECT_TRUE(dark(44, 20));
    EXPECT_TRUE(dark(30, 10));
    EXPECT_TRUE(dark(30, 28));
    EXPECT_FALSE(dark(30, 29));

    // Scaled to three quarters a field 30 pixels wide is 22.5 wide: a half, to the even 22.
    auto movie = makeMovie({boxFont(1), editText({.border = true, .width = 600}),
                            sw::placeObject2({.depth = 1, .characterId = 2,
                                              .matrix = sw::MatrixSpec{.scaleX = 0.75, .scaleY = 0.75, .translateX = 201, .translateY = 200}}),
                            sw::showFrame()});
    vp::Player player(movie);
    const QImage scaled = render(player, *movie);
    EXPECT_LT(qGray(scaled.pixel(10, 15)), 32);
    EXPECT_LT(qGray(scaled.pixel(32, 15)), 32);
    EXPECT_GT(qGray(scaled.pixel(33, 15)), 224);
}

TEST(TextFieldDrawing, NegativeIndentReachesBackOverTheMarginsOnly) {
    // An indent of -10 pixels with no margin: the first box still starts at the gutter.
    const QImage img = renderField(editText({.text = "A", .indent = -200}), ActionWriter());
    EXPECT_GT(darkIn(img, QRect(2, 4, 10, 12)), 100);
}

TEST(TextFieldDrawing, AnIndentAloneNeverBreaksAWordThatFitsALine) {
    // Lines of 96 pixels, boxes every 20. An indent of 80 pixels leaves the first line room for no box, yet
    // "AA" stays whole on it from x = 82, reaching past the field's edge: nothing goes to a second line.
    const QImage indented = renderField(editText({.wordWrap = true, .text = "AA", .indent = 1600}), ActionWriter());
    EXPECT_GT(darkIn(indented, QRect(82, 4, 10, 12)), 100);
    EXPECT_EQ(darkIn(indented, QRect(0, 0, 80, 30)), 0);
    // However far the indent goes, the first line keeps the word, out of sight.
    const QImage far = renderField(editText({.wordWrap = true, .text = "AA", .indent = 32767}), ActionWriter());
    EXPECT_EQ(darkIn(far, QRect(0, 0, 100, 30)), 0);
    // A word wider than a whole line still breaks where the line is full, the rest starting the next line.
    const QImage wide = renderField(editText({.wordWrap = true, .text = "AAAAAAA", .height = 1200}), ActionWriter());
    EXPECT_GT(darkIn(wide, QRect(2, 4, 10, 12)), 100);
    EXPECT_GT(darkIn(wide, QRect(2, 34, 10, 8)), 50);
}

TEST(TextFieldMetrics, TabsMoveToTheNextStop) {
    ActionWriter a;
    const auto widthOf = [&](const std::string& text) {
        setMember(a, "f", "text", Push::str(text));
        traceMember(a, "f", "textWidth");
    };
    // Without stops, every 2.7 font sizes (54 pixels at 20): a tab that leads or ends a line takes no
    // room in its width.
    widthOf("A\tA");
    widthOf("\tA");
    widthOf("A\t");
    // Stops in the order given: the first past the pen; past the last one a tab moves nothing.
    a.push({Push::str("fmt"), Push::str("tabStops"), Push::integer(25), Push::integer(30), Push::integer(2)});
    a.op(op::kInitArray).push(Push::integer(1)).op(op::kInitObject).op(op::kSetVariable);
    callWithVariable(a, "f", "setNewTextFormat", "fmt");
    widthOf("A\tA\tA");
    const auto lines = run({boxFont(1), editText({.width = 8000}), placeField(2, "f"), sw::doAction(a.end()), sw::showFrame()});
    const std::vector<std::string> expected{"74", "20", "20", "70"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldDrawing, BulletItemsStartAFixedStepInFromTheirMargin) {
    // The box font has no bullet glyph, so only the item's text shows: 36 pixels in from the gutter.
    const QImage img = renderField(editText({.html = true, .text = "<li>A</li>"}), ActionWriter());
    EXPECT_EQ(darkIn(img, QRect(0, 0, 38, 30)), 0);
    EXPECT_GT(darkIn(img, QRect(38, 4, 10, 12)), 100);
}

TEST(TextFieldMetrics, BulletStepNarrowsTheLinesButTakesNoPartInTheWidth) {
    ActionWriter a;
    const auto measure = [&](const std::string& markup) {
        setMember(a, "f", "htmlText", Push::str(markup));
        traceMember(a, "f", "textWidth");
        traceMember(a, "f", "textHeight");
    };
    // "A A A" (73 pixels) fits the 96 a 100-pixel field offers, but not the 60 left beside a bullet.
    measure("A A A");
    measure("<li>A A A</li>");
    measure("<li>A</li>");
    const auto lines = run({boxFont(1), editText({.html = true, .wordWrap = true, .width = 2000}), placeField(2, "f"),
                            sw::doAction(a.end()), sw::showFrame()});
    for (const auto& l : lines) std::fprintf(stderr, "L %s\n", l.c_str());
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "73");   // 1466 twips, cut to whole pixels
    EXPECT_EQ(lines[2], "53");   // "A A " on the first line, its blank included
    EXPECT_EQ(std::stod(lines[3]), 2 * std::stod(lines[1]));
    EXPECT_EQ(lines[4], "20");
    EXPECT_EQ(lines[5], lines[1]);
}

TEST(TextFieldRules, MarkupStartsFromTheNewTextFormatEachTimeItIsSet) {
    ActionWriter a;
    const auto traceFormat = [&] {
        callMethod(a, "f", "getTextFormat", {});
        a.push(Push::str("leftMargin")).op(op::kGetMember).op(op::kTrace);
        callMethod(a, "f", "getTextFormat", {});
        a.push(Push::str("size")).op(op::kGetMember).op(op::kTrace);
    };
    makeObject(a, "wide", {{"size", Push::integer(30)}, {"leftMargin", Push::integer(10)}});
    callWithVariable(a, "f", "setNewTextFormat", "wide");
    setMember(a, "f", "htmlText", Push::str("A"));
    traceFormat();
    // The same markup again takes the format set since; plain text set to what it holds does not.
    makeObject(a, "narrow", {{"leftMargin", Push::integer(15)}});
    callWithVariable(a, "f", "setNewTextFormat", "narrow");
    setMember(a, "f", "htmlText", Push::str("A"));
    traceFormat();
    makeObject(a, "none", {{"leftMargin", Push::integer(0)}});
    callWithVariable(a, "f", "setNewTextFormat", "none");
    setMember(a, "f", "text", Push::str("A"));
    traceFormat();
    const auto lines = run({boxFont(1), editText({.html = true}), placeField(2, "f"), sw::doAction(a.end()),
                            sw::showFrame()});
    const std::vector<std::string> expected{"10", "30", "15", "30", "15", "30"};
    EXPECT_EQ(lines, expected);
}

namespace {

// A multiline HTML field `name` of embedded text, made by script, its new text in `font` at `size`.
void makeHtmlField(ActionWriter& a, const std::string& name, int depth, int width, int height, const std::string& font,
                   int size) {
    callMethod(a, "_root", "createTextField", {Push::str(name), Push::integer(depth), Push::integer(0),
                                                Push::integer(0), Push::integer(width), Push::integer(height)});
    a.op(op::kPop);
    for (const char* property : {"embedFonts", "multiline", "html"}) setMember(a, name, property, Push::boolean(true));
    makeObject(a, name + "Format", {{"font", Push::str(font)}, {"size", Push::integer(size)}});
    callWithVariable(a, name, "setNewTextFormat", name + "Format");
}

}  // namespace

TEST(TextFieldMetrics, MixedSizeLinesTakeTheirHeightFromTheRunsStartingOnThem) {
    // The Wide font at size 100 reaches 1757 twips up and 390 down, at 50 878 and 195, at 30 527 and 117.
    // A line is as high as the runs of one format (line end included) that start on it; a run carried
    // on past a line end or a wrap counts as the first thing on the line before. The text's height spans
    // the glyph boxes (each as high as its own font) and the boxes of empty lines.
    ActionWriter a;
    makeHtmlField(a, "f", 1, 1000, 1000, "Wide", 100);
    const auto measure = [&](const std::string& markup) {
        setMember(a, "f", "htmlText", Push::str(markup));
        traceMember(a, "f", "textHeight");
    };
    measure("A<br>A");                                                    // 2 * 2147 twips
    // The break (size 100) starts a run on the first line: 2147 down to the second, whose 50 stands on its own.
    measure("<font size=\"50\">A</font><br><font size=\"50\">A</font>");    // 879 to 3220
    // Each item's end (size 100) starts a run on its line: the second line stands 1757 down too.
    measure("<li><font size=\"50\">A</font></li><li><font size=\"50\">A</font></li>");   // 879 to 3904 + 195
    // The second line carries on the break's run: it stands as high as the 50 before.
    measure("<font size=\"50\">A</font><br>A");                           // 879 to 3025 + 390
    // An empty line carried on is as high as the 50 too; so is the line after it.
    measure("<font size=\"50\">A</font><br><br>A");                       // 879 to 3220 + 878 + 390
    // Markup that lays the next paragraph out otherwise starts a new run there.
    measure("<font size=\"50\">A</font><br><textformat leading=\"20\">A</textformat>");   // 879 to 3904 + 390
    // What counts is the layout at the line end, not where the paragraph began.
    measure("<textformat leading=\"20\"><font size=\"50\">A</font></textformat><br>A");   // 879 to 2547 + 878 + 390
    // A wrap inside a run: the second line stands as high as the 30 the first line began with.
    setMember(a, "f", "wordWrap", Push::boolean(true));
    setMember(a, "f", "_width", Push::integer(280));
    measure("<font size=\"30\">A</font>AA AA");                            // 0 to 2147 + 527 + 390
    const auto lines = run({wideFont(1), sw::doAction(a.end()), sw::showFrame()});
    const std::vector<std::string> expected{"214", "117", "161", "126", "180", "170", "146", "153"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldMetrics, ScrollingMeasuresTheLinesFromTheTopOfTheirGlyphs) {
    // Size 50 text around a size-100 break reaches from 879 twips to 3220 (see above): 2341 twips.
    ActionWriter a;
    const auto field = [&](const std::string& name, int depth, int height, bool autoSize) {
        makeHtmlField(a, name, depth, 300, height, "Wide", 100);
        if (autoSize) setMember(a, name, "autoSize", Push::str("left"));
        setMember(a, name, "htmlText", Push::str("<font size=\"50\">A</font><br><font size=\"50\">A</font>"));
        traceMember(a, name, "maxscroll");
        traceMember(a, name, "bottomScroll");
    };
    field("grown", 1, 20, true);     // grows to show it all
    field("short", 2, 121, false);   // 2340 twips inside its gutters: the second line is cut
    field("tall", 3, 122, false);    // 2360: both lines show
    const auto lines = run({wideFont(1), sw::doAction(a.end()), sw::showFrame()});
    const std::vector<std::string> expected{"1", "2", "2", "1", "1", "2"};
    EXPECT_EQ(lines, expected);
}

TEST(TextFieldDrawing, ABulletTakesTheFormatItsLineStartsWithAsMeasured) {
    // A size-15 item ends in a size-30 item end; the empty line after it carries on that end's run, so
    // it starts as the line before did, at size 15, and so does its bullet: a dot half an em high on the
    // baseline, 18 pixels in. The lines: 32.2 pixels, then the baseline 13.2 below.
    sw::ShapeBuilder glyph;
    glyph.style(std::nullopt, 1, std::nullopt).rect(0, -18000, 10240, 18000);
    sw::ShapeBuilder dot;
    dot.style(std::nullopt, 1, std::nullopt).rect(0, -10240, 10240, 10240);
    const sw::Bytes font = sw::defineFont3(1, "Dot", {{glyph, 'A', 20480}, {dot, 0x2022, 20480}});
    ActionWriter a;
    makeHtmlField(a, "f", 1, 200, 100, "Dot", 30);
    setMember(a, "f", "htmlText", Push::str("<li><font size=\"15\">A</font></li>"));
    auto movie = makeMovie({font, sw::doAction(a.end()), sw::showFrame()});
    vp::Player player(movie);
    const QImage img = render(player, *movie);
    EXPECT_GT(darkIn(img, QRect(21, 22, 5, 5)), 15);    // the first line's dot, size 15
    EXPECT_GT(darkIn(img, QRect(21, 41, 5, 5)), 15);    // the empty line's dot
    EXPECT_EQ(darkIn(img, QRect(21, 34, 5, 4)), 0);     // a size-30 dot would reach up here
    EXPECT_EQ(darkIn(img, QRect(28, 41, 5, 5)), 0);     // and reach this far right
}
