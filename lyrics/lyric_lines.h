#pragma once
// The player's lyric lines for the current track, copied from what lyrisk.dll
// hands back, and the lyric state the timing and the lyrics area share. UI
// thread only.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct LyricLine {
    float Time = 0.0f;      // start, seconds
    float Duration = 0.0f;  // seconds until the next line; -1 for the last line
    std::u16string FirstText;
    std::u16string SecondText;
    // Text layouts made by the lyrics area (owned through their release
    // function); none until it makes them, released with the line.
    std::shared_ptr<void> MainLayout;
    std::shared_ptr<void> SecondLayout;
};

using LyricLineList = std::vector<LyricLine>;

extern LyricLineList gLyricLines;   // ascending by Time; empty without lyrics
extern int gCurrentLyricIndex;      // 1-based line being sung; 1 after a track load
extern double gLyricScrollOffset;   // pixels; 0 after a track load

// Entry text -> the two texts of a line. A joined text splits at its first
// "\r\n" (the rest keeps any further "\r\n"). An unjoined text is FirstText,
// except on the last line, where it is SecondText: the lyrics area swaps the
// two layouts of the last line, so every unjoined line shows in the main one.
LyricLine MakeLyricLine(float time, float duration, std::u16string_view text, bool isLastLine);

// Empties gLyricLines (with their layouts) and resets the index and scroll,
// as a track load does.
void ResetLyricState();
