#include "ui/dirty_region.h"

#include <algorithm>
#include <cmath>

namespace {

FloatRect Union(const FloatRect& a, const FloatRect& b) {
    return FloatRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                     std::max(a.Bottom, b.Bottom)};
}

// Overlapping or touching: one pass over the union costs less than two
// passes over the shared strip.
bool Meets(const FloatRect& a, const FloatRect& b) {
    return a.Left <= b.Right && b.Left <= a.Right && a.Top <= b.Bottom && b.Top <= a.Bottom;
}

int Clamp(double v, int high) { return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(high))); }

}  // namespace

bool Intersects(const FloatRect& a, const FloatRect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

void DirtyRegion::Add(const FloatRect& dips) {
    // NaN fails both comparisons and is dropped with the empty areas.
    if (IsWhole || !(dips.Right > dips.Left) || !(dips.Bottom > dips.Top)) return;
    FloatRect merged = dips;
    // A merge can make the box meet rectangles it missed before.
    for (bool grew = true; grew;) {
        grew = false;
        for (auto it = Rects.begin(); it != Rects.end(); ++it) {
            if (Meets(*it, merged)) {
                merged = Union(*it, merged);
                Rects.erase(it);
                grew = true;
                break;
            }
        }
    }
    Rects.push_back(merged);
    if (Rects.size() > MaxRects) {
        FloatRect box = Rects.front();
        for (const FloatRect& r : Rects) box = Union(box, r);
        Rects.assign(1, box);
    }
}

std::vector<PixelRect> DirtyRegion::ToPixels(double scale, int clientWidthPx, int clientHeightPx) const {
    std::vector<PixelRect> pixels;
    if (clientWidthPx <= 0 || clientHeightPx <= 0) return pixels;
    if (IsWhole) {
        pixels.push_back({0, 0, clientWidthPx, clientHeightPx});
        return pixels;
    }
    for (const FloatRect& r : Rects) {
        const PixelRect p{Clamp(std::floor(r.Left * scale) - 1, clientWidthPx),
                          Clamp(std::floor(r.Top * scale) - 1, clientHeightPx),
                          Clamp(std::ceil(r.Right * scale) + 1, clientWidthPx),
                          Clamp(std::ceil(r.Bottom * scale) + 1, clientHeightPx)};
        if (p.Right > p.Left && p.Bottom > p.Top) pixels.push_back(p);
    }
    return pixels;
}

namespace {

// An outline grown by 0.5 with a 1-DIP stroke, antialiased: 2 DIPs cover it.
constexpr float OutlineReach = 2;

FloatRect Span(const FloatRect& a, const FloatRect& b) { return Union(a, b); }

}  // namespace

FloatRect PlayBarArea(const LayoutInputs& layout) {
    const ProgressBarShape hovered = ShapeProgressBar(layout, 0, true);
    const float w = static_cast<float>(layout.ClientWidth);
    const float h = static_cast<float>(layout.ClientHeight);
    const float p = static_cast<float>(layout.ListPanelWidth);
    const float n = static_cast<float>(layout.NavBarWidth);
    // The thumb, centred on the filled part's end, reaches 5.5 past either
    // end of the track; the length text is right-aligned in a box starting
    // at W - 178 - P, the position text left-aligned from N + 64.
    const FloatRect times{std::min(n + 64, w - 178 - p), h - 96, std::max(n + 114, w - 64 - p), h - 64};
    FloatRect bar = Grown(hovered.Track, 6 + OutlineReach);
    return Grown(Span(times, bar), 1);
}

FloatRect SongListArea(const LayoutInputs& layout) {
    const float w = static_cast<float>(layout.ClientWidth);
    const float h = static_cast<float>(layout.ClientHeight);
    const float p = static_cast<float>(layout.ListPanelWidth);
    return FloatRect{w - p, 124, w, h - 8};  // the rows' clip
}

FloatRect VolumePopupArea(const LayoutInputs& layout) {
    LayoutInputs shown = layout;
    shown.VolumePopupOffset = 0;
    LayoutInputs hidden = layout;
    hidden.VolumePopupOffset = 10;
    return Grown(Span(ShapeVolumePopup(shown, 0).Outline, ShapeVolumePopup(hidden, 0).Outline), OutlineReach);
}

FloatRect NavPillArea() { return FloatRect{2, 42, 10, 114}; }

FloatRect LookArea(Region region, const LayoutInputs& layout) {
    if (region == Region::ProgressHover || region == Region::ProgressClick) return PlayBarArea(layout);
    return Grown(DrawnRect(region, layout), OutlineReach);
}
