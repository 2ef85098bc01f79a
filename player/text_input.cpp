#include "player/text_input.h"

#include <algorithm>

#include "player/avm1/object.h"
#include "player/avm1/vm.h"
#include "player/display_list.h"
#include "player/focus.h"
#include "player/script/text_field.h"
#include "player/stage.h"
#include "player/text/text_editor.h"

namespace vistrel::player {

namespace {

TextFieldObject* fieldOf(DisplayObject* o) {
    if (!o || !o->text) return nullptr;
    return dynamic_cast<TextFieldObject*>(o->script);
}

text::TextEditor editorFor(DisplayObject& o, TextFieldObject& tf) {
    return text::TextEditor(tf.text(), o.text->selectionAnchor, o.text->selectionCaret);
}

void keepSelection(DisplayObject& o, const text::TextEditor& editor) {
    o.text->selectionAnchor = editor.anchor();
    o.text->selectionCaret = editor.caret();
}

text::EditRules rulesFor(avm1::Vm& vm, TextFieldObject& tf) {
    text::EditRules rules;
    rules.multiline = tf.props().multiline;
    rules.maxChars = tf.maxChars;
    if (!tf.restrict.isNullish()) {
        const QString pattern = vm.toString(tf.restrict);
        if (!pattern.isEmpty()) rules.restrict = text::RestrictFilter(pattern);
    }
    return rules;
}

// The user changed the text: it goes to the field (and its variable), then onChanged runs.
void commitEdit(Stage& stage, DisplayObject& o, TextFieldObject& tf, const text::TextEditor& editor) {
    tf.setText(editor.text());
    keepSelection(o, editor);
    stage.touch();
    avm1::Vm* vm = stage.vm();
    if (!vm) return;
    const avm1::Value args[] = {avm1::Value(&tf)};
    try {
        vm->callMethod(avm1::Value(&tf), QStringLiteral("onChanged"), args);
    } catch (const avm1::ScriptException&) {
    } catch (const avm1::ScriptAbort& a) {
        vm->reportAbort(a.reason);
    }
    stage.runQueue();
}

}  // namespace

void selectAllText(DisplayObject& text) {
    TextFieldObject* tf = fieldOf(&text);
    if (!tf) return;
    text.text->selectionAnchor = 0;
    text.text->selectionCaret = static_cast<int>(tf->text().size());
}

void replaceSelection(DisplayObject& text, const QString& replacement) {
    TextFieldObject* tf = fieldOf(&text);
    if (!tf) return;
    QString value = tf->text();
    const int n = static_cast<int>(value.size());
    const int a = std::clamp(text.text->selectionAnchor, 0, n), c = std::clamp(text.text->selectionCaret, 0, n);
    const int begin = std::min(a, c), end = std::max(a, c);
    value.replace(begin, end - begin, replacement);
    tf->setText(value);
    if (!text.text) return;
    text.text->selectionAnchor = text.text->selectionCaret = begin + static_cast<int>(replacement.size());
}

DisplayObject* focusedInputText(Stage& stage) {
    DisplayObject* o = stage.focus();
    TextFieldObject* tf = fieldOf(o);
    return tf && tf->input ? o : nullptr;
}

bool typeIntoFocus(Stage& stage, const QString& typed) {
    DisplayObject* o = focusedInputText(stage);
    if (!o || !stage.vm()) return false;
    TextFieldObject& tf = *fieldOf(o);
    text::TextEditor editor = editorFor(*o, tf);
    if (editor.insert(typed, rulesFor(*stage.vm(), tf))) commitEdit(stage, *o, tf, editor);
    else keepSelection(*o, editor);
    return true;
}

bool editFocus(Stage& stage, TextControl control) {
    DisplayObject* o = stage.focus();
    TextFieldObject* tf = fieldOf(o);
    if (!tf || !stage.vm()) return false;
    const bool input = tf->input;
    if (!input && !tf->selectable) return false;
    text::TextEditor editor = editorFor(*o, *tf);
    Clipboard* clipboard = stage.keyboard().clipboard;
    bool changed = false;
    switch (control) {
    case TextControl::MoveLeft: editor.moveLeft(false); break;
    case TextControl::MoveRight: editor.moveRight(false); break;
    case TextControl::MoveUp: editor.moveUp(false); break;
    case TextControl::MoveDown: editor.moveDown(false); break;
    case TextControl::MoveLineStart: editor.moveLineStart(false); break;
    case TextControl::MoveLineEnd: editor.moveLineEnd(false); break;
    case TextControl::MoveStart: editor.moveStart(false); break;
    case TextControl::MoveEnd: editor.moveEnd(false); break;
    case TextControl::SelectLeft: editor.moveLeft(true); break;
    case TextControl::SelectRight: editor.moveRight(true); break;
    case TextControl::SelectUp: editor.moveUp(true); break;
    case TextControl::SelectDown: editor.moveDown(true); break;
    case TextControl::SelectLineStart: editor.moveLineStart(true); break;
    case TextControl::SelectLineEnd: editor.moveLineEnd(true); break;
    case TextControl::SelectAll: editor.selectAll(); break;
    case TextControl::Backspace: changed = input && editor.backspace(); break;
    case TextControl::Delete: changed = input && editor.deleteForward(); break;
    case TextControl::Enter: changed = input && editor.insert(QStringLiteral("\r"), rulesFor(*stage.vm(), *tf)); break;
    case TextControl::Copy:
    case TextControl::Cut:
        // A password field gives nothing away.
        if (clipboard && editor.hasSelection() && !tf->props().password) {
            clipboard->setText(editor.selectedText());
            if (control == TextControl::Cut && input) changed = editor.backspace();
        }
        break;
    case TextControl::Paste:
        if (input && clipboard) {
            const QString pasted = clipboard->text();
            changed = pasted.isEmpty() ? false : editor.insert(pasted, rulesFor(*stage.vm(), *tf));
        }
        break;
    }
    if (changed) commitEdit(stage, *o, *tf, editor);
    else keepSelection(*o, editor);
    stage.touch();
    return true;
}

TextSelection focusedSelection(Stage& stage) {
    DisplayObject* o = stage.focus();
    TextFieldObject* tf = fieldOf(o);
    if (!tf || stage.keyboard().selectionPending) return {};
    const text::TextEditor editor = editorFor(*o, *tf);
    return {editor.selectionBegin(), editor.selectionEnd(), editor.caret()};
}

void setFocusedSelection(Stage& stage, int begin, int end) {
    DisplayObject* o = stage.focus();
    TextFieldObject* tf = fieldOf(o);
    if (!tf) return;
    stage.keyboard().selectionPending = false;
    text::TextEditor editor(tf->text(), begin, end);
    keepSelection(*o, editor);
    stage.touch();
}

bool textPointer(Stage& stage, DisplayObject& text, QPointF, PointerPhase phase) {
    TextFieldObject* tf = fieldOf(&text);
    if (!tf || !tf->selectable) return false;   // an input text that cannot be selected takes no focus either
    if (phase == PointerPhase::Press) {
        moveFocus(stage, &text, FocusCause::Pointer);
        // Without glyph positions the caret goes after the text, where typing continues it.
        const int end = static_cast<int>(tf->text().size());
        text.text->selectionAnchor = text.text->selectionCaret = end;
        stage.touch();
    }
    return true;
}

void pointerPressedElsewhere(Stage& stage) {
    DisplayObject* o = stage.focus();
    if (o && fieldOf(o)) moveFocus(stage, nullptr, FocusCause::Pointer);
    else pointerMoved(stage);
}

}  // namespace vistrel::player
