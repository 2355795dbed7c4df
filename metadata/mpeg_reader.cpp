#include "metadata/mpeg.h"

#include "metadata/byte_reader.h"
#include "metadata/id3v1.h"
#include "metadata/id3v2.h"
#include "metadata/read_limits.h"
#include "metadata/track_info.h"

#include "platform/file_reader.h"
#include "platform/input_file.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

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

constexpr size_t FrameHeaderBytes = 4;
constexpr int FrameSearchCandidates = 2048;
constexpr size_t VbrFieldsBytes = 14;  // the most any VBR header reads after its magic
constexpr uint32_t XingFramesFlag = 0x1;
constexpr uint32_t XingBytesFlag = 0x2;
constexpr size_t VbriSkipBytes = 6;  // version, delay, quality

int ToInt(double value)
{
    if (!(value > 0))
        return 0;
    return value >= INT_MAX ? INT_MAX : static_cast<int>(value);
}

struct VbrCounts {
    bool HasFrames = false;
    bool HasBytes = false;
    uint32_t Frames = 0;
    uint32_t Bytes = 0;
};

// Looks for a Xing, Info or VBRI header at each of the first candidates
// positions of region; false when none is there.
bool FindVbrHeader(std::span<const uint8_t> region, size_t candidates, VbrCounts& counts)
{
    for (size_t i = 0; i < candidates && region.size() - i >= FrameHeaderBytes; ++i) {
        ByteReader reader(region.subspan(i));
        if (reader.Match("Xing") || reader.Match("Info")) {
            const uint32_t flags = reader.U32BE();
            if (flags & XingFramesFlag) {
                counts.Frames = reader.U32BE();
                counts.HasFrames = true;
            }
            if (flags & XingBytesFlag) {
                counts.Bytes = reader.U32BE();
                counts.HasBytes = true;
            }
            return !reader.Failed();
        }
        if (reader.Match("VBRI")) {
            reader.Skip(VbriSkipBytes);
            counts.Bytes = reader.U32BE();
            counts.Frames = reader.U32BE();
            counts.HasBytes = counts.HasFrames = true;
            return !reader.Failed();
        }
    }
    return false;
}

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
    if (h.SampleRateHz > 0)
        h.FrameBytes = static_cast<int>(static_cast<int64_t>(h.Coefficient) * h.BitRateKbps * 1000 / h.SampleRateHz) +
                       h.PaddingBytes;
    return h;
}

int ReadMpegStream(std::string_view path, TrackInfo& info)
{
    return WithoutThrowing([&] { return ReadMpegStream(InputFile(path), info); });
}

int ReadMpegStream(const InputFile& file, TrackInfo& info)
{
    if (!file.IsOpen())
        return 0;
    FileReader reader(file);
    // Through the reader: with a small tag the frame search then needs no second read.
    std::array<uint8_t, Id3v2HeaderBytes> firstBytes{};
    const size_t firstRead = reader.Read(firstBytes);
    const uint64_t start = static_cast<uint64_t>(Id3v2TagLength(std::span<const uint8_t>(firstBytes).first(firstRead)));
    const uint64_t tail = static_cast<uint64_t>(Id3v1TagLength(file));

    // One block holds every candidate of the frame search.
    reader.Seek(start);
    const uint64_t searchStart = reader.Position();
    const std::vector<uint8_t> search = reader.ReadBytes(FrameSearchCandidates + FrameHeaderBytes - 1);
    size_t found = search.size();
    for (size_t i = 0; i < static_cast<size_t>(FrameSearchCandidates) && search.size() - i >= FrameHeaderBytes; ++i) {
        if (IsMpegFrameHeader(search[i], search[i + 1], search[i + 2], search[i + 3])) {
            found = i;
            break;
        }
    }

    MpegFrameHeader h;
    bool haveHeader = found < search.size();
    if (haveHeader) {
        h = ParseMpegFrameHeader(search[found], search[found + 1], search[found + 2], search[found + 3]);
        const uint64_t framePos = searchStart + found;
        const uint64_t used = framePos + tail;
        const double audioBytes = file.Size() > used ? static_cast<double>(file.Size() - used) : 0.0;
        info.DurationText = FormatMinutesSeconds(ToInt(audioBytes / (h.BitRateKbps * 1000.0) * 8));

        reader.Seek(framePos + FrameHeaderBytes);
        const size_t candidates = static_cast<size_t>(h.FrameBytes);
        const std::vector<uint8_t> region = reader.ReadBytes(candidates + FrameHeaderBytes - 1 + VbrFieldsBytes);
        VbrCounts counts;
        // A count of 0 or a missing frame count leaves the first frame's figures.
        if (FindVbrHeader(region, candidates, counts) && counts.HasFrames && counts.Frames > 0) {
            // Without a byte count, the audio bytes of the file stand in for it.
            const double bytes = counts.HasBytes ? counts.Bytes : audioBytes;
            const double frameAverage = bytes / counts.Frames - h.PaddingBytes;
            h.BitRateKbps = ToInt(std::round(frameAverage * h.SampleRateHz / h.Coefficient / 1000.0));
            info.DurationText =
                FormatMinutesSeconds(ToInt(static_cast<double>(counts.Frames) * h.Coefficient * 8 / h.SampleRateHz));
        }
    }

    info.ChannelsText = haveHeader ? std::string(MpegChannelModeNames[h.ChannelMode]) : std::string();
    info.BitRateText = std::to_string(haveHeader ? h.BitRateKbps : 0);
    info.SampleRateText = std::to_string(haveHeader ? h.SampleRateHz : 0);
    info.Encoder = haveHeader ? std::string(MpegVersionNames[h.Version]) + " " + std::string(MpegLayerNames[h.Layer])
                              : std::string(" ");
    return 1;
}
