#include "lyrics/lyric_timing.h"

#include <cmath>

namespace {

constexpr double Tolerance = 1e-7;
constexpr double AccLimit = 1e9;  // far past any screen; keeps the truncation defined

int Truncated(double value) {
    if (!(value > -AccLimit)) return static_cast<int>(-AccLimit);
    if (!(value < AccLimit)) return static_cast<int>(AccLimit);
    return static_cast<int>(value);
}

bool IsCurrent(const LyricLineMeasure& line, double position, bool isLast) {
    const double time = line.Time;
    if (position - time > Tolerance && position - (time + static_cast<double>(line.Duration)) < -Tolerance) {
        return true;
    }
    // The last line has no end.
    return isLast && position - time > Tolerance;
}

}  // namespace

bool ScrollLyrics(double fromOffset, double toOffset, double dpiScale, double& lastScrollTarget,
                  LyricScrollStart& start) {
    const double distance = std::fabs(fromOffset - toOffset);
    if (distance <= Tolerance || distance - LyricScrollMinimumDips * dpiScale < -Tolerance) return false;
    const bool repeated = !(std::fabs(toOffset - lastScrollTarget) > Tolerance);
    lastScrollTarget = toOffset;
    if (repeated) return false;
    start.From = Truncated(fromOffset);
    start.To = Truncated(toOffset);
    return true;
}

std::vector<LyricScrollStart> LyricTick(std::span<const LyricLineMeasure> lines, double positionSeconds,
                                        double areaHeight, double dpiScale, LyricTimingState& state) {
    std::vector<LyricScrollStart> scrolls;
    const double half = areaHeight / 2;
    int acc = 0;
    const size_t count = lines.size();
    // Every line is walked, past the current one too: times ascend, so at
    // most one is current, and otherwise each current line scrolls in turn.
    for (size_t i = 0; i < count; ++i) {
        const LyricLineMeasure& line = lines[i];
        acc = Truncated(acc + line.MainHeight + line.SecondHeight + LyricMeasureStep);
        if (!IsCurrent(line, positionSeconds, i + 1 == count)) continue;
        state.CurrentLyricIndex = static_cast<int>(i + 1);
        LyricScrollStart start;
        if (ScrollLyrics(state.LyricScrollOffset, acc - half, dpiScale, state.LastScrollTarget, start)) {
            scrolls.push_back(start);
        }
    }
    return scrolls;
}
