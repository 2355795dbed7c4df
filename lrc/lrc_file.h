#pragma once
// The LRC file beside an audio file: its path, its bytes and their decoding.

#include "lrc/lrc_parser.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How the bytes of a file without a byte-order mark are read; any other
// value than these two means UTF-16 little-endian.
inline constexpr int32_t LrcTextInCodePage = 0;
inline constexpr int32_t LrcTextUtf8 = 1;

// Where the extension of a path starts, as PathFindExtensionW finds it: the
// last "." with no "\" and no space after it; path.size() when there is none.
size_t FindPathExtension(std::u16string_view path);

// The audio file's path with its extension replaced by ".lrc" (added when it has none).
std::u16string LrcPathForAudio(std::u16string_view audioPath);

// Decodes a lyric file: FF FE means UTF-16LE and EF BB BF UTF-8 whatever
// textMode says; otherwise textMode decides (codePage 0 is the system's ANSI
// code page). The text ends at its first NUL. Nothing when a non-empty text
// decodes to nothing (an unknown code page), or when memory runs out.
std::optional<std::u16string> DecodeLrcBytes(std::string_view bytes, unsigned codePage, int32_t textMode) noexcept;

// Reads, decodes and parses a lyric file while others may go on writing or
// deleting it. Nothing when it is missing, empty, larger than
// MaxLrcFileBytes, unreadable or undecodable, or when memory runs out.
std::optional<std::vector<LrcLine>> ReadLrcFile(std::u16string_view lrcPath, unsigned codePage,
                                                int32_t textMode) noexcept;
