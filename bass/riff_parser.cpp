#include "bass/riff_parser.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "metadata/byte_reader.h"

namespace {

constexpr uint32_t RiffHeaderBytes = 12;  // "RIFF", size, "WAVE"
constexpr uint32_t ChunkHeaderBytes = 8;  // id, size
constexpr uint32_t MinFmtBytes = 16;
constexpr uint32_t ExtensibleFmtBytes = 40;
constexpr size_t ExtensibleMaskOffset = 20;       // in the fmt chunk
constexpr size_t ExtensibleSubFormatOffset = 24;
// The subformat GUID of an extensible file is the format tag in its first two
// bytes followed by these fixed bytes; any other GUID is no tag we know.
constexpr std::array<uint8_t, 14> SubFormatGuidTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool ReadExactly(const ReadAtFn& read, uint64_t offset, uint8_t* buffer, uint32_t bytes) {
    return read(offset, buffer, bytes) == bytes;
}

bool IsId(const uint8_t* bytes, const char* id) { return std::memcmp(bytes, id, 4) == 0; }

// The fmt chunk's figures; false for a format ConvertWavSamples does not take.
bool ReadFmt(std::span<const uint8_t> fmt, WavLayout* layout) {
    ByteReader r(fmt);
    uint16_t format = r.U16LE();
    uint32_t channels = r.U16LE();
    uint32_t rate = r.U32LE();
    r.Skip(4 + 2);  // bytes per second and block align: derived from the rest instead
    uint32_t bits = r.U16LE();
    if (r.Failed()) return false;
    uint32_t mask = 0;
    if (format == WavFormatExtensible) {
        if (fmt.size() < ExtensibleFmtBytes) return false;
        ByteReader maskReader(fmt.subspan(ExtensibleMaskOffset));
        mask = maskReader.U32LE();
        ByteReader sub(fmt.subspan(ExtensibleSubFormatOffset));
        format = sub.U16LE();
        std::span<const uint8_t> tail = sub.Span(SubFormatGuidTail.size());
        if (sub.Failed() || !std::equal(tail.begin(), tail.end(), SubFormatGuidTail.begin())) return false;
    }
    bool pcmOk = format == WavFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    bool floatOk = format == WavFormatFloat && bits == 32;
    if (!(pcmOk || floatOk) || channels == 0 || channels > WavMaxChannels || rate == 0) return false;
    layout->Format = format;
    layout->Channels = channels;
    layout->SampleRate = rate;
    layout->BitsPerSample = bits;
    layout->ChannelMask = mask;
    return true;
}

}  // namespace

bool ParseWav(const ReadAtFn& read, uint64_t begin, uint64_t end, WavLayout* layout) {
    *layout = WavLayout{};
    if (begin > end || end - begin < RiffHeaderBytes) return false;
    uint8_t riff[RiffHeaderBytes];
    if (!ReadExactly(read, begin, riff, RiffHeaderBytes) || !IsId(riff, "RIFF") || !IsId(riff + 8, "WAVE"))
        return false;

    WavLayout found;
    bool haveFmt = false, haveData = false;
    // Chunk sizes are only claims: each step moves forward at least a header,
    // and the walk ends at the end of the file. The RIFF size is ignored: too
    // many writers leave it wrong.
    for (uint64_t pos = begin + RiffHeaderBytes; end - pos >= ChunkHeaderBytes && !(haveFmt && haveData);) {
        uint8_t header[ChunkHeaderBytes];
        if (!ReadExactly(read, pos, header, ChunkHeaderBytes)) break;
        uint64_t chunkBytes = ByteReader(std::span<const uint8_t>(header + 4, 4)).U32LE();
        uint64_t body = pos + ChunkHeaderBytes;
        uint64_t available = std::min<uint64_t>(chunkBytes, end - body);
        if (IsId(header, "fmt ") && !haveFmt) {
            std::array<uint8_t, ExtensibleFmtBytes> fmt{};
            uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(available, fmt.size()));
            if (want < MinFmtBytes || !ReadExactly(read, body, fmt.data(), want)) return false;
            if (!ReadFmt(std::span<const uint8_t>(fmt.data(), want), &found)) return false;
            haveFmt = true;
        } else if (IsId(header, "data") && !haveData) {
            found.DataOffset = body;
            found.DataBytes = available;  // a size past the end (a WAV still being written) means "to the end"
            haveData = true;
        }
        // Chunks are word-aligned: an odd size is followed by a pad byte.
        // Neither sum wraps: body <= end and chunkBytes < 2^32.
        pos = body + chunkBytes + (chunkBytes & 1);
    }
    if (!haveFmt || !haveData) return false;
    found.DataBytes -= found.DataBytes % found.SourceBlockBytes();
    *layout = found;
    return true;
}

void ConvertWavSamples(const WavLayout& layout, const uint8_t* in, float* out, uint32_t samples) {
    constexpr float Scale8 = 1.0f / 128, Scale16 = 1.0f / 32768, Scale24 = 1.0f / 8388608, Scale32 = 1.0f / 2147483648.0f;
    uint32_t sampleBytes = layout.BitsPerSample / 8;
    for (uint32_t i = 0; i < samples; ++i, in += sampleBytes) {
        switch (sampleBytes) {
        case 1: out[i] = static_cast<float>(in[0] - 128) * Scale8; break;
        case 2: out[i] = static_cast<float>(static_cast<int16_t>(in[0] | in[1] << 8)) * Scale16; break;
        case 3: out[i] = static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(in[0] << 8 | in[1] << 16 | in[2] << 24)) >> 8) * Scale24; break;
        default:
            if (layout.Format == WavFormatFloat) {
                float f;
                std::memcpy(&f, in, sizeof f);
                out[i] = f != f ? 0.0f : f;
            } else {
                uint32_t v = in[0] | in[1] << 8 | in[2] << 16 | static_cast<uint32_t>(in[3]) << 24;
                out[i] = static_cast<float>(static_cast<int32_t>(v)) * Scale32;
            }
        }
    }
}
