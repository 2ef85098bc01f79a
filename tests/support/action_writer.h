// Assembles AVM1 bytecode for test fixtures, and builds the tags that carry it (DoAction,
// DoInitAction, exports, buttons with condition actions).
//
//   ActionWriter a;
//   a.constantPool({"x"}).push({Push::str("hello")}).op(op::kTrace).label("top").jump("top");
//   Bytes b = a.end();   // jump offsets resolved, end action appended
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/swf_writer.h"

namespace vistrel::testing {

// Action codes. Codes from 0x80 up carry a length and a body.
namespace op {
inline constexpr std::uint8_t kEnd = 0x00, kNextFrame = 0x04, kPrevFrame = 0x05, kPlay = 0x06, kStop = 0x07,
                              kToggleQuality = 0x08, kStopSounds = 0x09, kAdd = 0x0a, kSubtract = 0x0b,
                              kMultiply = 0x0c, kDivide = 0x0d, kEquals = 0x0e, kLess = 0x0f, kAnd = 0x10,
                              kOr = 0x11, kNot = 0x12, kStringEquals = 0x13, kStringLength = 0x14,
                              kStringExtract = 0x15, kPop = 0x17, kToInteger = 0x18, kGetVariable = 0x1c,
                              kSetVariable = 0x1d, kSetTarget2 = 0x20, kStringAdd = 0x21, kGetProperty = 0x22,
                              kSetProperty = 0x23, kCloneSprite = 0x24, kRemoveSprite = 0x25, kTrace = 0x26,
                              kStartDrag = 0x27, kEndDrag = 0x28, kStringLess = 0x29, kThrow = 0x2a,
                              kCastOp = 0x2b, kImplementsOp = 0x2c, kRandomNumber = 0x30, kMbStringLength = 0x31,
                              kCharToAscii = 0x32, kAsciiToChar = 0x33, kGetTime = 0x34, kMbStringExtract = 0x35,
                              kMbCharToAscii = 0x36, kMbAsciiToChar = 0x37, kDelete = 0x3a, kDelete2 = 0x3b,
                              kDefineLocal = 0x3c, kCallFunction = 0x3d, kReturn = 0x3e, kModulo = 0x3f,
                              kNewObject = 0x40, kDefineLocal2 = 0x41, kInitArray = 0x42, kInitObject = 0x43,
                              kTypeOf = 0x44, kTargetPath = 0x45, kEnumerate = 0x46, kAdd2 = 0x47, kLess2 = 0x48,
                              kEquals2 = 0x49, kToNumber = 0x4a, kToString = 0x4b, kPushDuplicate = 0x4c,
                              kStackSwap = 0x4d, kGetMember = 0x4e, kSetMember = 0x4f, kIncrement = 0x50,
                              kDecrement = 0x51, kCallMethod = 0x52, kNewMethod = 0x53, kInstanceOf = 0x54,
                              kEnumerate2 = 0x55, kBitAnd = 0x60, kBitOr = 0x61, kBitXor = 0x62,
                              kBitLShift = 0x63, kBitRShift = 0x64, kBitURShift = 0x65, kStrictEquals = 0x66,
                              kGreater = 0x67, kStringGreater = 0x68, kExtends = 0x69,
                              // with a body
                              kGotoFrame = 0x81, kGetUrl = 0x83, kStoreRegister = 0x87, kConstantPool = 0x88,
                              kStrictMode = 0x89, kWaitForFrame = 0x8a, kSetTarget = 0x8b, kGotoLabel = 0x8c,
                              kWaitForFrame2 = 0x8d, kDefineFunction2 = 0x8e, kTry = 0x8f, kWith = 0x94,
                              kPush = 0x96, kJump = 0x99, kGetUrl2 = 0x9a, kDefineFunction = 0x9b, kIf = 0x9d,
                              kCall = 0x9e, kGotoFrame2 = 0x9f;
}

// DefineFunction2 flags, as the 16-bit field stores them.
namespace fn2 {
inline constexpr std::uint16_t kPreloadThis = 0x0001, kSuppressThis = 0x0002, kPreloadArguments = 0x0004,
                               kSuppressArguments = 0x0008, kPreloadSuper = 0x0010, kSuppressSuper = 0x0020,
                               kPreloadRoot = 0x0040, kPreloadParent = 0x0080, kPreloadGlobal = 0x0100;
}

// One value of an ActionPush, in any of its ten encodings.
struct Push {
    enum class Type : std::uint8_t {
        String = 0, Float = 1, Null = 2, Undefined = 3, Register = 4, Boolean = 5, Double = 6, Integer = 7,
        Constant8 = 8, Constant16 = 9
    };
    Type type = Type::Undefined;
    std::string text;          // String
    double number = 0;         // Float, Double
    std::int64_t value = 0;    // Register, Boolean, Integer, Constant8, Constant16

    static Push str(std::string s) { Push p; p.type = Type::String; p.text = std::move(s); return p; }
    static Push flt(float v) { Push p; p.type = Type::Float; p.number = v; return p; }
    static Push null() { Push p; p.type = Type::Null; return p; }
    static Push undefined() { Push p; p.type = Type::Undefined; return p; }
    static Push reg(std::uint8_t r) { Push p; p.type = Type::Register; p.value = r; return p; }
    static Push boolean(bool b) { Push p; p.type = Type::Boolean; p.value = b ? 1 : 0; return p; }
    static Push dbl(double v) { Push p; p.type = Type::Double; p.number = v; return p; }
    static Push integer(std::int32_t v) { Push p; p.type = Type::Integer; p.value = v; return p; }
    static Push constant8(std::uint8_t i) { Push p; p.type = Type::Constant8; p.value = i; return p; }
    static Push constant16(std::uint16_t i) { Push p; p.type = Type::Constant16; p.value = i; return p; }
    // The short form when the index fits in a byte, as compilers write it.
    static Push constant(std::uint16_t i) { return i < 256 ? constant8(static_cast<std::uint8_t>(i)) : constant16(i); }
};

// Catch target of a try block: a variable name or a register.
struct CatchTarget {
    std::optional<std::string> name;
    std::optional<std::uint8_t> reg;
    static CatchTarget variable(std::string n) { CatchTarget c; c.name = std::move(n); return c; }
    static CatchTarget registerNumber(std::uint8_t r) { CatchTarget c; c.reg = r; return c; }
};

// AVM1 bytecode in order of writing. Labels are local to one writer; jumps and branches to them are
// resolved by code() and end(). Misuse (an unknown label, a jump out of range) throws
// std::invalid_argument, so a broken fixture fails loudly instead of producing odd bytes.
class ActionWriter {
public:
    // An action without a body; codes from 0x80 up are written with an empty body (as Call is).
    ActionWriter& op(std::uint8_t code);
    // Any action with the body given as is (for crafted or damaged records).
    ActionWriter& action(std::uint8_t code, const Bytes& body);
    ActionWriter& raw(const Bytes& bytes);   // bytes appended without a record header

    ActionWriter& push(const std::vector<Push>& values);   // one ActionPush holding all values
    ActionWriter& push(const Push& value) { return push(std::vector<Push>{value}); }

    ActionWriter& gotoFrame(std::uint16_t frame);
    ActionWriter& getUrl(const std::string& url, const std::string& target);
    ActionWriter& storeRegister(std::uint8_t reg);
    ActionWriter& constantPool(const std::vector<std::string>& strings);
    ActionWriter& waitForFrame(std::uint16_t frame, std::uint8_t skipCount);
    ActionWriter& waitForFrame2(std::uint8_t skipCount);
    ActionWriter& setTarget(const std::string& target);
    ActionWriter& gotoLabel(const std::string& label);
    // sendVarsMethod: 0 none, 1 GET, 2 POST.
    ActionWriter& getUrl2(std::uint8_t sendVarsMethod, bool loadTarget, bool loadVariables);
    ActionWriter& gotoFrame2(bool play, std::optional<std::uint16_t> sceneBias = std::nullopt);

    // Blocks: the body follows the action record and its size is written from the body given.
    ActionWriter& with(const ActionWriter& body);
    ActionWriter& defineFunction(const std::string& name, const std::vector<std::string>& params,
                                 const ActionWriter& body);
    struct RegisterParam { std::uint8_t reg; std::string name; };   // reg 0: an ordinary variable
    ActionWriter& defineFunction2(const std::string& name, std::uint8_t registerCount, std::uint16_t flags,
                                  const std::vector<RegisterParam>& params, const ActionWriter& body);
    ActionWriter& tryBlock(const ActionWriter& tryBody, const std::optional<ActionWriter>& catchBody,
                           const std::optional<ActionWriter>& finallyBody,
                           const CatchTarget& target = CatchTarget::variable("e"));

    // Branches: the offset counts from the end of the jump action to the label.
    ActionWriter& label(const std::string& name);
    ActionWriter& jump(const std::string& target);
    ActionWriter& ifTrue(const std::string& target);
    ActionWriter& jumpBy(std::int16_t offset);    // raw offsets, for damaged code
    ActionWriter& ifTrueBy(std::int16_t offset);

    std::size_t size() const { return m_bytes.size(); }   // bytes written so far
    Bytes code() const;   // labels resolved, no end action (a function or block body)
    Bytes end() const;    // code() plus the end action (a whole action list)

private:
    void branch(std::uint8_t code, const std::string& target);
    std::size_t writeRecord(std::uint8_t code, const Bytes& body);   // returns the body's offset
    Bytes m_bytes;
    std::map<std::string, std::size_t> m_labels;
    struct Fixup { std::size_t at; std::size_t from; std::string label; };
    std::vector<Fixup> m_fixups;
};

// Tags carrying actions.
Bytes doAction(const Bytes& actions);
Bytes doInitAction(std::uint16_t spriteId, const Bytes& actions);
Bytes exportAssets(const std::vector<std::pair<std::uint16_t, std::string>>& assets);
Bytes importAssets(const std::string& url, const std::vector<std::pair<std::uint16_t, std::string>>& assets,
                   bool version2 = false);   // version 2: code 71 with its two reserved bytes

// A button character: states as the record flags store them (1 up, 2 over, 4 down, 8 hit test).
struct ButtonRecordSpec {
    std::uint8_t states = 0x0f;
    std::uint16_t characterId = 1;
    std::uint16_t depth = 1;
    MatrixSpec matrix;
    std::optional<CxformSpec> cxform;         // DefineButton2 only; identity when unset
    std::optional<Bytes> filterList;          // DefineButton2 only, raw FILTERLIST bytes
    std::optional<std::uint8_t> blendMode;    // DefineButton2 only
};
struct ButtonActionSpec {
    std::uint16_t conditions = 0;             // 16-bit condition field, key code in bits 9-15
    Bytes actions;
};
Bytes defineButton(std::uint16_t id, const std::vector<ButtonRecordSpec>& records, const Bytes& actions);
Bytes defineButton2(std::uint16_t id, const std::vector<ButtonRecordSpec>& records,
                    const std::vector<ButtonActionSpec>& actions, bool trackAsMenu = false);
Bytes defineButtonCxform(std::uint16_t buttonId, const CxformSpec& cx);
// Sound ids per transition; an id's sound info is written from soundInfos (one flags byte of 0 if empty).
Bytes defineButtonSound(std::uint16_t buttonId, const std::array<std::uint16_t, 4>& soundIds,
                        const std::array<Bytes, 4>& soundInfos = {});

// function fib(n) { return n < 2 ? n : fib(n - 1) + fib(n - 2); } trace(fib(n));  as a compiler writes
// it, with the argument and the calls by name: a recursive workload for the benchmark and the fuzz seeds.
ActionWriter recursiveFib(int n);

// A movie whose frame i runs frameActions[i] (one DoAction and a ShowFrame per frame).
Bytes traceMovie(std::vector<Bytes> frameActions, int version = 10);

}  // namespace vistrel::testing
