#pragma once
// LRC lyrics: time tags, lines that share a time joined into one, durations.
// UTF-16 text in, timed lines out; no files and no code pages here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct LrcLine {
    float Time = 0.0f;        // seconds from the start of the track, never negative
    float Duration = -1.0f;   // seconds until the next line's Time; -1 for the last line
    std::u16string Text;      // joined lines are separated by "\r\n"
    int32_t JoinOffset = -1;  // units before the last "\r\n" joined in; -1 when never joined
};

// Every time tag of the text becomes a line; the result ascends by time, lines
// of equal time joined in file order and their durations filled in.
std::vector<LrcLine> ParseLrc(std::u16string_view text);

// The pieces ParseLrc is made of; the tests reach them directly.

// Non-empty pieces between "\r\n", "\n" and "\r" separators.
std::vector<std::u16string_view> SplitLrcLines(std::u16string_view text);

// A decimal integer as StrToIntExW reads it with default flags: optional
// leading white space and sign, then at least one digit; what follows the
// digits is ignored. Overflow wraps as 32-bit arithmetic does.
std::optional<int32_t> ReadLrcInteger(std::u16string_view text);

// Seconds of a tag's content ("mm:ss.xx", "mm:ss:xx", "mm:ss"); nothing for
// identification tags ([ti:...]), unreadable numbers and negative times.
std::optional<float> ReadLrcTime(std::u16string_view tagContent);
