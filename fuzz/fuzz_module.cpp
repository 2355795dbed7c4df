// The module core on arbitrary bytes: the format check, libxmp's loaders,
// the length, a bounded render and seeks chosen by the input.

#include "codecs/mod/module_decoder.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr uint32_t ChunkFrames = 4096;
constexpr uint64_t MaxRenderedFrames = ModuleSampleRate / 2;  // per input: the loaders matter more than the mixer
constexpr uint32_t SeekReadFrames = 512;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

uint64_t Drain(CodecSource& source, uint64_t budget) {
    std::vector<float> chunk(size_t{ChunkFrames} * 2);
    uint64_t total = 0;
    while (total < budget) {
        auto want = static_cast<uint32_t>(std::min<uint64_t>(ChunkFrames, budget - total));
        uint32_t got = source.Read(chunk.data(), want);
        Check(got <= want);
        if (got == 0) break;
        for (size_t i = 0; i < size_t{got} * 2; ++i) Check(std::isfinite(chunk[i]));
        total += got;
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<CodecBytes> bytes = MemoryBytes(std::span<const uint8_t>(data, size));
    bool recognised = IsModuleFile(*bytes);
    std::unique_ptr<CodecSource> source = OpenModuleDecoder(std::move(bytes));
    if (!source) return 0;
    Check(recognised);  // whatever plays is also claimed
    const CodecFormat format = source->Format();
    Check(format.Channels == 2 && format.SampleRate == ModuleSampleRate && format.Frames > 0);
    uint64_t rendered = Drain(*source, MaxRenderedFrames);
    Check(rendered == std::min(format.Frames, MaxRenderedFrames));
    uint64_t chosen = size >= 2 ? (uint64_t{data[size - 1]} << 8 | data[size - 2]) * ModuleSampleRate / 256 % (format.Frames + 1) : 0;
    for (uint64_t target : {format.Frames / 2, chosen, format.Frames}) {
        Check(source->Seek(target));
        Check(Drain(*source, SeekReadFrames) == std::min<uint64_t>(SeekReadFrames, format.Frames - target));
    }
    Check(!source->Seek(format.Frames + 1));
    return 0;
}
