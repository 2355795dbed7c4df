// The library's own decoders (FLAC, Vorbis, Opus, MPEG audio) on arbitrary
// bytes: opened by their headers, read, sought and read again. A refusal or
// an early end is fine; a crash, a hang or a read outside the file is not.

#include "bass/decoders/builtin_decoders.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t ChunkFrames = 4096;
constexpr uint32_t MaxChunks = 64;  // bounds the work a long claimed length could ask for

void ReadSome(Decoder& source, uint32_t channels, std::vector<float>& buffer) {
    for (uint32_t i = 0; i < MaxChunks; ++i) {
        uint32_t got = source.Read(buffer.data(), ChunkFrames);
        if (got > ChunkFrames) __builtin_trap();
        if (got == 0) break;
        // Samples beyond the ones the decoder gave are never written.
        for (size_t s = 0; s < size_t{got} * channels; ++s) (void)buffer[s];
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadAtFn read = [&](uint64_t offset, uint8_t* buffer, uint32_t bytes) -> uint32_t {
        if (offset >= size) return 0;
        uint32_t got = static_cast<uint32_t>(std::min<uint64_t>(bytes, size - offset));
        std::memcpy(buffer, data + offset, got);
        return got;
    };
    DecoderInfo info = OpenBuiltInDecoder(read, size);
    if (!info.Source) return 0;
    if (info.Channels == 0 || info.Channels > DecoderMaxChannels || info.SampleRate == 0 || info.Frames == 0)
        __builtin_trap();
    std::vector<float> buffer(size_t{ChunkFrames} * info.Channels);
    ReadSome(*info.Source, info.Channels, buffer);
    // Seeks to places the input chooses: the middle, the end, and beyond it.
    uint64_t middle = size >= 8 ? (uint64_t{data[size - 1]} << 8 | data[size - 2]) % (info.Frames + 1) : info.Frames / 2;
    for (uint64_t target : {middle, info.Frames, info.Frames + 1000, uint64_t{0}}) {
        if (info.Source->Seek(target)) ReadSome(*info.Source, info.Channels, buffer);
    }
    return 0;
}
