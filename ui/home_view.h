#pragma once
// What the home page's frame draws and what it may skip. Portable: the
// drawing code (now_playing.cpp, song_list_panel.cpp) asks, the tests check
// the borders. Skipping changes no pixel: a skipped line or row lies wholly
// outside its clip.

#include "ui/input_regions.h"

#include <optional>
#include <vector>

// Song-list rows that reach into the list's clip (124 .. H - 8), outlines
// included; First > Last when none does.
struct RowRange {
    int First = 1;
    int Last = 0;
};
RowRange VisibleSongRows(int rowCount, const LayoutInputs& layout);

// A lyric line drawn at y: its two layouts are boxes 100 DIPs high (taller
// when the text is) with the text centred, the second mainHeight below the
// first. False when neither box reaches into clipTop .. clipBottom.
bool LyricLineVisible(double y, double mainHeight, double secondHeight, double clipTop, double clipBottom);

// What a line's two layouts were built from. The text itself is the line's:
// a new track brings new lines without layouts.
struct LyricLayoutKey {
    bool Built = false;  // both layouts exist and are the ones this key describes
    bool Current = false;
    float Width = 0;
};
// Rebuild when a layout is missing, the current-line format or the width changed.
bool LyricLayoutsStale(const LyricLayoutKey& built, bool current, float width);

// Where a lyric line drawn once into a bitmap of its own lands again. The
// text's baselines are snapped to whole pixels (rounded) wherever the line is
// drawn, so a bitmap made with the line's origin at row createdY (pixels,
// fractional) and its top at row createdTop serves a line at row y exactly
// when every baseline (pixels below the origin) moves by the same whole
// number of rows: the bitmap's top row then, else none (draw another one).
std::optional<int> CachedLineTop(const std::vector<double>& baselinesPx, double createdY, int createdTop, double y);
