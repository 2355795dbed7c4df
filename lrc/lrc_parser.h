#pragma once
// LRC lyrics: time tags, lines that share a time joined into one, durations.
// UTF-16 text in, timed lines out; no files and no code pages here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What one lyric file may cost, whatever it claims. A file reaching a cap
// gives what it held up to there.
// The file, read whole: real lyric files are a few KiB.
inline constexpr uint64_t MaxLrcFileBytes = 32ull << 20;
// Lines kept: a song has a few hundred, a long video a few thousand.
inline constexpr size_t MaxLrcLines = 1 << 16;
// UTF-16 units copied into lines (each tag of a line copies its text once).
inline constexpr size_t MaxLrcCopiedUnits = 16 << 20;

struct LrcLine {
    float Time = 0.0f;        // seconds from the start of the track, never negative
    float Duration = -1.0f;   // seconds until the next line's Time; -1 for the last line
    std::u16string Text;      // joined lines are separated by "\r\n"
    int32_t JoinOffset = -1;  // units before the last "\r\n" joined in; -1 when never joined
};

// Every time tag of the text becomes a line; the result ascends by time, lines
// of equal time joined in file order and their durations filled in. Never
// throws: a line that cannot be allocated is left out.
std::vector<LrcLine> ParseLrc(std::u16string_view text) noexcept;

// The pieces ParseLrc is made of; the tests reach them directly.

// Non-empty pieces between "\r\n", "\n" and "\r" separators (ParseLrc walks
// them without collecting them).
std::vector<std::u16string_view> SplitLrcLines(std::u16string_view text);

// A decimal integer as StrToIntExW reads it with default flags: optional
// leading white space and sign, then at least one digit; what follows the
// digits is ignored. Overflow wraps as 32-bit arithmetic does.
std::optional<int32_t> ReadLrcInteger(std::u16string_view text);

// Seconds of a tag's content ("mm:ss.xx", "mm:ss:xx", "mm:ss"); nothing for
// identification tags ([ti:...]), unreadable numbers and negative times.
std::optional<float> ReadLrcTime(std::u16string_view tagContent);
