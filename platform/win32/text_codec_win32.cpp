#include "platform/text_codec.h"

#include <windows.h>

std::u16string DecodeToUtf16(std::string_view bytes, unsigned codePage)
{
    if (codePage == CodePageUtf8)
        return DecodeUtf8(bytes);
    if (bytes.empty() || bytes.size() > INT_MAX)
        return {};
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (units <= 0)
        return {};
    std::u16string text(static_cast<size_t>(units), u'\0');
    const int written = MultiByteToWideChar(codePage, 0, bytes.data(), size,
                                            reinterpret_cast<wchar_t*>(text.data()), units);
    text.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return text;
}

namespace {

// Double-byte code pages hold no character beyond the BMP; Windows would
// give one '?' per surrogate, we give one per character.
std::u16string FoldSupplementaryCharacters(std::u16string_view text)
{
    std::u16string folded;
    folded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
                          text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        folded.push_back(pair ? u'?' : text[i]);
        i += pair ? 1 : 0;
    }
    return folded;
}

}  // namespace

std::string EncodeFromUtf16(std::u16string_view text, unsigned codePage)
{
    if (codePage == CodePageUtf8)
        return EncodeUtf8(text);
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const std::u16string folded = FoldSupplementaryCharacters(text);
    const auto* units = reinterpret_cast<const wchar_t*>(folded.data());
    const int count = static_cast<int>(folded.size());
    const char* fallback = "?";
    const int size = WideCharToMultiByte(codePage, 0, units, count, nullptr, 0, fallback, nullptr);
    if (size <= 0)
        return {};
    std::string bytes(static_cast<size_t>(size), '\0');
    const int written = WideCharToMultiByte(codePage, 0, units, count, bytes.data(), size, fallback, nullptr);
    bytes.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return bytes;
}
