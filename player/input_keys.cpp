// The keyboard side of the player: keys reach the Key object, clip events, the focused clip or button,
// button key conditions, Tab's walk through the tab order, and the focused input text.
#include <Qt>

#include "player/avm1/object.h"
#include "player/avm1/vm.h"
#include "player/characters.h"
#include "player/focus.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"
#include "player/text_input.h"

namespace vistrel::player {

using avm1::Object;
using avm1::Value;
using avm1::Vm;

namespace {

constexpr int kTab = 9, kEnter = 13, kShift = 16, kSpace = 32;

// The key number a button's key condition (and onClipEvent(keyPress)) names for keys that type nothing:
// small numbers; 0 for keys that type a character (those answer to the character typed).
int specialKeyCode(const KeyEvent& key) {
    switch (key.code) {
    case 37: return 1;    // left
    case 39: return 2;    // right
    case 36: return 3;    // home
    case 35: return 4;    // end
    case 45: return 5;    // insert
    case 46: return 6;    // delete
    case 8: return 8;     // backspace
    case 13: return 13;   // enter
    case 38: return 14;   // up
    case 40: return 15;   // down
    case 33: return 16;   // page up
    case 34: return 17;   // page down
    case 9: return 18;    // tab
    case 27: return 19;   // escape
    default: return 0;
    }
}

void callHandler(Vm& vm, Object* target, const QString& name) {
    try {
        vm.callMethod(Value(target), name, {});
    } catch (const avm1::ScriptException&) {
    } catch (const avm1::ScriptAbort& a) {
        vm.reportAbort(a.reason);
    }
}

void broadcastKey(Stage& stage, const QString& message) {
    Vm& vm = *stage.vm();
    Object* key = vm.getMember(Value(vm.global()), QStringLiteral("Key")).object();
    if (!key) return;
    try {
        objects::broadcast(vm, key, message, {});
    } catch (const avm1::ScriptException&) {
    } catch (const avm1::ScriptAbort& a) {
        vm.reportAbort(a.reason);
    }
}

// Every display object, parents before children, in depth order (a copy: handlers may change the list).
void allObjects(SpriteInstance& sprite, std::vector<DisplayObject*>& out, int nesting) {
    if (nesting > ObjectBudget::kMaxNesting) return;
    for (const auto& [d, child] : sprite.children()) {
        out.push_back(child.get());
        if (child->sprite) allObjects(*child->sprite, out, nesting + 1);
    }
}

std::vector<DisplayObject*> everyObject(Stage& stage) {
    std::vector<DisplayObject*> out;
    out.push_back(&stage.rootObject());
    allObjects(stage.root(), out, 0);
    for (const auto& [n, level] : stage.levels())
        if (n != 0 && level->sprite) {
            out.push_back(level.get());
            allObjects(*level->sprite, out, 0);
        }
    return out;
}

// Enter and Space on a clip or button focused from the keyboard press and release it.
void activateFocused(Stage& stage, DisplayObject& o) {
    Vm& vm = *stage.vm();
    Object* script = o.script;
    if (buttonDefinition(stage, o)) {
        queueButtonActions(stage, o, [](std::uint16_t c) { return (c & swf::buttoncond::kOverUpToOverDown) != 0; });
        stage.runQueue();
        if (script) callHandler(vm, script, QStringLiteral("onPress"));
        queueButtonActions(stage, o, [](std::uint16_t c) { return (c & swf::buttoncond::kOverDownToOverUp) != 0; });
        stage.runQueue();
        if (script) callHandler(vm, script, QStringLiteral("onRelease"));
    } else if (script) {
        callHandler(vm, script, QStringLiteral("onPress"));
        callHandler(vm, script, QStringLiteral("onRelease"));
    }
    stage.runQueue();
}

// A key press with its key number: clips' onClipEvent(keyPress) handlers for it, and the first button
// on the stage whose key condition names it (which takes the key: it types nothing and moves no focus).
bool runKeyPress(Stage& stage, int pressCode, bool dryRun = false) {
    if (pressCode <= 0) return false;
    bool taken = false;
    for (DisplayObject* o : everyObject(stage)) {
        if (!dryRun)
            for (const swf::ClipAction& a : o->clipActions)
                if ((a.events & swf::clipevent::kKeyPress) && a.keyCode == pressCode) stage.queueActions(*o, a.actions);
        if (taken) continue;
        const swf::DefineButton* def = buttonDefinition(stage, *o);
        if (!def || !shownOnStage(*o)) continue;
        queueButtonActions(stage, *o, [&](std::uint16_t c) {
            const bool m = (c >> swf::buttoncond::kKeyPressShift) == pressCode;
            taken = taken || m;
            return m && !dryRun;
        });
    }
    return taken;
}

bool isClipOrButton(const DisplayObject* o) {
    if (!o || !o->script) return false;
    const auto cls = o->script->objectClass();
    return cls == avm1::ObjectClass::MovieClip || cls == avm1::ObjectClass::Button;
}

bool focusRectActive(Stage& stage) {
    return focusHighlighted(stage) && focusRectEnabled(stage);
}

}  // namespace

void Player::keyDown(KeyEvent key) {
    Stage& stage = *m_stage;
    KeyboardState& kb = stage.keyboard();
    const int code = key.code & 0xff;
    if (!kb.down[code]) kb.toggled[code] = !kb.toggled[code];
    kb.down[code] = true;
    kb.lastCode = code;
    kb.lastAscii = key.ascii;
    if (!stage.vm() || stage.quitting()) return;
    Vm& vm = *stage.vm();

    // The highlighted clip or button hears of it first, then the Key object's listeners.
    if (DisplayObject* focus = stage.focus(); isClipOrButton(focus) && focusHighlighted(stage)) callHandler(vm, focus->script, QStringLiteral("onKeyDown"));
    broadcastKey(stage, QStringLiteral("onKeyDown"));

    for (DisplayObject* o : stage.clipsNewestFirst())
        for (const swf::ClipAction& a : o->clipActions)
            if (a.events & swf::clipevent::kKeyDown) stage.queueActions(*o, a.actions);
    const bool buttonTookKey = runKeyPress(stage, specialKeyCode(key));
    stage.runQueue();

    if (code == kTab && !buttonTookKey) {
        tabFocus(stage, kb.down[kShift]);
    } else if ((code == kEnter || code == kSpace) && !buttonTookKey && isClipOrButton(stage.focus()) &&
               focusRectActive(stage) && !(code == kSpace && runKeyPress(stage, ' ', true))) {
        // A button whose key condition names the key takes it instead (a space, once it is typed).
        activateFocused(stage, *stage.focus());
    }
    stage.runQueue();   // what the focus handlers queued
    stage.touch();
}

void Player::keyUp(KeyEvent key) {
    Stage& stage = *m_stage;
    KeyboardState& kb = stage.keyboard();
    const int code = key.code & 0xff;
    kb.down[code] = false;
    kb.lastCode = code;
    if (key.ascii) kb.lastAscii = key.ascii;
    if (!stage.vm() || stage.quitting()) return;
    Vm& vm = *stage.vm();
    if (DisplayObject* focus = stage.focus(); isClipOrButton(focus) && focusHighlighted(stage))
        callHandler(vm, focus->script, QStringLiteral("onKeyUp"));
    broadcastKey(stage, QStringLiteral("onKeyUp"));
    for (DisplayObject* o : stage.clipsNewestFirst())
        for (const swf::ClipAction& a : o->clipActions)
            if (a.events & swf::clipevent::kKeyUp) stage.queueActions(*o, a.actions);
    stage.runQueue();
    stage.touch();
}

void Player::textInput(char32_t codepoint) {
    if (codepoint < 0x20 && codepoint != U'\r' && codepoint != U'\n') return;   // Tab and the like are keys
    if (codepoint > 0x10ffff || (codepoint >= 0xd800 && codepoint <= 0xdfff) || codepoint == 0x7f) return;
    Stage& stage = *m_stage;
    // A printable ASCII character may be a button's key; the button then takes it.
    if (stage.vm() && codepoint >= 0x20 && codepoint < 0x7f) {
        const bool taken = runKeyPress(stage, static_cast<int>(codepoint));
        stage.runQueue();
        if (taken) return;
    }
    const char32_t one[] = {codepoint};
    typeIntoFocus(stage, QString::fromUcs4(one, 1));
}

void Player::textControl(TextControl control) { editFocus(*m_stage, control); }

void Player::focusChanged(bool gained) {
    KeyboardState& kb = m_stage->keyboard();
    kb.paneFocused = gained;
    // Keys held when the pane lost the keyboard will not be seen going up.
    if (!gained) kb.down.fill(false);
    // The movie's focus goes with the pane's: the highlighted object rolls out and loses it.
    if (!gained && m_stage->vm() && m_stage->focus()) {
        moveFocus(*m_stage, nullptr, FocusCause::Keyboard);
        m_stage->runQueue();
    }
    m_stage->touch();
}

void Player::setClipboard(Clipboard* clipboard) { m_stage->keyboard().clipboard = clipboard; }

bool Player::editingText() const { return focusedInputText(*m_stage) != nullptr; }

bool Player::wantsKeys() const {
    Stage& stage = *m_stage;
    Vm* vm = stage.vm();
    if (!vm) return false;
    if (focusedInputText(stage)) return true;
    if (Object* key = vm->getMember(Value(vm->global()), QStringLiteral("Key")).object()) {
        const Value listeners = vm->getMember(Value(key), QStringLiteral("_listeners"));
        if (listeners.isObject() && vm->toNumber(vm->getMember(listeners, QStringLiteral("length"))) > 0) return true;
    }
    for (DisplayObject* o : everyObject(stage)) {
        for (const swf::ClipAction& a : o->clipActions)
            if (a.events & (swf::clipevent::kKeyDown | swf::clipevent::kKeyUp | swf::clipevent::kKeyPress)) return true;
        if (o->text && o->script) return true;   // a text may take the focus and typing
        if (const swf::DefineButton* def = buttonDefinition(stage, *o)) {
            for (const swf::ButtonAction& a : def->actions)
                if (a.conditions & swf::buttoncond::kKeyPressMask) return true;
        }
    }
    return false;
}

KeyEvent keyEventFromQt(int qtKey, const QString& text) {
    KeyEvent e;
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) e.code = qtKey;   // same numbers
    else if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) e.code = qtKey;
    else if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F15) e.code = 112 + (qtKey - Qt::Key_F1);
    else {
        switch (qtKey) {
        case Qt::Key_Backspace: e.code = 8; break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab: e.code = 9; break;
        case Qt::Key_Return:
        case Qt::Key_Enter: e.code = 13; break;
        case Qt::Key_Shift: e.code = 16; break;
        case Qt::Key_Control: e.code = 17; break;
        case Qt::Key_Alt: e.code = 18; break;
        case Qt::Key_Pause: e.code = 19; break;
        case Qt::Key_CapsLock: e.code = 20; break;
        case Qt::Key_Escape: e.code = 27; break;
        case Qt::Key_Space: e.code = 32; break;
        case Qt::Key_PageUp: e.code = 33; break;
        case Qt::Key_PageDown: e.code = 34; break;
        case Qt::Key_End: e.code = 35; break;
        case Qt::Key_Home: e.code = 36; break;
        case Qt::Key_Left: e.code = 37; break;
        case Qt::Key_Up: e.code = 38; break;
        case Qt::Key_Right: e.code = 39; break;
        case Qt::Key_Down: e.code = 40; break;
        case Qt::Key_Insert: e.code = 45; break;
        case Qt::Key_Delete: e.code = 46; break;
        case Qt::Key_NumLock: e.code = 144; break;
        case Qt::Key_ScrollLock: e.code = 145; break;
        case Qt::Key_Semicolon:
        case Qt::Key_Colon: e.code = 186; break;
        case Qt::Key_Equal:
        case Qt::Key_Plus: e.code = 187; break;
        case Qt::Key_Comma:
        case Qt::Key_Less: e.code = 188; break;
        case Qt::Key_Minus:
        case Qt::Key_Underscore: e.code = 189; break;
        case Qt::Key_Period:
        case Qt::Key_Greater: e.code = 190; break;
        case Qt::Key_Slash:
        case Qt::Key_Question: e.code = 191; break;
        case Qt::Key_QuoteLeft:
        case Qt::Key_AsciiTilde: e.code = 192; break;
        case Qt::Key_BracketLeft:
        case Qt::Key_BraceLeft: e.code = 219; break;
        case Qt::Key_Backslash:
        case Qt::Key_Bar: e.code = 220; break;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight: e.code = 221; break;
        case Qt::Key_Apostrophe:
        case Qt::Key_QuoteDbl: e.code = 222; break;
        // Shifted digits keep their digit key.
        case Qt::Key_Exclam: e.code = '1'; break;
        case Qt::Key_At: e.code = '2'; break;
        case Qt::Key_NumberSign: e.code = '3'; break;
        case Qt::Key_Dollar: e.code = '4'; break;
        case Qt::Key_Percent: e.code = '5'; break;
        case Qt::Key_AsciiCircum: e.code = '6'; break;
        case Qt::Key_Ampersand: e.code = '7'; break;
        case Qt::Key_Asterisk: e.code = '8'; break;
        case Qt::Key_ParenLeft: e.code = '9'; break;
        case Qt::Key_ParenRight: e.code = '0'; break;
        default: break;
        }
    }
    if (text.size() == 1 && text[0].unicode() >= 0x20 && text[0].unicode() != 0x7f) e.ascii = text[0].unicode();
    else {
        switch (e.code) {
        case 8: e.ascii = 8; break;
        case 9: e.ascii = 9; break;
        case 13: e.ascii = 13; break;
        case 27: e.ascii = 27; break;
        case 32: e.ascii = 32; break;
        case 46: e.ascii = 127; break;
        default: break;
        }
    }
    return e;
}

}  // namespace vistrel::player
