// The Monkey's Audio core on arbitrary bytes: open (header checks, FFmpeg's
// demuxer, the first block), a bounded decode, and seeks chosen by the input.

#include "codecs/ape/ape_decoder.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr uint32_t ChunkFrames = 4608;
constexpr uint64_t MaxDecodedFrames = 1 << 18;  // per input: keeps each run short
constexpr uint32_t SeekReadFrames = 256;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

uint64_t Drain(CodecSource& source, uint64_t budget) {
    std::vector<float> chunk(size_t{ChunkFrames} * source.Format().Channels);
    uint64_t total = 0;
    while (total < budget) {
        auto want = static_cast<uint32_t>(std::min<uint64_t>(ChunkFrames, budget - total));
        uint32_t got = source.Read(chunk.data(), want);
        Check(got <= want);
        if (got == 0) break;
        for (size_t i = 0; i < size_t{got} * source.Format().Channels; ++i) Check(std::isfinite(chunk[i]) && std::fabs(chunk[i]) <= 1.0f);
        total += got;
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<CodecBytes> bytes = MemoryBytes(std::span<const uint8_t>(data, size));
    bool recognised = IsApeFile(*bytes);
    std::unique_ptr<CodecSource> source = OpenApeDecoder(std::move(bytes));
    if (!source) return 0;
    Check(recognised);  // whatever plays is also claimed
    const CodecFormat format = source->Format();
    Check(format.Channels >= 1 && format.Channels <= 2 && format.SampleRate > 0 && format.Frames > 0);
    Check(Drain(*source, MaxDecodedFrames) <= format.Frames);
    // Seeks to the last sample, the middle and one chosen by the last bytes.
    uint64_t chosen = size >= 4 ? (uint64_t{data[size - 1]} << 16 | uint64_t{data[size - 2]} << 8 | data[size - 3]) % (format.Frames + 1) : 0;
    for (uint64_t target : {format.Frames - 1, format.Frames / 2, chosen, format.Frames}) {
        if (!source->Seek(target)) continue;
        Check(Drain(*source, SeekReadFrames) <= format.Frames - target);
    }
    Check(!source->Seek(format.Frames + 1));
    return 0;
}
