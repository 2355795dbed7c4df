#include "metadata/text.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Utf16ToText, StopsAtZeroAndKeepsEveryCharacter)
{
    const std::vector<uint8_t> bytes = {0x2D, 0x4E, 0x87, 0x65, 0x00, 0x00, 0x41, 0x00};  // 中文 0 A
    EXPECT_EQ(Utf16ToText(bytes), "中文");
    EXPECT_EQ(Utf16ToText(std::u16string_view(u"A\u0E01B")), "A\u0E01B");  // Thai ko kai, not in GBK
    EXPECT_EQ(Utf16ToText(std::u16string_view(u"A\U0001F3B5B")), "A\U0001F3B5B");  // a pair
    EXPECT_EQ(Utf16ToText(std::u16string_view(u"A\xD800" u"B")), "A\uFFFD" "B");  // a lone surrogate
    EXPECT_EQ(Utf16ToText(std::u16string_view(u"仿")), "仿");
    const std::vector<uint8_t> odd = {0x41, 0x00, 0x42};
    EXPECT_EQ(Utf16ToText(odd), "A");
}

TEST(Utf8ToUtf16, CutsAtNul)
{
    const std::string text("\xE4\xB8\xAD" "A\0B", 5);
    EXPECT_EQ(Utf8ToUtf16({reinterpret_cast<const uint8_t*>(text.data()), text.size()}), u"中A");
    EXPECT_EQ(Utf8ToText({reinterpret_cast<const uint8_t*>(text.data()), text.size()}), "中A");
}

TEST(TagText, EightBitTextIsCodePage936AndUtf8IsCleaned)
{
    struct Case {
        std::string In, FromBytes, FromUtf8;
    };
    const Case cases[] = {
        {"plain", "plain", "plain"},
        {"\xD6\xD0\xCE\xC4", "中文", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // 中文 in code page 936
        {"\xC3\xB6", "\u679A", "\u00F6"},                    // ö in UTF-8 reads as 枚 in 936
        {std::string("a\0b", 3), "a", "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.In);
        const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(c.In.data()), c.In.size());
        EXPECT_EQ(BytesToText(bytes), c.FromBytes);
        EXPECT_EQ(Utf8ToText(bytes), c.FromUtf8);
    }
}

TEST(TrimText, RemovesAsciiAndFullWidthSpacesOnly)
{
    struct Case {
        std::string In, Out;
    };
    const Case cases[] = {
        {"  a b  ", "a b"},
        {"\u3000 x \u3000\u3000", "x"},
        {"\ta\t", "\ta\t"},
        {"   ", ""},
        {"\xE3\x80", "\xE3\x80"},  // part of a full-width space
    };
    for (const Case& c : cases)
        EXPECT_EQ(TrimText(c.In), c.Out) << c.In;
}

TEST(FormatDecimal, ThirteenSignificantDigits)
{
    EXPECT_EQ(FormatDecimal(3990 / 1000.0), "3.99");
    EXPECT_EQ(FormatDecimal(4000 / 1000.0), "4");
    EXPECT_EQ(FormatDecimal(1.0 / 3.0), "0.3333333333333");
}

TEST(UpperAscii, ChangesOnlyAsciiLetters)
{
    EXPECT_EQ(UpperAscii("a.Mp3"), "A.MP3");
    EXPECT_EQ(UpperAscii("\u00E9a.fl\u00E0c"), "\u00E9A.FL\u00E0C");
    EXPECT_TRUE(EqualsIgnoreCase("Title", "TITLE"));
    EXPECT_FALSE(EqualsIgnoreCase("Title", "TITLES"));
}
