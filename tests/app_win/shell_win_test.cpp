#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/globals.h"
#include "app/settings.h"
#include "app/window_proc.h"
#include "platform/text_codec.h"
#include "ui/backdrop.h"
#include "ui/display_scale.h"
#include "ui/ui_state.h"

namespace {

std::string ReadKey(const char* key) {
    char buffer[64] = {};
    GetPrivateProfileStringA("Window", key, "missing", buffer, sizeof buffer, gSettingsPath.c_str());
    return buffer;
}

// A hidden top-level window standing in for the main window, with a fresh
// settings file in a folder that does not exist yet.
class ShellWindow : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        Root = std::string(temp) + "tamber-shell-" + std::to_string(GetCurrentProcessId());
        gSettingsPath = Root + "\\Tamber\\Settings\\settings.ini";
        CreateDirectoryA(Root.c_str(), nullptr);  // stands for the local application data folder
        gMainWindow = CreateWindowExA(0, "STATIC", "test", WS_OVERLAPPEDWINDOW, 100, 120, 800, 560, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(gMainWindow, nullptr);
    }
    void TearDown() override {
        DestroyWindow(gMainWindow);
        gMainWindow = nullptr;
        DeleteFileA(gSettingsPath.c_str());
        RemoveDirectoryA((Root + "\\Tamber\\Settings").c_str());
        RemoveDirectoryA((Root + "\\Tamber").c_str());
        RemoveDirectoryA(Root.c_str());
    }
    void Write(const char* key, const char* value) {
        CreateDirectoryA((Root + "\\Tamber").c_str(), nullptr);
        CreateDirectoryA((Root + "\\Tamber\\Settings").c_str(), nullptr);
        WritePrivateProfileStringA("Window", key, value, gSettingsPath.c_str());
    }
    RECT WindowRect() {
        RECT r{};
        GetWindowRect(gMainWindow, &r);
        return r;
    }

    std::string Root;
};

TEST_F(ShellWindow, SavingCreatesTheSettingsFolders) {
    SaveWindowSettings();
    EXPECT_EQ(ReadKey("Width"), "800");
    EXPECT_EQ(ReadKey("Height"), "560");
    EXPECT_EQ(ReadKey("Position"), "0");
    EXPECT_EQ(ReadKey("Left"), "100");
    EXPECT_EQ(ReadKey("Top"), "120");
}

TEST_F(ShellWindow, MinimisedWindowWritesItsRestoredGeometry) {
    ShowWindow(gMainWindow, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(gMainWindow));
    SaveWindowSettings();
    EXPECT_EQ(ReadKey("Width"), "800");
    EXPECT_EQ(ReadKey("Height"), "560");
    EXPECT_EQ(ReadKey("Position"), "0");
    EXPECT_EQ(ReadKey("Left"), "100");
    EXPECT_EQ(ReadKey("Top"), "120");
}

TEST_F(ShellWindow, MinimisedFromMaximisedStaysMaximised) {
    ShowWindow(gMainWindow, SW_SHOWMAXIMIZED);
    ShowWindow(gMainWindow, SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(IsIconic(gMainWindow));
    SaveWindowSettings();
    EXPECT_EQ(ReadKey("Position"), "3");
    EXPECT_NE(ReadKey("Left"), "-32000");
}

TEST_F(ShellWindow, BackdropKindIsWrittenAsTwoOrThree) {
    SaveBackdropSetting(3);
    EXPECT_EQ(ReadKey("Backdrop"), "3");
    EXPECT_EQ(ReadBackdropSetting(), 3);
    Write("Backdrop", "5");
    EXPECT_EQ(ReadBackdropSetting(), 5);
}

// A profile folder such as C:\Users\Jürgen: the settings reach the real
// folder whatever the ANSI code page (CTest runs this under 936 and 1252).
TEST_F(ShellWindow, SettingsPersistUnderANonAsciiProfileFolder) {
    const std::wstring profile = std::wstring(Root.begin(), Root.end()) + L"\\J\u00FCrgen \u00F8 \uD55C";
    ASSERT_TRUE(CreateDirectoryW(profile.c_str(), nullptr)) << GetLastError() << " " << Root;
    const std::u16string profile16(profile.begin(), profile.end());
    gSettingsPath = Utf16ToProgramText(profile16) + "\\Tamber\\Settings\\settings.ini";
    SaveWindowSettings();
    SaveBackdropSetting(3);
    const std::wstring file = profile + L"\\Tamber\\Settings\\settings.ini";
    wchar_t width[16] = {};
    GetPrivateProfileStringW(L"Window", L"Width", L"missing", width, 16, file.c_str());
    EXPECT_STREQ(width, L"800");
    EXPECT_EQ(ReadBackdropSetting(), 3);
    SetWindowPos(gMainWindow, nullptr, 10, 20, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    RestoreWindowSettings();
    EXPECT_EQ(WindowRect().right - WindowRect().left, 800);
    EXPECT_EQ(WindowRect().left, 100);
    DeleteFileW(file.c_str());
    RemoveDirectoryW((profile + L"\\Tamber\\Settings").c_str());
    RemoveDirectoryW((profile + L"\\Tamber").c_str());
    RemoveDirectoryW(profile.c_str());
}

TEST_F(ShellWindow, NoFileGivesDefaultSizeAndBackdropTwo) {
    RestoreWindowSettings();
    const RECT r = WindowRect();
    const double scale = DpiScale();
    EXPECT_EQ(r.right - r.left, static_cast<int>(scale * 772));
    EXPECT_EQ(r.bottom - r.top, static_cast<int>(scale * 500));
    EXPECT_EQ(r.left, 100);  // the default position stays
    EXPECT_EQ(ReadBackdropSetting(), 2);
    EXPECT_FALSE(StartMaximised());
}

TEST_F(ShellWindow, SavedGeometryIsApplied) {
    Write("Width", "700");
    Write("Height", "450");
    Write("Position", "0");
    Write("Left", "30");
    Write("Top", "40");
    RestoreWindowSettings();
    const RECT r = WindowRect();
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.right - r.left, 700);
    EXPECT_EQ(r.bottom - r.top, 450);
}

TEST_F(ShellWindow, PositionOnNoMonitorIsNotApplied) {
    Write("Width", "700");
    Write("Height", "450");
    Write("Position", "0");
    Write("Left", "40000");
    Write("Top", "30000");
    RestoreWindowSettings();
    const RECT r = WindowRect();
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 120);
    EXPECT_EQ(r.right - r.left, 700);
}

// Last of the restore cases: StartMaximised stays set for the run.
TEST_F(ShellWindow, ZClosedMaximisedStartsMaximised) {
    Write("Width", "700");
    Write("Position", "3");
    Write("Left", "40000");
    RestoreWindowSettings();
    EXPECT_TRUE(StartMaximised());
    EXPECT_EQ(WindowRect().left, 100);  // geometry keys unused
}

TEST(Backdrop, OnlyTheBuildsRangeFunctionIsCalled) {
    HWND window = CreateWindowExA(0, "STATIC", "backdrop", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    const struct {
        uint32_t Build;
        bool Applied;
    } cases[] = {{7601, false}, {19045, false}, {21996, false}, {21997, true}, {22000, true}, {22523, true},
                 {22524, true}, {22621, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Build);
        gWindowsBuild = c.Build;
        ApplyBackdrop(2, 0, window);  // a missing function would end the process here
        EXPECT_EQ(gSystemBackdropApplied, c.Applied);
    }
    gWindowsBuild = 0;
    DestroyWindow(window);
}

TEST(Accent, FailedReadGivesBlack) {
    // Wine has no colorization colour; on Windows any value is fine.
    const uint32_t accent = AccentColour();
    EXPECT_EQ(accent & 0xFF000000u, 0u);
}

TEST(Display, DpiPercentIsNeverZero) {
    EXPECT_GT(DpiPercent(), 0);
    gGraphicsReady = 0;
    EXPECT_EQ(DpiScale(), 1.0);
}

TEST(HitTestOnWindowRect, UsesTheCurrentCaptionHeight) {
    const RECT rect{-1000, 50, -1000 + 772, 550};
    gCaptionHeight = 28;
    EXPECT_EQ(HitTest(rect, POINT{-997, 53}), HTTOPLEFT);
    EXPECT_EQ(HitTest(rect, POINT{-992, 70}), HTCAPTION);
    EXPECT_EQ(HitTest(rect, POINT{-600, 50 + 36}), HTCLIENT);
    gCaptionHeight = 42;
    EXPECT_EQ(HitTest(rect, POINT{-600, 50 + 36}), HTCAPTION);
    gCaptionHeight = 0;
}

}  // namespace
