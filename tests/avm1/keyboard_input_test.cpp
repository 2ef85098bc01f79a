// The keyboard as a playing movie sees it: the Key object, key events on listeners, clips and buttons,
// the focus and its events, Tab's order, and typing into input fields with the clipboard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QImage>
#include <Qt>

#include "player/avm1/vm.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "player/stage.h"
#include "player/text/text_editor.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using vistrel::avm1::Value;

namespace {

using Movie = sw::ScriptMovie;

constexpr vp::KeyEvent kTab{9, 9}, kEnter{13, 13}, kShift{16, 0}, kCapsLock{20, 0}, kKeyA{65, u'a'};

// A text field made by script, of the given type, at (x, y) pixels.
Value field(Movie& m, const char* name, int depth, int x, int y, const char* type = "input") {
    m.call(m.root(), "createTextField", {Value(name), Value(depth), Value(x), Value(y), Value(100), Value(20)});
    Value f = m.get(m.root(), name);
    m.set(f, "type", Value(type));
    return f;
}

std::string focusName(Movie& m) { return m.str(m.call(m.path("Selection"), "getFocus")); }

void type(vp::Player& p, const std::u32string& text) {
    for (char32_t c : text) p.textInput(c);
}

struct StringClipboard : vp::Clipboard {
    QString value;
    QString text() const override { return value; }
    void setText(const QString& t) override { value = t; }
};

}  // namespace

TEST(KeyboardInput, KeyObjectFollowsKeysAndLockToggles) {
    Movie m;
    Value key = m.path("Key");
    m.player->keyDown(kKeyA);
    EXPECT_TRUE(m.vm().toBoolean(m.call(key, "isDown", {Value(65)})));
    EXPECT_EQ(m.num(m.call(key, "getCode")), 65);
    EXPECT_EQ(m.num(m.call(key, "getAscii")), 97);
    m.player->keyUp(kKeyA);
    EXPECT_FALSE(m.vm().toBoolean(m.call(key, "isDown", {Value(65)})));
    EXPECT_EQ(m.num(m.call(key, "getCode")), 65);

    // Caps Lock turns on with one press and off with the next; holding it does not flip it again.
    EXPECT_FALSE(m.vm().toBoolean(m.call(key, "isToggled", {Value(20)})));
    m.player->keyDown(kCapsLock);
    m.player->keyDown(kCapsLock);
    m.player->keyUp(kCapsLock);
    EXPECT_TRUE(m.vm().toBoolean(m.call(key, "isToggled", {Value(20)})));
    m.player->keyDown(kCapsLock);
    m.player->keyUp(kCapsLock);
    EXPECT_FALSE(m.vm().toBoolean(m.call(key, "isToggled", {Value(20)})));

    // Losing the keyboard lets go of every key; codes out of range are harmless.
    m.player->keyDown(kKeyA);
    m.player->focusChanged(false);
    EXPECT_FALSE(m.vm().toBoolean(m.call(key, "isDown", {Value(65)})));
    m.player->keyDown({-5, 0});
    m.player->keyDown({100000, 0xffff});
    EXPECT_FALSE(m.vm().toBoolean(m.call(key, "isDown", {Value(-5)})));
    EXPECT_FALSE(m.vm().toBoolean(m.call(key, "isDown", {Value(1e9)})));
}

TEST(KeyboardInput, FocusedClipHearsKeysBeforeKeyListeners) {
    Movie m;
    std::vector<std::string> log;
    m.call(m.root(), "createEmptyMovieClip", {Value("clip"), Value(1)});
    Value clip = m.get(m.root(), "clip");
    m.set(clip, "focusEnabled", Value(true));
    m.set(clip, "onKeyDown", m.recorder(log, "clip down"));
    m.set(clip, "onKeyUp", m.recorder(log, "clip up"));
    Value listener = m.object();
    m.set(listener, "onKeyDown", m.recorder(log, "listener down"));
    m.set(listener, "onKeyUp", m.recorder(log, "listener up"));
    m.call(m.path("Key"), "addListener", {listener});
    EXPECT_TRUE(m.player->wantsKeys());

    m.player->keyDown(kKeyA);
    m.player->keyUp(kKeyA);
    EXPECT_EQ(log, (std::vector<std::string>{"listener down", "listener up"}));   // nothing focused yet
    log.clear();
    EXPECT_TRUE(m.vm().toBoolean(m.call(m.path("Selection"), "setFocus", {clip})));
    m.player->keyDown(kKeyA);
    m.player->keyUp(kKeyA);
    EXPECT_EQ(log, (std::vector<std::string>{"clip down", "listener down", "clip up", "listener up"}));
}

TEST(KeyboardInput, FocusMovesWithKillAndSetEventsThenSelectionListeners) {
    Movie m;
    std::vector<std::string> log;
    Value a = field(m, "a", 1, 0, 0);
    Value b = field(m, "b", 2, 0, 50);
    m.set(a, "onKillFocus", m.recorder(log, "a kill"));
    m.set(b, "onSetFocus", m.recorder(log, "b set"));
    Value listener = m.object();
    m.set(listener, "onSetFocus", m.recorder(log, "selection"));
    m.call(m.path("Selection"), "addListener", {listener});

    Value selection = m.path("Selection");
    m.call(selection, "setFocus", {a});
    log.clear();
    m.call(selection, "setFocus", {b});
    EXPECT_EQ(log, (std::vector<std::string>{"a kill _level0.b", "b set _level0.a", "selection _level0.a _level0.b"}));
    // Giving the focus to the object that has it tells nobody.
    log.clear();
    m.call(selection, "setFocus", {b});
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(focusName(m), "_level0.b");
    // A plain clip without button handlers cannot take it.
    m.call(m.root(), "createEmptyMovieClip", {Value("plain"), Value(3)});
    EXPECT_FALSE(m.vm().toBoolean(m.call(selection, "setFocus", {m.get(m.root(), "plain")})));
    EXPECT_EQ(focusName(m), "_level0.b");
}

TEST(KeyboardInput, TabFollowsPlacesOnStageUnlessTabIndexesAreSet) {
    Movie m;
    Value low = field(m, "low", 1, 0, 100);
    Value high = field(m, "high", 2, 0, 10);
    Value right = field(m, "right", 3, 150, 100);
    field(m, "dynamic", 4, 0, 0, "dynamic");   // dynamic texts are no tab stops

    // Top to bottom, then left to right; Shift+Tab walks back; the order wraps.
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "_level0.high");
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "_level0.low");
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "_level0.right");
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "_level0.high");
    m.player->keyDown(kShift);
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "_level0.right");
    m.player->keyUp(kShift);

    // tabEnabled false takes an object out.
    m.set(low, "tabEnabled", Value(false));
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "_level0.high");
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "_level0.right");

    // With indexes only indexed objects count, in index order (as signed 32-bit numbers).
    m.set(low, "tabEnabled", Value(true));
    m.set(right, "tabIndex", Value(4294967293.0));   // -3
    m.set(low, "tabIndex", Value(5));
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "_level0.low");
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "_level0.right");
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "_level0.low");
    (void)high;
}

TEST(KeyboardInput, ClipsActingAsButtonsAreTabStopsAndEnterPressesThem) {
    Movie m;
    std::vector<std::string> log;
    m.call(m.root(), "createEmptyMovieClip", {Value("clip"), Value(1)});
    Value clip = m.get(m.root(), "clip");
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "null");   // an empty clip is no tab stop
    m.set(clip, "onPress", m.recorder(log, "press"));
    m.set(clip, "onRelease", m.recorder(log, "release"));
    m.player->keyDown(kTab);
    EXPECT_EQ(focusName(m), "_level0.clip");
    m.player->keyDown(kEnter);
    EXPECT_EQ(log, (std::vector<std::string>{"press", "release"}));

    // Without the focus rectangle Enter is only a key.
    log.clear();
    m.set(m.root(), "_focusrect", Value(false));
    m.player->keyDown(kEnter);
    EXPECT_TRUE(log.empty());
}

TEST(KeyboardInput, TypingEditsTheFocusedInputField) {
    Movie m;
    std::vector<std::string> log;
    Value f = field(m, "f", 1, 0, 0);
    m.set(f, "variable", Value("typed"));
    m.set(f, "onChanged", m.recorder(log, "changed"));
    Value selection = m.path("Selection");

    type(*m.player, U"nothing");   // nothing has the focus yet
    EXPECT_EQ(m.str(m.get(f, "text")), "");
    m.call(selection, "setFocus", {f});
    EXPECT_TRUE(m.player->wantsKeys());
    type(*m.player, U"ab\U0001F600c");
    EXPECT_EQ(m.get(f, "text").asString(), QStringLiteral("ab\U0001F600c"));
    EXPECT_EQ(m.get(m.root(), "typed").asString(), QStringLiteral("ab\U0001F600c"));
    EXPECT_EQ(log.size(), 4u);
    EXPECT_EQ(log.front(), "changed _level0.f");

    // Backspace takes a whole character; the caret moves and selects by keyboard.
    m.player->textControl(vp::TextControl::Backspace);
    m.player->textControl(vp::TextControl::Backspace);
    EXPECT_EQ(m.str(m.get(f, "text")), "ab");
    m.player->textControl(vp::TextControl::MoveStart);
    m.player->textControl(vp::TextControl::SelectRight);
    EXPECT_EQ(m.num(m.call(selection, "getBeginIndex")), 0);
    EXPECT_EQ(m.num(m.call(selection, "getEndIndex")), 1);
    EXPECT_EQ(m.num(m.call(selection, "getCaretIndex")), 1);
    type(*m.player, U"X");
    EXPECT_EQ(m.str(m.get(f, "text")), "Xb");

    // A single-line field takes no line break; a multiline one does, as "\r".
    m.player->textControl(vp::TextControl::Enter);
    EXPECT_EQ(m.str(m.get(f, "text")), "Xb");
    m.set(f, "multiline", Value(true));
    m.player->textControl(vp::TextControl::Enter);
    EXPECT_EQ(m.str(m.get(f, "text")), "X\rb");

    // setSelection and the indexes; a script's change of the text is no user change.
    m.call(selection, "setSelection", {Value(0), Value(3)});
    EXPECT_EQ(m.num(m.call(selection, "getEndIndex")), 3);
    m.call(selection, "setSelection", {Value(-100), Value(1e12)});
    EXPECT_EQ(m.num(m.call(selection, "getBeginIndex")), 0);
    EXPECT_EQ(m.num(m.call(selection, "getEndIndex")), 3);
    log.clear();
    m.set(f, "text", Value("set"));
    EXPECT_TRUE(log.empty());

    // A dynamic field takes no typing.
    m.set(f, "type", Value("dynamic"));
    type(*m.player, U"zz");
    EXPECT_EQ(m.str(m.get(f, "text")), "set");
    m.call(selection, "setFocus", {Value::null()});
    EXPECT_EQ(m.num(m.call(selection, "getBeginIndex")), -1);
}

TEST(KeyboardInput, RestrictAndMaxCharsFilterWhatIsTyped) {
    Movie m;
    Value f = field(m, "f", 1, 0, 0);
    m.call(m.path("Selection"), "setFocus", {f});
    m.set(f, "restrict", Value("a-z^q"));
    type(*m.player, U"aQqB1z");
    EXPECT_EQ(m.str(m.get(f, "text")), "abz");   // upper case folds to the allowed lower case
    m.set(f, "restrict", Value::null());
    m.set(f, "maxChars", Value(5));
    type(*m.player, U"12345");
    EXPECT_EQ(m.str(m.get(f, "text")), "abz12");
}

TEST(KeyboardInput, ClipboardCopiesCutsAndPastesButKeepsPasswords) {
    Movie m;
    StringClipboard clip;
    m.player->setClipboard(&clip);
    Value f = field(m, "f", 1, 0, 0);
    m.call(m.path("Selection"), "setFocus", {f});
    type(*m.player, U"hello");
    m.player->textControl(vp::TextControl::SelectAll);
    m.player->textControl(vp::TextControl::Copy);
    EXPECT_EQ(clip.value, QStringLiteral("hello"));
    m.player->textControl(vp::TextControl::Cut);
    EXPECT_EQ(m.str(m.get(f, "text")), "");
    clip.value = QStringLiteral("one\r\ntwo");
    m.player->textControl(vp::TextControl::Paste);
    EXPECT_EQ(m.str(m.get(f, "text")), "one");   // a single-line field keeps the first line

    m.set(f, "password", Value(true));
    m.player->textControl(vp::TextControl::SelectAll);
    clip.value = QStringLiteral("kept");
    m.player->textControl(vp::TextControl::Copy);
    m.player->textControl(vp::TextControl::Cut);
    EXPECT_EQ(clip.value, QStringLiteral("kept"));

    // Without a clipboard, copy and paste do nothing.
    m.player->setClipboard(nullptr);
    m.player->textControl(vp::TextControl::Paste);
    EXPECT_EQ(m.str(m.get(f, "text")), "one");
}

TEST(KeyboardInput, ButtonKeyConditionsAndClipKeyEventsRunTheirActions) {
    using namespace sw;
    ActionWriter onA;
    onA.push(Push::str("button a")).op(op::kTrace);
    ActionWriter onLeft;
    onLeft.push(Push::str("button left")).op(op::kTrace);
    MovieSpec spec;
    spec.version = 8;
    std::vector<Bytes> tags;
    tags.push_back(rectangleShape(1, 0, 0, 200, 200, 0xff0000ff));
    tags.push_back(defineButton2(2, {ButtonRecordSpec{}},
                                 {ButtonActionSpec{static_cast<std::uint16_t>('a' << 9), onA.end()},
                                  ButtonActionSpec{static_cast<std::uint16_t>(1 << 9), onLeft.end()}}));
    tags.push_back(placeObject2(PlaceSpec{.depth = 1, .characterId = 2, .name = "b"}));
    tags.push_back(showFrame());
    std::vector<std::string> lines;
    vp::Player p(vp::Movie::fromBytes(sw::movie(spec, tags)),
                 [&lines](const QString& l) { lines.push_back(l.toStdString()); });
    EXPECT_TRUE(p.wantsKeys());
    // Characters answer to what is typed, other keys to the key going down.
    p.keyDown(kKeyA);
    EXPECT_TRUE(lines.empty());
    p.textInput(U'a');
    p.keyDown({37, 0});
    p.keyDown({66, u'b'});
    p.textInput(U'b');
    EXPECT_EQ(lines, (std::vector<std::string>{"button a", "button left"}));

    // A hidden button hears nothing.
    lines.clear();
    p.stage().root().childAt(1)->visible = false;
    p.textInput(U'a');
    EXPECT_TRUE(lines.empty());
}

TEST(KeyboardInput, RestrictPatternsReadRangesCaretsAndEscapes) {
    using vistrel::player::text::RestrictFilter;
    auto keeps = [](const char* pattern, const char* typed) {
        RestrictFilter f{QString::fromUtf8(pattern)};
        QString out;
        for (QChar c : QString::fromUtf8(typed))
            if (auto r = f.filter(c.unicode())) out += QChar(*r);
        return out.toStdString();
    };
    EXPECT_EQ(keeps("a-c", "abcdABCD"), "abcabc");
    EXPECT_EQ(keeps("^a", "abA-"), "AbA-");       // a refused: it folds to the allowed A
    EXPECT_EQ(keeps("-b", "abcC0"), "abCC0");      // a range without a start begins at the first code
    EXPECT_EQ(keeps("b-a", "ab"), "b");            // a backwards range holds its start
    EXPECT_EQ(keeps("---", "-a"), "");
    EXPECT_EQ(keeps("a-b-A", "abB0^"), "abb0");
    EXPECT_EQ(keeps("\\^\\-", "^-a\\"), "^-");
    EXPECT_EQ(keeps("a\\", "a\\"), "a");
    EXPECT_EQ(keeps("^", "any"), "any");
    EXPECT_EQ(keeps("\xce\xb1-\xcf\x89", "\xce\xb4\xce\x94"), "\xce\xb4");   // no case folding beyond ASCII
}

TEST(KeyboardInput, QtKeysMapToMovieKeys) {
    EXPECT_EQ(vp::keyEventFromQt(Qt::Key_A, QStringLiteral("a")).code, 65);
    EXPECT_EQ(vp::keyEventFromQt(Qt::Key_A, QStringLiteral("a")).ascii, u'a');
    EXPECT_EQ(vp::keyEventFromQt(Qt::Key_Left, QString()).code, 37);
    EXPECT_EQ(vp::keyEventFromQt(Qt::Key_Left, QString()).ascii, 0);
    EXPECT_EQ(vp::keyEventFromQt(Qt::Key_Return, QStringLiteral("\r")).ascii, 13);
    EXPECT_EQ(vp::keyEventFromQt(Qt::Key_Backtab, QString()).code, 9);
    EXPECT_EQ(vp::keyEventFromQt(Qt::Key_F12, QString()).code, 123);
    EXPECT_EQ(vp::keyEventFromQt(Qt::Key_Exclam, QStringLiteral("!")).code, 49);
    EXPECT_EQ(vp::keyEventFromQt(Qt::Key_MediaPlay, QString()).code, 0);
}

namespace {

// The stages of the drawn cases: 200 x 100 pixels.
vistrel::testing::MovieSpec stageSpec() {
    vistrel::testing::MovieSpec spec;
    spec.version = 8;
    spec.widthTwips = 200 * 20;
    spec.heightTwips = 100 * 20;
    return spec;
}

// A movie with one button (a 40-pixel square at 20, 20) whose conditions trace what happens to it.
std::shared_ptr<const vp::Movie> buttonMovie() {
    using namespace sw;
    auto traced = [](const char* text) {
        ActionWriter a;
        a.push(Push::str(text)).op(op::kTrace);
        return a.end();
    };
    std::vector<Bytes> tags;
    tags.push_back(rectangleShape(1, 0, 0, 800, 800, 0x0000ffff));
    tags.push_back(defineButton2(2, {ButtonRecordSpec{}},
                                 {ButtonActionSpec{vistrel::swf::buttoncond::kIdleToOverUp, traced("over")},
                                  ButtonActionSpec{vistrel::swf::buttoncond::kOverUpToIdle, traced("out")},
                                  ButtonActionSpec{vistrel::swf::buttoncond::kOverUpToOverDown, traced("press")},
                                  ButtonActionSpec{vistrel::swf::buttoncond::kOverDownToOverUp, traced("release")}}));
    tags.push_back(placeObject2(PlaceSpec{.depth = 1, .characterId = 2, .matrix = MatrixSpec::translate(400, 400),
                                          .name = "b"}));
    tags.push_back(showFrame());
    return vp::Movie::fromBytes(sw::movie(stageSpec(), tags));
}

// The 200 x 100 stage at its own size; at low quality each pixel is inside or outside an edge.
QImage stageImage(vp::Player& player, const vp::Movie& movie, vp::RenderQuality quality) {
    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, vp::stageToDevice(movie.stageRect(), QSizeF(200, 100), vp::ScaleMode::ShowAll, 1),
                  quality);
    return image;
}

int yellowPixels(vp::Player& player, const vp::Movie& movie) {
    const QImage image = stageImage(player, movie, vp::RenderQuality::High);
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() < 80) ++n;
        }
    return n;
}

}  // namespace

TEST(KeyboardInput, TabHighlightsAButtonUntilThePointerMoves) {
    auto movie = buttonMovie();
    std::vector<std::string> lines;
    vp::Player p(movie, [&lines](const QString& l) { lines.push_back(l.toStdString()); });
    EXPECT_EQ(yellowPixels(p, *movie), 0);

    // Tab rolls the button over and frames it; Enter presses and releases it.
    p.keyDown(kTab);
    EXPECT_EQ(lines, (std::vector<std::string>{"over"}));
    EXPECT_GT(yellowPixels(p, *movie), 40);
    p.keyDown(kEnter);
    EXPECT_EQ(lines, (std::vector<std::string>{"over", "press", "release"}));

    // The pointer moving takes the highlight (not the focus): no frame, Enter is only a key.
    lines.clear();
    p.mouseMove(QPointF(150, 90));
    EXPECT_EQ(yellowPixels(p, *movie), 0);
    p.keyDown(kEnter);
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(p.stage().focus(), p.stage().root().childAt(1));

    // The pane losing the keyboard takes the movie's focus; a highlighted button rolls out first.
    p.keyDown(kTab);
    lines.clear();
    p.focusChanged(false);
    EXPECT_EQ(lines, (std::vector<std::string>{"out"}));
    EXPECT_EQ(p.stage().focus(), nullptr);
}

namespace {

// Three tab stops in a row, taken in the order of their tabIndex: a clip showing a 40-pixel square at
// (5, 5); a button showing the same square at (60, 5) whose hit area is a 10-pixel square 15 pixels
// inside it; a button showing the square at (110, 5) that has no hit area at all.
std::shared_ptr<const vp::Movie> tabStopsMovie() {
    using namespace sw;
    std::vector<Bytes> tags;
    tags.push_back(rectangleShape(1, 0, 0, 800, 800, 0x0000ffff));
    tags.push_back(rectangleShape(3, 300, 300, 200, 200, 0xff0000ff));
    tags.push_back(defineButton2(2, {ButtonRecordSpec{.states = 0x07, .characterId = 1, .depth = 1},
                                     ButtonRecordSpec{.states = 0x08, .characterId = 3, .depth = 2}}, {}));
    tags.push_back(defineButton2(4, {ButtonRecordSpec{.states = 0x07, .characterId = 1, .depth = 1}}, {}));
    tags.push_back(defineSprite(5, 1, {placeObject2(PlaceSpec{.depth = 1, .characterId = 1}), showFrame()}));
    tags.push_back(placeObject2(PlaceSpec{.depth = 1, .characterId = 5, .matrix = MatrixSpec::translate(100, 100),
                                          .name = "c"}));
    tags.push_back(placeObject2(PlaceSpec{.depth = 2, .characterId = 2, .matrix = MatrixSpec::translate(1200, 100),
                                          .name = "b"}));
    tags.push_back(placeObject2(PlaceSpec{.depth = 3, .characterId = 4, .matrix = MatrixSpec::translate(2200, 100),
                                          .name = "n"}));
    ActionWriter a;
    int index = 1;
    for (const char* name : {"c", "b", "n"})
        a.push(Push::str(name)).op(op::kGetVariable).push({Push::str("tabIndex"), Push::integer(index++)}).op(op::kSetMember);
    tags.push_back(doAction(a.end()));
    tags.push_back(showFrame());
    return vp::Movie::fromBytes(sw::movie(stageSpec(), tags));
}

bool yellowAt(const QImage& image, int x, int y) { return image.pixel(x, y) == qRgb(255, 255, 0); }

int yellowCount(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += yellowAt(image, x, y) ? 1 : 0;
    return n;
}

}  // namespace

TEST(KeyboardInput, FocusFrameLiesInsideTheBoundsAndButtonsAreFramedByTheirHitArea) {
    auto movie = tabStopsMovie();
    vp::Player p(movie, {});

    // The clip: a frame three pixels wide over the square's own edge, nothing outside it.
    p.keyDown(kTab);
    QImage image = stageImage(p, *movie, vp::RenderQuality::Low);
    for (int x : {5, 6, 7, 42, 43, 44}) EXPECT_TRUE(yellowAt(image, x, 25)) << x;
    for (int x : {4, 8, 41, 45}) EXPECT_FALSE(yellowAt(image, x, 25)) << x;
    EXPECT_EQ(image.pixel(8, 25), qRgb(0, 0, 255));
    EXPECT_EQ(yellowCount(image), 40 * 40 - 34 * 34);

    // The button: its hit area is framed, not the square it shows.
    p.keyDown(kTab);
    image = stageImage(p, *movie, vp::RenderQuality::Low);
    for (int x : {75, 77, 82, 84}) EXPECT_TRUE(yellowAt(image, x, 25)) << x;
    EXPECT_EQ(image.pixel(78, 25), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(60, 25), qRgb(0, 0, 255));
    EXPECT_EQ(yellowCount(image), 10 * 10 - 4 * 4);

    // A button without a hit area takes the focus but shows no frame.
    p.keyDown(kTab);
    EXPECT_NE(p.stage().focus(), nullptr);
    EXPECT_EQ(yellowCount(stageImage(p, *movie, vp::RenderQuality::Low)), 0);
}

TEST(KeyboardInput, AnObjectsOwnFocusRectOverridesTheMoviesForItsFrameAndForEnter) {
    auto movie = tabStopsMovie();
    vp::Player p(movie, {});
    vistrel::avm1::Vm& vm = *p.stage().vm();
    vp::DisplayObject* clip = p.stage().root().childAt(1);
    vp::DisplayObject* button = p.stage().root().childAt(2);
    ASSERT_TRUE(clip && button);
    std::vector<std::string> log;
    vm.setMember(Value(clip->script), QStringLiteral("onPress"),
                 Value(vm.makeFunction(QStringLiteral("f"), [&log](vistrel::avm1::Vm&, const Value&, std::span<const Value>) {
                     log.push_back("press");
                     return Value();
                 })));
    auto setFocusRect = [&vm](vp::DisplayObject* o, bool on) {
        vm.setMember(Value(o->script), QStringLiteral("_focusrect"), Value(on));
    };

    // The clip's own false wins over the movie's true: Tab stops there unframed, and Enter is only a key.
    setFocusRect(clip, false);
    p.keyDown(kTab);
    EXPECT_EQ(p.stage().focus(), clip);
    EXPECT_EQ(yellowCount(stageImage(p, *movie, vp::RenderQuality::Low)), 0);
    p.keyDown(kEnter);
    EXPECT_TRUE(log.empty());
    // The button has none of its own: the movie's setting frames it.
    p.keyDown(kTab);
    EXPECT_EQ(p.stage().focus(), button);
    EXPECT_EQ(yellowCount(stageImage(p, *movie, vp::RenderQuality::Low)), 10 * 10 - 4 * 4);

    // The movie's switched off, the clip's own true still frames it and lets Enter press it; the button
    // follows the movie now.
    vm.setMember(Value(p.stage().scriptObject(p.stage().rootObject())), QStringLiteral("_focusrect"), Value(false));
    setFocusRect(clip, true);
    p.keyDown(kTab);
    p.keyDown(kTab);
    EXPECT_EQ(p.stage().focus(), clip);
    EXPECT_EQ(yellowCount(stageImage(p, *movie, vp::RenderQuality::Low)), 40 * 40 - 34 * 34);
    p.keyDown(kEnter);
    EXPECT_EQ(log, std::vector<std::string>{"press"});
    p.keyDown(kTab);
    EXPECT_EQ(p.stage().focus(), button);
    EXPECT_EQ(yellowCount(stageImage(p, *movie, vp::RenderQuality::Low)), 0);
    // An object's own setting counts from the time it takes the highlight: set later, it shows the next time.
    setFocusRect(button, true);
    EXPECT_EQ(yellowCount(stageImage(p, *movie, vp::RenderQuality::Low)), 0);
    for (int i = 0; i < 3; ++i) p.keyDown(kTab);
    EXPECT_EQ(p.stage().focus(), button);
    EXPECT_EQ(yellowCount(stageImage(p, *movie, vp::RenderQuality::Low)), 10 * 10 - 4 * 4);
    setFocusRect(button, false);
    EXPECT_EQ(yellowCount(stageImage(p, *movie, vp::RenderQuality::Low)), 10 * 10 - 4 * 4);
}
