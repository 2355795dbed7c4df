// FLAC metadata blocks: STREAMINFO, VORBIS_COMMENT, PICTURE and the walk.

#include "container_builders.h"
#include "metadata/flac.h"

namespace {

constexpr uint8_t StreamInfoType = 0, PaddingType = 1, CommentType = 4, PictureType = 6;

class Flac {
public:
    Flac& Block(uint8_t type, const ByteVector& body, bool last = false, int64_t sizeOverride = -1)
    {
        const uint32_t size = sizeOverride >= 0 ? static_cast<uint32_t>(sizeOverride) : static_cast<uint32_t>(body.size());
        Out.push_back(static_cast<uint8_t>(type | (last ? 0x80 : 0)));
        AppendBe(Out, size, 3);
        Append(Out, body);
        return *this;
    }
    Flac& Raw(const ByteVector& bytes)
    {
        Append(Out, bytes);
        return *this;
    }
    ByteVector Build() const { return Out; }

private:
    ByteVector Out = Bytes("fLaC");
};

// STREAMINFO with its packed fields; 34 bytes.
ByteVector StreamInfo(uint32_t sampleRate, uint32_t channels, uint32_t bitsPerSample, uint64_t totalSamples)
{
    ByteVector out(10, 0);  // block sizes, frame sizes
    const uint64_t packed = static_cast<uint64_t>(sampleRate) << 44 | static_cast<uint64_t>(channels - 1) << 41 |
                            static_cast<uint64_t>(bitsPerSample - 1) << 36 | (totalSamples & 0xFFFFFFFFFULL);
    AppendBe(out, packed, 8);
    out.resize(34, 0);      // MD5
    return out;
}

ByteVector Comments(std::string_view vendor, const std::vector<std::string>& comments, int64_t countOverride = -1)
{
    ByteVector out;
    AppendLe(out, vendor.size(), 4);
    Append(out, vendor);
    AppendLe(out, countOverride >= 0 ? static_cast<uint64_t>(countOverride) : comments.size(), 4);
    for (const std::string& comment : comments) {
        AppendLe(out, comment.size(), 4);
        Append(out, comment);
    }
    return out;
}

ByteVector Picture(const ByteVector& data)
{
    ByteVector out;
    AppendBe(out, 3, 4);                // front cover
    AppendBe(out, 10, 4);
    Append(out, "image/jpeg");
    AppendBe(out, 4, 4);
    Append(out, "desc");
    AppendBe(out, 0, 16);               // width, height, depth, colours
    AppendBe(out, data.size(), 4);
    Append(out, data);
    return out;
}

ReadResult ReadFlac(const ByteVector& bytes) { return ReadBytesWith(ReadFlacFile, bytes, "flac"); }

TEST(FlacStreamInfo, PackedFields)
{
    ByteVector info(10, 0);
    Append(info, ByteVector{0x0A, 0xC4, 0x42, 0xF0, 0x00, 0xA1, 0xB2, 0xC3});
    info.resize(34, 0);
    const ReadResult read = ReadFlac(Flac().Block(StreamInfoType, info, true).Build());
    EXPECT_EQ(read.Result, 1);
    EXPECT_EQ(read.Info.SampleRateText, "44100");
    EXPECT_EQ(read.Info.ChannelsText, ShownStereo);
    EXPECT_EQ(read.Info.DurationText, "04:00");  // 10,597,059 samples
}

TEST(FlacStreamInfo, ThirtySixBitSampleCount)
{
    // 2^32 + 44100 samples at 44100 Hz: 97,392 s.
    const ReadResult read = ReadFlac(Flac().Block(StreamInfoType, StreamInfo(44100, 2, 16, (1ULL << 32) + 44100), true).Build());
    EXPECT_EQ(read.Info.DurationText, FormatMinutesSeconds(static_cast<int>(((1ULL << 32) + 44100) / 44100)));
}

TEST(FlacStreamInfo, SizeAsPercentOfRawPcm)
{
    // 1058 stereo 16-bit samples are 4232 raw bytes; a 2000-byte file is 47 %.
    ByteVector file = Flac().Block(StreamInfoType, StreamInfo(44100, 2, 16, 1058), true).Build();
    file.resize(2000, 0);
    EXPECT_EQ(ReadFlac(file).Info.BitRateText, "47");
}

TEST(FlacStreamInfo, ChannelWordsAndZeroes)
{
    EXPECT_EQ(ReadFlac(Flac().Block(0, StreamInfo(8000, 1, 8, 8000), true).Build()).Info.ChannelsText, ShownMono);
    EXPECT_EQ(ReadFlac(Flac().Block(0, StreamInfo(8000, 6, 8, 8000), true).Build()).Info.ChannelsText, ShownMulti);
    const ReadResult noRate = ReadFlac(Flac().Block(0, StreamInfo(0, 2, 16, 1000), true).Build());
    EXPECT_EQ(noRate.Info.DurationText, "");
    EXPECT_EQ(noRate.Info.SampleRateText, "0");
    const ReadResult noSamples = ReadFlac(Flac().Block(0, StreamInfo(44100, 2, 16, 0), true).Build());
    EXPECT_EQ(noSamples.Info.DurationText, "");
    EXPECT_EQ(noSamples.Info.BitRateText, "");
}

TEST(FlacComments, NamesValuesAndVendor)
{
    const ByteVector file =
        Flac()
            .Block(StreamInfoType, StreamInfo(44100, 2, 16, 44100))
            .Block(CommentType, Comments("reference libFLAC 1.4.2 20221022",
                                         {"Artist=x", "album=lower", "TRACKNUMBER=7", "Title=" + std::string(Utf8Chinese),
                                          "DATE=2020", "GENRE=g", "COMMENT=a=b", "LYRICS=l", "Url=u", "COPYRIGHT=c",
                                          "NOEQUALS", "PERFORMER=p"}))
            .Block(PaddingType, ByteVector(16, 0), true)
            .Build();
    const ReadResult read = ReadFlac(file);
    EXPECT_EQ(read.Info.Encoder, "Free Lossless Audio Codec(reference libFLAC 1.4.2 20221022)");
    EXPECT_EQ(read.Info.Artist, "x");
    EXPECT_EQ(read.Info.Album, "lower");
    EXPECT_EQ(read.Info.Track, "7");
    EXPECT_EQ(read.Info.Title, Utf8Chinese);
    EXPECT_EQ(read.Info.Year, "2020");
    EXPECT_EQ(read.Info.Genre, "g");
    EXPECT_EQ(read.Info.Comment, "a=b");
    EXPECT_EQ(read.Info.Lyrics, "l");
    EXPECT_EQ(read.Info.Url, "u");
    EXPECT_EQ(read.Info.Copyright, "c");
    EXPECT_EQ(read.Info.Performer, "");  // not a FLAC field
    EXPECT_EQ(read.Info.DurationText, "00:01");
}

TEST(FlacWalk, DamagedCommentLengthsDoNotShiftTheWalk)
{
    const ByteVector picture = {1, 2, 3, 4, 5};
    // The count claims more comments than the block holds.
    const ByteVector file = Flac()
                                .Block(CommentType, Comments("v", {"TITLE=t"}, 1000))
                                .Block(PictureType, Picture(picture), true)
                                .Build();
    const ReadResult read = ReadFlac(file);
    EXPECT_EQ(read.Info.Title, "t");
    EXPECT_EQ(read.Info.Picture, picture);
}

TEST(FlacWalk, SecondPictureWins)
{
    const ByteVector file = Flac()
                                .Block(PictureType, Picture({1, 1}))
                                .Block(PictureType, Picture({2, 2, 2}), true)
                                .Build();
    EXPECT_EQ(ReadFlac(file).Info.Picture, (ByteVector{2, 2, 2}));
}

TEST(FlacWalk, EndsAtFileEndWithoutLastFlag)
{
    const ReadResult read = ReadFlac(Flac().Block(StreamInfoType, StreamInfo(44100, 2, 16, 44100)).Build());
    EXPECT_EQ(read.Result, 1);
    EXPECT_EQ(read.Info.SampleRateText, "44100");
}

TEST(FlacWalk, HostileSizes)
{
    // Blocks claiming more than the file holds.
    for (uint8_t type : {StreamInfoType, CommentType, PictureType, PaddingType}) {
        SCOPED_TRACE(type);
        const ReadResult read = ReadFlac(Flac().Block(type, ByteVector(12, 0xFF), false, 0xFFFFFF).Build());
        EXPECT_EQ(read.Result, 1);
        EXPECT_TRUE(read.Info.Picture.empty());
    }
    // A picture whose data length runs past its block is not taken.
    ByteVector picture = Picture({9, 9, 9});
    picture[picture.size() - 7] = 0x7F;  // top byte of the data length
    EXPECT_TRUE(ReadFlac(Flac().Block(PictureType, picture, true).Build()).Info.Picture.empty());
}

TEST(FlacFile, NotFlac)
{
    const ReadResult read = ReadFlac(Bytes("OggS...."));
    EXPECT_EQ(read.Result, 0);
    EXPECT_EQ(read.Info.Encoder, "");
}

TEST(FlacFile, EveryPrefixReadsSafely)
{
    const ByteVector file = Flac()
                                .Block(StreamInfoType, StreamInfo(44100, 2, 16, 441000))
                                .Block(CommentType, Comments("v", {"TITLE=t", "ARTIST=a"}))
                                .Block(PictureType, Picture(ByteVector(30, 7)), true)
                                .Build();
    ReadEveryPrefix(ReadFlacFile, file, "flac");
}

TEST(BigEndianInt32, Values)
{
    EXPECT_EQ(BigEndianInt32(ByteVector{0, 0, 0, 1}), 1);
    EXPECT_EQ(BigEndianInt32(ByteVector{0x12, 0x34, 0x56, 0x78, 0x9A}), 0x12345678);
    EXPECT_EQ(BigEndianInt32(ByteVector{0xFF, 0xFF, 0xFF, 0xFF}), -1);
    EXPECT_EQ(BigEndianInt32(ByteVector{1, 2, 3}), 0);
}

}  // namespace
