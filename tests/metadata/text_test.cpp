#include "metadata/text.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Utf16ToText, StopsAtZeroAndReplacesWhatGbkCannotHold)
{
    const std::vector<uint8_t> bytes = {0x2D, 0x4E, 0x87, 0x65, 0x00, 0x00, 0x41, 0x00};  // 中文 0 A
    EXPECT_EQ(Utf16ToText(bytes), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(Utf16ToText(std::u16string_view(u"A\u0E01B")), "A?B");  // Thai ko kai is not in GBK
    EXPECT_EQ(Utf16ToText(std::u16string_view(u"A\U0001F3B5B")), "A?B");  // a pair is one character
    EXPECT_EQ(Utf16ToText(std::u16string_view(u"仿")), "\xB7\xC2");
    const std::vector<uint8_t> odd = {0x41, 0x00, 0x42};
    EXPECT_EQ(Utf16ToText(odd), "A");
}

TEST(Utf8ToUtf16, CutsAtNul)
{
    const std::string text("\xE4\xB8\xAD" "A\0B", 5);
    EXPECT_EQ(Utf8ToUtf16({reinterpret_cast<const uint8_t*>(text.data()), text.size()}), u"中A");
    EXPECT_EQ(Utf8ToText({reinterpret_cast<const uint8_t*>(text.data()), text.size()}), "\xD6\xD0" "A");
}

TEST(TrimText, RemovesAsciiAndFullWidthSpacesOnly)
{
    struct Case {
        std::string In, Out;
    };
    const Case cases[] = {
        {"  a b  ", "a b"},
        {"\xA1\xA1 x \xA1\xA1\xA1\xA1", "x"},
        {"\ta\t", "\ta\t"},
        {"   ", ""},
        {"\xA1", "\xA1"},
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

TEST(UpperAscii, PassesDoubleByteCharactersWhole)
{
    EXPECT_EQ(UpperAscii("a.Mp3"), "A.MP3");
    EXPECT_EQ(UpperAscii("\xB8\x61z"), "\xB8\x61Z");  // trail byte 'a' of a GBK character stays
    EXPECT_TRUE(EqualsIgnoreCase("Title", "TITLE"));
    EXPECT_FALSE(EqualsIgnoreCase("Title", "TITLES"));
}
