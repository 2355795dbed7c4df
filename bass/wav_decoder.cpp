// RIFF/WAVE reading. WAV must play on systems without Media Foundation, so
// this path uses only file calls.

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "bass/bass_api.h"
#include "bass/decoder.h"

namespace {

constexpr uint32_t RiffHeaderBytes = 12;  // "RIFF", size, "WAVE"
constexpr uint32_t ChunkHeaderBytes = 8;  // id, size
constexpr uint32_t MinFmtBytes = 16;
constexpr uint16_t FormatPcm = 1;
constexpr uint16_t FormatFloat = 3;
constexpr uint16_t FormatExtensible = 0xFFFE;
constexpr uint32_t ExtensibleSubFormatOffset = 24;  // in the fmt chunk
constexpr uint32_t MaxChannels = 8;
constexpr uint32_t ReadChunkFrames = 4096;

uint16_t U16Le(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32Le(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : H(h) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { if (Valid()) CloseHandle(H); }
    bool Valid() const { return H != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(H, INVALID_HANDLE_VALUE); }
    bool ReadAt(uint64_t offset, void* buffer, uint32_t bytes, uint32_t* got) {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        DWORD read = 0;
        if (!SetFilePointerEx(H, at, nullptr, FILE_BEGIN) || !ReadFile(H, buffer, bytes, &read, nullptr)) return false;
        *got = read;
        return true;
    }

private:
    HANDLE H;
};

class WavDecoder final : public Decoder {
public:
    WavDecoder(HANDLE file, uint64_t dataOffset, uint64_t dataBytes, uint16_t format, uint32_t channels, uint32_t bits)
        : File(file), DataOffset(dataOffset), DataBytes(dataBytes), Format(format), Channels(channels),
          SourceSampleBytes(bits / 8), SourceBlockBytes(channels * (bits / 8)) {}

    uint32_t Read(uint8_t* buffer, uint32_t bytes) override {
        uint32_t framesWanted = bytes / (Channels * 2);
        uint64_t framesLeft = (DataBytes - SourcePos) / SourceBlockBytes;
        uint32_t done = 0;
        while (framesWanted > 0 && framesLeft > 0) {
            uint32_t frames = static_cast<uint32_t>(std::min<uint64_t>({framesWanted, framesLeft, ReadChunkFrames}));
            Scratch.resize(static_cast<size_t>(frames) * SourceBlockBytes);
            uint32_t got = 0;
            if (!File.ReadAt(DataOffset + SourcePos, Scratch.data(), frames * SourceBlockBytes, &got)) break;
            frames = got / SourceBlockBytes;
            if (frames == 0) break;  // the file is shorter than its header says
            Convert(Scratch.data(), reinterpret_cast<int16_t*>(buffer + done), frames * Channels);
            SourcePos += static_cast<uint64_t>(frames) * SourceBlockBytes;
            done += frames * Channels * 2;
            framesWanted -= frames;
            framesLeft -= frames;
        }
        return done;
    }

    bool Seek(uint64_t positionBytes) override {
        uint64_t frame = positionBytes / (Channels * 2);
        uint64_t source = frame * SourceBlockBytes;
        if (source > DataBytes) return false;
        SourcePos = source;
        return true;
    }

private:
    void Convert(const uint8_t* in, int16_t* out, uint32_t samples) const {
        for (uint32_t i = 0; i < samples; ++i, in += SourceSampleBytes) {
            switch (SourceSampleBytes) {
            case 1: out[i] = static_cast<int16_t>((in[0] - 128) << 8); break;
            case 2: out[i] = static_cast<int16_t>(U16Le(in)); break;
            case 3: out[i] = static_cast<int16_t>(U16Le(in + 1)); break;
            default:
                if (Format == FormatFloat) {
                    float f;
                    std::memcpy(&f, in, sizeof f);
                    f = f != f ? 0.0f : std::clamp(f, -1.0f, 1.0f);  // NaN is silence
                    out[i] = static_cast<int16_t>(f * 32767.0f);
                } else {
                    out[i] = static_cast<int16_t>(U32Le(in) >> 16);
                }
            }
        }
    }

    FileHandle File;
    uint64_t DataOffset;
    uint64_t DataBytes;
    uint16_t Format;
    uint32_t Channels;
    uint32_t SourceSampleBytes;
    uint32_t SourceBlockBytes;
    uint64_t SourcePos = 0;
    std::vector<uint8_t> Scratch;
};

}  // namespace

DecoderInfo OpenWavDecoder(const std::wstring& path, uint64_t offset, uint64_t length) {
    DecoderInfo info;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        info.ErrorCode = BASS_ERROR_FILEOPEN;
        return info;
    }
    FileHandle file(h);
    info.ErrorCode = BASS_ERROR_FILEFORM;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) return info;
    uint64_t end = static_cast<uint64_t>(size.QuadPart);
    if (offset > end) return info;
    if (length != 0 && length < end - offset) end = offset + length;

    uint8_t riff[RiffHeaderBytes];
    uint32_t got = 0;
    if (!file.ReadAt(offset, riff, RiffHeaderBytes, &got) || got < RiffHeaderBytes) return info;
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) return info;

    uint8_t fmt[40] = {};
    bool haveFmt = false;
    uint64_t dataOffset = 0, dataBytes = 0;
    bool haveData = false;
    // Chunks are only claims: each step moves forward at least a header, and
    // the walk ends at the end of the file.
    for (uint64_t pos = offset + RiffHeaderBytes; end - pos >= ChunkHeaderBytes && !(haveFmt && haveData);) {
        uint8_t header[ChunkHeaderBytes];
        if (!file.ReadAt(pos, header, ChunkHeaderBytes, &got) || got < ChunkHeaderBytes) break;
        uint64_t chunkBytes = U32Le(header + 4);
        uint64_t body = pos + ChunkHeaderBytes;
        uint64_t available = std::min<uint64_t>(chunkBytes, end - body);
        if (std::memcmp(header, "fmt ", 4) == 0 && !haveFmt) {
            uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(available, sizeof fmt));
            if (want < MinFmtBytes || !file.ReadAt(body, fmt, want, &got) || got < want) return info;
            haveFmt = true;
        } else if (std::memcmp(header, "data", 4) == 0 && !haveData) {
            dataOffset = body;
            dataBytes = available;  // a size past the end (streamed WAV) means "to the end"
            haveData = true;
        }
        pos = body + chunkBytes + (chunkBytes & 1);  // chunks are word-aligned
        if (pos < body) break;
    }
    if (!haveFmt || !haveData) return info;

    uint16_t format = U16Le(fmt);
    uint32_t channels = U16Le(fmt + 2);
    uint32_t rate = U32Le(fmt + 4);
    uint32_t bits = U16Le(fmt + 14);
    if (format == FormatExtensible) format = U16Le(fmt + ExtensibleSubFormatOffset);  // the subformat GUID starts with the tag
    bool pcmOk = format == FormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    bool floatOk = format == FormatFloat && bits == 32;
    if (!(pcmOk || floatOk) || channels == 0 || channels > MaxChannels || rate == 0) return info;

    uint32_t sourceBlock = channels * (bits / 8);
    uint64_t frames = dataBytes / sourceBlock;
    info.Source = std::make_unique<WavDecoder>(file.Release(), dataOffset, frames * sourceBlock, format, channels, bits);
    info.SampleRate = rate;
    info.Channels = channels;
    info.LengthBytes = frames * channels * 2;
    info.ErrorCode = 0;
    return info;
}
