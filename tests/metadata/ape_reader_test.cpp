// Monkey's Audio header and APEv2 tag reading.

#include "container_builders.h"

namespace {

// Monkey's Audio header, layout of 3.98 and later.
ByteVector NewMacHeader(uint16_t version, uint32_t blocksPerFrame, uint32_t finalFrameBlocks, uint32_t totalFrames,
                        uint16_t bitsPerSample, uint16_t channels, uint32_t sampleRate)
{
    ByteVector out;
    Append(out, "MAC ");
    AppendLe(out, version, 2);
    out.resize(52, 0);                      // descriptor fields the reader skips
    AppendLe(out, 2000, 2);                 // compression level
    AppendLe(out, 0, 2);                    // format flags
    AppendLe(out, blocksPerFrame, 4);
    AppendLe(out, finalFrameBlocks, 4);
    AppendLe(out, totalFrames, 4);
    AppendLe(out, bitsPerSample, 2);
    AppendLe(out, channels, 2);
    AppendLe(out, sampleRate, 4);
    return out;
}

// Layout before 3.98: blocks per frame follows from version and compression level.
ByteVector OldMacHeader(uint16_t version, uint16_t compressionLevel, uint16_t channels, uint32_t sampleRate,
                        uint32_t totalFrames, uint32_t finalFrameBlocks)
{
    ByteVector out;
    Append(out, "MAC ");
    AppendLe(out, version, 2);
    AppendLe(out, compressionLevel, 2);
    AppendLe(out, 0, 2);                    // format flags
    AppendLe(out, channels, 2);
    AppendLe(out, sampleRate, 4);
    AppendLe(out, 0, 8);                    // header and terminating byte counts
    AppendLe(out, totalFrames, 4);
    AppendLe(out, finalFrameBlocks, 4);
    return out;
}

class ApeTag {
public:
    ApeTag& Item(std::string_view key, std::string_view value, uint32_t flags = 0)
    {
        return RawItem(key, Bytes(value), static_cast<uint32_t>(value.size()), flags);
    }
    ApeTag& RawItem(std::string_view key, const ByteVector& value, uint32_t declaredSize, uint32_t flags = 0)
    {
        AppendLe(Items, declaredSize, 4);   // value size
        AppendLe(Items, flags, 4);          // item flags
        Append(Items, key);
        Items.push_back(0);
        Append(Items, value);
        ++Count;
        return *this;
    }
    ApeTag& TagSize(uint32_t size)
    {
        SizeOverride = size;
        return *this;
    }
    ByteVector Build() const
    {
        ByteVector out = Items;
        Append(out, "APETAGEX");
        AppendLe(out, 2000, 4);             // version
        AppendLe(out, SizeOverride ? SizeOverride : Items.size() + 32, 4);
        AppendLe(out, Count, 4);            // item count
        AppendLe(out, 0, 4);                // flags
        out.resize(out.size() + 8, 0);      // reserved
        return out;
    }

private:
    ByteVector Items;
    uint32_t Count = 0;
    uint32_t SizeOverride = 0;
};

ByteVector Id3v1Tag()
{
    ByteVector out;
    Append(out, "TAG");
    out.resize(128, 0);
    return out;
}

ReadResult ReadApe(const ByteVector& bytes, std::string_view extension = "ape")
{
    return ReadBytesWith(ReadApeFile, bytes, extension);
}

TEST(ApeHeader, NewLayoutGivesStreamFields)
{
    const ReadResult read = ReadApe(NewMacHeader(3990, 73728, 1000, 100, 16, 2, 44100));
    EXPECT_EQ(read.Result, 0);  // no tag
    EXPECT_EQ(read.Info.DurationText, "02:45");  // 7,300,072 samples
    EXPECT_EQ(read.Info.Encoder, "Monkey's Audio 3.99");
    EXPECT_EQ(read.Info.BitRateText, "16");
    EXPECT_EQ(read.Info.SampleRateText, "44100");
    EXPECT_EQ(read.Info.ChannelsText, ShownStereo);
}

TEST(ApeHeader, EncoderTextDropsTrailingZeros)
{
    EXPECT_EQ(ReadApe(NewMacHeader(4000, 73728, 1, 1, 16, 2, 44100)).Info.Encoder, "Monkey's Audio 4");
    EXPECT_EQ(ReadApe(NewMacHeader(3980, 73728, 1, 1, 16, 2, 44100)).Info.Encoder, "Monkey's Audio 3.98");
}

TEST(ApeHeader, OldLayoutBlocksPerFrameByVersion)
{
    // Two frames of which the last is empty: the length is one frame, so at
    // 1024 Hz the seconds show the blocks per frame / 1024.
    struct Case {
        uint16_t Version, CompressionLevel;
        const char* Duration;
    } cases[] = {
        {3950, 2000, "04:48"},  // 294912
        {3930, 2000, "01:12"},  // 73728
        {3900, 1000, "01:12"},
        {3800, 4000, "01:12"},
        {3800, 2000, "00:09"},  // 9216
        {3700, 4000, "00:09"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Version);
        const ReadResult read = ReadApe(OldMacHeader(c.Version, c.CompressionLevel, 1, 1024, 2, 0));
        EXPECT_EQ(read.Info.DurationText, c.Duration);
        EXPECT_EQ(read.Info.BitRateText, "0");  // not stored before 3.98
        EXPECT_EQ(read.Info.ChannelsText, ShownMono);
    }
}

TEST(ApeHeader, UnusableLengthLeavesDurationEmpty)
{
    EXPECT_EQ(ReadApe(NewMacHeader(3990, 73728, 1000, 100, 16, 2, 0)).Info.DurationText, "");  // rate 0
    EXPECT_EQ(ReadApe(NewMacHeader(3990, 73728, 0, 0, 16, 2, 44100)).Info.DurationText, "");    // no frames
    // Other channel counts leave the word empty.
    EXPECT_EQ(ReadApe(NewMacHeader(3990, 73728, 1000, 100, 16, 6, 44100)).Info.ChannelsText, "");
}

TEST(ApeHeader, FollowsId3v2Tag)
{
    ByteVector id3 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10};  // 10-byte body
    id3.resize(20, 0);
    const ReadResult read = ReadApe(Concat({id3, NewMacHeader(3990, 73728, 1000, 100, 16, 2, 44100)}));
    EXPECT_EQ(read.Info.DurationText, "02:45");
}

TEST(ApeTagItems, FieldsAndConversions)
{
    const ByteVector tag = ApeTag()
                               .Item("Title", Utf8Chinese)
                               .Item("Artist", "A")
                               .Item("Album", "B")
                               .Item("Year", "\xB6\xFE")  // not UTF-8: 8-bit text in code page 936
                               .Item("Copyright", "C")
                               .Item("Comment", "D")
                               .Item("Genre", "E")
                               .Item("Track", "3/12")
                               .Item("Lyrics", "L")
                               .Build();
    const ReadResult read = ReadApe(Concat({NewMacHeader(3990, 73728, 1000, 100, 16, 2, 44100), tag}));
    EXPECT_EQ(read.Result, 1);
    EXPECT_EQ(read.Info.Title, Utf8Chinese);
    EXPECT_EQ(read.Info.Artist, "A");
    EXPECT_EQ(read.Info.Album, "B");
    EXPECT_EQ(read.Info.Year, "\xE4\xBA\x8C");  // 二
    EXPECT_EQ(read.Info.Copyright, "C");
    EXPECT_EQ(read.Info.Comment, "D");
    EXPECT_EQ(read.Info.Genre, "E");
    EXPECT_EQ(read.Info.Track, "3/12");
    EXPECT_EQ(read.Info.Lyrics, "L");
    EXPECT_TRUE(read.Info.Picture.empty());
    EXPECT_EQ(read.Info.DurationText, "02:45");
}

TEST(ApeTagItems, KeysMatchWholeAndIgnoringCase)
{
    const ByteVector tag = ApeTag()
                               .Item("Album Artist", "not the artist")
                               .Item("Comment", std::string_view("see Title\0x", 11))
                               .Item("TITLE", "upper")
                               .Item("artist", "lower")
                               .Build();
    const ReadResult read = ReadApe(tag, "mp3");
    EXPECT_EQ(read.Info.Artist, "lower");
    EXPECT_EQ(read.Info.Title, "upper");
    EXPECT_EQ(read.Info.Comment, "see Title");
    // A key inside a value is no item.
    EXPECT_EQ(ReadApe(ApeTag().Item("Comment", std::string_view("Title\0zz", 8)).Build()).Info.Title, "");
}

TEST(ApeTagItems, LaterDuplicateWins)
{
    const ReadResult read = ReadApe(ApeTag().Item("Title", "first").Item("Title", "second").Build(), "wav");
    EXPECT_EQ(read.Info.Title, "second");
}

TEST(ApeTagItems, CoverIsValueAfterFileName)
{
    const ByteVector picture = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0xFF, 0xD9};
    ByteVector value = Bytes("cover.jpg");
    value.push_back(0);
    Append(value, picture);
    const ByteVector tag = ApeTag()
                               .RawItem("Cover Art (Front)", value, static_cast<uint32_t>(value.size()), 2)
                               .Item("Title", "after the cover")
                               .Build();
    const ReadResult read = ReadApe(tag, "aac");
    EXPECT_EQ(read.Info.Picture, picture);  // nothing of the next item
    EXPECT_EQ(read.Info.Title, "after the cover");
}

TEST(ApeTagItems, TagBeforeId3v1OrAtEnd)
{
    const ByteVector tag = ApeTag().Item("Title", "t").Build();
    ByteVector audio(300, 0x55);
    for (const ByteVector& file : {Concat({audio, tag, Id3v1Tag()}), Concat({audio, tag})}) {
        const ReadResult read = ReadApe(file, "mp3");
        EXPECT_EQ(read.Result, 1);
        EXPECT_EQ(read.Info.Title, "t");
    }
}

TEST(ApeTagItems, HostileSizes)
{
    // A value size past the item area is cut there; the walk ends.
    const ReadResult cut = ReadApe(ApeTag().Item("Genre", "g").RawItem("Title", Bytes("abc"), 0xFFFFFFFF).Build());
    EXPECT_EQ(cut.Info.Genre, "g");
    EXPECT_EQ(cut.Info.Title, "abc");
    // A key without its NUL ends the walk.
    ByteVector noNul = {3, 0, 0, 0, 0, 0, 0, 0, 'T', 'i', 't', 'l', 'e'};
    EXPECT_EQ(ReadApe(Concat({noNul, ApeTag().TagSize(32 + 13).Build()})).Info.Title, "");
    // Tag sizes that do not fit before the footer read no items.
    for (uint32_t size : {0xFFFFFFFFu, 31u, 10000u}) {
        SCOPED_TRACE(size);
        const ReadResult read = ReadApe(ApeTag().Item("Title", "x").TagSize(size).Build());
        EXPECT_EQ(read.Result, 0);
        EXPECT_EQ(read.Info.Title, "");
    }
}

TEST(ApeFile, MissingFileOrNoTag)
{
    TrackInfo info;
    info.Title = "stale";
    EXPECT_EQ(ReadApeFile("no such file.ape", info), 0);
    EXPECT_EQ(info.Title, "stale");  // a missing file writes nothing
    const ReadResult noTag = ReadApe(ByteVector(100, 0));
    EXPECT_EQ(noTag.Result, 0);
    EXPECT_EQ(noTag.Info.Encoder, "");
}

TEST(ApeFile, EveryPrefixReadsSafely)
{
    ByteVector value = Bytes("c.jpg");
    value.push_back(0);
    Append(value, ByteVector(20, 0xAB));
    const ByteVector file = Concat({NewMacHeader(3990, 73728, 1000, 100, 16, 2, 44100),
                                    ApeTag().Item("Title", "t").RawItem("Cover Art (Front)", value, 26).Build(),
                                    Id3v1Tag()});
    ReadEveryPrefix(ReadApeFile, file, "ape");
}

}  // namespace
