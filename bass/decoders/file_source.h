#pragma once
// A file as the decoder libraries see it: reads and seeks over ReadAtFn,
// with a position of its own. The libraries' callbacks speak in these terms.

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "bass/riff_parser.h"

class FileSource {
public:
    FileSource(ReadAtFn read, uint64_t bytes) : ReadAt(std::move(read)), Bytes(bytes) {}

    uint64_t Size() const { return Bytes; }
    uint64_t Tell() const { return Pos; }
    bool AtEnd() const { return Pos >= Bytes; }

    size_t Read(void* buffer, size_t bytes) {
        if (Pos >= Bytes) return 0;
        // One call reads at most 1 GiB: ReadAtFn counts in 32 bits.
        uint32_t want = static_cast<uint32_t>(std::min<uint64_t>({bytes, Bytes - Pos, MaxReadBytes}));
        uint32_t got = std::min(ReadAt(Pos, static_cast<uint8_t*>(buffer), want), want);
        Pos += got;
        return got;
    }

    // whence as fseek's; false (and the position kept) for a place outside the file.
    bool Seek(int64_t offset, int whence) {
        int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(Pos) : whence == SEEK_END ? static_cast<int64_t>(Bytes) : 0;
        if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return false;
        if (offset < -base || offset > static_cast<int64_t>(Bytes) - base) return false;
        Pos = static_cast<uint64_t>(base + offset);
        return true;
    }

private:
    static constexpr uint64_t MaxReadBytes = uint64_t{1} << 30;
    ReadAtFn ReadAt;
    uint64_t Bytes;
    uint64_t Pos = 0;
};
