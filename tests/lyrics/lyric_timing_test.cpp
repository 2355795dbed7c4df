#include "lyrics/lyric_timing.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Three lines at 1.0, 3.0 and 4.5 s, each 20 DIPs high: measured ends at
// 53, 106 and 159.
const std::vector<LyricLineMeasure> ThreeLines = {
    {1.0f, 2.0f, 20, 0},
    {3.0f, 1.5f, 20, 0},
    {4.5f, -1.0f, 20, 0},
};
constexpr double AreaHeight = 300;  // half: 150

TEST(LyricTick, CurrentLineRule) {
    struct Case {
        double position;
        int expectedIndex;  // from the load's 1 with the last index 2
        int scrolls;
    };
    const Case cases[] = {
        {0.5, 2, 0},        // before the first line: nothing changes
        {1.0, 2, 0},        // exactly on a start: not yet current
        {1.0000002, 1, 1},  // just past it
        {3.0, 2, 0},        // end of line 1 and start of line 2: neither
        {4.49, 2, 1},
        // Past the last line: current for the rest of the track. Its target
        // (159 - 150) is under 10 DIPs from the offset: the index changes, nothing scrolls.
        {100, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        LyricTimingState state;
        state.CurrentLyricIndex = 2;
        const auto scrolls = LyricTick(ThreeLines, c.position, AreaHeight, 1.0, state);
        EXPECT_EQ(state.CurrentLyricIndex, c.expectedIndex);
        EXPECT_EQ(static_cast<int>(scrolls.size()), c.scrolls);
    }
    LyricTimingState state;
    EXPECT_TRUE(LyricTick({}, 5, AreaHeight, 1.0, state).empty());
    EXPECT_EQ(state.CurrentLyricIndex, 1);
}

TEST(LyricTick, TargetsTheMiddleAndNeverRepeats) {
    LyricTimingState state;
    auto scrolls = LyricTick(ThreeLines, 3.5, AreaHeight, 1.0, state);
    ASSERT_EQ(scrolls.size(), 1u);
    EXPECT_EQ(scrolls[0].From, 0);
    EXPECT_EQ(scrolls[0].To, 106 - 150);
    EXPECT_DOUBLE_EQ(state.LastScrollTarget, -44);
    // The next tick on the same line, before the animation moved the offset.
    EXPECT_TRUE(LyricTick(ThreeLines, 3.7, AreaHeight, 1.0, state).empty());
    // A track load resets index and offset but not the last target: a first
    // target equal to it starts nothing, and the offset stays 0.
    state.CurrentLyricIndex = 1;
    state.LyricScrollOffset = 0;
    EXPECT_TRUE(LyricTick(ThreeLines, 3.2, AreaHeight, 1.0, state).empty());
    EXPECT_EQ(state.CurrentLyricIndex, 2);
}

TEST(LyricTick, MeasuresWithStep33TruncatingEachSum) {
    // 20.6 + 0.6 + 33 = 54.2 -> 54, then 54 + 54.2 = 108.2 -> 108: truncated
    // per line, not at the end. A missing layout counts 0.
    const std::vector<LyricLineMeasure> lines = {
        {1.0f, 1.0f, 20.6, 0.6},
        {2.0f, 1.0f, 20.6, 0.6},
        {3.0f, -1.0f, 0, 0},
    };
    const double positions[] = {1.5, 2.5, 3.5};
    const int targets[] = {54 - 100, 108 - 100, 141 - 100};
    LyricTimingState state;
    for (int i = 0; i < 3; ++i) {
        const auto scrolls = LyricTick(lines, positions[i], 200, 1.0, state);
        ASSERT_EQ(scrolls.size(), 1u) << i;
        EXPECT_EQ(scrolls[0].To, targets[i]);
        state.LyricScrollOffset = scrolls[0].To;  // as if the animation ran to its end
    }
}

TEST(ScrollLyrics, ThresholdScalesWithTheDisplay) {
    struct Case {
        double from, to, scale;
        bool starts;
    };
    const Case cases[] = {
        {0, 9.9, 1.0, false}, {0, 10, 1.0, true},   {0, -10, 1.0, true}, {0, 14.9, 1.5, false},
        {0, 15, 1.5, true},   {5, 5, 1.0, false},
    };
    for (const Case& c : cases) {
        double last = 1000;
        LyricScrollStart start;
        EXPECT_EQ(ScrollLyrics(c.from, c.to, c.scale, last, start), c.starts) << c.to << " @" << c.scale;
        // A move too short to count leaves the last target alone.
        EXPECT_DOUBLE_EQ(last, c.starts ? c.to : 1000);
    }
    // Both ends truncate toward zero.
    double last = 0;
    LyricScrollStart start;
    ASSERT_TRUE(ScrollLyrics(12.9, -97.5, 1.0, last, start));
    EXPECT_EQ(start.From, 12);
    EXPECT_EQ(start.To, -97);
    EXPECT_DOUBLE_EQ(last, -97.5);
}

}  // namespace
