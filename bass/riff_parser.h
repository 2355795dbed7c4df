#pragma once
// RIFF/WAVE layout and sample conversion, apart from the file and decoder
// wrapper so that it builds (and is fuzzed) on any system.

#include <cstdint>
#include <functional>

// Reads up to bytes at offset into buffer; the count read, short at the end
// of the file or on an error.
using ReadAtFn = std::function<uint32_t(uint64_t offset, uint8_t* buffer, uint32_t bytes)>;

constexpr uint16_t WavFormatPcm = 1;
constexpr uint16_t WavFormatFloat = 3;
constexpr uint16_t WavFormatExtensible = 0xFFFE;
constexpr uint32_t WavMaxChannels = 8;

struct WavLayout {
    uint16_t Format = 0;  // WavFormatPcm or WavFormatFloat; an extensible file's subformat
    uint32_t Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t BitsPerSample = 0;  // 8, 16, 24 or 32
    uint32_t ChannelMask = 0;    // an extensible file's speaker positions, else 0
    uint64_t DataOffset = 0;
    uint64_t DataBytes = 0;  // whole sample frames only, and only what the file holds

    uint32_t SourceBlockBytes() const { return Channels * (BitsPerSample / 8); }
    uint64_t Frames() const { return SourceBlockBytes() ? DataBytes / SourceBlockBytes() : 0; }
};

// Finds the fmt and data chunks of a WAVE file between begin and end (the
// file's size or a caller's part of it). False when it is no WAV the library
// plays: not RIFF/WAVE, a chunk missing, or a sample format it does not convert.
bool ParseWav(const ReadAtFn& read, uint64_t begin, uint64_t end, WavLayout* layout);

// Converts samples (frames times channels) of the layout's format to float,
// nominally -1..1 (float files pass through; NaN becomes silence).
void ConvertWavSamples(const WavLayout& layout, const uint8_t* in, float* out, uint32_t samples);
