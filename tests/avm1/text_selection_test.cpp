// The pointer in text fields: a click places the caret between the nearest glyphs, a drag selects, Shift
// extends, a double click takes a word, links call their functions; and what a focused field draws of its
// caret and selection, in full frames and in frames repainted in part.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QImage>

#include "player/avm1/vm.h"
#include "player/frame_drawer.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using vistrel::avm1::Value;

namespace {

using Movie = sw::ScriptMovie;

constexpr vp::KeyEvent kShift{16, 0};

// Every glyph advances half an em (10 pixels at size 20) and is a box from 1 to 8 pixels into its advance,
// 14 pixels high, standing on the baseline.
sw::Bytes boxFont() {
    std::vector<sw::GlyphSpec> glyphs;
    for (char c : std::string("ABC")) {
        sw::ShapeBuilder box;
        box.style(std::nullopt, 1, std::nullopt).rect(1024, -14336, 7168, 14336);
        glyphs.push_back({box, static_cast<std::uint16_t>(c), 10240});
    }
    sw::ShapeBuilder blank;
    blank.style(std::nullopt, 1, std::nullopt).rect(0, 0, 1, 1);
    glyphs.push_back({blank, ' ', 10240});
    return sw::defineFont3(1, "Box", glyphs);
}

// A movie with the box font and a field "f" at (10, 10), 200 by 60 pixels, in it at size 20. Its glyph
// k advances from stage pixel 12 + 10k to 22 + 10k; its first line starts at 12.
struct FieldMovie {
    explicit FieldMovie(const char* text, const char* type = "input", bool html = false)
        : m(8, sw::ActionWriter().end(), boxFont(), 320, 240) {
        m.call(m.root(), "createTextField", {Value("f"), Value(1), Value(10), Value(10), Value(200), Value(60)});
        f = m.get(m.root(), "f");
        m.set(f, "type", Value(type));
        m.set(f, "embedFonts", Value(true));
        Value format = m.make("TextFormat");
        m.set(format, "font", Value("Box"));
        m.set(format, "size", Value(20));
        m.set(format, "color", Value(0x0000ff));
        m.call(f, "setNewTextFormat", {format});
        if (html) m.set(f, "html", Value(true));
        m.set(f, html ? "htmlText" : "text", Value(text));
    }
    vp::Player& player() { return *m.player; }
    int selection(const char* which) { return static_cast<int>(m.num(m.call(m.path("Selection"), which))); }
    std::vector<int> indexes() { return {selection("getBeginIndex"), selection("getEndIndex"), selection("getCaretIndex")}; }
    void click(double x, double y = 20) {
        player().mouseDown(QPointF(x, y));
        player().mouseUp(QPointF(x, y));
    }

    Movie m;
    Value f;
};

QImage draw(const vp::Player& player) {
    QImage image(320, 240, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, vp::stageToDevice(QRectF(0, 0, 6400, 4800), QSizeF(320, 240), vp::ScaleMode::ShowAll, 1),
                  vp::RenderQuality::High);
    return image;
}

int count(const QImage& image, QRgb colour, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) ++n;
    return n;
}

}  // namespace

TEST(TextPointer, ClicksPlaceTheCaretBetweenTheNearestGlyphs) {
    FieldMovie t("ABCAB");
    // Left of a glyph's middle the caret goes before it, right of it after it; past the text, at its end.
    t.click(12 + 10 * 2 + 3);
    EXPECT_EQ(t.indexes(), (std::vector<int>{2, 2, 2}));
    t.click(12 + 10 * 2 + 7);
    EXPECT_EQ(t.indexes(), (std::vector<int>{3, 3, 3}));
    t.click(13);
    EXPECT_EQ(t.indexes(), (std::vector<int>{0, 0, 0}));
    t.click(190);
    EXPECT_EQ(t.indexes(), (std::vector<int>{5, 5, 5}));
    // Below the last line counts as on it.
    t.click(12 + 10 + 8, 45);
    EXPECT_EQ(t.indexes(), (std::vector<int>{2, 2, 2}));
    // Typing goes in at the caret.
    t.player().textInput(U'C');
    EXPECT_EQ(t.m.str(t.m.get(t.f, "text")), "ABCCAB");
}

TEST(TextPointer, DeviceFontFieldsPlaceTheCaretAlongTheText) {
    FieldMovie t("mmmmm iiiii", "input");
    t.m.set(t.f, "embedFonts", Value(false));
    // Sweeping the pointer across the line meets every place between the characters, in order.
    std::vector<int> seen;
    for (double x = 11; x < 205; x += 0.5) {
        t.click(x);
        const int caret = t.selection("getCaretIndex");
        if (seen.empty() || seen.back() != caret) seen.push_back(caret);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST(TextPointer, LinesOfAMultilineFieldMapByHeight) {
    FieldMovie t("AB\rCAB", "input");
    t.m.set(t.f, "multiline", Value(true));
    const double second = 12 + t.m.num(t.m.get(t.f, "textHeight")) * 3 / 4;   // inside the second line
    t.click(12 + 10 + 7, second);
    EXPECT_EQ(t.indexes(), (std::vector<int>{5, 5, 5}));
    t.click(190, 14);   // past the first line's end: before its line break
    EXPECT_EQ(t.indexes(), (std::vector<int>{2, 2, 2}));
    // The keyboard moves within the lines from there.
    t.player().textControl(vp::TextControl::MoveLineStart);
    EXPECT_EQ(t.selection("getCaretIndex"), 0);
}

TEST(TextPointer, DragSelectsShiftExtendsAndDoubleClickTakesAWord) {
    FieldMovie t("AB CAB CC", "dynamic");
    // A drag from before glyph 1 to after glyph 4 selects [1, 5), the caret where the drag ended.
    t.player().mouseDown(QPointF(12 + 10 + 2, 20));
    t.player().mouseMove(QPointF(12 + 40 + 8, 20));
    t.player().mouseUp(QPointF(12 + 40 + 8, 20));
    EXPECT_EQ(t.indexes(), (std::vector<int>{1, 5, 5}));
    // Dragging back past the start selects backwards from the same anchor.
    t.player().mouseDown(QPointF(12 + 30 + 2, 20));
    t.player().mouseMove(QPointF(12 + 2, 20));
    t.player().mouseUp(QPointF(12 + 2, 20));
    EXPECT_EQ(t.indexes(), (std::vector<int>{0, 3, 0}));
    // Shift and a click move the caret and keep the anchor.
    t.player().keyDown(kShift);
    t.click(12 + 70 + 8);
    t.player().keyUp(kShift);
    EXPECT_EQ(t.indexes(), (std::vector<int>{3, 8, 8}));
    // A double click selects the word under it, without its blanks.
    t.click(12 + 40 + 5);
    t.player().mouseDoubleClick(QPointF(12 + 40 + 5, 20));
    t.player().mouseUp(QPointF(12 + 40 + 5, 20));
    EXPECT_EQ(t.m.str(t.m.get(t.f, "text")).substr(3, 3), "CAB");
    EXPECT_EQ(t.selection("getBeginIndex"), 3);
    EXPECT_EQ(t.selection("getEndIndex"), 6);
    // The pointer shows the I-beam over the selectable text, the arrow over nothing.
    t.player().mouseMove(QPointF(30, 20));
    EXPECT_EQ(t.player().cursor(), vp::Cursor::IBeam);
    t.player().mouseMove(QPointF(300, 200));
    EXPECT_EQ(t.player().cursor(), vp::Cursor::Arrow);
}

TEST(TextPointer, LinksCallTheirFunctionsWithTheirArgument) {
    FieldMovie t("<font face=\"Box\" size=\"20\"><a href=\"asfunction:seen,one, two\">AB</a> C "
                 "<a href=\"asfunction:holder.method\">AB</a></font>",
                 "dynamic", true);
    t.m.set(t.f, "selectable", Value(false));
    std::vector<std::string> calls;
    auto recorder = [&t, &calls](const char* tag) {
        return Value(t.m.vm().makeFunction(QStringLiteral("f"), [&calls, tag](vistrel::avm1::Vm& vm, const Value& self,
                                                                          std::span<const Value> args) {
            std::string line = tag;
            line += " this=" + vm.toString(self).toStdString();
            for (const Value& a : args) line += " [" + vm.toString(a).toStdString() + "]";
            calls.push_back(line);
            return Value();
        }));
    };
    t.m.set(t.m.root(), "seen", recorder("seen"));
    Value holder = t.m.object();
    t.m.set(holder, "method", recorder("method"));
    t.m.set(t.m.root(), "holder", holder);

    // Over a link the pointer is the hand, over other text of a field that cannot be selected the arrow.
    t.player().mouseMove(QPointF(15, 20));
    EXPECT_EQ(t.player().cursor(), vp::Cursor::Hand);
    t.player().mouseMove(QPointF(12 + 30 + 5, 20));
    EXPECT_EQ(t.player().cursor(), vp::Cursor::Arrow);

    // The text after the first comma is the one argument, blanks and commas kept; a bare name is the
    // timeline's function, run on the timeline.
    t.click(15);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "seen this=_level0 [one, two]");
    // A path's function runs on what holds it, with no argument when there is no comma.
    t.click(12 + 50 + 5);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], "method this=[object Object]");
    // A press that leaves the link before the release follows nothing; text beside the links does nothing.
    t.player().mouseDown(QPointF(15, 20));
    t.player().mouseUp(QPointF(12 + 30 + 5, 20));
    t.click(12 + 30 + 5);
    EXPECT_EQ(calls.size(), 2u);
    // A name the timeline lacks is looked for among the globals.
    t.m.set(Value(t.m.vm().global()), "onlyGlobal", recorder("global"));
    t.m.set(t.f, "htmlText", Value("<font face=\"Box\" size=\"20\"><a href=\"asfunction:onlyGlobal,z\">A</a></font>"));
    t.click(15);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].substr(0, 6), "global");
    EXPECT_EQ(calls[2].substr(calls[2].size() - 3), "[z]");
    // A function that is missing is only skipped.
    t.m.set(t.f, "htmlText", Value("<font face=\"Box\" size=\"20\"><a href=\"asfunction:nowhere.none,x\">A</a>"
                                   "<a href=\"asfunction:,\">B</a></font>"));
    t.click(15);
    t.click(25);
    EXPECT_EQ(calls.size(), 3u);
}

TEST(TextPointer, FocusedFieldsDrawTheCaretAndTheSelection) {
    FieldMovie t("ABCAB");
    const QRect line(12, 12, 60, 14);
    QImage before = draw(t.player());
    EXPECT_EQ(count(before, 0x000000, line), 0);

    // The caret: one pixel wide in the text's colour, where the click put it, between two glyphs' boxes.
    t.click(12 + 20 + 2);
    QImage caret = draw(t.player());
    const QRect gap(12 + 20, 12, 1, 14);   // glyph boxes start 1 pixel into their advance
    EXPECT_GE(count(caret, 0x0000ff, gap), 12);
    EXPECT_EQ(count(before, 0x0000ff, gap), 0);
    // Still pictures show the caret unless the blink hides it.
    t.player().setCaretVisible(false);
    EXPECT_EQ(draw(t.player()), before);
    t.player().setCaretVisible(true);

    // The selection: a black band with its text white over it; the rest of the text unchanged.
    t.m.call(t.m.path("Selection"), "setSelection", {Value(1), Value(3)});
    QImage selected = draw(t.player());
    const QRect band(12 + 10, 12, 20, 14), glyph(12 + 10 + 3, 18, 4, 8);
    EXPECT_GT(count(selected, 0x000000, band), 60);
    EXPECT_EQ(count(selected, 0xffffff, glyph), glyph.width() * glyph.height());
    EXPECT_EQ(count(selected, 0x000000, QRect(12 + 40, 12, 10, 14)), 0);
    EXPECT_GT(count(selected, 0x0000ff, QRect(12 + 40, 12, 10, 14)), 30);

    // Without the focus nothing of either shows.
    t.m.call(t.m.path("Selection"), "setFocus", {Value::null()});
    EXPECT_EQ(draw(t.player()), before);
}

TEST(TextPointer, PartialRepaintsOfCaretMovesMatchFullDraws) {
    FieldMovie t("ABCAB CAB");
    const QSize size(320, 240);
    const vp::FrameView view{size, vp::stageToDevice(QRectF(0, 0, 6400, 4800), QSizeF(size), vp::ScaleMode::ShowAll, 1),
                             vp::RenderQuality::High, std::nullopt};
    vp::FrameDrawer drawer;
    drawer.update(t.player(), view);
    const auto check = [&](const char* step) {
        drawer.update(t.player(), view);
        EXPECT_EQ(drawer.image(), draw(t.player())) << step;
        EXPECT_FALSE(drawer.repainted().isEmpty()) << step;   // every step shows
        EXPECT_NE(drawer.repainted().boundingRect(), drawer.image().rect()) << step;
    };
    t.click(12 + 30 + 2);
    check("click");
    t.player().textControl(vp::TextControl::MoveRight);
    check("right");
    t.player().setCaretVisible(false);
    check("blink off");
    t.player().setCaretVisible(true);
    check("blink on");
    t.player().textControl(vp::TextControl::SelectLineEnd);
    check("select");
    t.player().textInput(U'A');
    check("typed");
}
