#pragma once
// Vorbis and Opus name their channels in Vorbis order (front left, centre,
// front right, ...); the device and the downmix take WAVE order (front left,
// front right, centre, LFE, ...). Mono and stereo are the same in both.

#include <algorithm>
#include <array>
#include <cstdint>

#include "bass/decoders/decoder.h"

// For each WAVE position, the Vorbis channel that goes there.
inline const uint8_t* VorbisToWaveOrder(uint32_t channels) {
    static constexpr std::array<std::array<uint8_t, DecoderMaxChannels>, DecoderMaxChannels + 1> Orders = {{
        {}, {0}, {0, 1},
        {0, 2, 1},
        {0, 1, 2, 3},
        {0, 2, 1, 3, 4},
        {0, 2, 1, 5, 3, 4},
        {0, 2, 1, 6, 5, 3, 4},
        {0, 2, 1, 7, 5, 6, 3, 4},
    }};
    return channels <= DecoderMaxChannels ? Orders[channels].data() : nullptr;
}

inline void ReorderVorbisChannels(float* samples, size_t frames, uint32_t channels) {
    if (channels <= 2 || channels > DecoderMaxChannels) return;
    const uint8_t* order = VorbisToWaveOrder(channels);
    std::array<float, DecoderMaxChannels> frame;
    for (size_t i = 0; i < frames; ++i, samples += channels) {
        std::copy_n(samples, channels, frame.begin());
        for (uint32_t c = 0; c < channels; ++c) samples[c] = frame[order[c]];
    }
}
