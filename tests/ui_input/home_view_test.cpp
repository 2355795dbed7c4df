// What the home frame may skip: only what lies wholly outside its clip.
#include "ui/home_view.h"

#include <gtest/gtest.h>

namespace {

LayoutInputs Layout(int height, double scroll) {
    LayoutInputs layout;
    layout.ClientWidth = 1000;
    layout.ClientHeight = height;
    layout.ListScroll = scroll;
    return layout;
}

TEST(HomeView, SongRowsReachingIntoTheClipAreDrawn) {
    // Row i spans 28 i + 97 - scroll .. 28 i + 121 - scroll; the clip is
    // 124 .. H - 8 and an outline reaches 1 DIP beyond the row.
    struct Case {
        const char* Name;
        int Rows;
        int Height;
        double Scroll;
        int First;
        int Last;
    } cases[] = {
        {"empty list", 0, 600, 0, 1, 0},
        {"all fit", 5, 600, 0, 1, 5},
        {"row starting 1 DIP below the clip is gone", 100, 300, 0, 1, 6},  // row 7 at 293, clip ends 292
        {"outline of row 1 still reaches in", 100, 300, 25.5, 1, 7},      // ends 123.5, outline 124.5
        {"outline of row 1 ends on the clip top", 100, 300, 26, 2, 7},
        {"gap above the first row", 10, 300, -28, 1, 5},
        {"scrolled to the end", 10, 300, 112, 5, 10},
        {"window lower than the heading", 10, 120, 0, 1, 0},
    };
    for (const Case& c : cases) {
        const RowRange range = VisibleSongRows(c.Rows, Layout(c.Height, c.Scroll));
        EXPECT_EQ(range.First, c.First) << c.Name;
        EXPECT_EQ(range.Last, c.Last) << c.Name;
    }
}

TEST(HomeView, LyricLineVisibleUntilBothBoxesLeaveTheClip) {
    // Clip 120 .. 400; boxes are 100 high, the second hM below the first.
    struct Case {
        double Y;
        double Main;
        double Second;
        bool Visible;
    } cases[] = {
        {200, 23, 20, true},
        {20, 23, 20, true},     // the first box ends at 120, the second at 143
        {-3, 23, 20, false},    // the second box ends at 120
        {399, 23, 20, true},
        {400, 23, 20, false},
        {-100, 23, 300, true},  // a tall second text spills 100 DIPs above and below its box
        {480, 300, 20, true},   // a tall first text reaches up from below the clip
        {500, 300, 20, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LyricLineVisible(c.Y, c.Main, c.Second, 120, 400), c.Visible) << c.Y << " " << c.Main;
    }
}

TEST(HomeView, LyricLayoutsRebuiltOnlyWhenTheirInputsChange) {
    const LyricLayoutKey built{true, false, 300};
    EXPECT_FALSE(LyricLayoutsStale(built, false, 300));
    EXPECT_TRUE(LyricLayoutsStale(built, true, 300));       // became the current line
    EXPECT_TRUE(LyricLayoutsStale(built, false, 299.5f));   // the area was resized
    EXPECT_TRUE(LyricLayoutsStale({false, false, 300}, false, 300));  // missing or from another track
}

TEST(HomeView, CachedLineServesOnlyWhereItsBaselinesSnapAlike) {
    // Made at row 200.3 with its top at 190; baselines 12.4 and 31.9 below
    // the origin snap to rows 213 and 232.
    const std::vector<double> baselines{12.4, 31.9};
    struct Case {
        double Y;
        std::optional<int> Top;
    };
    const Case cases[] = {
        {200.3, 190},            // where it was made
        {200.05, std::nullopt},  // 212.45 -> 212 while 231.95 stays at 232: split
        {210.3, 200},            // whole rows further: the same picture
        {200.59, 190},           // 212.99 -> 213, 232.49 -> 232: still both as made
        {200.61, std::nullopt},  // 232.51 -> 233 while 213.01 stays: the rows split
        {201.2, 191},            // 213.6 -> 214, 233.1 -> 233: both one row lower
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Y);
        EXPECT_EQ(CachedLineTop(baselines, 200.3, 190, c.Y), c.Top);
    }
    // A line without text moves with its origin.
    EXPECT_EQ(CachedLineTop({}, 200.3, 190, 203.9), 193);
}

}  // namespace
