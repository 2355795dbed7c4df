#include "platform/input_file.h"
#include "platform/text_codec.h"

#include <windows.h>

#include <string>
#include <utility>

namespace {

HANDLE OpenForReading(const std::u16string& path, FileSharing sharing)
{
    const DWORD share = sharing == FileSharing::AllowAll
                            ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                            : FILE_SHARE_READ;
    return CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ, share, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

}  // namespace

InputFile::InputFile(std::string_view path, FileSharing sharing)
    : InputFile(std::u16string_view(ProgramTextToUtf16(path)), sharing)
{
}

InputFile::InputFile(std::u16string_view path, FileSharing sharing)
{
    if (path.empty())
        return;
    const HANDLE handle = OpenForReading(std::u16string(path), sharing);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size) || size.QuadPart < 0) {
        CloseHandle(handle);
        return;
    }
    Handle = reinterpret_cast<intptr_t>(handle);
    SizeBytes = static_cast<uint64_t>(size.QuadPart);
}

void InputFile::Close()
{
    if (Handle != InvalidHandle)
        CloseHandle(reinterpret_cast<HANDLE>(std::exchange(Handle, InvalidHandle)));
    SizeBytes = 0;
}

size_t InputFile::ReadAt(uint64_t offset, std::span<uint8_t> out) const
{
    if (!IsOpen() || offset >= SizeBytes)
        return 0;
    // Never ask for bytes past the end: a short read would cost a second call.
    if (out.size() > SizeBytes - offset)
        out = out.first(static_cast<size_t>(SizeBytes - offset));
    const auto handle = reinterpret_cast<HANDLE>(Handle);
    size_t done = 0;
    while (done < out.size()) {
        OVERLAPPED at{};
        const uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        const size_t left = out.size() - done;
        const DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
        DWORD read = 0;
        if (!ReadFile(handle, out.data() + done, chunk, &read, &at) || read == 0)
            break;
        done += read;
    }
    return done;
}

bool PathExists(std::string_view path)
{
    if (path.empty())
        return false;
    const std::u16string wide = ProgramTextToUtf16(path);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(reinterpret_cast<const wchar_t*>(wide.c_str()), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}
