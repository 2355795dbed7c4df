#include "metadata/track_info.h"

#include "mp3_builders.h"

#include <gtest/gtest.h>

namespace {

// A small MP3: ID3v2 title, one frame, ID3v1 tag.
ByteVector TaggedMp3()
{
    return Id3v2(3).Frame("TIT2", Latin1("v2 title")).Frame("TENC", Latin1("lame")).Build() +
           MpegFrame(Mpeg1Layer3Header, 417) + Id3v1Tag({"v1 title", "v1 artist", "", "", "", 0, 0, 255});
}

}  // namespace

TEST(ReadTrackInfo, ExtensionSelectsTheReaders)
{
    struct Case {
        const char* Extension;
        bool Mp3Chain;
        int Result;
    };
    const Case cases[] = {
        {"mp3", true, 1}, {"Mp3", true, 1}, {"MP3", true, 1}, {"mp3.bak", false, 1},
        {"wav", false, 1}, {"m4a", false, 0}, {"MP4", false, 0}, {"", false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Extension);
        const TempFile file(TaggedMp3(), c.Extension);
        TrackInfo info;
        EXPECT_EQ(ReadTrackInfo(file.Path(), info), c.Result);
        EXPECT_EQ(info.Title, c.Mp3Chain ? "v2 title" : "");
        EXPECT_EQ(info.SampleRateText, c.Mp3Chain ? "44100" : "");
    }
}

TEST(ReadTrackInfo, StreamEncoderWinsOverTheTag)
{
    const TempFile file(TaggedMp3(), "mp3");
    TrackInfo info;
    ReadTrackInfo(file.Path(), info);
    EXPECT_EQ(info.Encoder, "MPEG 1 Layer III");
    EXPECT_EQ(info.Artist, "");  // ID3v1 did not run: ID3v2 gave a title
}

TEST(ReadTrackInfo, Id3v1ReplacesWhenTheTitleIsMissing)
{
    const ByteVector bytes = Id3v2(3).Frame("TPE1", Latin1("v2 artist")).Frame("TCOM", Latin1("c")).Build() +
                             MpegFrame(Mpeg1Layer3Header, 417) +
                             Id3v1Tag({"v1 title", "", "v1 album", "1999", "v1 comment", 0, 5, 17});
    const TempFile file(bytes, "mp3");
    TrackInfo info;
    ReadTrackInfo(file.Path(), info);
    EXPECT_EQ(info.Title, "v1 title");
    EXPECT_EQ(info.Artist, "");  // blank ID3v1 fields replace too
    EXPECT_EQ(info.Album, "v1 album");
    EXPECT_EQ(info.Year, "1999");
    EXPECT_EQ(info.Comment, "v1 comment");
    EXPECT_EQ(info.Track, "5");
    EXPECT_EQ(info.Genre, "Rock");
    EXPECT_EQ(info.Composer, "c");
}

TEST(ReadTrackInfo, Id3v1RunsWithoutId3v2)
{
    const TempFile file(MpegFrame(Mpeg1Layer3Header, 417) + Id3v1Tag({"only v1", "", "", "", "", 0, 0, 255}), "mp3");
    TrackInfo info;
    ReadTrackInfo(file.Path(), info);
    EXPECT_EQ(info.Title, "only v1");
}

TEST(ReadTrackInfo, ApeTitleLosesToId3v2)
{
    // APEv2 footer-only tag with one Title item, at the end of the file.
    const ByteVector item = ByteVector{3, 0, 0, 0, 0, 0, 0, 0} + Bytes("Title") + ByteVector{0} + Bytes("ape");
    const auto le32 = [](uint32_t v) {
        return ByteVector{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    };
    const ByteVector footer = Bytes("APETAGEX") + le32(2000) + le32(static_cast<uint32_t>(item.size() + 32)) +
                              le32(1) + le32(0) + ByteVector(8, 0);
    const ByteVector audio = MpegFrame(Mpeg1Layer3Header, 417);
    const TempFile apeOnly(audio + item + footer, "mp3");
    TrackInfo info;
    ReadTrackInfo(apeOnly.Path(), info);
    if (info.Title != "ape")
        GTEST_SKIP() << "the APEv2 reader is not in this build yet";
    const TempFile both(Id3v2(3).Frame("TIT2", Latin1("id3")).Build() + audio + item + footer, "mp3");
    ReadTrackInfo(both.Path(), info);
    EXPECT_EQ(info.Title, "id3");
}

TEST(ReadTrackInfo, UnknownTypeLeavesEveryFieldEmpty)
{
    const TempFile mp3(TaggedMp3(), "mp3");
    const TempFile unknown(TaggedMp3(), "xyz");
    TrackInfo info;
    ReadTrackInfo(mp3.Path(), info);
    info.Picture = {1, 2, 3};
    ReadTrackInfo(unknown.Path(), info);
    EXPECT_EQ(info.Title, "");
    EXPECT_EQ(info.Encoder, "");
    EXPECT_TRUE(info.Picture.empty());
    TrackInfo missing;
    EXPECT_EQ(ReadTrackInfo("no/such/file.mp3", missing), 1);
    EXPECT_EQ(missing.Title + missing.Encoder + missing.BitRateText, "");
}

TEST(FormatMinutesSeconds, PadsBothParts)
{
    EXPECT_EQ(FormatMinutesSeconds(5), "00:05");
    EXPECT_EQ(FormatMinutesSeconds(600), "10:00");
    EXPECT_EQ(FormatMinutesSeconds(7507), "125:07");
    EXPECT_EQ(FormatMinutesSeconds(0), "00:00");
}

TEST(SplitMinutesSeconds, TruncatesTowardZero)
{
    EXPECT_EQ(SplitMinutesSeconds(61.9, false), 1);
    EXPECT_EQ(SplitMinutesSeconds(61.9, true), 1);
    EXPECT_EQ(SplitMinutesSeconds(59.99, true), 59);
    EXPECT_EQ(SplitMinutesSeconds(7507.0, false), 125);
    EXPECT_EQ(SplitMinutesSeconds(1e300, false), 0);
}
