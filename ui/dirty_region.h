#pragma once
// What changed since the last frame, so that a frame redraws only that.
// Portable: the window side adds the areas its repaint requests name and the
// frame asks for the pixel rectangles to redraw and present.

#include "ui/input_regions.h"

#include <cstddef>
#include <vector>

// A rectangle of whole client pixels: left, top, right, bottom.
struct PixelRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const PixelRect&) const = default;
};

bool Intersects(const FloatRect& a, const FloatRect& b);

class DirtyRegion {
public:
    // A few separate rectangles at most: beyond that they melt into their
    // bounding box, whose clip costs one pass instead of many.
    static constexpr std::size_t MaxRects = 4;

    // An area in DIPs; empty or inverted areas change nothing.
    void Add(const FloatRect& dips);
    // Everything: a page switch, a resize, a device rebuild, anything unsure.
    void AddWhole() { IsWhole = true; }
    bool Whole() const { return IsWhole; }
    bool Empty() const { return !IsWhole && Rects.empty(); }
    const std::vector<FloatRect>& Areas() const { return Rects; }
    void Clear() {
        IsWhole = false;
        Rects.clear();
    }

    // The areas in client pixels at scale pixels per DIP, grown outward to
    // whole pixels plus one for antialiased edges and cut to the client.
    // The whole client when Whole(); nothing for an empty client.
    std::vector<PixelRect> ToPixels(double scale, int clientWidthPx, int clientHeightPx) const;

private:
    bool IsWhole = false;
    std::vector<FloatRect> Rects;
};

// The areas the repaint requests name, with what reaches past the shapes
// themselves (outlines, the progress thumb, text past its box) included.
// The play bar: the time texts and the progress bar, hovered or not.
FloatRect PlayBarArea(const LayoutInputs& layout);
// The song list's rows, inside the panel's card.
FloatRect SongListArea(const LayoutInputs& layout);
// The volume popup anywhere on its slide.
FloatRect VolumePopupArea(const LayoutInputs& layout);
// The navigation pill anywhere between its two rests.
FloatRect NavPillArea();
// What a change of a region's hover or pressed look repaints.
FloatRect LookArea(Region region, const LayoutInputs& layout);
