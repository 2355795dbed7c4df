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

// The slots outlive the timer map unless the map is made first; a slot
// stopping its timer at exit must find the map still there.
TEST(WindowAnimationTimer, ExitWhileSlotsAnimate) {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string command(path, length);
    command = "\"" + command.substr(0, command.find_last_of('\\')) + "\\animation_exit_child.exe\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    EXPECT_EQ(exitCode, 0u);
}

}  // namespace
