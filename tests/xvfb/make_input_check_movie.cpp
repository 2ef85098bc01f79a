// Writes the movie that scripts/xvfb_input_check.sh clicks and types into: a button whose states
// are three plain colours and whose actions trace the pointer's progress, and an input field made
// by script whose focus and change events trace its text. The colours let the script find both on
// the screen whatever the window layout and zoom.
//
// Usage: make_input_check_movie OUT.swf

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

using namespace vistrel::testing;

namespace {

constexpr std::int32_t kTwips = 20;

// trace(text)
void traceText(ActionWriter& a, const std::string& text) { a.push(Push::str(text)).op(op::kTrace); }

// field.NAME = VALUE for a value already written by `value`.
template <typename Value>
void setFieldMember(ActionWriter& a, const std::string& name, Value value) {
    a.push(Push::str("field")).op(op::kGetVariable).push(Push::str(name));
    value(a);
    a.op(op::kSetMember);
}

Bytes frameScript() {
    ActionWriter a;
    // _root.createTextField("field", 10, 40, 160, 300, 40)
    a.push({Push::integer(40), Push::integer(300), Push::integer(160), Push::integer(40), Push::integer(10),
            Push::str("field"), Push::integer(6), Push::str("_root")})
        .op(op::kGetVariable).push(Push::str("createTextField")).op(op::kCallMethod).op(op::kPop);
    setFieldMember(a, "type", [](ActionWriter& w) { w.push(Push::str("input")); });
    setFieldMember(a, "border", [](ActionWriter& w) { w.push(Push::boolean(true)); });
    setFieldMember(a, "background", [](ActionWriter& w) { w.push(Push::boolean(true)); });
    setFieldMember(a, "backgroundColor", [](ActionWriter& w) { w.push(Push::integer(0x00ffff)); });
    setFieldMember(a, "onSetFocus", [](ActionWriter& w) {
        ActionWriter body;
        traceText(body, "field focus");
        w.defineFunction("", {}, body);
    });
    setFieldMember(a, "onChanged", [](ActionWriter& w) {
        ActionWriter body;
        body.push(Push::str("field text: ")).push(Push::str("field")).op(op::kGetVariable)
            .push(Push::str("text")).op(op::kGetMember).op(op::kAdd2).op(op::kTrace);
        w.defineFunction("", {}, body);
    });
    traceText(a, "movie ready");
    a.op(op::kStop);
    return a.end();
}

Bytes buttonAction(const std::string& text) {
    ActionWriter a;
    traceText(a, text);
    return a.end();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_input_check_movie OUT.swf\n");
        return 2;
    }
    MovieSpec spec;
    spec.version = 8;
    spec.widthTwips = 400 * kTwips;
    spec.heightTwips = 300 * kTwips;
    spec.frameRate = 12;
    const std::int32_t w = 120 * kTwips, h = 60 * kTwips;
    std::vector<ButtonRecordSpec> records(4);
    const std::uint8_t states[4] = {0x01, 0x02, 0x04, 0x08};   // up, over, down, hit
    const std::uint16_t shapes[4] = {1, 2, 3, 1};
    for (int i = 0; i < 4; ++i) {
        records[i].states = states[i];
        records[i].characterId = shapes[i];
        records[i].depth = static_cast<std::uint16_t>(i + 1);
    }
    // Conditions: idle to over up, over up to over down, over down to over up.
    const std::vector<ButtonActionSpec> actions = {{0x0001, buttonAction("button over")},
                                                   {0x0004, buttonAction("button press")},
                                                   {0x0008, buttonAction("button release")}};
    const std::vector<Bytes> tags = {
        setBackgroundColor(0xffffff),
        rectangleShape(1, 0, 0, w, h, 0xff00ffff),   // up: magenta
        rectangleShape(2, 0, 0, w, h, 0xff8000ff),   // over: orange
        rectangleShape(3, 0, 0, w, h, 0x00c000ff),   // down: green
        defineButton2(4, records, actions),
        placeObject(4, 1, MatrixSpec::translate(40 * kTwips, 40 * kTwips)),
        doAction(frameScript()),
        showFrame(),
    };
    const Bytes bytes = movie(spec, tags);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "make_input_check_movie: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
