#pragma once
// Text conversions shared by the readers. Fields hold program text (code
// page 936): UTF-16 and UTF-8 tag text is converted to it, '?' standing for
// what 936 cannot hold.

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
// UTF-8 tag text -> program text (Utf16ToText of Utf8ToUtf16).
std::string Utf8ToText(std::span<const uint8_t> bytes);

// Bytes used as program text unchanged, cut at the first NUL byte.
std::string BytesToText(std::span<const uint8_t> bytes);

// Removes leading and trailing ASCII spaces and full-width spaces (A1 A1).
std::string TrimText(std::string_view text);

// Decimal text of a fraction with up to 13 significant digits, no trailing zeros.
std::string FormatDecimal(double value);

// ASCII upper case; double-byte characters of code page 936 pass whole.
std::string UpperAscii(std::string_view text);
// Case-insensitive ASCII comparison.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
