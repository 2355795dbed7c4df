#pragma once
// Code-page conversions of the portable core. Program text is UTF-8; tag and
// lyric text arrives as UTF-8, UTF-16 or a code page.

#include <string>
#include <string_view>

// Windows code page identifiers.
inline constexpr unsigned CodePageAnsi = 0;  // the system's ANSI code page
inline constexpr unsigned CodePageGbk = 936;  // 8-bit tag text of Chinese writers
inline constexpr unsigned CodePageUtf8 = 65001;

// Decodes bytes of a code page to UTF-16. Malformed input never fails the
// call: it decodes as MultiByteToWideChar does without MB_ERR_INVALID_CHARS
// (replacement characters). NUL bytes are decoded like any other character.
std::u16string DecodeToUtf16(std::string_view bytes, unsigned codePage);

// Encodes UTF-16 in a code page; a character the code page cannot hold
// becomes '?'. Unpaired surrogates count as such characters; in UTF-8 they
// become U+FFFD.
std::string EncodeFromUtf16(std::u16string_view text, unsigned codePage);

// UTF-8 both ways, the same on every platform (the system's own converters
// differ on malformed input): each maximal malformed subsequence and each
// unpaired surrogate becomes one U+FFFD.
std::u16string DecodeUtf8(std::string_view bytes);
std::string EncodeUtf8(std::u16string_view text);

// Program text <-> UTF-16.
inline std::u16string ProgramTextToUtf16(std::string_view text) { return DecodeUtf8(text); }
inline std::string Utf16ToProgramText(std::u16string_view text) { return EncodeUtf8(text); }

// UTF-8 from outside (tags, scripts) as program text: valid UTF-8 unchanged,
// malformed bytes replaced.
std::string Utf8ToProgramText(std::string_view bytes);
// 8-bit text of code page 936 as program text; bytes without a mapping
// become replacement characters.
std::string GbkToProgramText(std::string_view bytes);
