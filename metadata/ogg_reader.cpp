// Ogg Vorbis: identification and comment packets, and the length from the
// granule position of the last page.

#include "metadata/byte_reader.h"
#include "metadata/ogg.h"
#include "metadata/read_limits.h"
#include "metadata/record_file.h"
#include "metadata/stream_text.h"
#include "metadata/text.h"
#include "metadata/track_info.h"
#include "metadata/vorbis_comments.h"
#include "platform/file_reader.h"
#include "platform/input_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

constexpr std::string_view PageMagic = "OggS";
constexpr uint8_t EndOfStreamOnly = OggEndOfStream;  // end of stream, not continued
constexpr size_t EndPageSearchBytes = 12500;  // how far back the last page is looked for
constexpr size_t PacketKindBytes = 7;         // type byte and "vorbis"
constexpr std::string_view IdentificationKind = "\x01vorbis";
constexpr std::string_view CommentKind = "\x03vorbis";

constexpr VorbisCommentField OggCommentFields[] = {
    {"TITLE", &TrackInfo::Title},         {"ARTIST", &TrackInfo::Artist},   {"ALBUM", &TrackInfo::Album},
    {"TRACKNUMBER", &TrackInfo::Track},   {"DATE", &TrackInfo::Year},       {"GENRE", &TrackInfo::Genre},
    {"COMMENT", &TrackInfo::Comment},     {"PERFORMER", &TrackInfo::Performer},
    {"DESCRIPTION", &TrackInfo::Description}, {"LYRICS", &TrackInfo::Lyrics},
};

// Reassembles the first packets of the file's first logical stream from the
// page segment tables: a packet that continues on further pages is joined
// without the page headers between its parts. A packet cut by the end of the
// file, or by its cap, is kept as far as it goes, so that the comments wholly
// before the cut are read.
std::vector<std::vector<uint8_t>> ReadFirstPackets(FileReader& reader, size_t wanted)
{
    std::vector<std::vector<uint8_t>> packets;
    std::vector<uint8_t> packet;
    bool haveSerial = false;
    uint32_t firstSerial = 0;
    bool cut = false;
    while (packets.size() < wanted && !cut) {
        std::array<uint8_t, OggPageHeaderBytes> header{};
        ByteReader headerReader(header);
        OggPageHeader page;
        if (!reader.ReadExact(header) || !ReadOggPageHeader(headerReader, page))
            break;
        std::array<uint8_t, 255> lacing{};
        const size_t segments = page.Segments;
        if (!reader.ReadExact(std::span(lacing).first(segments)))
            break;
        const uint32_t serial = page.Serial;
        if (!haveSerial) {
            haveSerial = true;
            firstSerial = serial;
        }
        size_t pageBytes = 0;
        for (size_t i = 0; i < segments; ++i)
            pageBytes += lacing[i];
        if (serial != firstSerial) {  // another stream's page
            reader.Skip(pageBytes);
            continue;
        }
        const std::vector<uint8_t> body = reader.ReadBytes(pageBytes);
        size_t offset = 0;
        for (size_t i = 0; i < segments && packets.size() < wanted; ++i) {
            const size_t n = std::min<size_t>(lacing[i], body.size() - offset);
            if (packet.size() + n > MaxOggHeaderPacketBytes) {
                cut = true;
                break;
            }
            packet.insert(packet.end(), body.begin() + static_cast<ptrdiff_t>(offset),
                          body.begin() + static_cast<ptrdiff_t>(offset + n));
            offset += n;
            if (n < lacing[i]) {  // the file ends inside the page
                cut = true;
                break;
            }
            if (lacing[i] < 255) {  // a lacing value below 255 ends the packet
                packets.push_back(std::move(packet));
                packet.clear();
            }
        }
    }
    if (packets.size() < wanted && !packet.empty())
        packets.push_back(std::move(packet));
    return packets;
}

// The granule position of the last end-of-stream page in the file's last
// bytes; 0 when there is none.
int64_t EndGranule(FileReader& reader)
{
    const uint64_t fileBytes = reader.Size();
    const uint64_t searchBytes = std::min<uint64_t>(fileBytes, EndPageSearchBytes + OggPageHeaderBytes);
    reader.Seek(fileBytes - searchBytes);
    const std::vector<uint8_t> tail = reader.ReadBytes(searchBytes);
    const auto page = FindLastOggPage(tail, [](const OggPageHeader& p) { return p.Type == EndOfStreamOnly; });
    return page ? static_cast<int64_t>(page->Granule) : 0;
}

std::string_view ChannelsWord(uint8_t channels)
{
    switch (channels) {
    case 1: return MonoText;
    case 2: return StereoText;
    case 3: return "3\xE9\x80\x9A\xE9\x81\x93";      // 3通道
    case 4: return "4\xE9\x80\x9A\xE9\x81\x93";      // 4通道
    case 5: return "5.1\xE9\x80\x9A\xE9\x81\x93";    // 5.1通道: five channels are shown as 5.1
    default: return UnknownText;
    }
}

int ReadOgg(const InputFile& file, TrackInfo& info)
{
    if (!file.IsOpen())
        return 0;
    FileReader reader(file);
    std::array<uint8_t, 4> magic{};
    if (!reader.ReadExact(magic) || std::memcmp(magic.data(), PageMagic.data(), PageMagic.size()) != 0)
        return 0;
    reader.Seek(0);

    uint32_t sampleRate = 0;
    const std::vector<std::vector<uint8_t>> packets = ReadFirstPackets(reader, 2);
    if (!packets.empty() && ByteReader(packets[0]).Match(IdentificationKind)) {
        ByteReader identification(packets[0]);
        identification.Skip(PacketKindBytes + 4);  // kind, version
        const uint8_t channels = identification.U8();
        const uint32_t rate = identification.U32LE();
        if (!identification.Failed()) {
            sampleRate = rate;
            info.ChannelsText = ChannelsWord(channels);
            info.SampleRateText = std::to_string(sampleRate);
        }
        if (packets.size() > 1) {
            ByteReader comment(packets[1]);
            if (comment.Match(CommentKind)) {
                const VorbisCommentList list = ParseVorbisComments(comment.Rest());
                if (list.HasVendor)
                    info.Encoder = "Vorbis(" + BytesToText(list.Vendor) + ")";
                ApplyVorbisComments(list, OggCommentFields, info);
            }
        }
    }

    const int64_t granule = EndGranule(reader);
    if (granule > 0) {
        info.DurationText = SampleDurationText(static_cast<uint64_t>(granule), sampleRate);
        // The whole file's average in kbit/s, headers included; "0" without a rate.
        const double ms = sampleRate == 0 ? 0 : std::round(static_cast<double>(granule) / sampleRate * 1000);
        if (sampleRate == 0 || ms != 0)
            info.BitRateText
                = std::to_string(ms == 0 ? 0 : std::llround(static_cast<double>(file.Size()) / ms / 125 * 1000));
    }
    return 1;
}

}  // namespace

int ReadOggFile(std::string_view path, TrackInfo& info)
{
    return WithoutThrowing([&] { return ReadOgg(OpenAndResetRecord(path, info), info); });
}
