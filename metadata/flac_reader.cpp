// FLAC: stream properties from STREAMINFO, tags from VORBIS_COMMENT, the
// cover from PICTURE.

#include "metadata/byte_reader.h"
#include "metadata/record_file.h"
#include "metadata/flac.h"
#include "metadata/read_limits.h"
#include "metadata/stream_text.h"
#include "metadata/text.h"
#include "metadata/track_info.h"
#include "metadata/vorbis_comments.h"
#include "platform/file_reader.h"
#include "platform/input_file.h"

#include <array>
#include <cmath>

int32_t BigEndianInt32(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 4)
        return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                                static_cast<uint32_t>(bytes[2]) << 8 | bytes[3]);
}

namespace {

constexpr std::string_view FlacMagic = "fLaC";
constexpr size_t BlockHeaderBytes = 4;
constexpr uint8_t LastBlockFlag = 0x80;
constexpr uint8_t BlockTypeMask = 0x7F;
constexpr uint8_t StreamInfoType = 0;
constexpr uint8_t VorbisCommentType = 4;
constexpr uint8_t PictureType = 6;
constexpr size_t StreamInfoSkippedBytes = 10;  // block and frame sizes
constexpr size_t PictureDimensionBytes = 16;   // width, height, depth, colour count

constexpr VorbisCommentField FlacCommentFields[] = {
    {"ARTIST", &TrackInfo::Artist},     {"ALBUM", &TrackInfo::Album},     {"TRACKNUMBER", &TrackInfo::Track},
    {"TITLE", &TrackInfo::Title},       {"DATE", &TrackInfo::Year},       {"GENRE", &TrackInfo::Genre},
    {"COMMENT", &TrackInfo::Comment},   {"LYRICS", &TrackInfo::Lyrics},   {"URL", &TrackInfo::Url},
    {"COPYRIGHT", &TrackInfo::Copyright},
};

void ReadStreamInfo(std::span<const uint8_t> block, uint64_t fileBytes, TrackInfo& info)
{
    ByteReader reader(block);
    reader.Skip(StreamInfoSkippedBytes);
    const std::span<const uint8_t> s = reader.Span(8);
    if (reader.Failed())
        return;
    const uint32_t sampleRate = static_cast<uint32_t>(s[0]) << 12 | static_cast<uint32_t>(s[1]) << 4 | s[2] >> 4;
    const uint32_t channels = ((s[2] >> 1) & 7) + 1;
    const uint32_t bitsPerSample = (((s[2] & 1) << 4) | s[3] >> 4) + 1;
    // 36 bits: the top four sit in the low half of s3.
    const uint64_t totalSamples = static_cast<uint64_t>(s[3] & 0x0F) << 32 | static_cast<uint64_t>(s[4]) << 24 |
                                  static_cast<uint64_t>(s[5]) << 16 | static_cast<uint64_t>(s[6]) << 8 | s[7];

    info.DurationText = SampleDurationText(totalSamples, sampleRate);
    info.SampleRateText = std::to_string(sampleRate);
    // The file's size as a whole percentage of the raw PCM size.
    const double rawBytes = static_cast<double>(totalSamples) * channels * bitsPerSample / 8;
    if (rawBytes > 0)
        info.BitRateText = std::to_string(std::llround(static_cast<double>(fileBytes) / rawBytes * 100));
    info.ChannelsText = channels == 1 ? MonoText : channels == 2 ? StereoText : MultiChannelText;
}

void ReadComments(std::span<const uint8_t> block, TrackInfo& info)
{
    const VorbisCommentList list = ParseVorbisComments(block);
    if (!list.HasVendor)
        return;
    info.Encoder = "Free Lossless Audio Codec(" + BytesToText(list.Vendor) + ")";
    ApplyVorbisComments(list, FlacCommentFields, info);
}

void ReadPicture(std::vector<uint8_t>&& block, TrackInfo& info)
{
    ByteReader reader(block);
    reader.Skip(4);  // picture type: any picture will do
    reader.Skip(reader.U32BE());  // MIME type
    reader.Skip(reader.U32BE());  // description
    reader.Skip(PictureDimensionBytes);
    const std::span<const uint8_t> data = reader.Span(reader.U32BE());
    if (!reader.Failed())  // a cut picture would not decode anyway
        TakePicture(std::move(block), data, info);
}

int ReadFlac(const InputFile& file, TrackInfo& info)
{
    if (!file.IsOpen())
        return 0;
    FileReader reader(file);
    std::array<uint8_t, 4> magic{};
    if (!reader.ReadExact(magic)
        || std::string_view(reinterpret_cast<const char*>(magic.data()), magic.size()) != FlacMagic)
        return 0;

    // Every block is read from its own start, and the walk resumes at the
    // block's end, so a damaged block cannot shift the next header.
    for (;;) {
        std::array<uint8_t, BlockHeaderBytes> header{};
        if (!reader.ReadExact(header))
            break;  // no block carried the last-block flag
        const bool last = (header[0] & LastBlockFlag) != 0;
        const uint8_t type = header[0] & BlockTypeMask;
        const uint32_t size
            = static_cast<uint32_t>(header[1]) << 16 | static_cast<uint32_t>(header[2]) << 8 | header[3];
        const uint64_t blockStart = reader.Position();
        if (size != 0 && (type == StreamInfoType || type == VorbisCommentType || type == PictureType)) {
            // At most what the file holds, and below 16 MiB (a 24-bit size).
            std::vector<uint8_t> block = ReadItemBytes(reader, size);
            if (type == StreamInfoType)
                ReadStreamInfo(block, file.Size(), info);
            else if (type == VorbisCommentType)
                ReadComments(block, info);
            else
                ReadPicture(std::move(block), info);
        }
        reader.Seek(blockStart + size);
        if (last)
            break;
    }
    return 1;
}

}  // namespace

int ReadFlacFile(std::string_view path, TrackInfo& info)
{
    return WithoutThrowing([&] { return ReadFlac(OpenAndResetRecord(path, info), info); });
}
