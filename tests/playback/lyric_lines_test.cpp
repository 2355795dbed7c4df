#include "lyrics/lyric_lines.h"

#include <gtest/gtest.h>

namespace {

TEST(LyricLine, SplitBeforeTheLastLineRule) {
    struct Case {
        const char* Name;
        std::u16string Text;
        bool Last;
        std::u16string First, Second;
    };
    const Case cases[] = {
        {"unjoined, not last", u"Hello", false, u"Hello", u""},
        {"unjoined, last", u"Hello", true, u"", u"Hello"},
        {"two joined, last: the split wins", u"A\r\nB", true, u"A", u"B"},
        {"two joined, not last", u"A\r\nB", false, u"A", u"B"},
        {"three joined keep the rest together", u"A\r\nB\r\nC", false, u"A", u"B\r\nC"},
        {"empty text, not last", u"", false, u"", u""},
        {"a lone \\n is no join", u"A\nB", false, u"A\nB", u""},
        {"join with an empty head", u"\r\nB", false, u"", u"B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const LyricLine line = MakeLyricLine(1.5f, -1.0f, c.Text, c.Last);
        EXPECT_EQ(line.FirstText, c.First);
        EXPECT_EQ(line.SecondText, c.Second);
        EXPECT_EQ(line.Time, 1.5f);
        EXPECT_EQ(line.Duration, -1.0f);
    }
}

}  // namespace
