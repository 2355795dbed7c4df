#include "ui/dirty_region.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

std::vector<PixelRect> Pixels(std::initializer_list<FloatRect> areas, double scale = 1.0, int w = 1000, int h = 650) {
    DirtyRegion region;
    for (const FloatRect& a : areas) region.Add(a);
    return region.ToPixels(scale, w, h);
}

TEST(DirtyRegion, MeetingAreasMergeSeparateOnesStay) {
    // Overlapping and touching areas become one pass; apart, two.
    EXPECT_EQ(Pixels({{10, 10, 20, 20}, {15, 15, 30, 30}}), (std::vector<PixelRect>{{9, 9, 31, 31}}));
    EXPECT_EQ(Pixels({{10, 10, 20, 20}, {20, 10, 30, 20}}), (std::vector<PixelRect>{{9, 9, 31, 21}}));
    EXPECT_EQ(Pixels({{10, 10, 20, 20}, {100, 100, 110, 110}}),
              (std::vector<PixelRect>{{9, 9, 21, 21}, {99, 99, 111, 111}}));
    // A box grown by a merge takes in an area it missed before.
    EXPECT_EQ(Pixels({{0, 0, 10, 10}, {30, 0, 40, 10}, {5, 0, 35, 5}}), (std::vector<PixelRect>{{0, 0, 41, 11}}));
}

TEST(DirtyRegion, TooManyAreasBecomeTheirBoundingBox) {
    DirtyRegion region;
    for (int i = 0; i <= static_cast<int>(DirtyRegion::MaxRects); ++i) {
        const float x = 100.0f * static_cast<float>(i);
        region.Add({x, 0, x + 10, 10});
    }
    ASSERT_EQ(region.Areas().size(), 1u);
    EXPECT_EQ(region.Areas()[0].Right, 100.0f * DirtyRegion::MaxRects + 10);
}

TEST(DirtyRegion, EmptyInvertedAndNaNAreasChangeNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    DirtyRegion region;
    region.Add({10, 10, 10, 20});
    region.Add({30, 30, 20, 40});
    region.Add({nan, 0, 10, 10});
    region.Add({0, 0, 10, nan});
    EXPECT_TRUE(region.Empty());
    EXPECT_TRUE(region.ToPixels(1.0, 100, 100).empty());
}

TEST(DirtyRegion, PixelsGrowOutwardAndStayInTheClient) {
    // 1.5 pixels per DIP: 10.2 DIPs start in pixel 15, one more for the
    // antialiased edge; the client cuts what reaches past it.
    EXPECT_EQ(Pixels({{10.2f, 0, 20, 700}}, 1.5, 1000, 650), (std::vector<PixelRect>{{14, 0, 31, 650}}));
    EXPECT_EQ(Pixels({{-50, -50, -10, -10}}, 1.0), std::vector<PixelRect>{});
    EXPECT_EQ(Pixels({{990, 640, 2000, 2000}}, 1.0), (std::vector<PixelRect>{{989, 639, 1000, 650}}));
}

TEST(DirtyRegion, WholeCoversTheClientAndSwallowsAreas) {
    DirtyRegion region;
    region.Add({10, 10, 20, 20});
    region.AddWhole();
    region.Add({30, 30, 40, 40});
    EXPECT_EQ(region.ToPixels(2.0, 800, 600), (std::vector<PixelRect>{{0, 0, 800, 600}}));
    EXPECT_TRUE(region.ToPixels(2.0, 0, 600).empty());
    region.Clear();
    EXPECT_TRUE(region.Empty());
}

TEST(DirtyRegion, PlayBarAreaHoldsTheHoveredBarAndTheTimes) {
    LayoutInputs layout;
    layout.ClientWidth = 1000;
    layout.ClientHeight = 650;
    const FloatRect area = PlayBarArea(layout);
    const int full = static_cast<int>(ProgressTrackLength(layout));
    for (int width : {0, full / 2, full}) {
        const ProgressBarShape bar = ShapeProgressBar(layout, width, true);
        for (const FloatRect& r : {bar.Track, bar.ThumbOutline}) {
            EXPECT_LE(area.Left, r.Left - 1);
            EXPECT_GE(area.Right, r.Right + 1);
            EXPECT_LE(area.Top, r.Top - 1);
            EXPECT_GE(area.Bottom, r.Bottom + 1);
        }
    }
    EXPECT_LE(area.Top, 650 - 96);  // the time texts' boxes
}

}  // namespace
