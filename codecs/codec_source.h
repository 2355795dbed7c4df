#pragma once
// What a codec plug-in's portable core hands the plug-in glue: interleaved
// 32-bit float PCM (nominally -1..1) of a file it opened, with its format and
// exact length. Float carries 8-, 16- and 24-bit sources without loss.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/input_file.h"

struct CodecFormat {
    uint32_t SampleRate = 0;
    uint32_t Channels = 0;
    uint32_t BitsPerSample = 0;  // of the source; 32 for a float renderer
    uint64_t Frames = 0;         // sample frames, exactly what Read hands out to the end
};

// Not thread-safe: one caller at a time (the library's stream serialises them).
class CodecSource {
public:
    virtual ~CodecSource() = default;
    const CodecFormat& Format() const { return Info; }
    // Fills up to frames sample frames; 0 at the end, also after an error.
    virtual uint32_t Read(float* samples, uint32_t frames) = 0;
    // Moves to a sample frame (Frames itself is the end). False when it
    // cannot; reading then ends.
    virtual bool Seek(uint64_t frame) = 0;

protected:
    CodecFormat Info;
};

// The bytes a core decodes: a file in the plug-ins, memory in the fuzz targets.
class CodecBytes {
public:
    virtual ~CodecBytes() = default;
    virtual uint64_t Size() const = 0;
    // As InputFile::ReadAt: fewer bytes at the end, never more than out holds.
    virtual size_t ReadAt(uint64_t offset, std::span<uint8_t> out) const = 0;
};

// Null when the file is not open.
std::unique_ptr<CodecBytes> FileBytes(InputFile file);
// bytes must outlive the result.
std::unique_ptr<CodecBytes> MemoryBytes(std::span<const uint8_t> bytes);
