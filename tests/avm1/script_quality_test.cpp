// The drawing quality scripts choose: _quality and _highquality read back what was set, the toggle
// flips between low and high, and frames are then drawn at that quality whatever the viewer asks for.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include <QImage>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::ActionWriter;
using sw::Push;
namespace op = sw::op;

namespace {

ActionWriter& traceQuality(ActionWriter& a) {
    a.push({Push::str("_quality")}).op(op::kGetVariable).op(op::kTrace);
    return a.push({Push::str("_highquality")}).op(op::kGetVariable).op(op::kTrace);
}

ActionWriter& setVar(ActionWriter& a, const std::string& name, const Push& value) {
    return a.push({Push::str(name), value}).op(op::kSetVariable);
}

// The number of colours of a stage drawn with one slanted red triangle, after the frame's actions.
// With `userChoosesAfter` the viewer's user picks a quality once the actions have run.
std::size_t coloursDrawn(const sw::Bytes& actions, vp::RenderQuality asked, bool userChoosesAfter = false) {
    sw::ShapeBuilder tri;
    tri.fill(sw::FillSpec::solid(0xff0000ff)).style(std::nullopt, 1, std::nullopt).moveTo(0, 0);
    tri.lineTo(2000, 700).lineTo(300, 2000).lineTo(0, 0);
    std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0x0000ff), tri.build(3, 1, 0, 2000, 0, 2000),
                                   sw::placeObject2({.depth = 1, .characterId = 1}), sw::doAction(actions),
                                   sw::showFrame()};
    const auto movie = vp::Movie::fromBytes(sw::movie({.version = 6, .widthTwips = 2000, .heightTwips = 2000}, tags));
    EXPECT_TRUE(movie && movie->isValid());
    if (!movie) return 0;
    vp::Player player(movie);
    if (userChoosesAfter) player.stage().clearScriptQuality();
    QImage image(QSize(100, 100), QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, vp::stageToDevice(movie->stageRect(), QSizeF(100, 100), vp::ScaleMode::ShowAll, 1), asked);
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
    return colours.size();
}

}  // namespace

TEST(ScriptQuality, QualityNamesAndNumbersReadBackWhatWasSet) {
    ActionWriter a;
    traceQuality(a);                                   // HIGH 1 before any script chose
    setVar(a, "_quality", Push::str("low"));
    traceQuality(a);                                   // LOW 0
    setVar(a, "_quality", Push::str("Best"));
    traceQuality(a);                                   // BEST 2
    setVar(a, "_quality", Push::str("shiny"));         // no quality's name: kept
    traceQuality(a);                                   // BEST 2
    setVar(a, "_highquality", Push::integer(0));
    traceQuality(a);                                   // LOW 0
    setVar(a, "_highquality", Push::integer(-5));
    traceQuality(a);                                   // HIGH 1
    setVar(a, "_highquality", Push::str("abc"));       // no number: kept
    traceQuality(a);                                   // HIGH 1
    setVar(a, "_highquality", Push::integer(10));
    traceQuality(a);                                   // BEST 2
    setVar(a, "_quality", Push::str("MEDIUM"));
    traceQuality(a);                                   // MEDIUM 1
    a.op(op::kToggleQuality);
    traceQuality(a);                                   // LOW 0
    a.op(op::kToggleQuality);
    traceQuality(a);                                   // HIGH 1
    sw::ScriptMovie m(6, a.end());
    const std::vector<std::string> expected = {"HIGH", "1", "LOW", "0", "BEST", "2", "BEST", "2", "LOW", "0", "HIGH",
                                               "1",    "HIGH", "1", "BEST", "2", "MEDIUM", "1", "LOW", "0", "HIGH",
                                               "1"};
    EXPECT_EQ(m.lines, expected);
}

TEST(ScriptQuality, FramesAreDrawnAtTheQualityAScriptChose) {
    ActionWriter none;
    ActionWriter low;
    setVar(low, "_quality", Push::str("LOW"));
    ActionWriter high;
    setVar(high, "_highquality", Push::integer(1));
    ActionWriter toggled;
    toggled.op(op::kToggleQuality);
    // Without a script's choice the viewer's quality rules: low draws the triangle's two colours only.
    EXPECT_EQ(coloursDrawn(none.end(), vp::RenderQuality::Low), 2u);
    EXPECT_GT(coloursDrawn(none.end(), vp::RenderQuality::High), 2u);
    // A script's low quality drops the anti-aliasing the viewer asked for; its high quality brings it
    // back.
    EXPECT_EQ(coloursDrawn(low.end(), vp::RenderQuality::High), 2u);
    EXPECT_EQ(coloursDrawn(toggled.end(), vp::RenderQuality::Best), 2u);
    EXPECT_GT(coloursDrawn(high.end(), vp::RenderQuality::Low), 2u);
    // A quality the user picks afterwards takes over again.
    EXPECT_GT(coloursDrawn(low.end(), vp::RenderQuality::High, true), 2u);
    EXPECT_EQ(coloursDrawn(high.end(), vp::RenderQuality::Low, true), 2u);
}
