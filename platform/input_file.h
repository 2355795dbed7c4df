#pragma once
// A file opened for reading: the only place the portable core reaches files.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

enum class FileSharing {
    DenyWriters,  // others may read; nobody may write while it is open (Windows)
    AllowAll,     // others may read, write and delete
};

class InputFile {
public:
    InputFile() = default;
    // path is program text (UTF-8, passed to Windows as UTF-16; the bytes as they are on POSIX).
    explicit InputFile(std::string_view path, FileSharing sharing = FileSharing::DenyWriters);
    explicit InputFile(std::u16string_view path, FileSharing sharing = FileSharing::DenyWriters);
    ~InputFile();
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool IsOpen() const { return Handle != InvalidHandle; }
    uint64_t Size() const { return SizeBytes; }
    // Reads at most out.size() bytes at offset; fewer at the end of the file
    // or on a read error. Never reads past what it returns.
    size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const;

private:
    static constexpr intptr_t InvalidHandle = -1;
    void Close();
    intptr_t Handle = InvalidHandle;  // HANDLE on Windows, descriptor on POSIX
    uint64_t SizeBytes = 0;
};

// True when a directory search for the path finds an entry (file or folder).
bool PathExists(std::string_view path);

// Reads a whole file, refusing files larger than maxBytes; empty on failure.
bool ReadWholeFile(std::string_view path, std::string& bytes, uint64_t maxBytes);
