#include "metadata/mpeg.h"
#include "metadata/track_info.h"

#include "mp3_builders.h"

#include <gtest/gtest.h>

namespace {

constexpr std::string_view JointStereo = "\xE7\xAB\x8B\xE4\xBD\x93\xE5\xA3\xB0(Joint)";  // 立体声(Joint)

TrackInfo ReadStream(const ByteVector& bytes)
{
    const TempFile file(bytes, "mp3");
    TrackInfo info;
    EXPECT_EQ(ReadMpegStream(file.Path(), info), 1);
    return info;
}

// Frames of a 128 kbit/s stream, enough to fill bytes.
ByteVector Frames(size_t count, const ByteVector& first = MpegFrame(Mpeg1Layer3Header, 417))
{
    ByteVector bytes = first;
    for (size_t i = 1; i < count; ++i)
        bytes = bytes + MpegFrame(Mpeg1Layer3Header, 417);
    return bytes;
}

}  // namespace

TEST(IsMpegFrameHeader, AcceptsOnlyUsableHeaders)
{
    struct Case {
        const char* Name;
        uint8_t B0, B1, B2, B3;
        bool Expected;
    };
    const Case cases[] = {
        {"mpeg 1 layer III", 0xFF, 0xFB, 0x90, 0x64, true},
        {"mpeg 2 layer III", 0xFF, 0xF3, 0x50, 0xC4, true},
        {"mpeg 2.5 layer III", 0xFF, 0xE3, 0x50, 0xC4, true},
        {"mpeg 1 layer I", 0xFF, 0xFF, 0x90, 0x00, true},
        {"bad first byte", 0xFE, 0xFB, 0x90, 0x64, false},
        {"sync bits", 0xFF, 0xDB, 0x90, 0x64, false},
        {"reserved version", 0xFF, 0xEB, 0x90, 0x64, false},
        {"reserved layer", 0xFF, 0xF9, 0x90, 0x64, false},
        {"bit-rate index 15", 0xFF, 0xFB, 0xF0, 0x64, false},
        {"free format", 0xFF, 0xFB, 0x00, 0x64, false},
        {"sample-rate index 3", 0xFF, 0xFB, 0x9C, 0x64, false},
        {"emphasis 2", 0xFF, 0xFB, 0x90, 0x66, false},
        {"emphasis 3 allowed", 0xFF, 0xFB, 0x90, 0x67, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(IsMpegFrameHeader(c.B0, c.B1, c.B2, c.B3), c.Expected);
    }
}

TEST(MpegFrameHeader, DerivesRatesAndFrameLength)
{
    struct Case {
        uint8_t B1, B2, B3;
        int BitRate, SampleRate, Coefficient, FrameBytes, ChannelMode;
    };
    const Case cases[] = {
        {0xFB, 0x90, 0x64, 128, 44100, 144, 417, 1},  // the common header
        {0xFB, 0x92, 0x64, 128, 44100, 144, 418, 1},  // padding bit
        {0xF3, 0x50, 0xC4, 40, 22050, 72, 130, 3},    // MPEG 2 Layer III mono
        {0xE3, 0x18, 0x00, 8, 8000, 72, 72, 0},       // MPEG 2.5 Layer III 8 kHz
        {0xFF, 0xE2, 0x80, 448, 44100, 48, 488, 2},   // Layer I: four-byte slots, padding one slot
        {0xFD, 0xE4, 0x40, 384, 48000, 144, 1152, 1}, // MPEG 1 Layer II
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.FrameBytes);
        ASSERT_TRUE(IsMpegFrameHeader(0xFF, c.B1, c.B2, c.B3));
        const MpegFrameHeader h = ParseMpegFrameHeader(0xFF, c.B1, c.B2, c.B3);
        EXPECT_EQ(h.BitRateKbps, c.BitRate);
        EXPECT_EQ(h.SampleRateHz, c.SampleRate);
        EXPECT_EQ(h.Coefficient, c.Coefficient);
        EXPECT_EQ(h.FrameBytes, c.FrameBytes);
        EXPECT_EQ(h.ChannelMode, c.ChannelMode);
    }
}

TEST(MpegReader, FirstFrameGivesTheStreamTexts)
{
    const TrackInfo info = ReadStream(Frames(10));
    EXPECT_EQ(info.BitRateText, "128");
    EXPECT_EQ(info.SampleRateText, "44100");
    EXPECT_EQ(info.ChannelsText, JointStereo);
    EXPECT_EQ(info.Encoder, "MPEG 1 Layer III");
    EXPECT_EQ(info.DurationText, "00:00");
}

TEST(MpegReader, ConstantBitRateEstimateSkipsBothTags)
{
    // 5,000,000 bytes: 4096-byte ID3v2 tag, frames, 128-byte ID3v1 tag.
    ByteVector bytes = Id3v2(3).Padding(4096 - 10).Build();
    bytes = bytes + MpegFrame(Mpeg1Layer3Header, 417);
    bytes.resize(5000000 - 128, 0);
    bytes = bytes + Id3v1Tag({});
    EXPECT_EQ(ReadStream(bytes).DurationText, "05:12");
}

TEST(MpegReader, VbrHeadersRefineRateAndLength)
{
    struct Case {
        const char* Name;
        ByteVector Vbr;
        std::string BitRate, Duration;
    };
    // 40 frames of 417 bytes: the constant-rate estimate is 00:01 at 128.
    const Case cases[] = {
        {"xing", XingHeader("Xing", 0x0F, 11000, 4600000), "128", "04:47"},
        {"info", XingHeader("Info", 0x03, 11000, 4600000), "128", "04:47"},
        {"vbri", VbriHeader(4600000, 11000), "128", "04:47"},
        {"xing low rate", XingHeader("Xing", 0x03, 11000, 1150000), "32", "04:47"},
        {"frames flag only: file bytes", XingHeader("Xing", 0x01, 40, 0), "128", "00:01"},
        {"bytes flag only: estimate stands", XingHeader("Xing", 0x02, 0, 99999999), "128", "00:01"},
        {"no flags: estimate stands", XingHeader("Xing", 0x00, 0, 0), "128", "00:01"},
        {"zero frames", XingHeader("Xing", 0x03, 0, 4600000), "128", "00:01"},
        {"vbri zero frames", VbriHeader(4600000, 0), "128", "00:01"},
        {"huge counts", XingHeader("Xing", 0x03, 0xFFFFFFFF, 0xFFFFFFFF), "0", "1869917:44"},
        {"bytes below frames", XingHeader("Xing", 0x03, 1000, 10), "0", "00:26"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TrackInfo info = ReadStream(Frames(40, MpegFrame(Mpeg1Layer3Header, 417, c.Vbr)));
        EXPECT_EQ(info.BitRateText, c.BitRate);
        EXPECT_EQ(info.DurationText, c.Duration);
    }
}

TEST(MpegReader, VbrHeaderOnlyInsideTheFirstFrame)
{
    // A Xing header past the first frame's length is not looked at.
    ByteVector frame = MpegFrame(Mpeg1Layer3Header, 427);
    frame = frame + XingHeader("Xing", 0x03, 11000, 4600000);
    frame.resize(417 * 3, 0);
    EXPECT_EQ(ReadStream(frame).DurationText, "00:00");
    // Cut short inside the header's counts: ignored.
    ByteVector cut = Mpeg1Layer3Header + ByteVector(32, 0) + Bytes("Xing") + ByteVector{0, 0, 0, 3, 0, 0};
    EXPECT_EQ(ReadStream(cut).BitRateText, "128");
}

TEST(MpegReader, FrameSearchStopsAfter2048Candidates)
{
    const ByteVector tag = Id3v2(3).Padding(100).Build();
    for (const size_t junk : {size_t{0}, size_t{2047}, size_t{2048}}) {
        SCOPED_TRACE(junk);
        const TrackInfo info = ReadStream(tag + ByteVector(junk, 0x00) + Frames(3));
        EXPECT_EQ(info.BitRateText, junk < 2048 ? "128" : "0");
    }
}

TEST(MpegReader, NoHeaderGivesNeutralTexts)
{
    const ByteVector cases[] = {
        Id3v2(3).Padding(10).Build() + ByteVector(3000, 0),  // zeros after the tag
        Bytes("RIFF....WAVEfmt "),                           // not MPEG
        {},                                                  // empty file
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        TrackInfo info;
        info.DurationText = "untouched";
        const TempFile file(cases[i], "mp3");
        EXPECT_EQ(ReadMpegStream(file.Path(), info), 1);
        EXPECT_EQ(info.BitRateText, "0");
        EXPECT_EQ(info.SampleRateText, "0");
        EXPECT_EQ(info.ChannelsText, "");
        EXPECT_EQ(info.Encoder, " ");
        EXPECT_EQ(info.DurationText, "untouched");
    }
    TrackInfo info;
    EXPECT_EQ(ReadMpegStream("no/such/file.mp3", info), 0);
    EXPECT_EQ(info.Encoder, "");
}

TEST(MpegReader, HostileTagSizesStayInsideTheFile)
{
    // An ID3v2 tag claiming 256 MB in a small file: the search starts past the end.
    const TrackInfo info = ReadStream(Id3v2(3).BuildWithSize(0x0FFFFFFF) + Frames(2));
    EXPECT_EQ(info.BitRateText, "0");
    // Every prefix of a stream with tags and a Xing header.
    const ByteVector full = Id3v2(3).Frame("TIT2", Latin1("t")).Build() +
                            Frames(3, MpegFrame(Mpeg1Layer3Header, 417, XingHeader("Xing", 0x0F, 3, 1251))) +
                            Id3v1Tag({});
    for (size_t length = 0; length <= full.size(); length += 7) {
        const TempFile file(ByteVector(full.begin(), full.begin() + static_cast<ptrdiff_t>(length)), "mp3");
        TrackInfo prefix;
        EXPECT_EQ(ReadMpegStream(file.Path(), prefix), 1);
    }
}
