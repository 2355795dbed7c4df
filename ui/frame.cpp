#include "ui/frame.h"

#include "graphics/graphics_device.h"
#include "lyrics/lyric_lines.h"
#include "playback/player_state.h"
#include "ui/animation_slots.h"
#include "ui/backdrop.h"
#include "ui/colour.h"
#include "ui/cover_art.h"
#include "ui/display_scale.h"
#include "ui/pages.h"
#include "ui/report_error.h"
#include "ui/startup_trace.h"
#include "ui/text_formats.h"
#include "ui/ui_state.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

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

// The debug switch: read once, before the first frame.
FramePath ReadFramePath() {
    const char* value = std::getenv("TAMBER_FRAME_PATH");
    const std::string text = value ? value : "";
    if (text == "whole") return FramePath::Whole;
    if (text == "copy") return FramePath::Copy;
    if (text == "direct") return FramePath::Direct;
    if (text == "check") return FramePath::Check;
    return FramePath::Partial;
}
const FramePath gFramePath = ReadFramePath();

// The last frame, kept between frames; what changed since is in gDirty.
TargetBitmapLayer gRetainedFrame;
int gRetainedWidth = 0;
int gRetainedHeight = 0;
DirtyRegion gDirty;
// Shown again from the retained frame (a system exposure), not redrawn.
std::vector<PixelRect> gExposed;

// What every element of a frame depends on beyond the areas a repaint names:
// when one of them changed since the retained frame, the whole window is
// redrawn, whatever the requests said.
struct FrameLook {
    int Page = 0;
    int Section = 0;
    int View = 0;
    int Ready = 0;
    int Width = 0;
    int Height = 0;
    double Panel = 0;
    int NavBar = 0;
    double Zoom = 0;
    double Scale = 0;
    uint32_t Accent = 0;
    bool Backdrop = false;
    const void* Cover = nullptr;
    std::string Title, Artist, Album;
    int Playing = 0;
    int PlayingRow = 0;
    size_t Rows = 0;
    size_t LyricLines = 0;
    int Volume = 0;
    int PopupOpen = 0;
    bool operator==(const FrameLook&) const = default;
};
FrameLook gRetainedLook;
bool gRetainedValid = false;

// The pass being drawn: elements outside its clip are skipped.
bool gPassWhole = true;
FloatRect gPassClip;

// The back buffer last copied into: a new one (first frame, resize, new
// swap chain) holds nothing yet and gets the whole retained frame.
const void* gFilledBackBuffer = nullptr;
bool gCopyFails = false;     // this Direct2D cannot copy bitmaps: drawn instead
bool gPresent1Fails = false;  // this swap chain refuses dirty rectangles

// Check mode: the next frame is drawn whole, straight into the back buffer,
// and traced, so that a test can compare it with what the partial frames left.
bool gTraceWholeFrame = false;
bool gTraceDirect = false;
bool gDrawingDirect = false;  // the check frame being drawn draws its lines as text

// Pixels per stretch of the playing state, for the benchmark's figures.
unsigned long long gPixelsChanged = 0;
unsigned long long gPixelsDrawn = 0;
unsigned long long gPixelsCopied = 0;

PixelRect ClientPixels() {
    RECT client{};
    if (gMainWindow) GetClientRect(gMainWindow, &client);
    return PixelRect{0, 0, client.right, client.bottom};
}

// While the lyrics scroll, their next step paints within a tick: an area
// elsewhere (a play-bar tick, a hover) waits for that frame instead of
// presenting one of its own. Should the scroll be stopped before its next
// step, a short timer paints what waited.
constexpr UINT RideTimeoutMs = 40;
UINT_PTR gRideTimer = 0;

void InvalidateWhatWaited() {
    if (gRideTimer) KillTimer(nullptr, gRideTimer);
    gRideTimer = 0;
    if (!gMainWindow || gDirty.Empty()) return;
    const PixelRect client = ClientPixels();
    for (const PixelRect& p : gDirty.ToPixels(DpiScale(), client.Right, client.Bottom)) {
        const RECT r{p.Left, p.Top, p.Right, p.Bottom};
        InvalidateRect(gMainWindow, &r, FALSE);
    }
}

void CALLBACK PaintWhatWaited(HWND, UINT, UINT_PTR, DWORD) { InvalidateWhatWaited(); }

bool RidesWithLyricStep(const FloatRect& dips) {
    // A window that draws nothing (no device yet, or none at all) has no
    // step to ride with.
    if (!gDeviceContext || !IsWindowVisible(gMainWindow)) return false;
    const Animation& scroll = AnimationSlot(SlotLyricScroll);
    if (!scroll.Running() || scroll.TimerId() == 0 || gCurrentPage != HomePage) return false;
    if (Intersects(dips, ToFloatRect(gLyricsArea))) return false;  // the step's own request
    if (gRideTimer == 0) gRideTimer = SetTimer(nullptr, 0, RideTimeoutMs, PaintWhatWaited);
    return gRideTimer != 0;
}

unsigned long long Area(const PixelRect& p) {
    return static_cast<unsigned long long>(p.Right - p.Left) * static_cast<unsigned long long>(p.Bottom - p.Top);
}

unsigned long long Area(const std::vector<PixelRect>& rects) {
    unsigned long long sum = 0;
    for (const PixelRect& p : rects) sum += Area(p);
    return sum;
}

FrameLook CurrentLook() {
    FrameLook look;
    look.Page = gCurrentPage;
    look.Section = gSettingsSection;
    look.View = gAppearanceView;
    look.Ready = gWindowReady;
    look.Width = gClientWidth;
    look.Height = gClientHeight;
    look.Panel = gListPanelWidth;
    look.NavBar = gNavBarWidth;
    look.Zoom = gDrawingZoom;
    look.Scale = DpiScale();
    look.Accent = AccentColour();
    look.Backdrop = gSystemBackdropApplied;
    look.Cover = gCoverBitmap.Get();
    look.Title = gTrackTitle;
    look.Artist = gTrackArtist;
    look.Album = gTrackAlbum;
    look.Playing = gIsPlaying;
    look.PlayingRow = gCurrentIndex;
    look.Rows = gPlaylist.size();
    look.LyricLines = gLyricLines.size();
    look.Volume = gVolume;
    look.PopupOpen = gVolumePopupOpen;
    return look;
}

SwapKind WantedSwapKind() {
    // A system backdrop composes with a discarded chain; without one the
    // chain may keep its pixels and a frame presents only what it redrew.
    const bool partial =
        gFramePath == FramePath::Partial || gFramePath == FramePath::Direct || gFramePath == FramePath::Check;
    return partial && !gSystemBackdropApplied ? SwapKind::KeepContents : SwapKind::Discard;
}

// The page as the Parts draw it, into whatever target is set, under the
// pass's clip when there is one.
void DrawPage() {
    // Without a system backdrop a transparent clear shows whatever lies
    // behind the swap chain (black, or the title-bar colour): clear with the
    // light window colour instead so that the black texts stay readable.
    const FloatRect restored = NowPlayingRestoredArea();
    if (restored.Right > restored.Left) {
        // The background copy replaces every pixel of its area: only the
        // panel strip beside it is cleared.
        gDeviceContext.PushAxisAlignedClip({restored.Right, 0, static_cast<float>(gClientWidth) + 1,
                                            static_cast<float>(gClientHeight) + 1},
                                           D2D1_ANTIALIAS_MODE_ALIASED);
        gDeviceContext.Clear(FrameClearColour());
        gDeviceContext.PopAxisAlignedClip();
    } else {
        gDeviceContext.Clear(FrameClearColour());
    }
    if (gWindowReady != 1) return;
    if (gCurrentPage == HomePage) {
        DrawNowPlaying();
        DrawSongListPanel();
        DrawVolumePopup();
    }
    if (gCurrentPage == SettingsPage) DrawSettingsPage();
    DrawNavigationBar();
}

double DrawingScale() { return DpiScale() * gDrawingZoom; }

void SetDrawingDpi() {
    const float dpi = static_cast<float>(BaseDpi * DrawingScale());
    gDeviceContext.SetDpi(dpi, dpi);
    gDeviceContext.GetSize();
}

bool MakeRetainedFrame(const PixelRect& client) {
    gRetainedFrame.Release();
    gRetainedValid = false;
    gRetainedWidth = client.Right;
    gRetainedHeight = client.Bottom;
    if (client.Right <= 0 || client.Bottom <= 0) return false;
    D2D1_BITMAP_PROPERTIES1 properties{};
    properties.pixelFormat = {TargetFormat, D2D1_ALPHA_MODE_PREMULTIPLIED};
    properties.dpiX = BaseDpi;
    properties.dpiY = BaseDpi;
    properties.bitmapOptions = D2D1_BITMAP_OPTIONS_TARGET;
    const D2D1_SIZE_U size{static_cast<UINT32>(client.Right), static_cast<UINT32>(client.Bottom)};
    if (!gDeviceContext.CreateBitmap(size, properties, gRetainedFrame)) {
        ReportError(ReportLevelError, "BitmapCreateFailed", std::to_string(gDeviceContext.LastResult()).c_str(),
                    "RetainedFrame");
        return false;
    }
    return true;
}

// Redraws the passes into the retained frame; returns EndDraw's result.
HRESULT RedrawRetained(const std::vector<PixelRect>& passes, bool whole) {
    gDeviceContext.SetTarget(gRetainedFrame.Get());
    gDeviceContext.BeginDraw();
    SetDrawingDpi();
    const double scale = DrawingScale();
    for (const PixelRect& p : passes) {
        gPassWhole = whole;
        gPassClip = FloatRect{static_cast<float>(p.Left / scale), static_cast<float>(p.Top / scale),
                              static_cast<float>(p.Right / scale), static_cast<float>(p.Bottom / scale)};
        // Aliased and on whole pixels: inside it every pixel is drawn exactly
        // as a whole frame draws it.
        if (!whole) gDeviceContext.PushAxisAlignedClip(ToD2D(gPassClip), D2D1_ANTIALIAS_MODE_ALIASED);
        DrawPage();
        if (!whole) gDeviceContext.PopAxisAlignedClip();
    }
    gPassWhole = true;
    gDeviceContext.EndDraw();
    gPixelsDrawn += Area(passes);
    return gDeviceContext.LastResult();
}

// The retained pixels of rects onto the back buffer.
void CopyToBackBuffer(ImageLayer& backTarget, const std::vector<PixelRect>& rects) {
    gPixelsCopied += Area(rects);
    TargetBitmapLayer backBuffer;
    if (!gCopyFails && backTarget.QueryInterface(__uuidof(ID2D1Bitmap1), backBuffer)) {
        for (const PixelRect& p : rects) {
            const D2D1_RECT_U source{static_cast<UINT32>(p.Left), static_cast<UINT32>(p.Top),
                                     static_cast<UINT32>(p.Right), static_cast<UINT32>(p.Bottom)};
            if (!backBuffer.CopyFromBitmap({source.left, source.top}, gRetainedFrame.Get(), source)) {
                gCopyFails = true;
                break;
            }
        }
        if (!gCopyFails) return;
    }
    // Where a backdrop shows through, cleared first: drawn over what the
    // buffer held, a transparent area would blend with it.
    gDeviceContext.BeginDraw();
    gDeviceContext.SetDpi(BaseDpi, BaseDpi);
    for (const PixelRect& p : rects) {
        const D2D1_RECT_F r{static_cast<float>(p.Left), static_cast<float>(p.Top), static_cast<float>(p.Right),
                            static_cast<float>(p.Bottom)};
        gDeviceContext.PushAxisAlignedClip(r, D2D1_ANTIALIAS_MODE_ALIASED);
        if (gSystemBackdropApplied) gDeviceContext.Clear(D2D1_COLOR_F{0, 0, 0, 0});
        gDeviceContext.DrawBitmap(gRetainedFrame.Get(), r, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR, &r);
        gDeviceContext.PopAxisAlignedClip();
    }
    gDeviceContext.EndDraw();
}

void Present(const std::vector<PixelRect>& rects, bool whole) {
    if (WantedSwapKind() == SwapKind::KeepContents && !whole && !gPresent1Fails) {
        std::vector<RECT> dirty;
        dirty.reserve(rects.size());
        for (const PixelRect& p : rects) dirty.push_back(RECT{p.Left, p.Top, p.Right, p.Bottom});
        DXGI_PRESENT_PARAMETERS parameters{static_cast<UINT>(dirty.size()), dirty.data(), nullptr, nullptr};
        // An occluded window (minimised, locked) is no refusal of dirty
        // rectangles: partial presents carry on once it shows again.
        const bool presented = gSwapChain.Present1(0, 0, parameters) || gSwapChain.LastResult() == DXGI_STATUS_OCCLUDED;
        if (presented || IsDeviceLost(gSwapChain.LastResult())) return;
        gPresent1Fails = true;
    }
    gSwapChain.Present(0, 0);
}

void TraceFrame() {
    ++gFramesPresented;
    if (gIsPlaying != gTracedPlaying) {
        gTracedPlaying = gIsPlaying;
        char change[160];
        std::snprintf(change, sizeof change, "%lu frames, %s, pixels %llu changed %llu drawn %llu copied",
                      gFramesPresented, gIsPlaying == 1 ? "playing" : "not playing", gPixelsChanged, gPixelsDrawn,
                      gPixelsCopied);
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
}

void AfterEndDraw(HRESULT endDrawResult) {
    if (endDrawResult == S_OK) return;
    gSharedBrush.Release();
    ReleaseCoverBrushAndEffects();
    gRetainedValid = false;
}

void AfterPresent(HRESULT endDrawResult) {
    if (RecoverFromFrameResult(endDrawResult, gSwapChain.LastResult())) {
        // The device is gone: everything made on it is rebuilt at the next paint.
        gSharedBrush.Release();
        ReleaseDeviceImages();
        ReleaseRetainedFrame();
        RequestRepaint();
    }
}

// The frame as it was before frames were retained: everything, straight into
// the back buffer. What the whole-window switch and the check frames draw.
void DrawWholeIntoBackBuffer() {
    gDeviceContext.BeginDraw();
    SetDrawingDpi();
    DrawPage();
    gDeviceContext.EndDraw();
    const HRESULT endDrawResult = gDeviceContext.LastResult();
    AfterEndDraw(endDrawResult);
    gSwapChain.Present(0, 0);
    const PixelRect client = ClientPixels();
    gPixelsDrawn += Area(client);
    TraceFrame();
    AfterPresent(endDrawResult);
}

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

D2D1_COLOR_F FrameClearColour() {
    return gSystemBackdropApplied ? D2D1_COLOR_F{0, 0, 0, 0} : MakeD2DColour(OpaqueWindowColour);
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
    gDirty.AddWhole();
    if (gMainWindow) InvalidateRect(gMainWindow, nullptr, FALSE);
}

void PaintPendingNow() {
    InvalidateWhatWaited();
    if (gMainWindow) UpdateWindow(gMainWindow);
}

void RequestRepaintArea(const FloatRect& dips) {
    if (!gMainWindow) return;
    gDirty.Add(dips);
    if (RidesWithLyricStep(dips)) return;
    DirtyRegion one;
    one.Add(dips);
    for (const PixelRect& p : one.ToPixels(DpiScale(), ClientPixels().Right, ClientPixels().Bottom)) {
        const RECT r{p.Left, p.Top, p.Right, p.Bottom};
        InvalidateRect(gMainWindow, &r, FALSE);
    }
}

bool FrameReaches(const FloatRect& dips) { return gPassWhole || Intersects(dips, gPassClip); }

void NoteExposedArea(HWND window) {
    // What the system asks for beyond the repaint requests: shown again from
    // the retained frame, not redrawn.
    HRGN update = CreateRectRgn(0, 0, 0, 0);
    if (!update) return;
    if (GetUpdateRgn(window, update, FALSE) != NULLREGION && !gDirty.Whole()) {
        const PixelRect client = ClientPixels();
        for (const PixelRect& p : gDirty.ToPixels(DpiScale(), client.Right, client.Bottom)) {
            HRGN drawn = CreateRectRgn(p.Left, p.Top, p.Right, p.Bottom);
            if (drawn) {
                CombineRgn(update, update, drawn, RGN_DIFF);
                DeleteObject(drawn);
            }
        }
        RECT box{};
        if (GetRgnBox(update, &box) != NULLREGION) gExposed.push_back({box.left, box.top, box.right, box.bottom});
    }
    DeleteObject(update);
}

FramePath ActiveFramePath() { return gFramePath; }

void ReleaseRetainedFrame() {
    ReleaseLineBitmaps();
    gRetainedFrame.Release();
    gRetainedValid = false;
    gFilledBackBuffer = nullptr;
}

bool DrawsLinesDirectly() {
    return gFramePath == FramePath::Whole || gFramePath == FramePath::Direct || gDrawingDirect;
}

void TraceNextWholeFrame(bool direct) {
    gTraceWholeFrame = true;
    gTraceDirect = direct;
    RequestRepaint();
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
    if (EnsureWindowTarget(gMainWindow, WantedSwapKind()) != S_OK) return;  // blank window; the next paint retries
    TraceStartup("window target ready");
    CreateSharedBrush();
    DecodeIcons();
    CreateCoverObjects();
    TraceStartup("device resources ready");
}

void DrawFrame() {
    if (!gDeviceContext) return;
    const PixelRect client = ClientPixels();
    const bool checkFrame = std::exchange(gTraceWholeFrame, false);
    gDrawingDirect = checkFrame && std::exchange(gTraceDirect, false);
    // Line bitmaps are drawn before the frame: the frame only places them.
    if (!DrawsLinesDirectly()) PrepareNowPlaying();
    if (gFramePath == FramePath::Whole || checkFrame) {
        gPixelsChanged += Area(gDirty.Whole() ? std::vector<PixelRect>{client}
                                              : gDirty.ToPixels(DrawingScale(), client.Right, client.Bottom));
        gDirty.Clear();
        gExposed.clear();
        DrawWholeIntoBackBuffer();
        // The screen now shows a frame the retained one may differ from.
        gRetainedValid = false;
        gFilledBackBuffer = nullptr;
        if (checkFrame) {
            char line[64];
            std::snprintf(line, sizeof line, "%s frame %lu", gDrawingDirect ? "direct" : "whole", gFramesPresented);
            TraceStartup(line);
        }
        gDrawingDirect = false;
        return;
    }
    if (!gRetainedFrame || gRetainedWidth != client.Right || gRetainedHeight != client.Bottom) {
        if (!MakeRetainedFrame(client)) {
            gDirty.Clear();
            gExposed.clear();
            DrawWholeIntoBackBuffer();
            return;
        }
    }
    const FrameLook look = CurrentLook();
    const bool whole = gDirty.Whole() || !gRetainedValid || !(look == gRetainedLook);
    const std::vector<PixelRect> passes =
        whole ? std::vector<PixelRect>{client} : gDirty.ToPixels(DrawingScale(), client.Right, client.Bottom);
    gPixelsChanged += Area(passes);
    gDirty.Clear();
    std::vector<PixelRect> shown = passes;
    shown.insert(shown.end(), gExposed.begin(), gExposed.end());
    gExposed.clear();
    if (shown.empty()) return;  // a paint that asks for nothing

    ImageLayer backTarget;
    gDeviceContext.GetTarget(backTarget);
    HRESULT endDrawResult = S_OK;
    if (!passes.empty()) {
        endDrawResult = RedrawRetained(passes, whole);
        gDeviceContext.SetTarget(backTarget.Get());
        AfterEndDraw(endDrawResult);
        if (endDrawResult == S_OK) {
            gRetainedLook = look;
            gRetainedValid = true;
        }
    }
    // A discarded chain holds nothing of the last frame; a new buffer neither.
    const bool copyWhole = whole || WantedSwapKind() == SwapKind::Discard || gFilledBackBuffer != backTarget.Get();
    const std::vector<PixelRect> copied = copyWhole ? std::vector<PixelRect>{client} : shown;
    CopyToBackBuffer(backTarget, copied);
    gFilledBackBuffer = backTarget.Get();
    Present(copied, copyWhole);
    TraceFrame();
    AfterPresent(endDrawResult);
}
