#include "tools/input_script.h"

#include <algorithm>
#include <tuple>

#include <iostream>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include "player/player.h"
#include "tools/info_command.h"

namespace vistrel::tools {

using player::KeyEvent;

namespace {

constexpr double kMaxCoordinate = 1.0e7;   // keeps hostile positions finite and far from overflow

std::optional<QPointF> readPos(const QJsonValue& v) {
    if (!v.isArray()) return std::nullopt;
    const QJsonArray a = v.toArray();
    if (a.size() != 2 || !a[0].isDouble() || !a[1].isDouble()) return std::nullopt;
    const double x = std::clamp(a[0].toDouble(), -kMaxCoordinate, kMaxCoordinate);
    const double y = std::clamp(a[1].toDouble(), -kMaxCoordinate, kMaxCoordinate);
    return QPointF(x, y);
}

std::optional<player::MouseButton> readButton(const QJsonValue& v) {
    if (v.isUndefined()) return player::MouseButton::Left;
    const QString s = v.toString();
    if (s == QLatin1String("Left")) return player::MouseButton::Left;
    if (s == QLatin1String("Middle")) return player::MouseButton::Middle;
    if (s == QLatin1String("Right")) return player::MouseButton::Right;
    return std::nullopt;
}

std::optional<char32_t> firstCodepoint(const QString& s) {
    const QList<uint> ucs4 = s.toUcs4();
    if (ucs4.size() != 1) return std::nullopt;
    return static_cast<char32_t>(ucs4[0]);
}

std::optional<KeyEvent> readKey(const QJsonValue& v) {
    if (v.isString()) {
        KeyEvent k = keyFromName(v.toString());
        return k;
    }
    if (!v.isObject()) return std::nullopt;
    const QJsonObject o = v.toObject();
    if (o.contains(QLatin1String("Char"))) {
        const std::optional<char32_t> c = firstCodepoint(o.value(QLatin1String("Char")).toString());
        if (!c) return std::nullopt;
        return keyFromChar(*c);
    }
    if (o.contains(QLatin1String("Numpad"))) {
        const QString s = o.value(QLatin1String("Numpad")).toString();
        if (s.size() == 1 && s[0] >= u'0' && s[0] <= u'9')
            return KeyEvent{96 + (s[0].unicode() - u'0'), s[0].unicode()};
        if (s == QLatin1String("*")) return KeyEvent{106, u'*'};
        if (s == QLatin1String("+")) return KeyEvent{107, u'+'};
        if (s == QLatin1String("-")) return KeyEvent{109, u'-'};
        if (s == QLatin1String(".")) return KeyEvent{110, u'.'};
        if (s == QLatin1String("/")) return KeyEvent{111, u'/'};
        return KeyEvent{};
    }
    return std::nullopt;
}

std::optional<player::TextControl> readControl(const QString& s) {
    using player::TextControl;
    static const std::pair<const char*, TextControl> names[] = {
        {"MoveLeft", TextControl::MoveLeft}, {"MoveRight", TextControl::MoveRight},
        {"MoveUp", TextControl::MoveUp}, {"MoveDown", TextControl::MoveDown},
        {"MoveLeftLine", TextControl::MoveLineStart}, {"MoveRightLine", TextControl::MoveLineEnd},
        {"MoveLineStart", TextControl::MoveLineStart}, {"MoveLineEnd", TextControl::MoveLineEnd},
        {"MoveLeftDocument", TextControl::MoveStart}, {"MoveRightDocument", TextControl::MoveEnd},
        {"MoveStart", TextControl::MoveStart}, {"MoveEnd", TextControl::MoveEnd},
        {"SelectLeft", TextControl::SelectLeft}, {"SelectRight", TextControl::SelectRight},
        {"SelectUp", TextControl::SelectUp}, {"SelectDown", TextControl::SelectDown},
        {"SelectLeftLine", TextControl::SelectLineStart}, {"SelectRightLine", TextControl::SelectLineEnd},
        {"SelectLineStart", TextControl::SelectLineStart}, {"SelectLineEnd", TextControl::SelectLineEnd},
        {"SelectAll", TextControl::SelectAll}, {"Backspace", TextControl::Backspace},
        {"Delete", TextControl::Delete}, {"Enter", TextControl::Enter}, {"Copy", TextControl::Copy},
        {"Cut", TextControl::Cut}, {"Paste", TextControl::Paste},
    };
    for (const auto& [name, control] : names)
        if (s == QLatin1String(name)) return control;
    return std::nullopt;
}

std::optional<int> readWheel(const QJsonValue& v) {
    // Either a plain number of lines or {"Lines": n} / {"Pixels": n}.
    if (v.isDouble()) return static_cast<int>(std::clamp(v.toDouble(), -1000.0, 1000.0));
    if (!v.isObject()) return std::nullopt;
    const QJsonObject o = v.toObject();
    if (o.value(QLatin1String("Lines")).isDouble())
        return static_cast<int>(std::clamp(o.value(QLatin1String("Lines")).toDouble(), -1000.0, 1000.0));
    if (o.value(QLatin1String("Pixels")).isDouble())
        return static_cast<int>(std::clamp(o.value(QLatin1String("Pixels")).toDouble() / 40.0, -1000.0, 1000.0));
    return std::nullopt;
}

}  // namespace

KeyEvent keyFromChar(char32_t c) {
    if (c >= U'a' && c <= U'z') return {static_cast<int>(c - U'a' + 'A'), static_cast<char16_t>(c)};
    if (c >= U'A' && c <= U'Z') return {static_cast<int>(c), static_cast<char16_t>(c)};
    if (c >= U'0' && c <= U'9') return {static_cast<int>(c), static_cast<char16_t>(c)};
    // The keys of a US keyboard, shifted or not.
    static const std::pair<char32_t, int> punctuation[] = {
        {U' ', 32},  {U';', 186}, {U':', 186}, {U'=', 187}, {U'+', 187}, {U',', 188}, {U'<', 188},
        {U'-', 189}, {U'_', 189}, {U'.', 190}, {U'>', 190}, {U'/', 191}, {U'?', 191}, {U'`', 192},
        {U'~', 192}, {U'[', 219}, {U'{', 219}, {U'\\', 220}, {U'|', 220}, {U']', 221}, {U'}', 221},
        {U'\'', 222}, {U'"', 222}, {U'!', 49}, {U'@', 50}, {U'#', 51}, {U'$', 52}, {U'%', 53},
        {U'^', 54}, {U'&', 55}, {U'*', 56}, {U'(', 57}, {U')', 48},
    };
    for (const auto& [ch, code] : punctuation)
        if (ch == c) return {code, static_cast<char16_t>(c)};
    return {0, c < 0x10000 ? static_cast<char16_t>(c) : char16_t(0)};
}

KeyEvent keyFromName(const QString& name) {
    static const std::tuple<const char*, int, char16_t> names[] = {
        {"Backspace", 8, 8},   {"Tab", 9, 9},          {"Enter", 13, 13},     {"Return", 13, 13},
        {"Shift", 16, 0},      {"LeftShift", 16, 0},   {"RightShift", 16, 0}, {"Control", 17, 0},
        {"LeftControl", 17, 0}, {"RightControl", 17, 0}, {"Alt", 18, 0},      {"LeftAlt", 18, 0},
        {"RightAlt", 18, 0},   {"Pause", 19, 0},       {"CapsLock", 20, 0},   {"Escape", 27, 27},
        {"Space", 32, 32},     {"PageUp", 33, 0},      {"PageDown", 34, 0},   {"End", 35, 0},
        {"Home", 36, 0},       {"ArrowLeft", 37, 0},   {"ArrowUp", 38, 0},    {"ArrowRight", 39, 0},
        {"ArrowDown", 40, 0},  {"Insert", 45, 0},      {"Delete", 46, 127},   {"NumLock", 144, 0},
        {"ScrollLock", 145, 0},
    };
    for (const auto& [n, code, ascii] : names)
        if (name == QLatin1String(n)) return {code, ascii};
    if (name.size() >= 2 && name[0] == u'F') {
        bool ok = false;
        const int f = name.mid(1).toInt(&ok);
        if (ok && f >= 1 && f <= 15) return {111 + f, 0};
    }
    return {};
}

std::optional<InputScript> parseInputScript(const QByteArray& json, QString& error) {
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("not JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString());
        return std::nullopt;
    }
    if (!doc.isArray()) {
        error = QStringLiteral("expected a list of events");
        return std::nullopt;
    }
    InputScript script;
    script.batches.emplace_back();
    const QJsonArray list = doc.array();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = QStringLiteral("event %1").arg(i + 1);
        if (!list[i].isObject()) {
            error = where + QStringLiteral(": not an object");
            return std::nullopt;
        }
        const QJsonObject o = list[i].toObject();
        const QString type = o.value(QLatin1String("type")).toString();
        InputEvent e;
        auto bad = [&](const char* what) {
            error = where + QStringLiteral(" (%1): %2").arg(type, QLatin1String(what));
            return std::nullopt;
        };
        if (type == QLatin1String("Wait")) {
            script.batches.emplace_back();
            continue;
        } else if (type == QLatin1String("MouseMove") || type == QLatin1String("MouseDown") ||
                   type == QLatin1String("MouseUp") || type == QLatin1String("MouseWheel")) {
            const std::optional<QPointF> pos = readPos(o.value(QLatin1String("pos")));
            if (type == QLatin1String("MouseWheel")) {
                e.type = InputEvent::Type::MouseWheel;
                const std::optional<int> lines = readWheel(o.value(QLatin1String("delta")));
                if (!lines) return bad("needs a delta");
                e.wheelLines = *lines;
                if (pos) e.pos = *pos;
                e.hasPos = pos.has_value();
            } else {
                if (!pos) return bad("needs pos [x, y]");
                e.pos = *pos;
                e.type = type == QLatin1String("MouseMove")   ? InputEvent::Type::MouseMove
                         : type == QLatin1String("MouseDown") ? InputEvent::Type::MouseDown
                                                              : InputEvent::Type::MouseUp;
                if (e.type != InputEvent::Type::MouseMove) {
                    const std::optional<player::MouseButton> b = readButton(o.value(QLatin1String("btn")));
                    if (!b) return bad("btn is not Left, Middle or Right");
                    e.button = *b;
                }
            }
        } else if (type == QLatin1String("KeyDown") || type == QLatin1String("KeyUp")) {
            const std::optional<KeyEvent> key = readKey(o.value(QLatin1String("key")));
            if (!key) return bad("needs a key");
            e.type = type == QLatin1String("KeyDown") ? InputEvent::Type::KeyDown : InputEvent::Type::KeyUp;
            e.key = *key;
        } else if (type == QLatin1String("TextInput")) {
            const std::optional<char32_t> c = firstCodepoint(o.value(QLatin1String("codepoint")).toString());
            if (!c) return bad("codepoint is not one character");
            e.type = InputEvent::Type::TextInput;
            e.codepoint = *c;
        } else if (type == QLatin1String("TextControl")) {
            const std::optional<player::TextControl> c = readControl(o.value(QLatin1String("code")).toString());
            if (!c) {
                script.warnings.push_back(where + QStringLiteral(": unknown text control skipped"));
                continue;
            }
            e.type = InputEvent::Type::TextControl;
            e.control = *c;
        } else if (type == QLatin1String("SetClipboardText")) {
            if (!o.value(QLatin1String("text")).isString()) return bad("needs text");
            e.type = InputEvent::Type::SetClipboardText;
            e.text = o.value(QLatin1String("text")).toString();
        } else if (type == QLatin1String("FocusGained")) {
            e.type = InputEvent::Type::FocusGained;
        } else if (type == QLatin1String("FocusLost")) {
            e.type = InputEvent::Type::FocusLost;
        } else {
            script.warnings.push_back(where + QStringLiteral(": unknown type skipped"));
            continue;
        }
        script.batches.back().push_back(std::move(e));
    }
    return script;
}

InputReplay::InputReplay(player::Player& player) : m_player(player) { m_player.setClipboard(&m_clipboard); }

InputReplay::~InputReplay() { m_player.setClipboard(nullptr); }

void InputReplay::send(const InputEvent& e) {
    using T = InputEvent::Type;
    player::Player& player = m_player;
    if (e.hasPos) m_lastPos = e.pos;
    switch (e.type) {
    case T::MouseMove: player.mouseMove(e.pos); break;
    case T::MouseDown: player.mouseDown(e.pos, e.button); break;
    case T::MouseUp: player.mouseUp(e.pos, e.button); break;
    case T::MouseWheel: player.mouseWheel(m_lastPos, e.wheelLines); break;
    case T::KeyDown: player.keyDown(e.key); break;
    case T::KeyUp: player.keyUp(e.key); break;
    case T::TextInput: player.textInput(e.codepoint); break;
    case T::TextControl: player.textControl(e.control); break;
    case T::SetClipboardText: m_clipboard.setText(e.text); break;
    case T::FocusGained: player.focusChanged(true); break;
    case T::FocusLost: player.focusChanged(false); break;
    }
}

std::optional<InputScript> loadInputScript(const QString& path, const char* command, int& exitCode) {
    constexpr qint64 kMaxInputBytes = 64 * 1024 * 1024;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::cerr << "vistrel-tool " << command << ": cannot read " << path.toStdString() << "\n";
        exitCode = kExitUnreadable;
        return std::nullopt;
    }
    QString error;
    std::optional<InputScript> script = parseInputScript(file.read(kMaxInputBytes), error);
    if (!script) {
        std::cerr << "vistrel-tool " << command << ": " << path.toStdString() << ": " << error.toStdString() << "\n";
        exitCode = kExitNotMovie;
        return std::nullopt;
    }
    for (const QString& w : script->warnings)
        std::cerr << "vistrel-tool " << command << ": " << w.toStdString() << "\n";
    return script;
}

void playWithInput(player::Player& player, int frames, const InputScript* script) {
    InputReplay replay(player);
    // After each frame has run, the events up to the next Wait.
    for (int frame = 1; frame <= frames; ++frame) {
        if (frame > 1) player.nextFrame();
        if (script && static_cast<std::size_t>(frame - 1) < script->batches.size())
            for (const InputEvent& event : script->batches[static_cast<std::size_t>(frame - 1)]) replay.send(event);
    }
}

}  // namespace vistrel::tools
