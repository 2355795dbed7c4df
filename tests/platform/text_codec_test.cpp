#include "platform/text_codec.h"

#include <gtest/gtest.h>

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

TEST(TextCodec, Utf8DecodesPairsAndReplacesMalformedBytes)
{
    EXPECT_EQ(DecodeToUtf16("\xE4\xBB\xBF\xF0\x9F\x98\x80", CodePageUtf8), u"仿\U0001F600");
    const std::u16string bad = DecodeToUtf16("a\xFF" "b", CodePageUtf8);
    EXPECT_EQ(bad, u"a\xFFFD" u"b");
}

TEST(TextCodec, EmptyInputGivesEmptyOutput)
{
    EXPECT_TRUE(DecodeToUtf16("", CodePageGbk).empty());
    EXPECT_TRUE(EncodeFromUtf16(u"", CodePageUtf8).empty());
}
