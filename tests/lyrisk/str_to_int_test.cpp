// The parser reads numbers as StrToIntExW does; here the two meet on the
// cases where hand-written readers usually differ.

#include "lrc/lrc_parser.h"

#include <windows.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <string>

TEST(LrcParser, ReadsIntegersAsStrToIntExW)
{
    const std::u16string_view cases[] = {
        u"0", u"12", u"007", u" 1", u"\t1", u"\n1", u"\v1", u"\f1", u"\r1", u"\u30001", u"\u00A01", u"  -3x",
        u"+1", u"- 1", u"+-1", u"-", u"", u"x1", u"1.5", u"2147483647", u"2147483648", u"-2147483648",
        u"99999999999", u"\uFF11", u"0x1A",
    };
    for (const std::u16string_view text : cases) {
        const std::wstring wide(text.begin(), text.end());
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        int expected = 0;
        const bool parsed = StrToIntExW(wide.c_str(), STIF_DEFAULT, &expected) != FALSE;
        const std::optional<int32_t> value = ReadLrcInteger(text);
        ASSERT_EQ(value.has_value(), parsed);
        if (parsed) {
            EXPECT_EQ(*value, expected);
        }
    }
}
