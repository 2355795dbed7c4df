#pragma once
// Geometry rules of the frameless main window. Pixels unless a name says DIPs.

#include <cstdint>

// Hit-test codes, the values the window manager expects from WM_NCHITTEST.
inline constexpr int HitClient = 1;
inline constexpr int HitCaption = 2;
inline constexpr int HitLeft = 10;
inline constexpr int HitRight = 11;
inline constexpr int HitTop = 12;
inline constexpr int HitTopLeft = 13;
inline constexpr int HitTopRight = 14;
inline constexpr int HitBottom = 15;
inline constexpr int HitBottomLeft = 16;
inline constexpr int HitBottomRight = 17;

// The resize edges keep this width at every scale and in every window state.
inline constexpr int ResizeEdgePixels = 8;

struct ScreenRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// Which part of the window lies under a screen point. Regions are tested in a
// fixed order and a point on a region's edge is outside it, so the corners
// win over the edges and the edges over the caption band.
int HitTest(const ScreenRect& window, int x, int y, int captionHeight);

// Height of the draggable band below the top edge. A maximised window loses
// its top sizing frame off-screen, hence the larger band.
int CaptionHeightFor(double scale, bool maximised, int sizeFramePixels);

// Smallest outer size the user may drag the window to, in pixels.
struct MinimumSize {
    int Width = 0;
    int Height = 0;
};
MinimumSize MinimumTrackSize(double scale);

// Default window size when no geometry is saved.
MinimumSize DefaultWindowSize(double scale);

// Pixels to DIPs, truncated.
int ToDips(int pixels, double scale);

// Width the song-list panel moves to for a client width in DIPs.
int ListPanelTarget(int clientWidthDips);
