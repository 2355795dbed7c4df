#include "metadata/text.h"

#include "platform/text_codec.h"

#include <cstdio>

std::string Utf16ToText(std::span<const uint8_t> littleEndianBytes)
{
    std::u16string units;
    units.reserve(littleEndianBytes.size() / 2);
    for (size_t i = 0; i + 1 < littleEndianBytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(littleEndianBytes[i] | littleEndianBytes[i + 1] << 8);
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    return Utf16ToProgramText(units);
}

std::string Utf16ToText(std::u16string_view units)
{
    const size_t end = units.find(u'\0');
    return Utf16ToProgramText(units.substr(0, end));
}

std::u16string Utf8ToUtf16(std::span<const uint8_t> bytes)
{
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    text = text.substr(0, text.find('\0'));
    return DecodeToUtf16(text, CodePageUtf8);
}

std::string Utf8ToText(std::span<const uint8_t> bytes)
{
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return Utf8ToProgramText(text.substr(0, text.find('\0')));
}

std::string BytesToText(std::span<const uint8_t> bytes)
{
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    text = text.substr(0, text.find('\0'));
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return GbkToProgramText(text);
    return std::string(text);
}

std::string TrimText(std::string_view text)
{
    constexpr std::string_view FullWidthSpace = "\xE3\x80\x80";  // U+3000
    for (;;) {
        if (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        else if (text.starts_with(FullWidthSpace))
            text.remove_prefix(FullWidthSpace.size());
        else
            break;
    }
    for (;;) {
        if (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
        else if (text.ends_with(FullWidthSpace))
            text.remove_suffix(FullWidthSpace.size());
        else
            break;
    }
    return std::string(text);
}

std::string FormatDecimal(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", value);
    return buffer;
}

std::string UpperAscii(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z')
            x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<unsigned char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}
