#include "app/taskbar.h"

#include <shobjidl.h>

#include <cstdio>
#include <utility>

#include "app/logic/taskbar_rules.h"
#include "graphics/graphics_layer.h"
#include "playback/player_state.h"
#include "ui/home_input_hooks.h"
#include "ui/key_input.h"
#include "ui/startup_trace.h"

namespace {

enum ThumbnailButtonId : UINT { PreviousButtonId = 1, PlayPauseButtonId, NextButtonId };
enum class Glyph { Previous, Play, Pause, Next };

// 上一首, 播放, 暂停, 下一首
constexpr const wchar_t* PreviousTip = L"\u4E0A\u4E00\u9996";
constexpr const wchar_t* PlayTip = L"\u64AD\u653E";
constexpr const wchar_t* PauseTip = L"\u6682\u505C";
constexpr const wchar_t* NextTip = L"\u4E0B\u4E00\u9996";

GraphicsLayer<ITaskbarList3> gTaskbar;
HWND gTaskbarWindow = nullptr;
HICON gGlyphIcons[4] = {};
TaskbarStatus gStatus;
TaskbarView gShown;
bool gShownValid = false;

// Whether a pixel centre (x, y) of a size x size icon lies in the glyph, on
// a 16-unit grid: bars and triangles as the play bar draws them.
bool InGlyph(Glyph glyph, double x, double y) {
    const auto bar = [&](double left, double right) { return x >= left && x < right && y >= 3 && y < 13; };
    // A triangle with its flat side at x = base and its tip at x = tip.
    const auto triangle = [&](double base, double tip) {
        const double along = (x - base) / (tip - base);
        return along >= 0 && along <= 1 && y >= 3 + along * 5 && y <= 13 - along * 5;
    };
    switch (glyph) {
    case Glyph::Previous: return bar(3, 5) || triangle(13, 5);
    case Glyph::Next: return bar(11, 13) || triangle(3, 11);
    case Glyph::Play: return triangle(4, 13);
    case Glyph::Pause: return bar(4, 7) || bar(9, 12);
    }
    return false;
}

// A white glyph on transparency: thumbnail toolbars sit on a dark glass.
HICON MakeGlyphIcon(Glyph glyph) {
    const int size = GetSystemMetrics(SM_CXSMICON) > 0 ? GetSystemMetrics(SM_CXSMICON) : 16;
    const double unit = 16.0 / size;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = size;
    format.bmiHeader.biHeight = -size;  // top-down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);  // the colour bitmap's alpha decides
    HICON icon = nullptr;
    if (colour && bits && mask) {
        auto* pixels = static_cast<DWORD*>(bits);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                pixels[y * size + x] = InGlyph(glyph, (x + 0.5) * unit, (y + 0.5) * unit) ? 0xFFFFFFFF : 0;
            }
        }
        ICONINFO info{TRUE, 0, 0, mask, colour};
        icon = CreateIconIndirect(&info);
    }
    if (colour) DeleteObject(colour);
    if (mask) DeleteObject(mask);
    return icon;
}

HICON GlyphIcon(Glyph glyph) {
    HICON& icon = gGlyphIcons[static_cast<int>(glyph)];
    if (!icon) icon = MakeGlyphIcon(glyph);
    return icon;
}

THUMBBUTTON Button(UINT id, Glyph glyph, const wchar_t* tip) {
    THUMBBUTTON button{};
    button.dwMask = static_cast<THUMBBUTTONMASK>(THB_ICON | THB_TOOLTIP | THB_FLAGS);
    button.iId = id;
    button.hIcon = GlyphIcon(glyph);
    button.dwFlags = THBF_ENABLED;
    lstrcpynW(button.szTip, tip, static_cast<int>(sizeof button.szTip / sizeof button.szTip[0]));
    return button;
}

THUMBBUTTON PlayPauseButton(bool showsPause) {
    return showsPause ? Button(PlayPauseButtonId, Glyph::Pause, PauseTip)
                      : Button(PlayPauseButtonId, Glyph::Play, PlayTip);
}

bool Succeeded(HRESULT hr) {
    if (SUCCEEDED(hr)) return true;
    ++gStatus.FailedCalls;
    return false;
}

void Trace(const char* what, HRESULT hr) {
    char line[96];
    std::snprintf(line, sizeof line, "taskbar %s 0x%08lX", what, static_cast<unsigned long>(hr));
    TraceStartup(line);
}

TBPFLAG ProgressFlag(TaskbarProgressState state) {
    switch (state) {
    case TaskbarProgressState::Normal: return TBPF_NORMAL;
    case TaskbarProgressState::Paused: return TBPF_PAUSED;
    case TaskbarProgressState::None: break;
    }
    return TBPF_NOPROGRESS;
}

const char* StateName(TaskbarProgressState state) {
    switch (state) {
    case TaskbarProgressState::Normal: return "normal";
    case TaskbarProgressState::Paused: return "paused";
    case TaskbarProgressState::None: break;
    }
    return "none";
}

}  // namespace

UINT TaskbarButtonCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarButtonCreated");
    return message;
}

void OnTaskbarButtonCreated(HWND window) {
    gTaskbarWindow = window;
    gShownValid = false;
    gStatus.Connected = false;
    if (!gTaskbar) {
        const HRESULT created = CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_ITaskbarList3, reinterpret_cast<void**>(gTaskbar.Put()));
        if (FAILED(created) || !gTaskbar) {
            gTaskbar.Release();
            Trace("unavailable", created);
            return;
        }
        if (const HRESULT init = gTaskbar->HrInit(); FAILED(init)) {
            gTaskbar.Release();
            Trace("refused", init);
            return;
        }
    }
    gStatus.Connected = true;
    THUMBBUTTON buttons[] = {Button(PreviousButtonId, Glyph::Previous, PreviousTip), PlayPauseButton(gIsPlaying == 1),
                             Button(NextButtonId, Glyph::Next, NextTip)};
    // After an Explorer restart the buttons are new to the new button: adding
    // them again is what the shell expects, and a failure leaves the progress.
    gStatus.ButtonsResult = gTaskbar->ThumbBarAddButtons(window, ARRAYSIZE(buttons), buttons);
    Succeeded(gStatus.ButtonsResult);
    Trace("buttons", gStatus.ButtonsResult);
    UpdateTaskbar();
}

bool HandleThumbnailCommand(WPARAM wParam) {
    if (HIWORD(wParam) != THBN_CLICKED) return false;
    switch (LOWORD(wParam)) {
    case PreviousButtonId: OnMediaAction(MediaAction::Previous); return true;
    case PlayPauseButtonId: OnMediaAction(MediaAction::PlayPause); return true;
    case NextButtonId: OnMediaAction(MediaAction::Next); return true;
    default: return false;
    }
}

void UpdateTaskbar() {
    if (!gTaskbar || !gStatus.Connected || !gTaskbarWindow) return;
    const TaskbarView view =
        ComputeTaskbarView(gCurrentStream != 0, gIsPlaying == 1, gPositionSeconds, gTrackLengthSeconds);
    if (gShownValid && view == gShown) return;
    const bool first = !gShownValid;
    if (first || view.State != gShown.State) {
        ++gStatus.StateCalls;
        const HRESULT hr = gTaskbar->SetProgressState(gTaskbarWindow, ProgressFlag(view.State));
        Succeeded(hr);
        Trace(StateName(view.State), hr);
    }
    // A value also turns an empty bar normal: none stays without one.
    if (view.State != TaskbarProgressState::None && (first || view.Completed != gShown.Completed ||
                                                      view.State != gShown.State)) {
        ++gStatus.ValueCalls;
        Succeeded(gTaskbar->SetProgressValue(gTaskbarWindow, view.Completed, TaskbarProgressTotal));
    }
    if (!first && view.ShowsPause != gShown.ShowsPause) {
        ++gStatus.ButtonUpdates;
        THUMBBUTTON button = PlayPauseButton(view.ShowsPause);
        Succeeded(gTaskbar->ThumbBarUpdateButtons(gTaskbarWindow, 1, &button));
    }
    gShown = view;
    gShownValid = true;
}

void ReleaseTaskbar() {
    gTaskbar.Release();
    gTaskbarWindow = nullptr;
    gShownValid = false;
    gStatus.Connected = false;
    for (HICON& icon : gGlyphIcons) {
        if (icon) DestroyIcon(std::exchange(icon, nullptr));
    }
}

const TaskbarStatus& CurrentTaskbarStatus() { return gStatus; }
