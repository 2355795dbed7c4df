// The window-timer binding: thread timers tick the bound animation.
#include "../graphics/graphics_test_support.h"

#include "ui/animation_slots.h"
#include "ui/animation_timer_win32.h"

namespace {

TEST(WindowAnimationTimer, TicksUntilTheEndValue) {
    Animation animation(&MainThreadAnimationTimer());
    std::vector<double> steps;
    bool done = false;
    ASSERT_EQ(animation.Start(3, 1, 17, [&](double v) { steps.push_back(v); }, [&] { done = true; }, std::nullopt, 50),
              1);
    EXPECT_NE(animation.TimerId(), 0u);
    const DWORD start = GetTickCount();
    while (!done && GetTickCount() - start < 5000) PumpMessages(10);
    ASSERT_TRUE(done);
    EXPECT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps.back(), 1.0);
    EXPECT_EQ(animation.TimerId(), 0u);
    // The killed timer ticks no more.
    PumpMessages(60);
    EXPECT_EQ(steps.size(), 5u);
}

TEST(WindowAnimationTimer, SlotsAreElevenAndBound) {
    EXPECT_EQ(&AnimationSlot(0), &AnimationSlot(SlotUnused));
    EXPECT_EQ(&AnimationSlot(12), &AnimationSlot(SlotUnused));
    EXPECT_NE(&AnimationSlot(SlotDrawingZoom), &AnimationSlot(SlotListPanel));
    double zoom = 0;
    ASSERT_EQ(AnimationSlot(SlotDrawingZoom).Start(3, 1, 17, [&](double v) { zoom = v; }, {}, std::nullopt, 300), 1);
    EXPECT_EQ(AnimationSlot(SlotDrawingZoom).Start(3, 1, 17, [&](double v) { zoom = v; }, {}, std::nullopt, 300), 0);
    const DWORD start = GetTickCount();
    while (AnimationSlot(SlotDrawingZoom).TimerId() != 0 && GetTickCount() - start < 10000) PumpMessages(10);
    EXPECT_EQ(zoom, 1.0);
}

}  // namespace
