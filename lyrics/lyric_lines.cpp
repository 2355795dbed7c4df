#include "lyrics/lyric_lines.h"

LyricLineList gLyricLines;
int gCurrentLyricIndex = 0;
double gLyricScrollOffset = 0.0;

namespace {

constexpr std::u16string_view LineBreak = u"\r\n";

}  // namespace

LyricLine MakeLyricLine(float time, float duration, std::u16string_view text, bool isLastLine) {
    LyricLine line;
    line.Time = time;
    line.Duration = duration;
    const size_t split = text.find(LineBreak);
    if (split != std::u16string_view::npos) {
        line.FirstText = text.substr(0, split);
        line.SecondText = text.substr(split + LineBreak.size());
    } else if (isLastLine) {
        line.SecondText = text;
    } else {
        line.FirstText = text;
    }
    return line;
}

void ResetLyricState() {
    gLyricLines.clear();
    gCurrentLyricIndex = 1;
    gLyricScrollOffset = 0.0;
}
