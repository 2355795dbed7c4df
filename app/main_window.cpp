#include "app/main_window.h"

#include <windowsx.h>

#include <cstdio>

#include "app/drop_target.h"
#include "app/event_hooks.h"
#include "app/frame_check.h"
#include "app/globals.h"
#include "app/logic/frame_rules.h"
#include "app/media_keys.h"
#include "app/player_reports.h"
#include "app/settings.h"
#include "app/taskbar.h"
#include "app/window_proc.h"
#include "assets/embedded_images.h"
#include "playback/player_state.h"
#include "playback/song_list.h"
#include "playback/track_control.h"
#include "ui/animation_slots.h"
#include "ui/backdrop.h"
#include "ui/cover_art.h"
#include "ui/easing.h"
#include "ui/frame.h"
#include "ui/pages.h"
#include "ui/startup_trace.h"
#include "ui/text_formats.h"
#include "ui/ui_state.h"

namespace {

constexpr const char* MainWindowClass = "TamberMainWindow";
constexpr UINT_PTR PlayBarTimerId = 1;
constexpr UINT_PTR LyricTimerId = 2;
constexpr int ZoomFrom = 3;
constexpr int ZoomTo = 1;
constexpr int ZoomDurationMs = 300;
constexpr int PanelDurationMs = 150;

bool gActivatedOnce = false;

void SetComponentTimer(UINT_PTR id, int intervalMs) {
    if (!gMainWindow) return;
    if (intervalMs <= 0) {
        KillTimer(gMainWindow, id);
    } else {
        SetTimer(gMainWindow, id, static_cast<UINT>(intervalMs), nullptr);
    }
}

// The window's own procedure: the event wiring. WindowProc sits in front of it
// from creation on and hands it every message after its own work.
LRESULT CALLBACK EventProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleFrameCheckKey(message, wParam)) return 0;
    if (LRESULT result = 0; HandleKeyMessage(message, wParam, lParam, result)) return result;
    if (message == TaskbarButtonCreatedMessage()) {
        OnTaskbarButtonCreated(window);
        return 0;
    }
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !gActivatedOnce) {
            gActivatedOnce = true;
            OnFirstActivated();
        }
        break;
    case WM_SIZE:
        // Minimised, the client area is 0 wide: no size to lay out for.
        if (wParam != SIZE_MINIMIZED) OnResized();
        break;
    case WM_ENDSESSION:
        // Logging off ends the process without WM_CLOSE.
        if (wParam) SaveWindowSettings();
        return 0;
    case WM_COMMAND:
        if (HandleThumbnailCommand(wParam)) return 0;
        break;
    case WM_MOUSELEAVE:
        OnPointerLeft();
        return 0;
    case WM_CLOSE:
        if (OnCanClose()) DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        OnDestroying();
        PostQuitMessage(0);
        return 0;
    case WM_TIMER:
    case ScanRowsMessage:
    case DroppedFilesMessage:
        if (HandleComponentMessage(message, wParam)) return 0;
        break;
    case WM_LBUTTONDOWN:
        OnLeftButtonDown();
        return 0;
    case WM_LBUTTONUP:
        OnLeftButtonUp();
        return 0;
    case WM_LBUTTONDBLCLK:
        OnDoubleClick();
        return 0;
    case WM_MOUSEWHEEL:
        OnWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the frame covers every pixel; erasing would flicker
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND CreateMainWindow(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = EventProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(1));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.lpszClassName = MainWindowClass;
    if (!RegisterClassExA(&windowClass)) return nullptr;

    HWND window = CreateWindowExA(0, MainWindowClass, MainWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!window) return nullptr;
    gMainWindow = window;
    OnMainWindowCreated();
    ShowWindow(window, StartMaximised() ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    UpdateWindow(window);
    return window;
}

bool HandleComponentMessage(UINT message, WPARAM wParam) {
    if (message == ScanRowsMessage) {
        OnScanRowsPosted();
        return true;
    }
    if (message == DroppedFilesMessage) {
        TakeDroppedFiles();
        return true;
    }
    if (message != WM_TIMER) return false;
    if (wParam == PlayBarTimerId) {
        OnPlayBarTick();
        return true;
    }
    if (wParam == LyricTimerId) {
        OnLyricTick();
        return true;
    }
    return false;
}

void SetPlayBarInterval(int intervalMs) {
    SetComponentTimer(PlayBarTimerId, intervalMs);
}

void SetLyricInterval(int intervalMs) {
    SetComponentTimer(LyricTimerId, intervalMs);
}

void OnMainWindowCreated() {
    CreateTextFormats();
    gPreviousWindowProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(gMainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
    gWindowReady = 0;
    // The frame changed with the new procedure: have the system ask for the
    // client area again, so the caption goes before the window is shown.
    SetWindowPos(gMainWindow, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    BuildSettingsPath();
    gSaveBackdropChoice = &SaveBackdropSetting;
    InstallPlayerReports(gMainWindow);
    if (gAudioEngine.Init()) gAudioEngine.LoadPlugins();
    RestoreWindowSettings();
    gVolume = 50;
    gListPanelWidth = 250.0;
    gNavBarWidth = 48;
    RegisterFileDropTarget(gMainWindow);
    RegisterMediaHotKeys(gMainWindow);
    const auto cover = DefaultCoverPng();
    gCoverBytes.assign(cover.begin(), cover.end());
    gBackdrop = ReadBackdropSetting();
    ApplyBackdrop(gBackdrop, 0, gMainWindow);
    gCurrentPage = HomePage;
    gSettingsSection = 1;
    char milestone[96];
    std::snprintf(milestone, sizeof milestone, "window created, backdrop %d, build %u", gBackdrop,
                  static_cast<unsigned>(gWindowsBuild));
    TraceStartup(milestone);
}

void OnFirstActivated() {
    SetWindowPos(gMainWindow, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    AnimationSlot(SlotDrawingZoom).Start(ZoomFrom, ZoomTo, EasingExpoOut, [](double value) {
        gDrawingZoom = value;
        gWindowReady = 1;
        RequestRepaint();
    }, [] { TraceStartup("opening animation done"); }, std::nullopt, ZoomDurationMs);
}

void OnResized() {
    // Creation sizes the window before WindowProc tracks the client size;
    // a client width of 0 there would start a needless panel animation.
    if (!gPreviousWindowProc) return;
    KeepListScrollInBounds();
    // Shrinking, or a restore from maximised, may leave the panel's width as
    // it is: the old frame would stay, cut off.
    RequestRepaint();
    const int target = ListPanelTarget(gClientWidth);
    const int current = static_cast<int>(gListPanelWidth);
    if (target == current) return;
    AnimationSlot(SlotListPanel).Start(current, target, EasingExpoOut, [](double value) {
        gListPanelWidth = value;
        RequestRepaint();
    }, {}, std::nullopt, PanelDurationMs);
}

bool OnCanClose() {
    SaveWindowSettings();
    return true;
}

void OnDestroying() {
    RevokeFileDropTarget(gMainWindow);
    UnregisterMediaHotKeys(gMainWindow);
    ReleaseTaskbar();
    StopFolderScans();
    ReleaseCurrentTrack();
    SetWindowLongPtrA(gMainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gPreviousWindowProc));
}
