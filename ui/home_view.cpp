#include "ui/home_view.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Tolerance = 1e-7;
constexpr double ListClipTop = 124;
constexpr double ListClipBottomMargin = 8;
constexpr double OutlineReach = 1;  // an outline grown by 0.5 with a 1-DIP stroke
constexpr double LyricBoxHeight = 100;

}  // namespace

RowRange VisibleSongRows(int rowCount, const LayoutInputs& layout) {
    RowRange range;
    const double clipBottom = layout.ClientHeight - ListClipBottomMargin;
    for (int row = 1; row <= rowCount; ++row) {
        const FloatRect r = SongRowRect(row, layout);
        if (r.Bottom + OutlineReach <= ListClipTop) continue;
        if (r.Top - OutlineReach >= clipBottom) break;  // rows only go down from here
        if (range.First > range.Last) range.First = row;
        range.Last = row;
    }
    return range;
}

bool LyricLineVisible(double y, double mainHeight, double secondHeight, double clipTop, double clipBottom) {
    // Centred text taller than its box reaches out of it by half the excess.
    auto reachesIn = [&](double top, double textHeight) {
        const double over = std::max(0.0, (textHeight - LyricBoxHeight) / 2);
        return top + LyricBoxHeight + over > clipTop && top - over < clipBottom;
    };
    return reachesIn(y, mainHeight) || reachesIn(y + mainHeight, secondHeight);
}

bool LyricLayoutsStale(const LyricLayoutKey& built, bool current, float width) {
    return !built.Built || built.Current != current || std::fabs(built.Width - width) > Tolerance;
}

std::optional<int> CachedLineTop(const std::vector<double>& baselinesPx, double createdY, int createdTop, double y) {
    std::optional<int> shift;
    for (const double b : baselinesPx) {
        const int moved = static_cast<int>(std::floor(y + b + 0.5) - std::floor(createdY + b + 0.5));
        if (shift && *shift != moved) return std::nullopt;
        shift = moved;
    }
    if (!shift) return createdTop + static_cast<int>(std::floor(y) - std::floor(createdY));
    return createdTop + *shift;
}
