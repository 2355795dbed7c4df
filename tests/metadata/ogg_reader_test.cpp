// Ogg Vorbis reading: packets across pages, comments, the end page.

#include "container_builders.h"
#include "metadata/ogg.h"

#include <span>
#include <vector>

namespace {

constexpr uint8_t ContinuedPacket = 1, FirstPage = 2, LastPage = 4;

ByteVector OggPage(uint8_t headerType, int64_t granule, const std::vector<uint8_t>& lacing, const ByteVector& body,
                   uint32_t serial = 0x1234, uint32_t sequence = 0)
{
    ByteVector out;
    Append(out, "OggS");
    out.push_back(0);                               // version
    out.push_back(headerType);
    AppendLe(out, static_cast<uint64_t>(granule), 8);
    AppendLe(out, serial, 4);
    AppendLe(out, sequence, 4);
    AppendLe(out, 0, 4);                            // CRC: not checked
    out.push_back(static_cast<uint8_t>(lacing.size()));
    out.insert(out.end(), lacing.begin(), lacing.end());
    Append(out, body);
    return out;
}

// Lays packets out in pages of at most maxSegments lacing values each.
ByteVector OggPages(const std::vector<ByteVector>& packets, size_t maxSegments = 255, uint32_t serial = 0x1234)
{
    std::vector<uint8_t> lacing;
    ByteVector body;
    for (const ByteVector& packet : packets) {
        size_t left = packet.size();
        for (;;) {
            const size_t n = std::min<size_t>(left, 255);
            lacing.push_back(static_cast<uint8_t>(n));
            left -= n;
            if (n < 255)
                break;
        }
        Append(body, packet);
    }
    ByteVector out;
    size_t segment = 0, offset = 0;
    bool continued = false;
    uint32_t sequence = 0;
    while (segment < lacing.size()) {
        const size_t count = std::min(maxSegments, lacing.size() - segment);
        const std::vector<uint8_t> pageLacing(lacing.begin() + segment, lacing.begin() + segment + count);
        size_t pageBytes = 0;
        for (const uint8_t l : pageLacing)
            pageBytes += l;
        const ByteVector pageBody(body.begin() + offset, body.begin() + offset + pageBytes);
        Append(out, OggPage((continued ? ContinuedPacket : 0) | (sequence == 0 ? FirstPage : 0), 0, pageLacing,
                            pageBody, serial, sequence));
        continued = pageLacing.back() == 255;
        segment += count;
        offset += pageBytes;
        ++sequence;
    }
    return out;
}

ByteVector IdentificationPacket(uint8_t channels, uint32_t sampleRate)
{
    ByteVector out;
    Append(out, "\x01vorbis");
    AppendLe(out, 0, 4);                // version
    out.push_back(channels);
    AppendLe(out, sampleRate, 4);
    AppendLe(out, 0, 4);                // maximum bit rate
    AppendLe(out, 128000, 4);           // nominal bit rate
    AppendLe(out, 0, 4);                // minimum bit rate
    out.push_back(0xB8);                // block sizes
    out.push_back(1);                   // framing
    return out;
}

ByteVector CommentPacket(std::string_view vendor, const std::vector<std::string>& comments)
{
    ByteVector out;
    Append(out, "\x03vorbis");
    AppendLe(out, vendor.size(), 4);
    Append(out, vendor);
    AppendLe(out, comments.size(), 4);
    for (const std::string& comment : comments) {
        AppendLe(out, comment.size(), 4);
        Append(out, comment);
    }
    out.push_back(1);                   // framing
    return out;
}

ByteVector EndPage(int64_t granule, uint8_t headerType = LastPage)
{
    return OggPage(headerType, granule, {4}, {0, 0, 0, 0}, 0x1234, 9);
}

ByteVector OggFile(uint8_t channels, uint32_t rate, const std::vector<std::string>& comments, int64_t granule)
{
    return Concat({OggPages({IdentificationPacket(channels, rate)}), OggPages({CommentPacket("vendor", comments)}),
                   EndPage(granule)});
}

ReadResult ReadOgg(const ByteVector& bytes) { return ReadBytesWith(ReadOggFile, bytes, "ogg"); }

TEST(OggHeaders, StreamFieldsAndAverageRate)
{
    ByteVector file = Concat({OggPages({IdentificationPacket(2, 44100)}), OggPages({CommentPacket("v", {})})});
    const ByteVector end = EndPage(13230000);
    file.resize(4800000 - end.size(), 0);  // audio pages stand-in
    Append(file, end);
    const ReadResult read = ReadOgg(file);
    EXPECT_EQ(read.Result, 1);
    EXPECT_EQ(read.Info.SampleRateText, "44100");
    EXPECT_EQ(read.Info.ChannelsText, ShownStereo);
    EXPECT_EQ(read.Info.DurationText, "05:00");
    EXPECT_EQ(read.Info.BitRateText, "128");
    EXPECT_EQ(read.Info.Encoder, "Vorbis(v)");
}

TEST(OggHeaders, ChannelWords)
{
    const struct {
        uint8_t Channels;
        std::string_view Word;
    } cases[] = {
        {1, ShownMono}, {2, ShownStereo}, {3, "3\xE9\x80\x9A\xE9\x81\x93"}, {4, "4\xE9\x80\x9A\xE9\x81\x93"},
        {5, "5.1\xE9\x80\x9A\xE9\x81\x93"}, {6, ShownUnknown}, {0, ShownUnknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Channels);
        EXPECT_EQ(ReadOgg(OggFile(c.Channels, 44100, {}, 44100)).Info.ChannelsText, c.Word);
    }
}

TEST(OggHeaders, VendorIsEightBitText)
{
    // Taken as 8-bit text in code page 936, as the other untyped texts are.
    const ByteVector file = Concat({OggPages({IdentificationPacket(2, 44100)}),
                                    OggPages({CommentPacket("\xD6\xD0\xCE\xC4", {})}), EndPage(44100)});
    EXPECT_EQ(ReadOgg(file).Info.Encoder, "Vorbis(" + std::string(Utf8Chinese) + ")");
}

TEST(OggComments, NamesAndValues)
{
    const ReadResult read = ReadOgg(OggFile(2, 44100,
                                            {"TITLE=a=b", "artist=lower", "Album=" + std::string(Utf8Chinese),
                                             "TRACKNUMBER=3/12", "DATE=2021", "GENRE=g", "COMMENT=c", "PERFORMER=p",
                                             "DESCRIPTION=d", "LYRICS=l", "GENRE=second", "NOEQUALS", "URL=u"},
                                            44100));
    EXPECT_EQ(read.Info.Title, "a=b");      // everything after the first "="
    EXPECT_EQ(read.Info.Artist, "lower");   // names ignore case
    EXPECT_EQ(read.Info.Album, Utf8Chinese);
    EXPECT_EQ(read.Info.Track, "3/12");
    EXPECT_EQ(read.Info.Year, "2021");
    EXPECT_EQ(read.Info.Genre, "second");   // a later comment wins
    EXPECT_EQ(read.Info.Comment, "c");
    EXPECT_EQ(read.Info.Performer, "p");
    EXPECT_EQ(read.Info.Description, "d");
    EXPECT_EQ(read.Info.Lyrics, "l");
    EXPECT_EQ(read.Info.Url, "");            // not an Ogg field
}

TEST(OggComments, PacketSpanningPagesIsReassembled)
{
    std::string lyrics(70 * 1024, 'x');
    for (size_t i = 0; i < lyrics.size(); i += 97)
        lyrics[i] = static_cast<char>('a' + i % 26);
    // Small pages: the comment packet crosses many page headers.
    const ByteVector file = Concat({OggPages({IdentificationPacket(2, 44100)}),
                                    OggPages({CommentPacket("v", {"LYRICS=" + lyrics, "TITLE=after"})}, 17),
                                    EndPage(44100)});
    const ReadResult read = ReadOgg(file);
    EXPECT_EQ(read.Info.Lyrics, lyrics);
    EXPECT_EQ(read.Info.Title, "after");
}

TEST(OggComments, PagesOfAnotherStreamAreSkipped)
{
    const ByteVector file = Concat({OggPages({IdentificationPacket(2, 44100)}),
                                    OggPages({CommentPacket("other", {"TITLE=other"})}, 255, 0x9999),
                                    OggPages({CommentPacket("v", {"TITLE=mine"})}), EndPage(44100)});
    EXPECT_EQ(ReadOgg(file).Info.Title, "mine");
}

TEST(OggComments, HostileCounts)
{
    ByteVector packet = CommentPacket("v", {"TITLE=t"});
    packet.pop_back();                                   // framing
    Append(packet, ByteVector{0xFF, 0xFF, 0xFF, 0x7F});  // a length past the packet
    const ByteVector file = Concat({OggPages({IdentificationPacket(2, 44100)}), OggPages({packet}), EndPage(44100)});
    EXPECT_EQ(ReadOgg(file).Info.Title, "t");
    // A count of 0xFFFFFFFF with no comments behind it.
    ByteVector many;
    Append(many, "\x03vorbis");
    AppendLe(many, 0, 4);
    AppendLe(many, 0xFFFFFFFF, 4);
    const ReadResult read = ReadOgg(Concat({OggPages({IdentificationPacket(2, 44100)}), OggPages({many}), EndPage(44100)}));
    EXPECT_EQ(read.Info.Encoder, "Vorbis()");
}

TEST(OggEndPage, GranuleChoices)
{
    // The last page is continued: the end-of-stream page before it counts.
    const ByteVector passedOver = Concat({OggFile(2, 44100, {}, 441000), EndPage(44100 * 99, LastPage | ContinuedPacket)});
    EXPECT_EQ(ReadOgg(passedOver).Info.DurationText, "00:10");
    // Granules above 32 bits keep their value.
    EXPECT_EQ(ReadOgg(OggFile(2, 44100, {}, 44100LL * 100000)).Info.DurationText, "1666:40");
    // No end page: no length, no rate.
    const ByteVector noEnd = Concat({OggPages({IdentificationPacket(2, 44100)}), OggPages({CommentPacket("v", {})})});
    const ReadResult none = ReadOgg(noEnd);
    EXPECT_EQ(none.Info.DurationText, "");
    EXPECT_EQ(none.Info.BitRateText, "");
    // A negative granule (-1: no packet ends on the page) is no length.
    EXPECT_EQ(ReadOgg(OggFile(2, 44100, {}, -1)).Info.DurationText, "");
}

TEST(OggFile, OtherCodecOrNotOgg)
{
    ByteVector opus;
    Append(opus, "OpusHead");
    opus.resize(19, 1);
    const ReadResult other = ReadOgg(Concat({OggPages({opus}), EndPage(48000)}));
    EXPECT_EQ(other.Result, 1);
    EXPECT_EQ(other.Info.SampleRateText, "");
    EXPECT_EQ(other.Info.DurationText, "");  // no rate: no length
    EXPECT_EQ(other.Info.BitRateText, "0");

    const ReadResult notOgg = ReadOgg(Bytes("RIFF not an ogg file"));
    EXPECT_EQ(notOgg.Result, 0);
    EXPECT_EQ(notOgg.Info.Title, "");
}

TEST(OggFile, EveryPrefixReadsSafely)
{
    const ByteVector file = Concat({OggPages({IdentificationPacket(2, 44100)}),
                                    OggPages({CommentPacket("v", {"TITLE=t", std::string(600, 'L')})}, 2),
                                    EndPage(44100)});
    ReadEveryPrefix(ReadOggFile, file, "ogg");
}

}  // namespace

// The backward search the reader and the audio library's probe share: a
// header cut by the end is not a page, and the caller's rule picks the page.
TEST(OggPages, LastPageSearchSkipsCutHeadersAndPagesTheRuleRefuses)
{
    auto page = [](uint8_t type, uint64_t granule, uint32_t serial) {
        std::vector<uint8_t> bytes = {'O', 'g', 'g', 'S', 0, type};
        for (int i = 0; i < 8; ++i)
            bytes.push_back(static_cast<uint8_t>(granule >> (8 * i)));
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(serial >> (8 * i)));
        bytes.resize(OggPageHeaderBytes, 0);  // sequence, CRC, no segments
        return bytes;
    };
    std::vector<uint8_t> tail = page(OggEndOfStream, 1000, 7);
    const std::vector<uint8_t> other = page(OggEndOfStream, 2000, 9);
    tail.insert(tail.end(), other.begin(), other.end());
    const std::vector<uint8_t> cut = page(OggEndOfStream, 3000, 7);
    tail.insert(tail.end(), cut.begin(), cut.end() - 1);

    const auto ofSeven = FindLastOggPage(tail, [](const OggPageHeader& p) { return p.Serial == 7; });
    ASSERT_TRUE(ofSeven);
    EXPECT_EQ(ofSeven->Granule, 1000u);
    const auto any = FindLastOggPage(tail, [](const OggPageHeader&) { return true; });
    ASSERT_TRUE(any);
    EXPECT_EQ(any->Granule, 2000u);
    EXPECT_FALSE(FindLastOggPage(std::span<const uint8_t>(cut).first(20), [](const OggPageHeader&) { return true; }));
}
