#include "bass/logic/sample_convert.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <vector>

namespace {

// dwChannelMask bits.
constexpr uint32_t FrontLeft = 0x1, FrontRight = 0x2, FrontCenter = 0x4, LowFrequency = 0x8, BackLeft = 0x10,
                   BackRight = 0x20, BackCenter = 0x100, SideLeft = 0x200, SideRight = 0x400;
constexpr uint32_t MaxMaskBits = 18;
constexpr float MinusThreeDb = 0.70710678f;
constexpr float Int16Scale = 32768.0f;

}  // namespace

void Int16ToFloat(const int16_t* in, float* out, size_t samples) {
    for (size_t i = 0; i < samples; ++i) out[i] = static_cast<float>(in[i]) / Int16Scale;
}

void Dither16::Convert(const float* in, int16_t* out, size_t samples) {
    constexpr float Lsb = 1.0f / 4294967296.0f;  // a random 32-bit value to [0, 1)
    for (size_t i = 0; i < samples; ++i) {
        float x = in[i];
        if (!(x == x)) x = 0.0f;  // NaN is silence
        float noise = static_cast<float>(NextRandom()) * Lsb - static_cast<float>(NextRandom()) * Lsb;
        float scaled = std::floor(x * Int16Scale + noise + 0.5f);
        out[i] = static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
}

uint32_t DefaultChannelMask(uint32_t channels) {
    switch (channels) {
    case 1: return FrontCenter;
    case 2: return FrontLeft | FrontRight;
    case 3: return FrontLeft | FrontRight | FrontCenter;
    case 4: return FrontLeft | FrontRight | BackLeft | BackRight;
    case 5: return FrontLeft | FrontRight | FrontCenter | BackLeft | BackRight;
    case 6: return FrontLeft | FrontRight | FrontCenter | LowFrequency | BackLeft | BackRight;
    case 7: return FrontLeft | FrontRight | FrontCenter | LowFrequency | BackCenter | SideLeft | SideRight;
    case 8: return FrontLeft | FrontRight | FrontCenter | LowFrequency | BackLeft | BackRight | SideLeft | SideRight;
    default: return 0;
    }
}

void DownmixToStereo(const float* in, uint32_t frames, uint32_t channels, uint32_t mask, float* out) {
    // Each input channel's share of left and right, from its speaker position
    // (the mask's set bits in order name the channels; without a mask, the
    // default layout of the count).
    if (mask == 0 || static_cast<uint32_t>(std::popcount(mask)) < channels) mask = DefaultChannelMask(channels);
    std::vector<std::array<float, 2>> weights(channels, {0.0f, 0.0f});
    uint32_t bit = 0;
    for (uint32_t c = 0; c < channels; ++c) {
        while (bit < MaxMaskBits && !(mask & (1u << bit))) ++bit;
        uint32_t speaker = bit < MaxMaskBits ? 1u << bit : 0;
        ++bit;
        switch (speaker) {
        case FrontLeft: weights[c] = {1.0f, 0.0f}; break;
        case FrontRight: weights[c] = {0.0f, 1.0f}; break;
        case LowFrequency: break;
        case BackLeft: case SideLeft: weights[c] = {MinusThreeDb, 0.0f}; break;
        case BackRight: case SideRight: weights[c] = {0.0f, MinusThreeDb}; break;
        case 0: break;  // more channels than named speakers: left out
        default: weights[c] = {MinusThreeDb, MinusThreeDb}; break;  // centres, and the rare rest
        }
    }
    float left = 0.0f, right = 0.0f;
    for (const auto& w : weights) {
        left += w[0];
        right += w[1];
    }
    float norm = 1.0f / std::max({left, right, 1.0f});
    for (uint32_t f = 0; f < frames; ++f) {
        float l = 0.0f, r = 0.0f;
        for (uint32_t c = 0; c < channels; ++c) {
            l += in[f * channels + c] * weights[c][0];
            r += in[f * channels + c] * weights[c][1];
        }
        out[f * 2] = l * norm;
        out[f * 2 + 1] = r * norm;
    }
}

void RemapChannels(const float* in, uint32_t frames, uint32_t inChannels, float* out, uint32_t outChannels) {
    if (outChannels == 2 && inChannels > 2) {
        DownmixToStereo(in, frames, inChannels, 0, out);
        return;
    }
    for (uint32_t f = 0; f < frames; ++f) {
        for (uint32_t c = 0; c < outChannels; ++c) {
            float v;
            if (inChannels == 1) v = in[f];
            else if (c < inChannels) v = in[f * inChannels + c];
            else v = 0.0f;
            if (outChannels == 1 && inChannels > 1) v = 0.5f * (in[f * inChannels] + in[f * inChannels + 1]);
            out[f * outChannels + c] = v;
        }
    }
}

void FormatConverter::Convert(const std::vector<float>& in, uint32_t sampleRate, uint32_t channels, std::vector<float>* out) {
    if (Passes(sampleRate, channels) || channels == 0 || sampleRate == 0) return;
    uint32_t frames = static_cast<uint32_t>(in.size() / channels);
    Remapped.resize(size_t{frames} * Channels);
    RemapChannels(in.data(), frames, channels, Remapped.data(), Channels);
    out->clear();
    if (frames == 0) return;
    if (!HaveLast) {
        Last.assign(Remapped.begin(), Remapped.begin() + Channels);
        HaveLast = true;
        Phase = 1.0;  // Last is a copy of the first frame: start on the frame itself
    }
    // Frame j of the run is Last for j = 0, else Remapped's frame j - 1.
    auto at = [&](uint32_t j, uint32_t c) { return j == 0 ? Last[c] : Remapped[size_t{j - 1} * Channels + c]; };
    double step = static_cast<double>(sampleRate) / Rate;
    while (Phase + 1.0 <= frames) {
        uint32_t j = static_cast<uint32_t>(Phase);
        float frac = static_cast<float>(Phase - j);
        for (uint32_t c = 0; c < Channels; ++c) out->push_back(at(j, c) + (at(j + 1, c) - at(j, c)) * frac);
        Phase += step;
    }
    Phase -= frames;
    Last.assign(Remapped.end() - Channels, Remapped.end());
}
