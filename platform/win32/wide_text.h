#pragma once
// Program text (UTF-8) and the wide strings of the Windows W functions.

#include <string>
#include <string_view>

#include "platform/text_codec.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide strings are UTF-16");

inline std::wstring ProgramTextToWide(std::string_view text) {
    const std::u16string utf16 = ProgramTextToUtf16(text);
    return std::wstring(utf16.begin(), utf16.end());
}

inline std::string WideToProgramText(std::wstring_view text) {
    return Utf16ToProgramText(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}
