#pragma once
// The now-playing view of the home page and what the lyric timing reads back
// from its latest frame.

#include "lyrics/lyric_timing.h"

#include <vector>

// The heights of every lyric line's two layouts as the latest frame built
// them; a missing layout counts 0.
std::vector<LyricLineMeasure> MeasureLyricLayouts();
