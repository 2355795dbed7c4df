#pragma once
// Buffered sequential reading over an InputFile: byte-by-byte scans cost a
// memory access, not a system call.

#include "platform/input_file.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

class FileReader {
public:
    explicit FileReader(const InputFile& file) : File(file) {}

    uint64_t Size() const { return File.Size(); }
    uint64_t Position() const { return Pos; }
    uint64_t Remaining() const { return Pos < Size() ? Size() - Pos : 0; }
    bool AtEnd() const { return Pos >= Size(); }

    // Moves anywhere in [0, Size()]; a position past the end is clamped.
    void Seek(uint64_t position) { Pos = position < Size() ? position : Size(); }
    void Skip(uint64_t count) { Seek(count < Remaining() ? Pos + count : Size()); }

    // Reads up to out.size() bytes; returns how many were read.
    size_t Read(std::span<uint8_t> out);
    // All of out or nothing: false (position unchanged) when fewer remain.
    bool ReadExact(std::span<uint8_t> out);
    // Up to count bytes, never more than what remains of the file.
    std::vector<uint8_t> ReadBytes(uint64_t count);

private:
    static constexpr size_t BufferBytes = 64 * 1024;
    // Fills start small and double: most readers look at a few hundred bytes
    // of a header, long scans soon read whole buffers.
    static constexpr size_t FirstFillBytes = 4 * 1024;
    const InputFile& File;
    uint64_t Pos = 0;
    uint64_t BufferStart = 0;
    size_t BufferFill = 0;
    size_t NextFillBytes = FirstFillBytes;
    std::array<uint8_t, BufferBytes> Buffer;  // only [0, BufferFill) is ever read
};
