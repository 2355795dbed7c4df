#include "app/logic/frame_rules.h"

namespace {

constexpr int MinimumWidthDips = 626;
constexpr int MinimumHeightDips = 367;
constexpr int DefaultWidthDips = 772;
constexpr int DefaultHeightDips = 500;
constexpr int CaptionDips = 28;
constexpr int MaximisedCaptionDips = 22;
constexpr int MaximisedCaptionExtraPixels = 2;
constexpr int NarrowWindowDips = 664;
constexpr int NarrowPanelDips = 150;
constexpr int WidePanelDips = 250;

struct Region {
    int X, Y, Width, Height, Code;
};

// Strict: a point on the border is outside.
bool StrictlyInside(const Region& r, int x, int y) {
    // 64-bit sums: a huge window rectangle must not wrap.
    return x > r.X && int64_t{x} < int64_t{r.X} + r.Width && y > r.Y && int64_t{y} < int64_t{r.Y} + r.Height;
}

}  // namespace

int HitTest(const ScreenRect& window, int x, int y, int captionHeight) {
    const int w = window.Width;
    const int h = window.Height;
    const int e = ResizeEdgePixels;
    const int px = static_cast<int>(int64_t{x} - window.Left);
    const int py = static_cast<int>(int64_t{y} - window.Top);
    const Region regions[] = {
        {0, 0, e, e, HitTopLeft},
        {w - e, 0, e, e, HitTopRight},
        {0, h - e, e, e, HitBottomLeft},
        {w - e, h - e, e, e, HitBottomRight},
        {0, 0, w, e, HitTop},
        {0, 0, e, h, HitLeft},
        {w - e, 0, e, h, HitRight},
        {0, h - e, w, e, HitBottom},
        {0, e, w, captionHeight, HitCaption},
    };
    for (const Region& r : regions) {
        if (StrictlyInside(r, px, py)) return r.Code;
    }
    return HitClient;
}

int CaptionHeightFor(double scale, bool maximised, int sizeFramePixels) {
    if (maximised) return static_cast<int>(scale * MaximisedCaptionDips + sizeFramePixels + MaximisedCaptionExtraPixels);
    return static_cast<int>(scale * CaptionDips);
}

MinimumSize MinimumTrackSize(double scale) {
    return {static_cast<int>(scale * MinimumWidthDips), static_cast<int>(scale * MinimumHeightDips)};
}

MinimumSize DefaultWindowSize(double scale) {
    return {static_cast<int>(scale * DefaultWidthDips), static_cast<int>(scale * DefaultHeightDips)};
}

int ToDips(int pixels, double scale) {
    if (!(scale > 0)) return 0;
    return static_cast<int>(pixels / scale);
}

int ListPanelTarget(int clientWidthDips) {
    return clientWidthDips < NarrowWindowDips ? NarrowPanelDips : WidePanelDips;
}
