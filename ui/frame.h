#pragma once
// The frame of the main window: device resources, the frame sequence and the
// navigation bar common to both pages.

#include <d2d1.h>

#include <cstdint>

#include "ui/dirty_region.h"
#include "ui/input_regions.h"

// How frames are drawn. TAMBER_FRAME_PATH, read at start, picks one for tests
// and benchmarks: "whole" draws every frame whole as the window first did,
// "copy" keeps a retained frame but copies all of it to a discarded swap
// chain each frame, "direct" is the usual path with every lyric line laid out
// and drawn straight into the frame (no line bitmaps), "check" is the usual
// path plus the debug keys of the sameness tests (app/frame_check.cpp).
enum class FramePath { Partial, Whole, Copy, Direct, Check };
FramePath ActiveFramePath();
// Lyric lines drawn as text each frame rather than from their bitmaps: the
// whole and direct paths, and a direct check frame.
bool DrawsLinesDirectly();

// Creates the window target, the shared brush, the icons and the cover
// objects when the device context is missing (first paint, lost device).
void EnsureDeviceResources();

// Redraws what the repaint requests named since the last frame into the
// retained frame (the whole client area when one of them was whole, or when
// the page, the size, the accent or the cover changed) and presents it.
void DrawFrame();

// Invalidates the main window so that a whole frame follows.
void RequestRepaint();
// Only this area (DIPs) changed: the next frame redraws it and what lies
// under and over it, nothing else.
void RequestRepaintArea(const FloatRect& dips);
// Draws and presents at once what the requests so far asked for, those
// waiting to ride with the next lyric step included.
void PaintPendingNow();
// Asked by the drawing before an element: false when the frame being drawn
// redraws only areas the element's rectangle (DIPs) does not reach.
bool FrameReaches(const FloatRect& dips);
// Before DrawFrame in WM_PAINT: what the system wants shown again beyond the
// requests (an exposure) is copied from the retained frame, not redrawn.
void NoteExposedArea(HWND window);
// With the other device resources (end of the run, a lost device): the next
// frame is whole.
void ReleaseRetainedFrame();
// Check mode: the next frame is drawn whole straight into the back buffer and
// traced as "whole frame N"; with direct, its lyric lines drawn as text
// rather than from their bitmaps, traced as "direct frame N".
void TraceNextWholeFrame(bool direct = false);

// rgb in 0x00BBGGRR; alpha only when alphaGiven, else opaque.
D2D1_COLOR_F MakeD2DColour(uint32_t rgb, float alpha = 1.0f, bool alphaGiven = false);

// The window colour behind everything when no system backdrop shows through.
inline constexpr uint32_t OpaqueWindowColour = 0xF3F3F3;  // RGB(243, 243, 243)

// What a frame clears to before drawing: transparent where a system backdrop
// shows through, else the light window colour (the black texts stay readable
// over whatever lies behind the swap chain).
D2D1_COLOR_F FrameClearColour();

// Drawn last on both pages.
void DrawNavigationBar();

// The figures of the region table as the window has them now: the drawing
// and the hit tests take their rectangles from the same table.
LayoutInputs CurrentLayout();

inline D2D1_RECT_F ToD2D(const FloatRect& r) { return D2D1_RECT_F{r.Left, r.Top, r.Right, r.Bottom}; }
inline FloatRect ToFloatRect(const D2D1_RECT_F& r) { return FloatRect{r.left, r.top, r.right, r.bottom}; }
