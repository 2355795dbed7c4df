#include "lyrisk/long_path.h"

#include <windows.h>

#include <string_view>

namespace {

constexpr std::u16string_view ExtendedPathPrefix = u"\\\\?\\";
constexpr std::u16string_view ExtendedUncPrefix = u"\\\\?\\UNC\\";
constexpr std::u16string_view UncPrefix = u"\\\\";
constexpr std::u16string_view DevicePrefix = u"\\\\.\\";

}  // namespace

std::u16string ExtendedLengthPath(const std::u16string& path)
{
    if (path.size() < MAX_PATH || path.starts_with(ExtendedPathPrefix) || path.starts_with(DevicePrefix))
        return path;
    const auto* wide = reinterpret_cast<const wchar_t*>(path.c_str());
    const DWORD needed = GetFullPathNameW(wide, 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::u16string full(needed, u'\0');
    const DWORD written = GetFullPathNameW(wide, needed, reinterpret_cast<wchar_t*>(full.data()), nullptr);
    if (written == 0 || written >= needed)
        return path;
    full.resize(written);
    if (full.starts_with(UncPrefix))
        return std::u16string(ExtendedUncPrefix) + full.substr(UncPrefix.size());
    const bool drive = full.size() >= 3 && full[1] == u':' && full[2] == u'\\';
    return drive ? std::u16string(ExtendedPathPrefix) + full : path;
}
