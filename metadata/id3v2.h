#pragma once
// ID3v2 tag at the start of an MP3 file: where the audio starts and how
// text frames decode.

#include "platform/input_file.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

inline constexpr size_t Id3v2HeaderBytes = 10;

// Syncsafe tag size + 10 when the file starts with "ID3" (a v2.4 footer is not
// counted), else 0.
int Id3v2TagLength(std::string_view path);
int Id3v2TagLength(const InputFile& file);
// The same from the file's first bytes (at least 10 for a tag to count).
int Id3v2TagLength(std::span<const uint8_t> firstBytes);

struct TrackInfo;
// ReadId3v2Tag over a file the caller opened (the MP3 chain opens it once).
int ReadId3v2Tag(const InputFile& file, TrackInfo& info);

// Which layout a frame body has.
enum class Id3Body {
    Text,          // encoding byte + text (text, URL and genre frames)
    LanguageText,  // encoding + 3-byte language + description + text (COMM, USLT)
    UrlWithDescription,  // encoding + description + Latin-1 URL (WXXX)
};

// Decodes the body of a text, comment, lyrics or URL frame to program text.
std::string Id3TextToText(std::span<const uint8_t> body, Id3Body layout = Id3Body::Text);

// The encoded picture inside an APIC body (v2.2 PIC: pic22 = true); empty when
// the MIME type or description has no terminator inside the frame.
std::span<const uint8_t> Id3PictureBytes(std::span<const uint8_t> body, bool pic22);
