#include "lrc/lrc_parser.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct TimedText {
    float Time;
    std::u16string Text;
};

void ExpectTimedTexts(const std::vector<LrcLine>& lines, const std::vector<TimedText>& expected)
{
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(lines[i].Time, expected[i].Time);
        EXPECT_EQ(lines[i].Text, expected[i].Text);
    }
}

}  // namespace

TEST(LrcParser, ReadsIntegersLikeStrToIntEx)
{
    struct Case {
        std::u16string_view Text;
        std::optional<int32_t> Expected;
    };
    const Case cases[] = {
        {u"12", 12},
        {u" \t\n-7x", -7},      // leading blanks and sign; what follows the digits is ignored
        {u"+05", 5},
        {u"", std::nullopt},
        {u"+", std::nullopt},
        {u"- 1", std::nullopt},  // no blank between sign and digits
        {u"ti", std::nullopt},
        {u"\u30001", std::nullopt},   // an ideographic space is no leading blank
        {u"\uFF11", std::nullopt},    // full-width digits are not digits
        {u"4294967297", 1},           // wraps as 32-bit arithmetic
        {u"99999999999999999999999", static_cast<int32_t>(0xF67FFFFFu)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Text.begin(), c.Text.end()));
        EXPECT_EQ(ReadLrcInteger(c.Text), c.Expected);
    }
}

TEST(LrcParser, ReadsTimeTags)
{
    struct Case {
        std::u16string_view Content;
        std::optional<float> Seconds;
    };
    const Case cases[] = {
        {u"00:12.34", 12.34f},
        {u"00:12:34", 12.34f},    // a second colon also separates the fraction
        {u"00:12", 12.0f},
        {u"1:05.50", 65.5f},
        {u"00:12.3", 12.3f},      // one digit: tenths
        {u"00:12.03", 12.03f},
        {u"00:12.345", 12.345f},  // three digits: milliseconds
        {u"00:12.3456", 15.456f}, // longer: still read as milliseconds
        {u"00:12.3x", 12.003f},   // "3x" is padded to "3x0", which reads 3
        {u" 01:02.03", 62.03f},
        {u"0:-0.50", 0.5f},
        {u"0:00.00", 0.0f},
        {u"00:-5.00", std::nullopt},  // negative
        {u"-1:30.00", std::nullopt},
        {u"ti:Song", std::nullopt},
        {u"offset:+500", std::nullopt},
        {u"00:12.", std::nullopt},    // an empty fraction does not read
        {u"00:xx", std::nullopt},
        {u":12", std::nullopt},
        {u"Remix", std::nullopt},
        {u"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Content.begin(), c.Content.end()));
        const std::optional<float> seconds = ReadLrcTime(c.Content);
        ASSERT_EQ(seconds.has_value(), c.Seconds.has_value());
        if (seconds) {
            EXPECT_FLOAT_EQ(*seconds, *c.Seconds);
        }
    }
}

TEST(LrcParser, SumsTimesInSinglePrecision)
{
    // 0.34 s as a float added to 12 s: the exact float sum the player compares against.
    const float expected = 12.0f + 340.0f / 1000.0f;
    EXPECT_EQ(ReadLrcTime(u"00:12.34"), expected);
    EXPECT_EQ(ReadLrcTime(u"2:00.5"), 120.0f + 500.0f / 1000.0f);
}

TEST(LrcParser, SplitsAtEverySeparator)
{
    struct Case {
        std::u16string_view Text;
        std::vector<std::u16string_view> Lines;
    };
    const Case cases[] = {
        {u"a\r\nb\nc\rd", {u"a", u"b", u"c", u"d"}},
        {u"a\r\r\n\n\rb\r", {u"a", u"b"}},  // empty pieces are dropped
        {u"\n\r\n", {}},
        {u"one", {u"one"}},
        {u"", {}},
        {u"a\n\rb", {u"a", u"b"}},  // "\n\r" is two separators
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Text.begin(), c.Text.end()));
        EXPECT_EQ(SplitLrcLines(c.Text), c.Lines);
    }
}

TEST(LrcParser, ReadsTagsOfALine)
{
    struct Case {
        std::u16string_view Line;
        std::vector<TimedText> Expected;
    };
    const Case cases[] = {
        {u"[00:05.00][00:20.00]Chorus", {{5.0f, u"Chorus"}, {20.0f, u"Chorus"}}},
        {u"[00:10.00]Verse[00:12.50]Next", {{10.0f, u"Verse"}, {12.5f, u"Next"}}},
        {u"abc[00:01.00]x", {{1.0f, u"x"}}},
        {u"[00:01.00]", {{1.0f, u""}}},
        {u"[00:01.00]a[00:02.00]", {{1.0f, u"a"}, {2.0f, u""}}},
        // A tag never closed after back-to-back tags: they take the raw line.
        {u"[00:01.00][00:02.00", {{1.0f, u"[00:01.00][00:02.00"}}},
        {u"[00:01.00]a[00:02.00", {{1.0f, u"a"}}},
        {u"[00:01.00]Hello [Remix]", {{1.0f, u"Hello "}}},
        {u"[ti:Song]", {}},
        {u"[offset:+500]", {}},
        {u"no tags at all", {}},
        {u"]x[00:01.00]y", {}},  // the first "]" stands before the first "["
        {u"[00:01.00", {}},
        {u"[ar:Someone][00:03.00]z", {{3.0f, u"z"}}},
        {u"[00:04.00]  spaced  ", {{4.0f, u"  spaced  "}}},  // alone at its time: not trimmed
        {u"[00:06.00]\u4E2D\u6587", {{6.0f, u"\u4E2D\u6587"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Line.begin(), c.Line.end()));
        ExpectTimedTexts(ParseLrc(c.Line), c.Expected);
    }
}

TEST(LrcParser, SortsByTime)
{
    const std::vector<LrcLine> lines = ParseLrc(u"[00:03.00]c\n[00:01.00]a\n[01:00.00]d\n[00:02.00]b\n");
    ExpectTimedTexts(lines, {{1.0f, u"a"}, {2.0f, u"b"}, {3.0f, u"c"}, {60.0f, u"d"}});
}

TEST(LrcParser, EqualTimesKeepFileOrder)
{
    struct Case {
        std::u16string_view File;
        std::vector<TimedText> Expected;
    };
    const Case cases[] = {
        {u"[00:01]A\n[00:01]A2\n[00:02]B\n[00:02]B2", {{1.0f, u"A\r\nA2"}, {2.0f, u"B\r\nB2"}}},
        {u"[00:01]A\n[00:02]B\n[00:01]A2\n[00:02]B2", {{1.0f, u"A\r\nA2"}, {2.0f, u"B\r\nB2"}}},
        {u"[00:02]B\n[00:01]A\n[00:02]B2\n[00:01]A2", {{1.0f, u"A\r\nA2"}, {2.0f, u"B\r\nB2"}}},
        {u"[00:01][00:02]X\n[00:01]Y", {{1.0f, u"X\r\nY"}, {2.0f, u"X"}}},
        // Equal as floats is equal: 1.5 s written two ways.
        {u"[00:01.50]Hello\n[00:01:500]Hi", {{1.5f, u"Hello\r\nHi"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.File.begin(), c.File.end()));
        ExpectTimedTexts(ParseLrc(c.File), c.Expected);
    }
}

TEST(LrcParser, EqualTimesKeepFileOrderInLargeFiles)
{
    // 50 times, each shared by 200 lines spread over the file.
    std::u16string file;
    for (int i = 0; i < 10000; ++i) {
        const std::string line = "[00:" + std::to_string(10 + (i * 7) % 50) + ".00]" + std::to_string(i) + "\n";
        file.append(line.begin(), line.end());
    }
    const std::vector<LrcLine> lines = ParseLrc(file);
    ASSERT_EQ(lines.size(), 50u);
    for (const LrcLine& line : lines) {
        int previous = -1;
        size_t start = 0;
        for (;;) {
            const size_t end = line.Text.find(u"\r\n", start);
            const std::u16string number = line.Text.substr(start, end == std::u16string::npos ? end : end - start);
            const int value = std::stoi(std::string(number.begin(), number.end()));
            ASSERT_GT(value, previous) << "time " << line.Time;
            previous = value;
            if (end == std::u16string::npos)
                break;
            start = end + 2;
        }
    }
}

TEST(LrcParser, JoinsTrimmedTextsOfEqualTimes)
{
    struct Case {
        std::u16string_view File;
        std::u16string_view Text;
        int32_t JoinOffset;
    };
    const Case cases[] = {
        {u"[00:01.50]Hello\n[00:01.50]Hi", u"Hello\r\nHi", 5},
        {u"[00:01]A\n[00:01]B\n[00:01]C", u"A\r\nB\r\nC", 4},  // offset of the last "\r\n"
        {u"[00:01]  A  \n[00:01]\n[00:01]B", u"A\r\nB", 1},  // the empty member adds nothing
        {u"[00:01]\n[00:01]B", u"B", -1},                      // an empty head takes the member's text
        {u"[00:01]\n[00:01]", u"", -1},
        {u"[00:01]\t\u3000A \n[00:01] B\u3000\t", u"A\r\nB", 1},
        {u"[00:01]A\n[00:01] \n[00:01]", u"A", -1},            // members with no text never join
        {u"[00:01] \n[00:01]A B ", u"A B", -1},                // inner blanks stay
        {u"[00:01]A\n[00:01]\u00A0B", u"A\r\n\u00A0B", 1},    // no-break space is not trimmed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.File.begin(), c.File.end()));
        const std::vector<LrcLine> lines = ParseLrc(c.File);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].Text, c.Text);
        EXPECT_EQ(lines[0].JoinOffset, c.JoinOffset);
        EXPECT_EQ(lines[0].Duration, -1.0f);
    }
}

TEST(LrcParser, LinesAloneAtTheirTimeAreNotTrimmed)
{
    const std::vector<LrcLine> lines = ParseLrc(u"[00:01] a \n[00:02]\tb\u3000\n[00:02]c");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Text, u" a ");
    EXPECT_EQ(lines[0].JoinOffset, -1);
    EXPECT_EQ(lines[1].Text, u"b\r\nc");
}

TEST(LrcParser, DurationsRunToTheNextLine)
{
    const std::vector<LrcLine> lines = ParseLrc(u"[00:04.00]c\n[00:01.00]a\n[00:02.50]b\n[00:02.50]b2");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].Duration, 2.5f - 1.0f);
    EXPECT_EQ(lines[1].Duration, 4.0f - 2.5f);
    EXPECT_EQ(lines[2].Duration, -1.0f);
    EXPECT_EQ(ParseLrc(u"[00:07]only")[0].Duration, -1.0f);
}

TEST(LrcParser, TextsWithoutTimeTagsGiveNoLines)
{
    for (const std::u16string_view file : {u"", u"\r\n\r\n", u"[ti:Song]\n[ar:Singer]\n[offset:+500]\nplain",
                                           u"[00:-1.00]negative", u"[", u"]", u"[]", u"[:]"}) {
        SCOPED_TRACE(std::string(file.begin(), file.end()));
        EXPECT_TRUE(ParseLrc(file).empty());
    }
}

TEST(LrcParser, ManyTagsOnALongLineStayBounded)
{
    // Each tag copies the line's text; a hostile line must not multiply the
    // file's size without limit.
    std::u16string line;
    for (int i = 0; i < 5000; ++i)
        line += u"[0:1]";
    line += std::u16string(200000, u'x');
    const std::vector<LrcLine> lines = ParseLrc(line);
    ASSERT_EQ(lines.size(), 1u);  // all at 1 s: joined into one
    EXPECT_LE(lines[0].Text.size(), 20 * line.size());
    EXPECT_GE(lines[0].Text.size(), 200000u);
}

TEST(LrcParser, EveryPrefixParses)
{
    const std::u16string file =
        u"[ti:Song]\r\n[00:01.00][00:03.5]A  \n[00:01.00]\u3000A2\r[00:02.345]B[00:04]C[00:05\r\n[00:06][x";
    for (size_t length = 0; length <= file.size(); ++length) {
        for (const LrcLine& line : ParseLrc(std::u16string_view(file).substr(0, length))) {
            EXPECT_GE(line.Time, 0.0f);
            EXPECT_LE(line.Text.size(), file.size() * 2);
        }
    }
}

TEST(LrcParser, CapsLinesAndCopies)
{
    // Back-to-back tags with distinct times: the lines stop at their cap,
    // keeping the earliest in the file.
    std::u16string tags;
    for (size_t i = 0; i < MaxLrcLines + 10; ++i) {
        const std::string tag = "[" + std::to_string(i / 60) + ":" + std::to_string(i % 60) + "]";
        tags.append(tag.begin(), tag.end());
    }
    const std::vector<LrcLine> many = ParseLrc(tags + u"x");
    ASSERT_EQ(many.size(), MaxLrcLines);
    EXPECT_EQ(many.back().Time, static_cast<float>(MaxLrcLines - 1));

    // One long text under many tags: the copies stop at their cap in all.
    const std::u16string text(2 << 20, u'y');
    std::u16string file;
    for (int second = 0; second < 20; ++second) {
        const std::string tag = "[0:" + std::to_string(second) + "]";
        file.append(tag.begin(), tag.end());
    }
    file += text;
    EXPECT_EQ(ParseLrc(file).size(), MaxLrcCopiedUnits / text.size());
}
