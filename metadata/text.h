#pragma once
// Text conversions shared by the readers. Fields hold program text (UTF-8):
// UTF-16 and UTF-8 tag text keeps every character; 8-bit text is read in
// code page 936, as Chinese writers store it.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// UTF-16 (little-endian bytes, or units) up to the first zero unit -> program text.
// A trailing odd byte is ignored.
std::string Utf16ToText(std::span<const uint8_t> littleEndianBytes);
std::string Utf16ToText(std::u16string_view units);

// UTF-8 bytes, cut at the first NUL -> UTF-16 units.
std::u16string Utf8ToUtf16(std::span<const uint8_t> bytes);
// UTF-8 tag text, cut at the first NUL -> program text (malformed bytes replaced).
std::string Utf8ToText(std::span<const uint8_t> bytes);

// 8-bit text in code page 936, cut at the first NUL byte -> program text.
std::string BytesToText(std::span<const uint8_t> bytes);

// Removes leading and trailing ASCII spaces and full-width spaces (U+3000).
std::string TrimText(std::string_view text);

// Decimal text of a fraction with up to 13 significant digits, no trailing zeros.
std::string FormatDecimal(double value);

// ASCII upper case; the bytes of other characters are never ASCII and pass unchanged.
std::string UpperAscii(std::string_view text);
// Case-insensitive ASCII comparison.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
