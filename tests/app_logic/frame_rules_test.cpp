#include "app/logic/frame_rules.h"
#include "ui/display_scale.h"

#include <gtest/gtest.h>

namespace {

struct HitCase {
    const char* Name;
    ScreenRect Window;
    int X, Y;
    int Caption;
    int Expected;
};

TEST(HitTest, RegionsInOrderWithStrictInsides) {
    const ScreenRect w{100, 200, 772, 500};
    const HitCase cases[] = {
        {"3 px in from the top-left corner", w, 103, 203, 28, HitTopLeft},
        {"on the corner itself is outside every region", w, 100, 200, 28, HitClient},
        {"8 px from the left, 20 down: caption", w, 108, 220, 28, HitCaption},
        {"x 7 is still the left edge", w, 107, 220, 28, HitLeft},
        {"top-right corner", w, 100 + 772 - 3, 203, 28, HitTopRight},
        {"bottom-left corner", w, 103, 200 + 500 - 3, 28, HitBottomLeft},
        {"bottom-right corner", w, 100 + 772 - 3, 200 + 500 - 3, 28, HitBottomRight},
        {"top edge", w, 400, 203, 28, HitTop},
        {"y exactly 8 is below the top edge but on the caption border", w, 400, 208, 28, HitClient},
        {"right edge", w, 100 + 772 - 4, 400, 28, HitRight},
        {"bottom edge", w, 400, 200 + 500 - 4, 28, HitBottom},
        {"inside the caption band", w, 400, 230, 28, HitCaption},
        {"caption band ends strictly before 8 + caption", w, 400, 200 + 36, 28, HitClient},
        {"below the caption", w, 400, 300, 28, HitClient},
        {"on the far right border", w, 100 + 772, 400, 28, HitClient},
        {"scale 1.5 caption reaches 8 + 42", w, 400, 200 + 49, 42, HitCaption},
        {"zero caption: no band", w, 400, 212, 0, HitClient},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(HitTest(c.Window, c.X, c.Y, c.Caption), c.Expected);
    }
}

TEST(HitTest, MonitorLeftOfPrimaryHasNegativeCoordinates) {
    const ScreenRect w{-1500, -20, 800, 600};
    EXPECT_EQ(HitTest(w, -1497, -17, 28), HitTopLeft);
    EXPECT_EQ(HitTest(w, -1500 + 400, -20 + 3, 28), HitTop);
    EXPECT_EQ(HitTest(w, -1500 + 400, -20 + 20, 28), HitCaption);
    EXPECT_EQ(HitTest(w, -1500 + 797, -20 + 300, 28), HitRight);
    EXPECT_EQ(HitTest(w, -1500 + 400, -20 + 300, 28), HitClient);
}

TEST(HitTest, EdgesKeepEightPixelsWhateverTheScale) {
    const ScreenRect w{0, 0, 1000, 800};
    for (int caption : {28, 42, 56}) {
        SCOPED_TRACE(caption);
        EXPECT_EQ(HitTest(w, 7, 400, caption), HitLeft);
        EXPECT_EQ(HitTest(w, 8, 400, caption), HitClient);
    }
}

TEST(HitTest, HugeRectangleDoesNotWrap) {
    const ScreenRect w{2147483000, 0, 2000, 100};
    EXPECT_EQ(HitTest(w, 2147483000 + 3, 3, 28), HitTopLeft);
}

TEST(CaptionHeight, FollowsScaleAndMaximisedState) {
    EXPECT_EQ(CaptionHeightFor(1.0, false, 4), 28);
    EXPECT_EQ(CaptionHeightFor(1.5, false, 4), 42);
    EXPECT_EQ(CaptionHeightFor(1.25, false, 4), 35);
    EXPECT_EQ(CaptionHeightFor(1.0, true, 4), 22 + 4 + 2);
    EXPECT_EQ(CaptionHeightFor(1.5, true, 4), 33 + 4 + 2);
    EXPECT_EQ(CaptionHeightFor(1.75, true, 8), static_cast<int>(1.75 * 22 + 8 + 2));
}

struct DpiCase {
    const char* Name;
    int DesktopHorzRes, HorzRes, LogPixelsX;
    int Expected;
};

TEST(DpiPercent, MeasureThatIsNot100Wins) {
    const DpiCase cases[] = {
        {"plain 100 %", 1920, 1920, 96, 100},
        {"virtualised 125 %: desktop 1.25 x horz", 2400, 1920, 96, 125},
        {"system aware 150 %: LOGPIXELSX 144", 1920, 1920, 144, 150},
        {"both 125", 2400, 1920, 120, 125},
        // Both measures differ and neither is 100: LOGPIXELSX, never 0.
        {"150 against 125", 2880, 1920, 120, 125},
        {"175 against 150", 3360, 1920, 144, 150},
        {"zero HORZRES gives no ratio", 1920, 0, 96, 100},
        {"zero LOGPIXELSX", 1920, 1920, 0, 100},
        {"everything zero", 0, 0, 0, 100},
        {"zero HORZRES with LOGPIXELSX 120", 0, 0, 120, 125},
    };
    for (const DpiCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(DpiPercentFromMeasures(c.DesktopHorzRes, c.HorzRes, c.LogPixelsX), c.Expected);
    }
}

TEST(WindowSizes, ScaleAndTruncate) {
    EXPECT_EQ(MinimumTrackSize(1.0).Width, 626);
    EXPECT_EQ(MinimumTrackSize(1.0).Height, 367);
    EXPECT_EQ(MinimumTrackSize(1.25).Width, 782);  // 782.5 truncated
    EXPECT_EQ(MinimumTrackSize(1.25).Height, 458);  // 458.75 truncated
    EXPECT_EQ(DefaultWindowSize(1.0).Width, 772);
    EXPECT_EQ(DefaultWindowSize(1.0).Height, 500);
    EXPECT_EQ(DefaultWindowSize(1.5).Width, 1158);
    EXPECT_EQ(DefaultWindowSize(1.5).Height, 750);
}

TEST(WindowSizes, ToDipsTruncatesAndSurvivesZeroScale) {
    EXPECT_EQ(ToDips(757, 1.0), 757);
    EXPECT_EQ(ToDips(757, 1.5), 504);
    EXPECT_EQ(ToDips(757, 0.0), 0);
}

TEST(ListPanel, NarrowBelow664) {
    EXPECT_EQ(ListPanelTarget(663), 150);
    EXPECT_EQ(ListPanelTarget(664), 250);
    EXPECT_EQ(ListPanelTarget(0), 150);
    EXPECT_EQ(ListPanelTarget(1920), 250);
}

}  // namespace
