// MPEG audio frame headers and the VBR headers after them: what the MPEG
// reader shows and what the audio library counts its lengths with.
#include "metadata/mpeg.h"

#include "metadata/byte_reader.h"

const std::array<std::string_view, 4> MpegVersionNames = {"MPEG 2.5", "MPEG ?", "MPEG 2", "MPEG 1"};
const std::array<std::string_view, 4> MpegLayerNames = {"Layer ?", "Layer III", "Layer II", "Layer I"};
const std::array<std::string_view, 4> MpegChannelModeNames = {
    "\xE7\xAB\x8B\xE4\xBD\x93\xE5\xA3\xB0",               // 立体声
    "\xE7\xAB\x8B\xE4\xBD\x93\xE5\xA3\xB0(Joint)",        // 立体声(Joint)
    "\xE5\x8F\x8C\xE9\x80\x9A\xE9\x81\x93",               // 双通道
    "\xE5\x8D\x95\xE5\xA3\xB0\xE9\x81\x93",               // 单声道
};

namespace {

constexpr int VersionReserved = 1;
constexpr int VersionMpeg1 = 3;
constexpr int LayerReserved = 0;
constexpr int LayerII = 2;
constexpr int LayerI = 3;
constexpr int MonoChannelMode = 3;

constexpr std::array<int, 16> Mpeg1LayerI = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0};
constexpr std::array<int, 16> Mpeg1LayerII = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0};
constexpr std::array<int, 16> Mpeg1LayerIII = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::array<int, 16> Mpeg2LayerI = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0};
constexpr std::array<int, 16> Mpeg2LayerIIAndIII = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr std::array<int, 16> NoBitRates = {};

// Indexed by layer bits: reserved, III, II, I.
constexpr std::array<std::array<int, 16>, 4> Mpeg1BitRates = {NoBitRates, Mpeg1LayerIII, Mpeg1LayerII, Mpeg1LayerI};
constexpr std::array<std::array<int, 16>, 4> Mpeg2BitRates = {NoBitRates, Mpeg2LayerIIAndIII, Mpeg2LayerIIAndIII, Mpeg2LayerI};
constexpr std::array<std::array<int, 16>, 4> ReservedBitRates = {};

constexpr int BadBitRateIndex = 15;
constexpr int FreeFormatBitRateIndex = 0;
constexpr int BadSampleRateIndex = 3;
constexpr int BadEmphasis = 2;

constexpr size_t FrameHeaderBytes = MpegFrameHeaderBytes;
constexpr uint32_t XingFramesFlag = 0x1;
constexpr uint32_t XingBytesFlag = 0x2;
constexpr size_t VbriSkipBytes = 6;  // version, delay, quality

}  // namespace

const std::array<std::array<int, 4>, 4> MpegSampleRates = {{
    {11025, 12000, 8000, 0},  // MPEG 2.5
    {0, 0, 0, 0},             // reserved
    {22050, 24000, 16000, 0}, // MPEG 2
    {44100, 48000, 32000, 0}, // MPEG 1
}};

const std::array<std::array<std::array<int, 16>, 4>, 4> MpegBitRates = {
    Mpeg2BitRates, ReservedBitRates, Mpeg2BitRates, Mpeg1BitRates};

bool IsMpegFrameHeader(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3)
{
    const int version = b1 >> 3 & 3;
    const int layer = b1 >> 1 & 3;
    const int bitRateIndex = b2 >> 4;
    const int sampleRateIndex = b2 >> 2 & 3;
    return b0 == 0xFF && (b1 & 0xE0) == 0xE0 && version != VersionReserved && layer != LayerReserved &&
           bitRateIndex != BadBitRateIndex && bitRateIndex != FreeFormatBitRateIndex &&
           sampleRateIndex != BadSampleRateIndex && (b3 & 3) != BadEmphasis;
}

MpegFrameHeader ParseMpegFrameHeader(uint8_t, uint8_t b1, uint8_t b2, uint8_t b3)
{
    MpegFrameHeader h;
    h.Version = b1 >> 3 & 3;
    h.Layer = b1 >> 1 & 3;
    h.BitRateKbps = MpegBitRates[h.Version][h.Layer][b2 >> 4];
    h.SampleRateHz = MpegSampleRates[h.Version][b2 >> 2 & 3];
    h.ChannelMode = b3 >> 6;
    if (h.Layer == LayerI)
        h.Coefficient = 48;
    else if (h.Version == VersionMpeg1 || h.Layer == LayerII)
        h.Coefficient = 144;
    else
        h.Coefficient = 72;  // MPEG 2 and 2.5 Layer III: half the samples
    const bool padded = (b2 >> 1 & 1) != 0;
    h.PaddingBytes = padded ? (h.Layer == LayerI ? 4 : 1) : 0;
    // Layer I counts in four-byte slots: the slot count is what is rounded down.
    const int slotBytes = h.Layer == LayerI ? 4 : 1;
    if (h.SampleRateHz > 0)
        h.FrameBytes = static_cast<int>(static_cast<int64_t>(h.Coefficient / slotBytes) * h.BitRateKbps * 1000 /
                                        h.SampleRateHz) * slotBytes + h.PaddingBytes;
    h.SamplesPerFrame = h.Coefficient * 8;
    h.Channels = h.ChannelMode == MonoChannelMode ? 1 : 2;
    if (h.Version == VersionMpeg1)
        h.SideInfoBytes = h.Channels == 1 ? 17 : 32;
    else
        h.SideInfoBytes = h.Channels == 1 ? 9 : 17;
    return h;
}

bool ReadMpegFrameHeader(std::span<const uint8_t> bytes, MpegFrameHeader& header)
{
    if (bytes.size() < FrameHeaderBytes || !IsMpegFrameHeader(bytes[0], bytes[1], bytes[2], bytes[3]))
        return false;
    header = ParseMpegFrameHeader(bytes[0], bytes[1], bytes[2], bytes[3]);
    return true;
}

bool ReadMpegVbrHeader(std::span<const uint8_t> bytes, MpegVbrCounts& counts)
{
    ByteReader reader(bytes);
    MpegVbrCounts read;
    if (reader.Match("Xing") || reader.Match("Info")) {
        const uint32_t flags = reader.U32BE();
        if (flags & XingFramesFlag) {
            read.Frames = reader.U32BE();
            read.HasFrames = true;
        }
        if (flags & XingBytesFlag) {
            read.Bytes = reader.U32BE();
            read.HasBytes = true;
        }
    } else if (reader.Match("VBRI")) {
        reader.Skip(VbriSkipBytes);
        read.Bytes = reader.U32BE();
        read.Frames = reader.U32BE();
        read.HasBytes = read.HasFrames = true;
    } else {
        return false;
    }
    if (reader.Failed())
        return false;
    counts = read;
    return true;
}
