#include "ui/frame.h"

#include "graphics/graphics_device.h"
#include "playback/player_state.h"
#include "ui/colour.h"
#include "ui/cover_art.h"
#include "ui/display_scale.h"
#include "ui/pages.h"
#include "ui/report_error.h"
#include "ui/startup_trace.h"
#include "ui/text_formats.h"
#include "ui/ui_state.h"

#include <cstdio>
#include <string>

namespace {

constexpr float BaseDpi = 96.0f;

// Frames presented so far. Each change of gIsPlaying that a frame shows is
// traced with the count, so that a benchmark can count the frames of a
// playing or paused stretch between two clicks on the play button.
unsigned long gFramesPresented = 0;
int gTracedPlaying = 0;
// The client size of the latest frame traced: a test of resizing reads that
// the program itself drew the new size (the system may redraw on its own).
int gTracedWidth = 0;
int gTracedHeight = 0;

void CreateSharedBrush() {
    if (!gDeviceContext.CreateSolidColorBrush(MakeD2DColour(0), gSharedBrush)) {
        ReportError(ReportLevelError, "BrushCreateFailed", std::to_string(gDeviceContext.LastResult()).c_str(),
                    "Frame");
    }
}

}  // namespace

D2D1_COLOR_F MakeD2DColour(uint32_t rgb, float alpha, bool alphaGiven) {
    const ColourF c = MakeColour(rgb, alpha, alphaGiven);
    return D2D1_COLOR_F{c.R, c.G, c.B, c.A};
}

LayoutInputs CurrentLayout() {
    LayoutInputs layout;
    layout.ClientWidth = gClientWidth;
    layout.ClientHeight = gClientHeight;
    layout.ListPanelWidth = gListPanelWidth;
    layout.NavBarWidth = gNavBarWidth;
    layout.ListScroll = gListScroll;
    layout.VolumePopupOffset = gVolumePopupOffset;
    RECT outer{};
    if (gMainWindow && GetWindowRect(gMainWindow, &outer)) {
        layout.OuterWidthPx = outer.right - outer.left;
        layout.OuterHeightPx = outer.bottom - outer.top;
    }
    layout.DpiScale = DpiScale();
    layout.AppearanceItem = ToFloatRect(gAppearanceItemRect);
    layout.AboutItem = ToFloatRect(gAboutItemRect);
    layout.ThemeEntry = ToFloatRect(gThemeEntryRect);
    layout.BackgroundEntry = ToFloatRect(gBackgroundEntryRect);
    layout.PanelToggle = ToFloatRect(gPanelToggleRect);
    return layout;
}

void RequestRepaint() {
    if (gMainWindow) InvalidateRect(gMainWindow, nullptr, FALSE);
}

void EnsureDeviceResources() {
    if (gDeviceContext) {
        // A failed EndDraw released the brush and the cover objects while the
        // context stayed: make them again rather than draw without them.
        if (!gSharedBrush) {
            CreateSharedBrush();
            CreateCoverObjects();
        }
        return;
    }
    if (EnsureWindowTarget(gMainWindow) != S_OK) return;  // blank window; the next paint retries
    TraceStartup("window target ready");
    CreateSharedBrush();
    DecodeIcons();
    CreateCoverObjects();
    TraceStartup("device resources ready");
}

void DrawFrame() {
    if (!gDeviceContext) return;
    gDeviceContext.BeginDraw();
    // Without a system backdrop a transparent clear shows whatever lies
    // behind the swap chain (black, or the title-bar colour): clear with the
    // light window colour instead so that the black texts stay readable.
    gDeviceContext.Clear(gSystemBackdropApplied ? D2D1_COLOR_F{0, 0, 0, 0} : MakeD2DColour(OpaqueWindowColour));
    const float dpi = static_cast<float>(BaseDpi * DpiScale() * gDrawingZoom);
    gDeviceContext.SetDpi(dpi, dpi);
    gDeviceContext.GetSize();
    if (gWindowReady == 1) {
        if (gCurrentPage == HomePage) {
            DrawNowPlaying();
            DrawSongListPanel();
            DrawVolumePopup();
        }
        if (gCurrentPage == SettingsPage) DrawSettingsPage();
        DrawNavigationBar();
    }
    gDeviceContext.EndDraw();
    const HRESULT endDrawResult = gDeviceContext.LastResult();
    if (endDrawResult != S_OK) {
        gSharedBrush.Release();
        ReleaseCoverBrushAndEffects();
    }
    gSwapChain.Present(0, 0);
    ++gFramesPresented;
    if (gIsPlaying != gTracedPlaying) {
        gTracedPlaying = gIsPlaying;
        char change[64];
        std::snprintf(change, sizeof change, "%lu frames, %s", gFramesPresented,
                      gIsPlaying == 1 ? "playing" : "not playing");
        TraceStartup(change);
    }
    if (gWindowReady == 1 && (gClientWidth != gTracedWidth || gClientHeight != gTracedHeight)) {
        gTracedWidth = gClientWidth;
        gTracedHeight = gClientHeight;
        char size[64];
        std::snprintf(size, sizeof size, "frame %lu at %dx%d", gFramesPresented, gClientWidth, gClientHeight);
        TraceStartup(size);
    }
    static bool firstFrameTraced = false;
    if (gWindowReady == 1 && !firstFrameTraced) {
        firstFrameTraced = true;
        POINT origin{0, 0};
        ClientToScreen(gMainWindow, &origin);
        RECT client{};
        GetClientRect(gMainWindow, &client);
        char milestone[96];
        std::snprintf(milestone, sizeof milestone, "first frame, client %ld,%ld %ldx%ld", origin.x, origin.y,
                      client.right, client.bottom);
        TraceStartup(milestone);
    }
    if (RecoverFromFrameResult(endDrawResult, gSwapChain.LastResult())) {
        // The device is gone: everything made on it is rebuilt at the next paint.
        gSharedBrush.Release();
        ReleaseDeviceImages();
        RequestRepaint();
    }
}
