#pragma once
// MPEG audio frame headers: the validity test, the lookup tables and the
// figures derived from one header.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

extern const std::array<std::string_view, 4> MpegVersionNames;      // by version bits
extern const std::array<std::string_view, 4> MpegLayerNames;        // by layer bits
extern const std::array<std::string_view, 4> MpegChannelModeNames;  // program text
// Hz by version bits and sample-rate index.
extern const std::array<std::array<int, 4>, 4> MpegSampleRates;
// kbit/s by version bits, layer bits and bit-rate index; 0 for free format,
// index 15 and reserved versions or layers.
extern const std::array<std::array<std::array<int, 16>, 4>, 4> MpegBitRates;

bool IsMpegFrameHeader(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);

// The fields of a header that passed IsMpegFrameHeader.
struct MpegFrameHeader {
    int Version = 0;      // 0 MPEG 2.5, 2 MPEG 2, 3 MPEG 1
    int Layer = 0;        // 1 Layer III, 2 Layer II, 3 Layer I
    int BitRateKbps = 0;
    int SampleRateHz = 0;
    int ChannelMode = 0;
    int Coefficient = 0;  // samples per frame / 8
    int PaddingBytes = 0;
    int FrameBytes = 0;
    int SamplesPerFrame = 0;
    int Channels = 0;
    int SideInfoBytes = 0;  // where a Layer III frame's Xing header starts, after the frame header
};

MpegFrameHeader ParseMpegFrameHeader(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);

inline constexpr size_t MpegFrameHeaderBytes = 4;

// The header at the start of bytes, when there is a valid one.
bool ReadMpegFrameHeader(std::span<const uint8_t> bytes, MpegFrameHeader& header);

// A Xing, Info or VBRI header's counts.
struct MpegVbrCounts {
    bool HasFrames = false;
    bool HasBytes = false;
    uint32_t Frames = 0;
    uint32_t Bytes = 0;
};

// Reads the Xing, Info or VBRI header that starts exactly at bytes; false
// when none is there or it is cut.
bool ReadMpegVbrHeader(std::span<const uint8_t> bytes, MpegVbrCounts& counts);

class InputFile;
struct TrackInfo;
// ReadMpegStream over a file the caller opened.
int ReadMpegStream(const InputFile& file, TrackInfo& info);
