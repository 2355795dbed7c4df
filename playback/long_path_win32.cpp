#include "playback/long_path_win32.h"

#include <windows.h>

#include <vector>

#include "platform/input_file.h"
#include "platform/text_codec.h"

namespace {

constexpr std::wstring_view ExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view ExtendedUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view UncPrefix = L"\\\\";

}  // namespace

std::wstring WideFilePath(std::string_view path) {
    const std::u16string utf16 = ProgramTextToUtf16(path);
    std::wstring wide(utf16.begin(), utf16.end());
    if (wide.size() < MAX_PATH || wide.starts_with(ExtendedPrefix)) return wide;
    // The prefix turns off normalisation: the path has to be full and use "\".
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) return wide;
    full.resize(written);
    if (full.starts_with(UncPrefix)) return std::wstring(ExtendedUncPrefix) + full.substr(UncPrefix.size());
    return std::wstring(ExtendedPrefix) + full;
}

namespace {

bool FindEntry(std::string_view path, WIN32_FIND_DATAW& found) {
    if (path.empty()) return false;
    const HANDLE search = FindFirstFileW(WideFilePath(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

}  // namespace

bool PathEntryExists(std::string_view path) {
    WIN32_FIND_DATAW found;
    return FindEntry(path, found);
}

bool FileExistsAt(std::string_view path) {
    WIN32_FIND_DATAW found;
    return FindEntry(path, found) && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ReadFileAt(std::string_view path, std::string& bytes, uint64_t maxBytes) {
    bytes.clear();
    const std::wstring wide = WideFilePath(path);
    InputFile file(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()),
                   FileSharing::AllowAll);
    if (!file.IsOpen() || file.Size() > maxBytes) return false;
    bytes.resize(static_cast<size_t>(file.Size()));
    const size_t read = file.ReadAt(0, std::span<uint8_t>(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()));
    bytes.resize(read);
    return read == file.Size();
}
