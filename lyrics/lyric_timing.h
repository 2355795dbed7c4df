#pragma once
// Which lyric line is being sung and how far the lyrics area scrolls to keep
// it in the middle. Portable: the timer tick on the window side measures the
// lines' layouts of the latest frame, calls LyricTick and starts the scroll
// animations it returns.

#include <span>
#include <vector>

// One line as the tick sees it: its times and the heights of its two
// layouts as the latest frame built them (0 for a layout that is missing).
struct LyricLineMeasure {
    float Time = 0.0f;      // seconds
    float Duration = 0.0f;  // -1 for the last line
    double MainHeight = 0;
    double SecondHeight = 0;
};

struct LyricTimingState {
    int CurrentLyricIndex = 1;  // 1-based
    double LyricScrollOffset = 0;
    // The target of the latest scroll far enough to count. Never reset, not
    // even by a track load: a first target equal to the previous track's
    // last one starts no animation.
    double LastScrollTarget = 0;
};

// A scroll animation to start, from and to truncated to whole DIPs.
struct LyricScrollStart {
    int From = 0;
    int To = 0;
};

inline constexpr int LyricScrollMs = 150;
// Lines are measured 33 DIPs apart, one more than the lyrics area draws them.
inline constexpr int LyricMeasureStep = 33;
inline constexpr double LyricScrollMinimumDips = 10;  // times the display scale

// Whether a scroll from fromOffset to toOffset starts an animation: not when
// the move is shorter than 10 x dpiScale (then nothing changes at all), nor
// when the target repeats lastScrollTarget. A far enough move always
// becomes the new lastScrollTarget.
bool ScrollLyrics(double fromOffset, double toOffset, double dpiScale, double& lastScrollTarget,
                  LyricScrollStart& start);

// One tick: the current line from positionSeconds, which becomes
// CurrentLyricIndex, and the scrolls bringing it to the middle of an area
// areaHeight high. A position before the first line or exactly on a line's
// start leaves the state as it is.
std::vector<LyricScrollStart> LyricTick(std::span<const LyricLineMeasure> lines, double positionSeconds,
                                        double areaHeight, double dpiScale, LyricTimingState& state);
