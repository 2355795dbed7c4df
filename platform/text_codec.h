#pragma once
// Code-page conversions of the portable core. Program text is code page 936
// (GBK) bytes; tag and lyric text arrives as UTF-8, UTF-16 or a code page.

#include <string>
#include <string_view>

// Windows code page identifiers.
inline constexpr unsigned CodePageAnsi = 0;  // the system's ANSI code page
inline constexpr unsigned CodePageGbk = 936;  // program text
inline constexpr unsigned CodePageUtf8 = 65001;

// Decodes bytes of a code page to UTF-16. Malformed input never fails the
// call: it decodes as MultiByteToWideChar does without MB_ERR_INVALID_CHARS
// (replacement characters). NUL bytes are decoded like any other character.
std::u16string DecodeToUtf16(std::string_view bytes, unsigned codePage);

// Encodes UTF-16 in a code page; a character the code page cannot hold
// becomes '?'. Unpaired surrogates count as such characters.
std::string EncodeFromUtf16(std::u16string_view text, unsigned codePage);

// Program text <-> UTF-16.
inline std::u16string ProgramTextToUtf16(std::string_view text) { return DecodeToUtf16(text, CodePageGbk); }
inline std::string Utf16ToProgramText(std::u16string_view text) { return EncodeFromUtf16(text, CodePageGbk); }
