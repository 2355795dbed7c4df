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

namespace {

constexpr size_t FrameHeaderBytes = MpegFrameHeaderBytes;
constexpr int FrameSearchCandidates = 2048;
constexpr size_t VbrFieldsBytes = 14;  // the most any VBR header reads after its magic

int ToInt(double value)
{
    if (!(value > 0))
        return 0;
    return value >= INT_MAX ? INT_MAX : static_cast<int>(value);
}

// Looks for a Xing, Info or VBRI header at each of the first candidates
// positions of region; false when none is there.
bool FindVbrHeader(std::span<const uint8_t> region, size_t candidates, MpegVbrCounts& counts)
{
    for (size_t i = 0; i < candidates && region.size() - i >= FrameHeaderBytes; ++i) {
        const std::span<const uint8_t> at = region.subspan(i);
        if (ReadMpegVbrHeader(at, counts))
            return true;
        ByteReader magic(at);
        if (magic.Match("Xing") || magic.Match("Info") || magic.Match("VBRI"))
            return false;  // the first magic decides, cut or not
    }
    return false;
}

}  // namespace

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
        MpegVbrCounts counts;
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
