// Scripted input files: batches split at Wait, key names, and damaged files refused with a reason.
#include <gtest/gtest.h>

#include "tools/input_script.h"

using vistrel::tools::InputEvent;
using vistrel::tools::parseInputScript;

TEST(InputScript, SplitsBatchesAtWaitAndReadsEveryEventKind) {
    const QByteArray json = R"([
        {"type": "MouseMove", "pos": [10.5, 20]},
        {"type": "MouseDown", "pos": [1, 2], "btn": "Right"},
        {"type": "Wait"},
        {"type": "MouseUp", "pos": [3, 4], "btn": "Left"},
        {"type": "KeyDown", "key": {"Char": "a"}},
        {"type": "TextInput", "codepoint": "\u0105"},
        {"type": "KeyUp", "key": "ArrowLeft"},
        {"type": "TextControl", "code": "MoveLeftLine"},
        {"type": "SetClipboardText", "text": "hi"},
        {"type": "Wait"}, {"type": "Wait"},
        {"type": "FocusLost"}, {"type": "FocusGained"}, {"type": "MouseWheel", "delta": {"Lines": -3}}
    ])";
    QString error;
    const auto script = parseInputScript(json, error);
    ASSERT_TRUE(script) << error.toStdString();
    ASSERT_EQ(script->batches.size(), 4u);
    ASSERT_EQ(script->batches[0].size(), 2u);
    EXPECT_EQ(script->batches[0][0].type, InputEvent::Type::MouseMove);
    EXPECT_EQ(script->batches[0][0].pos, QPointF(10.5, 20));
    EXPECT_EQ(script->batches[0][1].button, vistrel::player::MouseButton::Right);
    const auto& b1 = script->batches[1];
    ASSERT_EQ(b1.size(), 6u);
    EXPECT_EQ(b1[1].key.code, 65);
    EXPECT_EQ(b1[1].key.ascii, u'a');
    EXPECT_EQ(b1[2].codepoint, U'\u0105');
    EXPECT_EQ(b1[3].key.code, 37);
    EXPECT_EQ(b1[4].control, vistrel::player::TextControl::MoveLineStart);
    EXPECT_EQ(b1[5].text, QStringLiteral("hi"));
    EXPECT_TRUE(script->batches[2].empty());
    ASSERT_EQ(script->batches[3].size(), 3u);
    EXPECT_EQ(script->batches[3][2].wheelLines, -3);
    EXPECT_FALSE(script->batches[3][2].hasPos);
}

TEST(InputScript, KeyNamesGiveTheMovieKeyCodes) {
    using vistrel::tools::keyFromChar;
    using vistrel::tools::keyFromName;
    EXPECT_EQ(keyFromName(QStringLiteral("Tab")).code, 9);
    EXPECT_EQ(keyFromName(QStringLiteral("Enter")).ascii, 13);
    EXPECT_EQ(keyFromName(QStringLiteral("Escape")).code, 27);
    EXPECT_EQ(keyFromName(QStringLiteral("Space")).code, 32);
    EXPECT_EQ(keyFromName(QStringLiteral("LeftShift")).code, 16);
    EXPECT_EQ(keyFromName(QStringLiteral("ArrowDown")).code, 40);
    EXPECT_EQ(keyFromName(QStringLiteral("F1")).code, 112);
    EXPECT_EQ(keyFromName(QStringLiteral("NoSuchKey")).code, 0);
    EXPECT_EQ(keyFromChar(U'Z').code, 90);
    EXPECT_EQ(keyFromChar(U'"').code, 222);
    EXPECT_EQ(keyFromChar(U'"').ascii, u'"');
    EXPECT_EQ(keyFromChar(U'7').code, 55);
}

TEST(InputScript, DamagedFilesAreRefusedWithAReason) {
    const char* bad[] = {
        "",
        "[{\"type\": \"MouseMove\"",
        "{\"type\": \"Wait\"}",
        "[3]",
        "[{\"type\": \"MouseMove\", \"pos\": [1]}]",
        "[{\"type\": \"MouseDown\", \"pos\": [1, 2], \"btn\": \"Fourth\"}]",
        "[{\"type\": \"KeyDown\", \"key\": 12}]",
        "[{\"type\": \"TextInput\", \"codepoint\": \"ab\"}]",
        "[{\"type\": \"SetClipboardText\"}]",
    };
    for (const char* text : bad) {
        QString error;
        EXPECT_FALSE(parseInputScript(QByteArray(text), error)) << text;
        EXPECT_FALSE(error.isEmpty()) << text;
    }
    // Unknown kinds are skipped with a warning; huge positions are kept finite.
    QString error;
    const auto script = parseInputScript(R"([{"type": "Teleport"}, {"type": "MouseMove", "pos": [1e300, -1e300]}])", error);
    ASSERT_TRUE(script);
    EXPECT_EQ(script->warnings.size(), 1u);
    ASSERT_EQ(script->batches[0].size(), 1u);
    EXPECT_LT(script->batches[0][0].pos.x(), 1e8);
    EXPECT_GT(script->batches[0][0].pos.y(), -1e8);
}
