#include "platform/text_codec.h"

#include <gtest/gtest.h>

namespace {

bool IsValidUtf8(std::string_view text) { return EncodeUtf8(DecodeUtf8(text)) == text; }

}  // namespace

TEST(TextCodec, GbkRoundTrip)
{
    const std::string gbk = "\xD6\xD0\xCE\xC4 abc";  // 中文 abc
    const std::u16string utf16 = DecodeToUtf16(gbk, CodePageGbk);
    EXPECT_EQ(utf16, u"中文 abc");
    EXPECT_EQ(EncodeFromUtf16(utf16, CodePageGbk), gbk);
}

TEST(TextCodec, WhatGbkCannotHoldBecomesQuestionMark)
{
    // U+1F600 needs a surrogate pair; it stays one character.
    EXPECT_EQ(EncodeFromUtf16(u"a\U0001F600b", CodePageGbk), "a?b");
}

TEST(TextCodec, Utf8DecodesPairsAndReplacesEachMalformedSubpart)
{
    struct Case {
        const char* Name;
        std::string_view Bytes;
        std::u16string_view Text;
    } cases[] = {
        {"pair", "\xE4\xBB\xBF\xF0\x9F\x98\x80", u"仿\U0001F600"},
        {"stray byte", "a\xFF" "b", u"a\uFFFD" "b"},
        {"lone continuation", "a\x80" "b", u"a\uFFFD" "b"},
        {"truncated at the end", "a\xE4\xBB", u"a\uFFFD"},
        {"truncated before ASCII", "\xE4\xBB" "a", u"\uFFFD" "a"},
        {"overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"NUL is a character", std::string_view("a\0b", 3), std::u16string_view(u"a\0b", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(DecodeUtf8(c.Bytes), c.Text);
        EXPECT_EQ(DecodeToUtf16(c.Bytes, CodePageUtf8), c.Text);
    }
}

TEST(TextCodec, Utf8EncodesPairsAndReplacesLoneSurrogates)
{
    struct Case {
        const char* Name;
        std::u16string_view Text;
        std::string_view Bytes;
    } cases[] = {
        {"every length", u"a\u00F6\u2660\U0001F3B5", "a\xC3\xB6\xE2\x99\xA0\xF0\x9F\x8E\xB5"},
        {"lone high", u"a\xD800" "b", "a\xEF\xBF\xBD" "b"},
        {"lone low", u"\xDC00", "\xEF\xBF\xBD"},
        {"high at the end", u"a\xDBFF", "a\xEF\xBF\xBD"},
        {"reversed pair", u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(EncodeUtf8(c.Text), c.Bytes);
        EXPECT_EQ(EncodeFromUtf16(c.Text, CodePageUtf8), c.Bytes);
        EXPECT_EQ(Utf16ToProgramText(c.Text), c.Bytes);
    }
}

TEST(TextCodec, ProgramTextIsUtf8)
{
    const std::string text = "Bj\xC3\xB6rk \xED\x95\x9C \xE2\x99\xA0 \xE4\xB8\xAD";  // Björk 한 ♠ 中
    EXPECT_EQ(ProgramTextToUtf16(text), u"Bj\u00F6rk \uD55C \u2660 \u4E2D");
    EXPECT_EQ(Utf16ToProgramText(ProgramTextToUtf16(text)), text);
    EXPECT_EQ(Utf8ToProgramText(text), text);
    EXPECT_EQ(Utf8ToProgramText("a\xFF"), "a\xEF\xBF\xBD");
}

TEST(TextCodec, Gbk8BitTextBecomesUtf8)
{
    EXPECT_EQ(GbkToProgramText("\xD6\xD0\xCE\xC4 abc"), "\xE4\xB8\xAD\xE6\x96\x87 abc");  // 中文 abc
    EXPECT_EQ(GbkToProgramText("plain"), "plain");
    // Bytes with no mapping: whatever stands in for them, the text stays valid
    // UTF-8 and keeps its neighbours.
    for (const std::string_view bytes : {"a\xFF" "b", "a\x81 b", "a\xFF\xFF b", "a\x81"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(bytes)));
        const std::string text = GbkToProgramText(bytes);
        EXPECT_TRUE(IsValidUtf8(text));
        EXPECT_GT(text.size(), 1u) << "an unmapped byte is not dropped";
        EXPECT_EQ(text.front(), 'a');
        if (bytes.back() == 'b') {
            EXPECT_EQ(text.back(), 'b');
        }
    }
}

TEST(TextCodec, EmptyInputGivesEmptyOutput)
{
    EXPECT_TRUE(DecodeToUtf16("", CodePageGbk).empty());
    EXPECT_TRUE(EncodeFromUtf16(u"", CodePageUtf8).empty());
    EXPECT_TRUE(GbkToProgramText("").empty());
}
