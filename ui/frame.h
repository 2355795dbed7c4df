#pragma once
// The frame of the main window: device resources, the frame sequence and the
// navigation bar common to both pages.

#include <d2d1.h>

#include <cstdint>

#include "ui/input_regions.h"

// Creates the window target, the shared brush, the icons and the cover
// objects when the device context is missing (first paint, lost device).
void EnsureDeviceResources();

// Draws the whole client area and presents it.
void DrawFrame();

// Invalidates the main window so that a paint follows.
void RequestRepaint();

// rgb in 0x00BBGGRR; alpha only when alphaGiven, else opaque.
D2D1_COLOR_F MakeD2DColour(uint32_t rgb, float alpha = 1.0f, bool alphaGiven = false);

// The window colour behind everything when no system backdrop shows through.
inline constexpr uint32_t OpaqueWindowColour = 0xF3F3F3;  // RGB(243, 243, 243)

// Drawn last on both pages.
void DrawNavigationBar();

// The figures of the region table as the window has them now: the drawing
// and the hit tests take their rectangles from the same table.
LayoutInputs CurrentLayout();

inline D2D1_RECT_F ToD2D(const FloatRect& r) { return D2D1_RECT_F{r.Left, r.Top, r.Right, r.Bottom}; }
inline FloatRect ToFloatRect(const D2D1_RECT_F& r) { return FloatRect{r.left, r.top, r.right, r.bottom}; }
