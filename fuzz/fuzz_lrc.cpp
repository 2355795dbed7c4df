// Lyric file bytes through decoding and parsing: no crash, leak or hang, and
// the result keeps its promises (ascending times, durations to the next line).

#include "lrc/lrc_file.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses how bytes without a byte-order mark are read.
    constexpr unsigned CodePages[] = {0, 936, 65001, 1252};
    const int32_t textMode = data[0] % 3;
    const unsigned codePage = CodePages[(data[0] / 3) % 4];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::optional<std::u16string> text = DecodeLrcBytes(bytes, codePage, textMode);
    if (!text)
        return 0;
    const std::vector<LrcLine> lines = ParseLrc(*text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const LrcLine& line = lines[i];
        const bool last = i + 1 == lines.size();
        if (!(line.Time >= 0.0f) || (!last && !(lines[i + 1].Time > line.Time)))
            __builtin_trap();
        if (line.Duration != (last ? -1.0f : lines[i + 1].Time - line.Time))
            __builtin_trap();
        if (line.JoinOffset < -1 || (line.JoinOffset >= 0 && static_cast<size_t>(line.JoinOffset) + 2 > line.Text.size()))
            __builtin_trap();
    }
    return 0;
}
