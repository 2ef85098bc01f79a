#include "tests/support/action_writer.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace vistrel::testing {

namespace {

std::uint16_t checkedSize(std::size_t n, const char* what) {
    if (n > 0xffff) throw std::invalid_argument(std::string(what) + " does not fit a 16-bit size");
    return static_cast<std::uint16_t>(n);
}

void writePushValue(ByteWriter& w, const Push& v) {
    w.u8(static_cast<std::uint8_t>(v.type));
    switch (v.type) {
    case Push::Type::String: w.string(v.text); break;
    case Push::Type::Float: w.f32(static_cast<float>(v.number)); break;
    case Push::Type::Null:
    case Push::Type::Undefined: break;
    case Push::Type::Register:
    case Push::Type::Boolean:
    case Push::Type::Constant8: w.u8(static_cast<std::uint8_t>(v.value)); break;
    case Push::Type::Double: {
        // Stored as two little-endian 32-bit halves, the high half first.
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v.number, sizeof bits);
        w.u32(static_cast<std::uint32_t>(bits >> 32)).u32(static_cast<std::uint32_t>(bits));
        break;
    }
    case Push::Type::Integer: w.u32(static_cast<std::uint32_t>(static_cast<std::int32_t>(v.value))); break;
    case Push::Type::Constant16: w.u16(static_cast<std::uint16_t>(v.value)); break;
    }
}

}  // namespace

std::size_t ActionWriter::writeRecord(std::uint8_t code, const Bytes& body) {
    m_bytes.push_back(code);
    if (code >= 0x80) {
        const std::uint16_t n = checkedSize(body.size(), "action body");
        m_bytes.push_back(static_cast<std::uint8_t>(n & 0xff));
        m_bytes.push_back(static_cast<std::uint8_t>(n >> 8));
    }
    const std::size_t at = m_bytes.size();
    m_bytes.insert(m_bytes.end(), body.begin(), body.end());
    return at;
}

ActionWriter& ActionWriter::op(std::uint8_t code) {
    writeRecord(code, {});
    return *this;
}

ActionWriter& ActionWriter::action(std::uint8_t code, const Bytes& body) {
    writeRecord(code, body);
    return *this;
}

ActionWriter& ActionWriter::raw(const Bytes& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

ActionWriter& ActionWriter::push(const std::vector<Push>& values) {
    ByteWriter w;
    for (const Push& v : values) writePushValue(w, v);
    return action(op::kPush, w.data());
}

ActionWriter& ActionWriter::gotoFrame(std::uint16_t frame) {
    ByteWriter w;
    w.u16(frame);
    return action(op::kGotoFrame, w.data());
}

ActionWriter& ActionWriter::getUrl(const std::string& url, const std::string& target) {
    ByteWriter w;
    w.string(url).string(target);
    return action(op::kGetUrl, w.data());
}

ActionWriter& ActionWriter::storeRegister(std::uint8_t reg) { return action(op::kStoreRegister, {reg}); }

ActionWriter& ActionWriter::constantPool(const std::vector<std::string>& strings) {
    ByteWriter w;
    w.u16(checkedSize(strings.size(), "constant pool"));
    for (const std::string& s : strings) w.string(s);
    return action(op::kConstantPool, w.data());
}

ActionWriter& ActionWriter::waitForFrame(std::uint16_t frame, std::uint8_t skipCount) {
    ByteWriter w;
    w.u16(frame).u8(skipCount);
    return action(op::kWaitForFrame, w.data());
}

ActionWriter& ActionWriter::waitForFrame2(std::uint8_t skipCount) { return action(op::kWaitForFrame2, {skipCount}); }

ActionWriter& ActionWriter::setTarget(const std::string& target) {
    ByteWriter w;
    w.string(target);
    return action(op::kSetTarget, w.data());
}

ActionWriter& ActionWriter::gotoLabel(const std::string& label) {
    ByteWriter w;
    w.string(label);
    return action(op::kGotoLabel, w.data());
}

ActionWriter& ActionWriter::getUrl2(std::uint8_t sendVarsMethod, bool loadTarget, bool loadVariables) {
    // As movies store it: the method in the low two bits, load target 0x40, load variables 0x80.
    const auto flags = static_cast<std::uint8_t>((sendVarsMethod & 3) | (loadTarget ? 0x40 : 0) |
                                                 (loadVariables ? 0x80 : 0));
    return action(op::kGetUrl2, {flags});
}

ActionWriter& ActionWriter::gotoFrame2(bool play, std::optional<std::uint16_t> sceneBias) {
    ByteWriter w;
    w.u8(static_cast<std::uint8_t>((sceneBias ? 2 : 0) | (play ? 1 : 0)));
    if (sceneBias) w.u16(*sceneBias);
    return action(op::kGotoFrame2, w.data());
}

ActionWriter& ActionWriter::with(const ActionWriter& body) {
    const Bytes code = body.code();
    ByteWriter w;
    w.u16(checkedSize(code.size(), "with block"));
    action(op::kWith, w.data());
    return raw(code);
}

ActionWriter& ActionWriter::defineFunction(const std::string& name, const std::vector<std::string>& params,
                                           const ActionWriter& body) {
    const Bytes code = body.code();
    ByteWriter w;
    w.string(name).u16(checkedSize(params.size(), "parameter list"));
    for (const std::string& p : params) w.string(p);
    w.u16(checkedSize(code.size(), "function body"));
    action(op::kDefineFunction, w.data());
    return raw(code);
}

ActionWriter& ActionWriter::defineFunction2(const std::string& name, std::uint8_t registerCount, std::uint16_t flags,
                                            const std::vector<RegisterParam>& params, const ActionWriter& body) {
    const Bytes code = body.code();
    ByteWriter w;
    w.string(name).u16(checkedSize(params.size(), "parameter list")).u8(registerCount).u16(flags);
    for (const RegisterParam& p : params) w.u8(p.reg).string(p.name);
    w.u16(checkedSize(code.size(), "function body"));
    action(op::kDefineFunction2, w.data());
    return raw(code);
}

ActionWriter& ActionWriter::tryBlock(const ActionWriter& tryBody, const std::optional<ActionWriter>& catchBody,
                                     const std::optional<ActionWriter>& finallyBody, const CatchTarget& target) {
    const Bytes tryCode = tryBody.code();
    const Bytes catchCode = catchBody ? catchBody->code() : Bytes{};
    const Bytes finallyCode = finallyBody ? finallyBody->code() : Bytes{};
    ByteWriter w;
    w.u8(static_cast<std::uint8_t>((target.reg ? 4 : 0) | (finallyBody ? 2 : 0) | (catchBody ? 1 : 0)));
    w.u16(checkedSize(tryCode.size(), "try block"))
        .u16(checkedSize(catchCode.size(), "catch block"))
        .u16(checkedSize(finallyCode.size(), "finally block"));
    if (target.reg) w.u8(*target.reg);
    else w.string(target.name.value_or(""));
    action(op::kTry, w.data());
    return raw(tryCode).raw(catchCode).raw(finallyCode);
}

ActionWriter& ActionWriter::label(const std::string& name) {
    if (!m_labels.emplace(name, m_bytes.size()).second) throw std::invalid_argument("label defined twice: " + name);
    return *this;
}

void ActionWriter::branch(std::uint8_t code, const std::string& target) {
    const std::size_t at = writeRecord(code, {0, 0});
    m_fixups.push_back({at, m_bytes.size(), target});
}

ActionWriter& ActionWriter::jump(const std::string& target) {
    branch(op::kJump, target);
    return *this;
}

ActionWriter& ActionWriter::ifTrue(const std::string& target) {
    branch(op::kIf, target);
    return *this;
}

ActionWriter& ActionWriter::jumpBy(std::int16_t offset) {
    ByteWriter w;
    w.s16(offset);
    return action(op::kJump, w.data());
}

ActionWriter& ActionWriter::ifTrueBy(std::int16_t offset) {
    ByteWriter w;
    w.s16(offset);
    return action(op::kIf, w.data());
}

Bytes ActionWriter::code() const {
    Bytes out = m_bytes;
    for (const Fixup& f : m_fixups) {
        const auto it = m_labels.find(f.label);
        if (it == m_labels.end()) throw std::invalid_argument("jump to an undefined label: " + f.label);
        const std::int64_t offset = static_cast<std::int64_t>(it->second) - static_cast<std::int64_t>(f.from);
        if (offset < std::numeric_limits<std::int16_t>::min() || offset > std::numeric_limits<std::int16_t>::max())
            throw std::invalid_argument("jump out of range: " + f.label);
        const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(offset));
        out[f.at] = static_cast<std::uint8_t>(v & 0xff);
        out[f.at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return out;
}

Bytes ActionWriter::end() const {
    Bytes out = code();
    out.push_back(op::kEnd);
    return out;
}

Bytes doAction(const Bytes& actions) { return tag(12, actions); }

Bytes doInitAction(std::uint16_t spriteId, const Bytes& actions) {
    ByteWriter w;
    w.u16(spriteId).bytes(actions);
    return tag(59, w.data());
}

static void writeAssets(ByteWriter& w, const std::vector<std::pair<std::uint16_t, std::string>>& assets) {
    w.u16(checkedSize(assets.size(), "asset list"));
    for (const auto& [id, name] : assets) w.u16(id).string(name);
}

Bytes exportAssets(const std::vector<std::pair<std::uint16_t, std::string>>& assets) {
    ByteWriter w;
    writeAssets(w, assets);
    return tag(56, w.data());
}

Bytes importAssets(const std::string& url, const std::vector<std::pair<std::uint16_t, std::string>>& assets,
                   bool version2) {
    ByteWriter w;
    w.string(url);
    if (version2) w.u8(1).u8(0);
    writeAssets(w, assets);
    return tag(version2 ? 71 : 57, w.data());
}

static Bytes buttonRecords(const std::vector<ButtonRecordSpec>& records, bool version2) {
    ByteWriter w;
    for (const ButtonRecordSpec& r : records) {
        std::uint8_t flags = r.states & 0x0f;
        if (version2 && r.filterList) flags |= 0x10;
        if (version2 && r.blendMode) flags |= 0x20;
        w.u8(flags).u16(r.characterId).u16(r.depth).matrix(r.matrix);
        if (!version2) continue;
        w.cxform(r.cxform.value_or(CxformSpec{}), true);
        if (r.filterList) w.bytes(*r.filterList);
        if (r.blendMode) w.u8(*r.blendMode);
    }
    w.u8(0);
    return w.take();
}

Bytes defineButton(std::uint16_t id, const std::vector<ButtonRecordSpec>& records, const Bytes& actions) {
    ByteWriter w;
    w.u16(id).bytes(buttonRecords(records, false)).bytes(actions);
    return tag(7, w.data());
}

Bytes defineButton2(std::uint16_t id, const std::vector<ButtonRecordSpec>& records,
                    const std::vector<ButtonActionSpec>& actions, bool trackAsMenu) {
    const Bytes recordBytes = buttonRecords(records, true);
    ByteWriter w;
    w.u16(id).u8(trackAsMenu ? 1 : 0);
    // The offset counts from its own field to the first condition record.
    w.u16(actions.empty() ? 0 : checkedSize(2 + recordBytes.size(), "button records"));
    w.bytes(recordBytes);
    for (std::size_t i = 0; i < actions.size(); ++i) {
        const bool last = i + 1 == actions.size();
        w.u16(last ? 0 : checkedSize(4 + actions[i].actions.size(), "button action"));
        w.u16(actions[i].conditions).bytes(actions[i].actions);
    }
    return tag(34, w.data());
}

Bytes defineButtonCxform(std::uint16_t buttonId, const CxformSpec& cx) {
    ByteWriter w;
    w.u16(buttonId).cxform(cx, false);
    return tag(23, w.data());
}

Bytes defineButtonSound(std::uint16_t buttonId, const std::array<std::uint16_t, 4>& soundIds,
                        const std::array<Bytes, 4>& soundInfos) {
    ByteWriter w;
    w.u16(buttonId);
    for (std::size_t i = 0; i < 4; ++i) {
        w.u16(soundIds[i]);
        if (soundIds[i] == 0) continue;
        if (soundInfos[i].empty()) w.u8(0);
        else w.bytes(soundInfos[i]);
    }
    return tag(17, w.data());
}

Bytes traceMovie(std::vector<Bytes> frameActions, int version) {
    MovieSpec spec;
    spec.version = version;
    spec.frameCount = checkedSize(frameActions.size(), "frame list");
    std::vector<Bytes> tags;
    for (Bytes& actions : frameActions) {
        tags.push_back(doAction(actions));
        tags.push_back(showFrame());
    }
    return movie(spec, tags);
}

ActionWriter recursiveFib(int n) {
    const auto name = [](const char* text) { return Push::str(text); };
    ActionWriter body;
    body.push(name("n")).op(op::kGetVariable).push(Push::integer(2)).op(op::kLess2).ifTrue("base");
    body.push(name("n")).op(op::kGetVariable).push(Push::integer(1)).op(op::kSubtract)
        .push({Push::integer(1), name("fib")}).op(op::kCallFunction);
    body.push(name("n")).op(op::kGetVariable).push(Push::integer(2)).op(op::kSubtract)
        .push({Push::integer(1), name("fib")}).op(op::kCallFunction).op(op::kAdd2).op(op::kReturn);
    body.label("base").push(name("n")).op(op::kGetVariable).op(op::kReturn);
    ActionWriter w;
    w.defineFunction("fib", {"n"}, body);
    w.push({Push::integer(n), Push::integer(1), name("fib")}).op(op::kCallFunction).op(op::kTrace);
    return w;
}

}  // namespace vistrel::testing
