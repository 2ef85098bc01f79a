// The alignment a centred field keeps once markup fills it, by movie version: markup starts its
// paragraphs aligned left before version 8, later movies keep the field's alignment unless the markup
// is empty.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/movie.h"
#include "player/player.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::ActionWriter;
using sw::Push;
namespace op = sw::op;

namespace {

// A centred field (its font is not in the movie: a device font stands in) with the given markup flag and initial text.
sw::Bytes centredField(std::uint16_t id, bool html, const std::string& text) {
    sw::ByteWriter w;
    w.u16(id).rect(0, 4000, 0, 1000);
    const bool hasText = !text.empty();
    w.u8(static_cast<std::uint8_t>((hasText ? 0x80 : 0) | 0x40 | 0x20 | 0x08 | 0x04 | 0x01));
    w.u8(static_cast<std::uint8_t>(0x20 | (html ? 0x02 : 0)));
    w.u16(1).u16(240).rgba(0x000000ff);
    w.u8(2).u16(0).u16(0).s16(0).s16(0);   // centred, no margins
    w.string("");
    if (hasText) w.string(text);
    return sw::tag(37, w.data());
}

void traceAligns(ActionWriter& a, const std::string& field) {
    a.push(Push::integer(0)).push(Push::str(field)).op(op::kGetVariable).push(Push::str("getNewTextFormat"));
    a.op(op::kCallMethod).push(Push::str("align")).op(op::kGetMember).op(op::kTrace);
    a.push({Push::integer(1), Push::integer(0), Push::integer(2)}).push(Push::str(field)).op(op::kGetVariable);
    a.push(Push::str("getTextFormat")).op(op::kCallMethod).push(Push::str("align")).op(op::kGetMember).op(op::kTrace);
}

// Each field's alignment for new text and at its first character, in the order plain, markup given in
// the definition, empty markup in the definition, markup set by a script.
std::vector<std::string> aligns(int version) {
    ActionWriter a;
    auto set = [&a](const char* field, const char* property, const Push& value) {
        a.push(Push::str(field)).op(op::kGetVariable).push({Push::str(property), value}).op(op::kSetMember);
    };
    set("plain", "text", Push::str("AB"));
    set("scripted", "html", Push::boolean(true));
    set("scripted", "htmlText", Push::str("<font>AB</font>"));
    set("empty", "html", Push::boolean(false));
    set("empty", "text", Push::str("AB"));
    for (const char* f : {"plain", "markup", "empty", "scripted"}) traceAligns(a, f);

    sw::MovieSpec spec;
    spec.version = version;
    spec.widthTwips = 8000;
    spec.heightTwips = 6000;
    std::vector<sw::Bytes> tags{centredField(2, false, ""),
                                centredField(3, true, "AB"),
                                centredField(4, true, ""),
                                sw::placeObject2({.depth = 1, .characterId = 2, .name = "plain"}),
                                sw::placeObject2({.depth = 2, .characterId = 3, .name = "markup"}),
                                sw::placeObject2({.depth = 3, .characterId = 4, .name = "empty"}),
                                sw::placeObject2({.depth = 4, .characterId = 2, .name = "scripted"}),
                                sw::doAction(a.end()),
                                sw::showFrame()};
    return sw::playTraced(spec, tags);
}

}  // namespace

TEST(TextAlignMarkup, MarkupBeforeVersionEightAlignsLeft) {
    const std::vector<std::string> expected{"center", "center", "left", "left", "left", "left", "left", "left"};
    EXPECT_EQ(aligns(7), expected);
}

TEST(TextAlignMarkup, LaterMarkupKeepsTheFieldAlignmentUnlessEmpty) {
    const std::vector<std::string> expected{"center", "center", "center", "center", "left", "left", "center", "center"};
    EXPECT_EQ(aligns(8), expected);
}
