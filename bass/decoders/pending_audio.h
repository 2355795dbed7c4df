#pragma once
// What a decoder library handed over beyond what the stream asked for: the
// rest of a packet or frame, read out first by the next Read.

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "bass/logic/sample_convert.h"

struct PendingAudio {
    std::vector<float> Samples;  // interleaved, in the decoder's opening format
    size_t At = 0;               // samples already read out

    bool Empty() const { return At >= Samples.size(); }
    void Clear() {
        Samples.clear();
        At = 0;
    }
    // Copies up to frames whole frames into out; the frames copied.
    uint32_t TakeInto(float* out, uint32_t frames, uint32_t channels) {
        size_t take = std::min<size_t>(Samples.size() - std::min(At, Samples.size()), size_t{frames} * channels);
        take -= take % channels;
        std::copy_n(Samples.begin() + static_cast<std::ptrdiff_t>(At), take, out);
        At += take;
        return static_cast<uint32_t>(take / channels);
    }
    // Replaces what waits with decoded, converted to the opening format
    // where a chained or joined part of the file has another.
    void Refill(std::vector<float>& decoded, FormatConverter& converter, uint32_t rate, uint32_t channels) {
        Clear();
        if (converter.Passes(rate, channels)) {
            Samples.swap(decoded);
        } else {
            converter.Convert(decoded, rate, channels, &Samples);
        }
    }
};
