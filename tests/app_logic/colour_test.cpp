#include "ui/colour.h"

#include <gtest/gtest.h>

namespace {

TEST(MakeColour, SplitsBgrLayoutAndAlpha) {
    const ColourF c = MakeColour(0x00336699, 0.5f, true);  // blue 0x33, green 0x66, red 0x99
    EXPECT_FLOAT_EQ(c.R, 0x99 / 255.0f);
    EXPECT_FLOAT_EQ(c.G, 0x66 / 255.0f);
    EXPECT_FLOAT_EQ(c.B, 0x33 / 255.0f);
    EXPECT_FLOAT_EQ(c.A, 0.5f);
}

TEST(MakeColour, AlphaOnlyWhenGiven) {
    EXPECT_FLOAT_EQ(MakeColour(0, 0.2f, false).A, 1.0f);
    EXPECT_FLOAT_EQ(MakeColour(0, 0.0f, true).A, 0.0f);
    const ColourF white = MakeColour(0xFFFFFF);
    EXPECT_FLOAT_EQ(white.R, 1.0f);
    EXPECT_FLOAT_EQ(white.G, 1.0f);
    EXPECT_FLOAT_EQ(white.B, 1.0f);
    EXPECT_FLOAT_EQ(white.A, 1.0f);
}

TEST(MakeColour, IgnoresTheTopByte) {
    const ColourF c = MakeColour(0xFF000000u);
    EXPECT_FLOAT_EQ(c.R + c.G + c.B, 0.0f);
}

TEST(AccentColour, DropsAlphaAndSwapsToRgbLayout) {
    EXPECT_EQ(AccentFromColorization(0xC40078D7u), 0x00D77800u);  // 0xAARRGGBB -> 0x00BBGGRR
    EXPECT_EQ(AccentFromColorization(0), 0u);  // a failed read leaves 0: black
    EXPECT_EQ(AccentFromColorization(0xFF123456u), 0x00563412u);
}

}  // namespace
