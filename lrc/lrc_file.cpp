#include "lrc/lrc_file.h"

#include "platform/input_file.h"
#include "platform/text_codec.h"

#include <cstdint>
#include <limits>

namespace {

constexpr std::u16string_view LrcExtension = u".lrc";
constexpr std::string_view Utf16LeMark = "\xFF\xFE";
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";

std::u16string CutAtNul(std::u16string text)
{
    const size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos)
        text.resize(nul);
    return text;
}

// A trailing odd byte becomes a unit of its own with a zero high byte.
std::u16string Utf16LeText(std::string_view bytes)
{
    std::u16string text((bytes.size() + 1) / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const auto low = static_cast<uint8_t>(bytes[2 * i]);
        const auto high = 2 * i + 1 < bytes.size() ? static_cast<uint8_t>(bytes[2 * i + 1]) : uint8_t{0};
        text[i] = static_cast<char16_t>(low | high << 8);
    }
    return CutAtNul(std::move(text));
}

// Multibyte text is converted as a NUL-terminated string: it ends at the first NUL byte.
std::optional<std::u16string> MultibyteText(std::string_view bytes, unsigned codePage)
{
    const size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    if (bytes.empty())
        return std::u16string();
    std::u16string text = DecodeToUtf16(bytes, codePage);
    if (text.empty())
        return std::nullopt;
    return CutAtNul(std::move(text));
}

}  // namespace

size_t FindPathExtension(std::u16string_view path)
{
    size_t extension = path.size();
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == u'\\' || path[i] == u' ')
            extension = path.size();
        else if (path[i] == u'.')
            extension = i;
    }
    return extension;
}

std::u16string LrcPathForAudio(std::u16string_view audioPath)
{
    std::u16string path(audioPath.substr(0, FindPathExtension(audioPath)));
    path += LrcExtension;
    return path;
}

namespace {

std::optional<std::u16string> DecodeLrc(std::string_view bytes, unsigned codePage, int32_t textMode)
{
    if (bytes.starts_with(Utf16LeMark)) {
        const std::string_view body = bytes.substr(Utf16LeMark.size());
        return Utf16LeText(body.substr(0, body.size() / 2 * 2));  // whole units only
    }
    if (bytes.starts_with(Utf8Mark))
        return MultibyteText(bytes.substr(Utf8Mark.size()), CodePageUtf8);
    if (textMode == LrcTextInCodePage)
        return MultibyteText(bytes, codePage);
    if (textMode == LrcTextUtf8)
        return MultibyteText(bytes, CodePageUtf8);
    return Utf16LeText(bytes);
}

std::optional<std::vector<LrcLine>> ReadLrc(std::u16string_view lrcPath, unsigned codePage, int32_t textMode)
{
    const InputFile file(lrcPath, FileSharing::AllowAll);
    if (!file.IsOpen() || file.Size() == 0 || file.Size() > MaxLrcFileBytes)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(file.Size()), '\0');
    bytes.resize(file.ReadAt(0, {reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()}));
    if (bytes.empty())
        return std::nullopt;  // shrunk to nothing, or a read error
    const std::optional<std::u16string> text = DecodeLrc(bytes, codePage, textMode);
    if (!text)
        return std::nullopt;
    return ParseLrc(*text);
}

}  // namespace

std::optional<std::u16string> DecodeLrcBytes(std::string_view bytes, unsigned codePage, int32_t textMode) noexcept
{
    try {
        return DecodeLrc(bytes, codePage, textMode);
    } catch (...) {  // a text too large for what memory is left
        return std::nullopt;
    }
}

std::optional<std::vector<LrcLine>> ReadLrcFile(std::u16string_view lrcPath, unsigned codePage,
                                                int32_t textMode) noexcept
{
    try {
        return ReadLrc(lrcPath, codePage, textMode);
    } catch (...) {
        return std::nullopt;
    }
}
