// TextField objects: properties read from and written to the field instance, drawing from the instance,
// variable binding, formats and fields made by createTextField.
#include <gtest/gtest.h>

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
};

sw::Bytes editText(const FieldSpec& f) {
    sw::ByteWriter w;
    w.u16(f.id).rect(0, f.width, 0, f.height);
    w.u8(static_cast<std::uint8_t>(0x80 | (f.wordWrap ? 0x40 : 0) | 0x20 | (f.readOnly ? 0x08 : 0) | 0x04 | 0x01));
    w.u8(static_cast<std::uint8_t>((f.autoSize ? 0x40 : 0) | 0x20 | (f.border ? 0x08 : 0) | (f.html ? 0x02 : 0) |
                                   (f.outlines ? 0x01 : 0)));
    w.u16(f.fontId).u16(400).rgba(0x000000ff);
    w.u8(0).u16(0).u16(0).u16(0).s16(0);
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
    // A format object sets the color of the text.
    a.push(Push::str("fmt")).push({Push::str("color"), Push::integer(0xff0000), Push::integer(1)}).op(op::kInitObject);
    a.op(op::kSetVariable);
    a.push(Push::str("fmt")).op(op::kGetVariable).push(Push::integer(1));
    a.push(Push::str("t")).op(op::kGetVariable).push(Push::str("setTextFormat")).op(op::kCallMethod).op(op::kPop);
    traceMember(a, "t", "textColor");
    callMethod(a, "t", "getTextFormat", {});
    a.push(Push::str("color")).op(op::kGetMember).op(op::kTrace);
    // condenseWhite: runs of blanks and line ends become one space; blank text between tags goes.
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
        "20", "16711680", "16711680", " A A", " A A"};
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
