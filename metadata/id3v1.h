#pragma once
// ID3v1 tag in the last 128 bytes of an MP3 file, and the genre table.

#include "platform/input_file.h"

#include <array>
#include <string_view>

inline constexpr int Id3v1TagBytes = 128;
inline constexpr size_t GenreCount = 148;

// Genre names by ID3v1 genre index 0..147.
extern const std::array<std::string_view, GenreCount> GenreNames;

// 128 when the last 128 bytes begin with "TAG", else 0.
int Id3v1TagLength(std::string_view path);
int Id3v1TagLength(const InputFile& file);

struct TrackInfo;
// ReadId3v1Tag over a file the caller opened.
int ReadId3v1Tag(const InputFile& file, TrackInfo& info);
