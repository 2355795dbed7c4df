// The audio library's own WAV parser and sample conversion on arbitrary
// bytes, and the container probe that measures compressed files, all read
// through the same callback the library gives them over a file.

#include "bass/riff_parser.h"
#include "bass/stream_probe.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t MaxConvertedFrames = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ReadAtFn read = [&](uint64_t offset, uint8_t* buffer, uint32_t bytes) -> uint32_t {
        if (offset >= size)
            return 0;
        uint32_t got = static_cast<uint32_t>(std::min<uint64_t>(bytes, size - offset));
        std::memcpy(buffer, data + offset, got);
        return got;
    };
    WavLayout layout;
    if (ParseWav(read, 0, size, &layout)) {
        // Every sample the layout claims must lie inside the file.
        if (layout.DataOffset > size || layout.DataBytes > size - layout.DataOffset || layout.DataBytes % layout.SourceBlockBytes())
            __builtin_trap();
        uint32_t frames = static_cast<uint32_t>(std::min<uint64_t>(layout.Frames(), MaxConvertedFrames));
        std::vector<float> out(static_cast<size_t>(frames) * layout.Channels);
        ConvertWavSamples(layout, data + layout.DataOffset, out.data(), frames * layout.Channels);
    }
    ProbedStream probed;
    ProbeStream(read, size, &probed);
    return 0;
}
