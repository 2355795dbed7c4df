// The taskbar button through the shell's ITaskbarList3 on a real (hidden)
// window. Wine's shell answers every call without showing anything, so what
// is checked is which calls are made, when, and that nothing breaks where
// the shell offers no taskbar.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "app/taskbar.h"
#include "playback/player_state.h"

namespace {

class TaskbarTest : public testing::Test {
protected:
    void SetUp() override {
        ComStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        Window = CreateWindowExA(0, "STATIC", "taskbar", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(Window, nullptr);
        gCurrentStream = 0;
        gIsPlaying = 0;
        gPositionSeconds = 0;
        gTrackLengthSeconds = 0;
    }
    void TearDown() override {
        ReleaseTaskbar();
        DestroyWindow(Window);
        gCurrentStream = 0;
        gIsPlaying = 0;
        if (ComStarted) CoUninitialize();
    }
    HWND Window = nullptr;
    bool ComStarted = false;
};

TEST_F(TaskbarTest, NothingIsCalledBeforeTheButtonExists) {
    const TaskbarStatus before = CurrentTaskbarStatus();
    gCurrentStream = 1;
    gIsPlaying = 1;
    UpdateTaskbar();
    EXPECT_EQ(CurrentTaskbarStatus().StateCalls, before.StateCalls);
    EXPECT_EQ(CurrentTaskbarStatus().ValueCalls, before.ValueCalls);
    EXPECT_FALSE(HandleThumbnailCommand(MAKEWPARAM(1, 0)));  // a menu command, not a thumbnail button
}

TEST_F(TaskbarTest, CallsFollowThePlaybackOnlyOnChange) {
    OnTaskbarButtonCreated(Window);
    const TaskbarStatus& status = CurrentTaskbarStatus();
    std::printf("taskbar: %s, buttons 0x%08lX\n", status.Connected ? "connected" : "not offered",
                static_cast<unsigned long>(status.ButtonsResult));
    if (!status.Connected) {
        // No taskbar: updates stay silent.
        const unsigned calls = status.StateCalls;
        gCurrentStream = 1;
        UpdateTaskbar();
        EXPECT_EQ(status.StateCalls, calls);
        return;
    }
    const TaskbarStatus created = status;  // no track yet: no progress
    gCurrentStream = 1;  // the taskbar only asks whether there is a stream
    gIsPlaying = 1;
    gTrackLengthSeconds = 3600;
    gPositionSeconds = 1800;
    UpdateTaskbar();
    EXPECT_EQ(status.StateCalls, created.StateCalls + 1);
    EXPECT_EQ(status.ValueCalls, created.ValueCalls + 1);
    EXPECT_EQ(status.ButtonUpdates, created.ButtonUpdates + 1);  // pause sign
    // Play-bar ticks inside the same thousandth change nothing.
    for (double seconds : {1800.5, 1801.0, 1803.5}) {
        gPositionSeconds = seconds;
        UpdateTaskbar();
    }
    EXPECT_EQ(status.ValueCalls, created.ValueCalls + 1);
    gPositionSeconds = 1804;
    UpdateTaskbar();
    EXPECT_EQ(status.ValueCalls, created.ValueCalls + 2);
    EXPECT_EQ(status.StateCalls, created.StateCalls + 1);
    gIsPlaying = 0;
    UpdateTaskbar();
    EXPECT_EQ(status.StateCalls, created.StateCalls + 2);
    EXPECT_EQ(status.ButtonUpdates, created.ButtonUpdates + 2);  // play sign
    EXPECT_EQ(status.FailedCalls, created.FailedCalls);
}

}  // namespace
