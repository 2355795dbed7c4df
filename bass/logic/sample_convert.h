#pragma once
// Sample formats between the decoders and the device. The library carries
// audio as 32-bit float from the decoder to the device, so that 24-bit and
// float sources keep their resolution; where a device takes only 16 bits the
// last step dithers.

#include <cstddef>
#include <cstdint>
#include <vector>

void Int16ToFloat(const int16_t* in, float* out, size_t samples);

// Triangular (TPDF) dither of one least significant bit before rounding to
// 16 bits: the error becomes a steady noise floor at about -96 dB instead of
// distortion that follows the signal. Each converter keeps its own noise.
class Dither16 {
public:
    void Convert(const float* in, int16_t* out, size_t samples);

private:
    uint32_t NextRandom() {  // xorshift: cheap, and good enough for noise
        State ^= State << 13;
        State ^= State >> 17;
        State ^= State << 5;
        return State;
    }
    uint32_t State = 0x9E3779B9u;
};

// The speaker positions of interleaved channels (WAVEFORMATEXTENSIBLE's
// dwChannelMask bits), for a source that names none.
uint32_t DefaultChannelMask(uint32_t channels);

// Folds channels with the given mask into stereo: centre and surrounds at
// -3 dB, the LFE left out, scaled so that full-scale channels cannot clip.
// out holds frames * 2 samples.
void DownmixToStereo(const float* in, uint32_t frames, uint32_t channels, uint32_t mask, float* out);

// Channel-count change of a source mid-stream: each output channel takes the
// input channel of the same index, mono fills both of a stereo pair, extra
// input channels fold down.
void RemapChannels(const float* in, uint32_t frames, uint32_t inChannels, float* out, uint32_t outChannels);

// Brings a source whose rate or channel count changed mid-stream (joined
// files) back to the format its stream was opened with: channels remapped,
// the rate by linear interpolation, carried across calls.
class FormatConverter {
public:
    FormatConverter(uint32_t sampleRate, uint32_t channels) : Rate(sampleRate), Channels(channels) {}
    bool Passes(uint32_t sampleRate, uint32_t channels) const { return sampleRate == Rate && channels == Channels; }
    // in holds whole frames of the given format; out is left alone when it Passes.
    void Convert(const std::vector<float>& in, uint32_t sampleRate, uint32_t channels, std::vector<float>* out);
    void Reset() { HaveLast = false; Phase = 0.0; }

private:
    uint32_t Rate;
    uint32_t Channels;
    double Phase = 0.0;  // where the next output frame lies, in input frames after Last
    bool HaveLast = false;
    std::vector<float> Last, Remapped;
};
