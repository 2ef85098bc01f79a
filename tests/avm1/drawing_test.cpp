// The MovieClip drawing methods, setMask and shape hit tests: movies that draw with scripts, played
// and rendered, checked by their pixels, traces and draw calls.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include <QImage>
#include <QStringList>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/render/recording_renderer.h"
#include "player/stage_view.h"
#include "tests/support/action_writer.h"
#include "tests/support/pixel_expect.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
namespace op = vistrel::testing::op;
using sw::Push;

namespace {

constexpr QRgb kBlue = 0xff0000ff, kRed = 0xffff0000, kGreen = 0xff00ff00, kBlack = 0xff000000;

Push num(double v) { return Push::dbl(v); }
Push str(const std::string& s) { return Push::str(s); }

// A frame script written as calls on clips named by paths ("_root", "_root.mc").
class Script {
public:
    // target.method(args...), its result dropped.
    Script& call(const std::string& target, const std::string& method, const std::vector<Push>& args) {
        invoke(target, method, args);
        m_a.op(op::kPop);
        return *this;
    }
    // trace(target.method(args...)).
    Script& traceCall(const std::string& target, const std::string& method, const std::vector<Push>& args) {
        invoke(target, method, args);
        m_a.op(op::kTrace);
        return *this;
    }
    // trace(target.method(args...)[member]).
    Script& traceCallMember(const std::string& target, const std::string& method, const std::vector<Push>& args,
                            const std::string& member) {
        invoke(target, method, args);
        m_a.push(str(member)).op(op::kGetMember).op(op::kTrace);
        return *this;
    }
    Script& traceMember(const std::string& target, const std::string& member) {
        m_a.push(str(target)).op(op::kGetVariable).push(str(member)).op(op::kGetMember).op(op::kTrace);
        return *this;
    }
    Script& set(const std::string& target, const std::string& member, const Push& value) {
        m_a.push(str(target)).op(op::kGetVariable).push(str(member)).push(value).op(op::kSetMember);
        return *this;
    }
    Script& clip(const std::string& name, int depth) {
        return call("_root", "createEmptyMovieClip", {str(name), num(depth)});
    }
    // Pushes an array of numbers; the value stays on the stack for the next call's arguments.
    static std::vector<Push> array(const std::vector<double>& values) {
        std::vector<Push> out;
        for (auto it = values.rbegin(); it != values.rend(); ++it) out.push_back(num(*it));
        out.push_back(num(static_cast<double>(values.size())));
        return out;
    }
    // target.method(args) where some arguments are arrays or objects built by `build` (pushed last
    // argument first, as calls want them).
    Script& callBuilt(const std::string& target, const std::string& method, int argCount,
                      const std::function<void(sw::ActionWriter&)>& pushArgsReversed) {
        pushArgsReversed(m_a);
        m_a.push(num(argCount));
        pushTarget(target);
        m_a.push(str(method)).op(op::kCallMethod).op(op::kPop);
        return *this;
    }
    // target.member = value, the value pushed by `pushValue`.
    Script& setBuilt(const std::string& target, const std::string& member,
                     const std::function<void(sw::ActionWriter&)>& pushValue) {
        pushTarget(target);
        m_a.push(str(member));
        pushValue(m_a);
        m_a.op(op::kSetMember);
        return *this;
    }
    sw::Bytes bytes() const { return m_a.end(); }

private:
    // A dotted path: the first name as a variable, the rest as members.
    void pushTarget(const std::string& path) {
        std::size_t start = 0, dot = path.find('.');
        m_a.push(str(path.substr(0, dot))).op(op::kGetVariable);
        while (dot != std::string::npos) {
            start = dot + 1;
            dot = path.find('.', start);
            m_a.push(str(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start))).op(op::kGetMember);
        }
    }
    void invoke(const std::string& target, const std::string& method, const std::vector<Push>& args) {
        for (auto it = args.rbegin(); it != args.rend(); ++it) m_a.push(*it);
        m_a.push(num(static_cast<double>(args.size())));
        pushTarget(target);
        m_a.push(str(method)).op(op::kCallMethod);
    }
    sw::ActionWriter m_a;
};

// A 100x100 pixel stage on blue that runs `script` in its first frame.
std::shared_ptr<const vp::Movie> movieOf(const Script& script) {
    sw::MovieSpec spec;
    spec.widthTwips = 2000;
    spec.heightTwips = 2000;
    return vp::Movie::fromBytes(sw::movie(spec, {sw::setBackgroundColor(0x0000ff), sw::doAction(script.bytes()), sw::showFrame()}));
}

struct Played {
    QImage image;
    QStringList trace;
};

Played play(const std::shared_ptr<const vp::Movie>& movie) {
    Played out;
    vp::Player player(movie, [&out](const QString& line) { out.trace << line; });
    out.image = QImage(100, 100, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(out.image);
    player.render(renderer, vp::stageToDevice(movie->stageRect(), QSizeF(100, 100), vp::ScaleMode::ShowAll, 1),
                  vp::RenderQuality::Low);
    return out;
}

Played play(const Script& script) { return play(movieOf(script)); }

Script& square(Script& s, const std::string& clip, double x0, double y0, double x1, double y1) {
    s.call(clip, "moveTo", {num(x0), num(y0)});
    s.call(clip, "lineTo", {num(x1), num(y0)});
    s.call(clip, "lineTo", {num(x1), num(y1)});
    s.call(clip, "lineTo", {num(x0), num(y1)});
    return s.call(clip, "lineTo", {num(x0), num(y0)});
}

}  // namespace

TEST(Drawing, FillsCloseThemselvesAndANewFillEndsTheLast) {
    Script s;
    s.clip("mc", 1);
    s.call("mc", "beginFill", {num(0xff0000)});
    // Three sides only: the fill closes back to where it began.
    s.call("mc", "moveTo", {num(0), num(0)});
    s.call("mc", "lineTo", {num(50), num(0)});
    s.call("mc", "lineTo", {num(50), num(50)});
    s.call("mc", "lineTo", {num(0), num(50)});
    s.call("mc", "beginFill", {num(0x00ff00), num(100)});
    s.call("mc", "moveTo", {num(50), num(50)});
    s.call("mc", "lineTo", {num(100), num(50)});
    s.call("mc", "lineTo", {num(100), num(100)});
    s.call("mc", "lineTo", {num(50), num(100)});
    s.call("mc", "endFill", {});
    // Without a fill or line style, edges only move the pen.
    s.call("mc", "lineTo", {num(0), num(100)});
    const Played p = play(s);
    EXPECT_PIXEL(p.image, 25, 25, kRed);
    EXPECT_PIXEL(p.image, 75, 75, kGreen);
    EXPECT_PIXEL(p.image, 75, 25, kBlue);
    EXPECT_PIXEL(p.image, 25, 75, kBlue);
}

TEST(Drawing, AnOpenFillShowsClosedWithItsClosingEdgeStroked) {
    Script s;
    s.clip("mc", 1);
    s.call("mc", "beginFill", {num(0xff0000)});
    s.call("mc", "lineStyle", {num(6), num(0x00ff00)});
    s.call("mc", "moveTo", {num(10), num(10)});
    s.call("mc", "lineTo", {num(90), num(10)});
    s.call("mc", "lineTo", {num(90), num(90)});
    const Played p = play(s);
    EXPECT_PIXEL(p.image, 70, 30, kRed);     // inside the triangle
    EXPECT_PIXEL(p.image, 50, 50, kGreen);   // on the closing diagonal
    EXPECT_PIXEL(p.image, 50, 10, kGreen);   // on the first edge
    EXPECT_PIXEL(p.image, 25, 75, kBlue);
}

TEST(Drawing, MovingThePenClosesTheOpenContourWithTheLineInForce) {
    Script s;
    s.clip("mc", 1);
    s.call("mc", "lineStyle", {num(6), num(0x00ff00)});
    s.call("mc", "beginFill", {num(0xff0000)});
    s.call("mc", "moveTo", {num(10), num(10)});
    s.call("mc", "lineTo", {num(40), num(10)});
    s.call("mc", "lineTo", {num(40), num(40)});
    s.call("mc", "moveTo", {num(60), num(10)});   // the first triangle closes here, stroked
    s.call("mc", "lineTo", {num(90), num(10)});
    s.call("mc", "lineTo", {num(90), num(40)});
    s.call("mc", "lineStyle", {});                // no line: the next closing edge is not stroked
    s.call("mc", "moveTo", {num(10), num(60)});
    s.call("mc", "lineTo", {num(40), num(60)});
    s.call("mc", "lineTo", {num(40), num(90)});
    s.call("mc", "endFill", {});
    const Played p = play(s);
    EXPECT_PIXEL(p.image, 35, 15, kRed);
    EXPECT_PIXEL(p.image, 25, 25, kGreen);   // closing diagonal of the first contour
    EXPECT_PIXEL(p.image, 70, 30, kBlue);    // beside the second's closing edge: no line there
    EXPECT_PIXEL(p.image, 85, 15, kRed);
    EXPECT_PIXEL(p.image, 15, 85, kBlue);    // outside the third triangle
    EXPECT_PIXEL(p.image, 35, 65, kRed);
}

TEST(Drawing, LaterFillsCoverEarlierLinesAndLinesCoverTheirFill) {
    Script s;
    s.clip("mc", 1);
    s.call("mc", "lineStyle", {num(10), num(0x000000)});
    s.call("mc", "beginFill", {num(0xff0000)});
    square(s, "mc", 10, 10, 60, 60);
    s.call("mc", "lineStyle", {});   // no line for the second fill
    s.call("mc", "beginFill", {num(0x00ff00)});
    square(s, "mc", 40, 40, 90, 90);
    s.call("mc", "endFill", {});
    const Played p = play(s);
    EXPECT_PIXEL(p.image, 25, 25, kRed);
    EXPECT_PIXEL(p.image, 10, 30, kBlack);   // the first square's line over its own fill
    EXPECT_PIXEL(p.image, 50, 60, kGreen);   // ... under the later fill
    EXPECT_PIXEL(p.image, 75, 75, kGreen);
}

TEST(Drawing, LineStyleOptionsAndClearRemovesEverything) {
    Script s;
    s.clip("a", 1);
    // Square caps reach past the ends; no caps stop at them.
    s.call("a", "lineStyle", {num(10), num(0x00ff00), num(100), Push::boolean(false), str("normal"), str("square")});
    s.call("a", "moveTo", {num(20), num(20)});
    s.call("a", "lineTo", {num(80), num(20)});
    s.call("a", "lineStyle", {num(10), num(0xff0000), num(100), Push::boolean(false), str("normal"), str("none")});
    s.call("a", "moveTo", {num(20), num(60)});
    s.call("a", "lineTo", {num(80), num(60)});
    s.clip("b", 2);
    s.call("b", "lineStyle", {num(10), num(0x000000)});
    s.call("b", "beginFill", {num(0x000000)});
    square(s, "b", 0, 80, 100, 100);
    s.call("b", "clear", {});
    // The line style went with clear: this edge draws nothing.
    s.call("b", "lineTo", {num(100), num(100)});
    s.traceMember("b", "_width");
    const Played p = play(s);
    EXPECT_PIXEL(p.image, 17, 20, kGreen);
    EXPECT_PIXEL(p.image, 17, 60, kBlue);
    EXPECT_PIXEL(p.image, 50, 60, kRed);
    EXPECT_PIXEL(p.image, 50, 90, kBlue);
    EXPECT_EQ(p.trace, QStringList{QStringLiteral("0")});
}

TEST(Drawing, BoundsTakeInFillsAndHalfTheLineWidth) {
    Script s;
    s.clip("mc", 1);
    s.call("mc", "lineStyle", {num(10)});
    s.call("mc", "beginFill", {num(0xff0000)});
    square(s, "mc", 10, 20, 50, 40);
    s.call("mc", "endFill", {});
    s.traceMember("mc", "_width").traceMember("mc", "_height");
    s.traceCallMember("mc", "getBounds", {}, "xMin").traceCallMember("mc", "getBounds", {}, "yMax");
    const Played p = play(s);
    EXPECT_EQ(p.trace, (QStringList{"50", "30", "5", "45"}));
}

TEST(Drawing, CoordinatesAndLineWidthsLandOnWholeTwips) {
    Script s;
    // Points are cut toward zero to whole twips: 0.99 is 0.95, -0.99 is -0.95, 20.049 is 20.
    s.clip("fill", 1);
    s.call("fill", "beginFill", {num(0)});
    s.call("fill", "moveTo", {num(0.99), num(-0.99)});
    s.call("fill", "lineTo", {num(50.33), num(-0.99)});
    s.call("fill", "lineTo", {num(50.33), num(20.049)});
    s.call("fill", "endFill", {});
    for (const char* side : {"xMin", "xMax", "yMin", "yMax"}) s.traceCallMember("fill", "getBounds", {}, side);
    // A line 0.75 pixels wide (15 twips) widens the extent by 7 twips, not 7.5.
    s.clip("line", 2);
    s.call("line", "lineStyle", {num(0.75)});
    s.call("line", "moveTo", {num(10), num(10)});
    s.call("line", "lineTo", {num(20), num(10)});
    s.traceCallMember("line", "getBounds", {}, "xMin").traceCallMember("line", "getBounds", {}, "yMax");
    // A curve's bulge ends on a whole twip too: the control point is -6.9 once cut, the leftmost
    // point of the curve -28.17 twips.
    s.clip("curve", 3);
    s.call("curve", "beginFill", {num(0)});
    s.call("curve", "moveTo", {num(0), num(0)});
    s.call("curve", "curveTo", {num(-6.93), num(30), num(20), num(0)});
    s.call("curve", "endFill", {});
    s.traceCallMember("curve", "getBounds", {}, "xMin");
    const Played p = play(s);
    EXPECT_EQ(p.trace, (QStringList{"0.95", "50.3", "-0.95", "20", "9.65", "10.35", "-1.4"}));
}

TEST(Drawing, NestedClipsMeasureEachPartThroughTheWholeChainOfMatrices) {
    Script s;
    // p (turned 45 degrees, at 50,20) holds q (turned 45 more), which draws a 10 pixel square: the square
    // stands upright on the stage, so p is 10 wide, not the 20 of the box of q's box.
    s.clip("p", 1);
    s.call("p", "createEmptyMovieClip", {str("q"), num(1)});
    s.call("p.q", "beginFill", {num(0)});
    square(s, "p.q", 0, 0, 10, 10);
    s.call("p.q", "endFill", {});
    s.set("p.q", "_rotation", num(45));
    s.set("p", "_rotation", num(45));
    s.set("p", "_x", num(50));
    s.set("p", "_y", num(20));
    s.traceMember("p", "_width").traceMember("p", "_height");
    // In p's own space q's square is a diamond, its corners on whole twips (10 * sqrt 2 is 282.8 twips).
    // bounds = clip.getBounds(space), its sides traced.
    auto bounds = [&s](const std::vector<std::string>& clip, const std::string& space,
                       std::initializer_list<const char*> sides) {
        s.setBuilt("_root", "bounds", [&](sw::ActionWriter& a) {
            a.push(str(space)).op(op::kGetVariable).push(num(1)).push(str("_root")).op(op::kGetVariable);
            for (const std::string& name : clip) a.push(str(name)).op(op::kGetMember);
            a.push(str("getBounds")).op(op::kCallMethod);
        });
        for (const char* side : sides) s.traceMember("bounds", side);
    };
    bounds({"p"}, "p", {"xMin", "xMax", "yMax"});
    bounds({"p", "q"}, "_root", {"xMin", "xMax", "yMin", "yMax"});
    // A third of the scale puts the right edge at 66.67 twips: reported as 67.
    s.clip("thin", 2);
    s.call("thin", "beginFill", {num(0)});
    square(s, "thin", 0, 0, 10, 10);
    s.call("thin", "endFill", {});
    s.set("thin", "_xscale", num(100.0 / 3));
    bounds({"thin"}, "_root", {"xMax"});
    const Played p = play(s);
    EXPECT_EQ(p.trace, (QStringList{"10", "10", "-7.05", "7.05", "14.15", "40", "50", "20", "30", "3.35"}));
}

TEST(Drawing, GradientFillsAndTheArgumentsTheyRefuse) {
    Script s;
    s.clip("ok", 1);
    auto gradient = [&s](const std::string& clip, const std::string& type, std::vector<double> ratios) {
        s.callBuilt(clip, "beginGradientFill", 5, [&](sw::ActionWriter& a) {
            a.push({str("matrixType"), str("box"), str("x"), num(0), str("y"), num(0), str("w"), num(100), str("h"),
                    num(50), str("r"), num(0), num(6)});
            a.op(op::kInitObject);
            a.push(Script::array(ratios)).op(op::kInitArray);
            a.push(Script::array({100, 100})).op(op::kInitArray);
            a.push(Script::array({0xff0000, 0x0000ff})).op(op::kInitArray);
            a.push(str(type));
        });
    };
    gradient("ok", "linear", {0, 255});
    square(s, "ok", 0, 0, 100, 50);
    s.call("ok", "endFill", {});
    // Refused: an unknown type, a ratio out of range, array lengths that differ. Each leaves the
    // fill before it in force.
    s.clip("bad", 2);
    s.call("bad", "beginFill", {num(0x00ff00)});
    gradient("bad", "LINEAR", {0, 255});
    square(s, "bad", 0, 50, 30, 75);
    gradient("bad", "linear", {0, 256});
    square(s, "bad", 30, 50, 60, 75);
    gradient("bad", "linear", {0});
    square(s, "bad", 60, 50, 100, 75);
    s.call("bad", "endFill", {});
    // No arguments at all, or no type, end the fill as beginFill() does.
    s.clip("none", 3);
    s.call("none", "beginFill", {num(0x00ff00)});
    s.call("none", "beginGradientFill", {});
    square(s, "none", 0, 75, 50, 100);
    s.call("none", "beginFill", {num(0x00ff00)});
    s.call("none", "beginGradientFill", {Push::undefined(), num(1), num(2), num(3), num(4)});
    square(s, "none", 50, 75, 100, 100);
    s.call("none", "endFill", {});
    const Played p = play(s);
    const QRgb left = p.image.pixel(3, 25), right = p.image.pixel(96, 25), middle = p.image.pixel(50, 25);
    EXPECT_GT(qRed(left), 220);
    EXPECT_LT(qBlue(left), 40);
    EXPECT_GT(qBlue(right), 220);
    EXPECT_LT(qRed(right), 40);
    EXPECT_GT(qRed(middle), 90);
    EXPECT_GT(qBlue(middle), 90);
    for (int x : {15, 45, 80}) EXPECT_PIXEL(p.image, x, 62, kGreen);
    for (int x : {25, 75}) EXPECT_PIXEL(p.image, x, 88, kBlue);
}

namespace {

// A 100x100 square filled with a reflected red-to-blue radial gradient whose focal point is `focal`.
QImage focalGradient(double focal) {
    Script s;
    s.clip("mc", 1);
    s.callBuilt("mc", "beginGradientFill", 8, [focal](sw::ActionWriter& a) {
        a.push({num(focal), str("RGB"), str("reflect")});
        a.push({str("matrixType"), str("box"), str("x"), num(0), str("y"), num(0), str("w"), num(60), str("h"),
                num(60), str("r"), num(0), num(6)});
        a.op(op::kInitObject);
        a.push(Script::array({0, 255})).op(op::kInitArray);
        a.push(Script::array({100, 100})).op(op::kInitArray);
        a.push(Script::array({0xff0000, 0x0000ff})).op(op::kInitArray);
        a.push(str("radial"));
    });
    square(s, "mc", 0, 0, 100, 100);
    s.call("mc", "endFill", {});
    return play(s).image;
}

}  // namespace

TEST(Drawing, AFocalPointKeepsTheFixedPointPrecisionOfShapeTags) {
    // 8.8 fixed point cut toward zero: 0.503 is drawn as 128/256 on either side of the centre,
    // while 0.51 (130/256) is a step away.
    EXPECT_EQ(focalGradient(0.503), focalGradient(0.5));
    EXPECT_EQ(focalGradient(-0.503), focalGradient(-0.5));
    EXPECT_NE(focalGradient(0.51), focalGradient(0.5));
    EXPECT_NE(focalGradient(-0.5), focalGradient(0.5));
    // Below 1/256 nothing is left of it: a plain radial gradient.
    EXPECT_EQ(focalGradient(0.003), focalGradient(0));
}

TEST(Drawing, LineGradientStyleKeepsTheLineWhenRefused) {
    Script s;
    s.clip("mc", 1);
    s.call("mc", "lineStyle", {num(20), num(0x00ff00)});
    s.callBuilt("mc", "lineGradientStyle", 5, [](sw::ActionWriter& a) {
        a.push({str("a"), num(100), str("b"), num(0), str("d"), num(0), str("e"), num(100), str("g"), num(50), str("h"),
                num(50), num(6)});
        a.op(op::kInitObject);
        a.push(Script::array({0, 255})).op(op::kInitArray);
        a.push(Script::array({100, 100})).op(op::kInitArray);
        a.push(Script::array({0xff0000, 0xff0000})).op(op::kInitArray);
        a.push(str("radial"));
    });
    s.call("mc", "moveTo", {num(10), num(30)});
    s.call("mc", "lineTo", {num(90), num(30)});
    // Too few arguments: ignored, the gradient stays.
    s.call("mc", "lineGradientStyle", {str("linear")});
    s.call("mc", "moveTo", {num(10), num(70)});
    s.call("mc", "lineTo", {num(90), num(70)});
    const Played p = play(s);
    EXPECT_PIXEL(p.image, 50, 30, kRed);
    EXPECT_PIXEL(p.image, 50, 70, kRed);
    EXPECT_PIXEL(p.image, 50, 50, kBlue);
}

TEST(Drawing, DrawingLiesBelowTheClipsChildren) {
    Script s;
    s.clip("mc", 1);
    s.call("mc", "createEmptyMovieClip", {str("child"), num(1)});
    s.call("_root.mc.child", "beginFill", {num(0x00ff00)});
    square(s, "_root.mc.child", 0, 0, 50, 100);
    s.call("mc", "beginFill", {num(0xff0000)});
    square(s, "mc", 0, 0, 100, 100);
    const Played p = play(s);
    EXPECT_PIXEL(p.image, 25, 50, kGreen);
    EXPECT_PIXEL(p.image, 75, 50, kRed);

    auto movie = movieOf(s);
    vp::Player player(movie);
    vp::RecordingRenderer recording;
    player.render(recording, QTransform(), vp::RenderQuality::Low);
    ASSERT_EQ(recording.lines().size(), 4);
    // The parent's drawing first, then the child.
    EXPECT_TRUE(recording.lines()[1].endsWith(QStringLiteral("#ff0000ff"))) << recording.lines()[1].toStdString();
    EXPECT_TRUE(recording.lines()[2].endsWith(QStringLiteral("#00ff00ff"))) << recording.lines()[2].toStdString();
}

TEST(Drawing, ShapeHitTestsFollowOutlinesNotBounds) {
    Script s;
    s.clip("donut", 1);
    s.call("donut", "beginFill", {num(0xff0000)});
    square(s, "donut", 10, 10, 90, 90);
    square(s, "donut", 30, 30, 70, 70);   // a second contour: even-odd makes it a hole
    s.call("donut", "endFill", {});
    s.set("donut", "_x", num(5));
    s.traceCall("donut", "hitTest", {num(55), num(50), Push::boolean(true)});
    s.traceCall("donut", "hitTest", {num(55), num(50), Push::boolean(false)});
    s.traceCall("donut", "hitTest", {num(20), num(50), Push::boolean(true)});
    s.traceCall("donut", "hitTest", {num(10), num(50), Push::boolean(true)});   // left of the moved clip
    s.clip("line", 2);
    s.call("line", "lineStyle", {num(4)});
    s.call("line", "moveTo", {num(0), num(0)});
    s.call("line", "lineTo", {num(100), num(100)});
    s.traceCall("line", "hitTest", {num(50), num(51), Push::boolean(true)});
    s.traceCall("line", "hitTest", {num(80), num(20), Push::boolean(true)});
    s.traceCall("line", "hitTest", {str("x"), num(20), Push::boolean(true)});
    const Played p = play(s);
    EXPECT_EQ(p.trace, (QStringList{"false", "true", "true", "false", "true", "false", "false"}));
}

TEST(Drawing, TextWithAdvancedAntiAliasingIsHitOverItsBox) {
    // Two 10 x 20 pixel glyph boxes 30 pixels apart in a 40 x 20 text, once plain, once with advanced
    // anti-aliasing; each in a clip, at (10, 10) and (10, 50).
    sw::ShapeBuilder glyph;
    glyph.style(std::nullopt, 1, std::nullopt).rect(0, -20480, 10240, 20480);
    const auto text = [](std::uint16_t id) {
        return sw::defineText(id, 2, 0, 800, 0, 400, 1, 0xff0000ff, 400, 0, 400, {{0, 600}, {0, 600}});
    };
    sw::ByteWriter advanced;
    advanced.u16(3).u8(0x40).u32(0).u32(0).u8(0);
    const auto holder = [](std::uint16_t id, std::uint16_t textId) {
        return sw::defineSprite(id, 1, {sw::placeObject2({.characterId = textId}), sw::showFrame()});
    };
    const auto place = [](std::uint16_t depth, std::uint16_t id, const std::string& name, std::int32_t y) {
        return sw::placeObject2({.depth = depth, .characterId = id, .matrix = sw::MatrixSpec::translate(200, y), .name = name});
    };
    Script s;
    for (const char* clip : {"plain", "advanced"}) {
        const double y = clip[0] == 'p' ? 20 : 60;
        s.traceCall(clip, "hitTest", {num(15), num(y), Push::boolean(true)});   // on a glyph
        s.traceCall(clip, "hitTest", {num(30), num(y), Push::boolean(true)});   // between the glyphs
        s.traceCall(clip, "hitTest", {num(60), num(y), Push::boolean(true)});   // past the text
    }
    sw::MovieSpec spec;
    spec.widthTwips = 2000;
    spec.heightTwips = 2000;
    const Played p = play(vp::Movie::fromBytes(sw::movie(
        spec, {sw::defineFont3(1, "Box", {{glyph, 'A', 20480}}), text(2), text(3), sw::tag(74, advanced.data()),
               holder(10, 2), holder(11, 3), place(1, 10, "plain", 200), place(2, 11, "advanced", 1000),
               sw::doAction(s.bytes()), sw::showFrame()})));
    EXPECT_EQ(p.trace, (QStringList{"true", "false", "false", "true", "true", "false"}));
}

namespace {

// A red 100x100 "content" clip and a green 50x50 "holder" clip above it, for masking.
Script contentAndHolder() {
    Script s;
    s.clip("content", 1);
    s.call("content", "beginFill", {num(0xff0000)});
    square(s, "content", 0, 0, 100, 100);
    s.clip("holder", 2);
    s.call("holder", "beginFill", {num(0x00ff00)});
    square(s, "holder", 0, 0, 50, 50);
    return s;
}

}  // namespace

TEST(Drawing, SetMaskClipsTheClipAndHidesTheMask) {
    Script s = contentAndHolder();
    // Paths read as script paths: a variable in a target, a clip path.
    s.traceCall("content", "setMask", {str("_level0:holder")});
    s.traceCall("content", "setMask", {str("holder")});
    s.traceCall("content", "setMask", {str("nothingThere")});
    s.traceCall("content", "setMask", {});
    s.traceCall("content", "hitTest", {num(75), num(75), Push::boolean(true)});
    s.traceCall("content", "hitTest", {num(25), num(25), Push::boolean(true)});
    const Played masked = play(s);
    EXPECT_EQ(masked.trace, (QStringList{"true", "true", "false", "undefined", "false", "true"}));
    EXPECT_PIXEL(masked.image, 25, 25, kRed);     // the content, where the mask is
    EXPECT_PIXEL(masked.image, 75, 75, kBlue);    // masked away
    EXPECT_PIXEL(masked.image, 75, 25, kBlue);

    // A target path naming a level then a variable leads to the clip, not the level.
    Script byPath = contentAndHolder();
    byPath.call("content", "setMask", {str("_level0:holder")});
    const Played maskedByPath = play(byPath);
    EXPECT_PIXEL(maskedByPath.image, 25, 25, kRed);
    EXPECT_PIXEL(maskedByPath.image, 75, 75, kBlue);

    s.traceCall("content", "setMask", {Push::null()});
    const Played unmasked = play(s);
    EXPECT_EQ(unmasked.trace.last(), QStringLiteral("true"));
    EXPECT_PIXEL(unmasked.image, 75, 75, kRed);
    EXPECT_PIXEL(unmasked.image, 25, 25, kGreen);   // no longer a mask: drawn in its place
}

// The timeline places X as the mask of depths up to 3 (a 20x20 square at 40,40 drawn in green),
// Y (red, the whole stage) at depth 2 under it and W (red, the left half) at depth 5; `script` runs
// after them.
std::shared_ptr<const vp::Movie> timelineMaskMovie(const Script& script) {
    sw::MovieSpec spec;
    spec.widthTwips = 2000;
    spec.heightTwips = 2000;
    const auto place = [](std::uint16_t depth, std::uint16_t sprite, const std::string& name,
                          std::optional<std::uint16_t> clipDepth = std::nullopt) {
        return sw::placeObject2({.depth = depth, .characterId = sprite, .name = name, .clipDepth = clipDepth});
    };
    const auto sprite = [](std::uint16_t id, std::uint16_t shape) {
        return sw::defineSprite(id, 1, {sw::placeObject2({.characterId = shape}), sw::showFrame()});
    };
    return vp::Movie::fromBytes(sw::movie(
        spec, {sw::setBackgroundColor(0x0000ff), sw::rectangleShape(1, 800, 800, 400, 400, 0x00ff00ff),
               sprite(2, 1), sw::rectangleShape(3, 0, 0, 2000, 2000, 0xff0000ff), sprite(4, 3),
               sw::rectangleShape(5, 0, 0, 1000, 2000, 0xff0000ff), sprite(6, 5), place(1, 2, "X", 3),
               place(2, 4, "Y"), place(5, 6, "W"), sw::doAction(script.bytes()), sw::showFrame()}));
}

TEST(Drawing, SetMaskEndsTheTimelineMaskOfEitherClip) {
    const Played timeline = play(timelineMaskMovie(Script()));
    EXPECT_PIXEL(timeline.image, 50, 50, kRed);   // Y, inside its timeline mask
    EXPECT_PIXEL(timeline.image, 80, 20, kBlue);  // masked away

    Script unmaskY;
    unmaskY.traceCall("Y", "setMask", {Push::null()});
    const Played stillMasked = play(timelineMaskMovie(unmaskY));
    EXPECT_EQ(stillMasked.trace, QStringList{QStringLiteral("true")});
    EXPECT_PIXEL(stillMasked.image, 80, 20, kBlue);   // Y had no script mask to drop
    Script unmaskX;
    unmaskX.traceCall("X", "setMask", {Push::null()});
    EXPECT_PIXEL(play(timelineMaskMovie(unmaskX)).image, 80, 20, kRed);   // X is no mask any more

    Script maskedByX;
    maskedByX.traceCall("Y", "setMask", {str("X")});
    const Played byScript = play(timelineMaskMovie(maskedByX));
    EXPECT_PIXEL(byScript.image, 50, 50, kRed);   // the same square, now as a script mask
    EXPECT_PIXEL(byScript.image, 80, 20, kBlue);
    maskedByX.traceCall("Y", "setMask", {Push::null()});
    EXPECT_PIXEL(play(timelineMaskMovie(maskedByX)).image, 80, 20, kRed);   // and gone with it

    Script maskItself;
    maskItself.traceCall("X", "setMask", {str("Y")});   // the timeline mask is masked in turn
    const Played xMasked = play(timelineMaskMovie(maskItself));
    EXPECT_EQ(xMasked.trace, QStringList{QStringLiteral("true")});
    EXPECT_PIXEL(xMasked.image, 50, 50, kGreen);  // X drawn as itself, inside Y
    EXPECT_PIXEL(xMasked.image, 80, 20, kBlue);   // Y is only a mask now
}

TEST(Drawing, AClipMaskingItselfShowsNothingAndAMaskIsNeverHitByShape) {
    Script s;
    s.set("W", "_x", num(50));   // over the blue right half
    s.traceCall("W", "setMask", {str("W")});
    s.traceCall("W", "hitTest", {num(75), num(50), Push::boolean(true)});
    s.traceCall("W", "hitTest", {num(75), num(50), Push::boolean(false)});
    s.traceMember("W", "_width");
    const Played self = play(timelineMaskMovie(s));
    EXPECT_EQ(self.trace, (QStringList{"true", "false", "true", "50"}));
    EXPECT_PIXEL(self.image, 75, 20, kBlue);      // W is only its own mask

    Script other;
    other.traceCall("Y", "setMask", {str("W")});
    other.traceCall("W", "hitTest", {num(25), num(50), Push::boolean(true)});
    other.traceCall("Y", "hitTest", {num(25), num(50), Push::boolean(true)});
    other.traceCall("X", "hitTest", {num(50), num(50), Push::boolean(true)});   // a timeline mask answers
    const Played masked = play(timelineMaskMovie(other));
    EXPECT_EQ(masked.trace, (QStringList{"true", "false", "true", "true"}));
    // Y is clipped by both masks: the timeline's square and W's left half.
    EXPECT_PIXEL(masked.image, 45, 45, kRed);
    EXPECT_PIXEL(masked.image, 55, 45, kBlue);
    EXPECT_PIXEL(masked.image, 25, 50, kBlue);
}

TEST(Drawing, HostileArgumentsNeitherCrashNorPoisonTheDrawing) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    Script s;
    s.clip("mc", 1);
    s.call("mc", "lineStyle", {num(inf), num(nan), num(-inf), num(nan), num(nan), num(nan), num(nan), num(-1e300)});
    s.call("mc", "beginFill", {num(nan), num(1e300)});
    s.call("mc", "moveTo", {num(nan), num(inf)});
    s.call("mc", "lineTo", {num(1e300), num(-1e300)});
    s.call("mc", "curveTo", {num(1)});
    s.call("mc", "lineTo", {num(1)});
    s.call("mc", "beginGradientFill", {str("radial"), num(1), num(2), num(3), num(4), num(5), num(6), num(inf)});
    s.call("mc", "lineGradientStyle", {});
    s.call("mc", "setMask", {num(nan)});   // names no clip: refused
    s.call("mc", "endFill", {});
    s.call("mc", "clear", {});
    s.call("mc", "beginFill", {num(0xff0000)});
    square(s, "mc", 0, 0, 10, 10);
    s.call("mc", "endFill", {});
    s.traceMember("mc", "_width");
    const Played p = play(s);
    EXPECT_EQ(p.trace, QStringList{QStringLiteral("10")});
    EXPECT_PIXEL(p.image, 5, 5, kRed);
}

TEST(Drawing, FiltersAScriptGivesAClipAreDrawn) {
    Script s;
    // Red squares on the blue stage: the left one through a colour matrix that moves red into green,
    // the right one with a black shadow 10 pixels to the right and down.
    s.clip("left", 1).call("left", "beginFill", {num(0xff0000)});
    square(s, "left", 5, 5, 35, 35).call("left", "endFill", {});
    s.clip("right", 2).call("right", "beginFill", {num(0xff0000)});
    square(s, "right", 50, 5, 80, 35).call("right", "endFill", {});
    auto filterList = [](const std::string& cls, const std::vector<Push>& args) {
        return [cls, args](sw::ActionWriter& a) {
            for (auto it = args.rbegin(); it != args.rend(); ++it) a.push(*it);
            a.push(num(static_cast<double>(args.size())));
            a.push(str("flash")).op(op::kGetVariable).push(str("filters")).op(op::kGetMember);
            a.push(str(cls)).op(op::kNewMethod).push(num(1)).op(op::kInitArray);
        };
    };
    s.setBuilt("left", "filters", [&](sw::ActionWriter& a) {
        // matrix rows R, G, B, A: G' = R, R' = 0, B' = B, A' = A.
        const std::vector<double> m{0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
        for (auto it = m.rbegin(); it != m.rend(); ++it) a.push(num(*it));
        a.push(num(20)).op(op::kInitArray);
        a.push(num(1)).push(str("flash")).op(op::kGetVariable).push(str("filters")).op(op::kGetMember);
        a.push(str("ColorMatrixFilter")).op(op::kNewMethod).push(num(1)).op(op::kInitArray);
    });
    // new DropShadowFilter(distance 10, angle 45, black, alpha 1, no blur, strength 1, quality 1)
    s.setBuilt("right", "filters", filterList("DropShadowFilter", {num(10), num(45), num(0), num(1), num(0), num(0),
                                                                    num(1), num(1)}));
    const Played p = play(s);
    EXPECT_PIXEL(p.image, 20, 20, kGreen);
    EXPECT_PIXEL(p.image, 65, 20, kRed);
    // Below the square, where only the offset shadow reaches.
    const QRgb shadow = p.image.pixel(70, 40);
    EXPECT_LT(qBlue(shadow), 60);
    EXPECT_LT(qRed(shadow), 60);
    EXPECT_PIXEL(p.image, 70, 60, kBlue);
}
