// Damaged copies of the decode fixtures: truncated anywhere, bytes flipped,
// sizes in headers made huge. Each opens and reads to a clean end or is
// refused; ASan and UBSan catch what a crash would not show.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "tests/bass_decoders/decode_fixtures.h"

using namespace decodetest;

namespace {

// Opens, reads to the end (no more than the undamaged length allows),
// seeks to the middle and reads a little: nothing may hang or overrun.
struct Outcome {
    bool Opened = false;
    uint64_t StatedFrames = 0;
    uint64_t ReadFrames = 0;
};

std::string Describe(const Outcome& o) {
    if (!o.Opened) return "refused";
    return "opened: " + std::to_string(o.StatedFrames) + " frames stated, " + std::to_string(o.ReadFrames) + " read";
}

Outcome Exercise(const std::vector<uint8_t>& bytes, uint64_t frameBound) {
    Outcome o;
    DecoderInfo info = OpenBytes(bytes);
    if (!info.Source) return o;
    o.Opened = true;
    o.StatedFrames = info.Frames;
    EXPECT_GT(info.Channels, 0u);
    EXPECT_LE(info.Channels, DecoderMaxChannels);
    if (info.Channels == 0 || info.Channels > DecoderMaxChannels) return o;
    std::vector<float> all = ReadAll(*info.Source, info.Channels, frameBound + 1);
    o.ReadFrames = all.size() / info.Channels;
    EXPECT_LE(all.size() / info.Channels, frameBound) << "reads past any plausible end";
    if (info.Source->Seek(info.Frames / 2)) ReadAll(*info.Source, info.Channels, 4096);
    info.Source->Seek(0);
    ReadAll(*info.Source, info.Channels, 1000);
    return o;
}

// A damaged file decodes to about its length at most; the slack covers
// decoders that play a damaged frame count's padding.
uint64_t FrameBound(const Fixture& f) { return f.Frames + 4 * f.Rate; }

class DamagedFixture : public testing::TestWithParam<Fixture> {
protected:
    void SetUp() override {
        Bytes = LoadFixture(GetParam().File);
        ASSERT_FALSE(Bytes.empty());
    }
    std::vector<uint8_t> Bytes;
};

TEST_P(DamagedFixture, EveryHeaderPrefixAndASpreadOfLongerOnes) {
    // Every length through the headers, then 48 spread over the rest.
    constexpr size_t EveryUpTo = 1500;
    constexpr size_t SpreadCount = 48;
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= std::min(EveryUpTo, Bytes.size()); n += n < 200 ? 1 : 7) lengths.push_back(n);
    for (size_t k = 1; k <= SpreadCount; ++k) lengths.push_back(Bytes.size() * k / (SpreadCount + 1) + k);
    for (size_t n : lengths) {
        if (n > Bytes.size()) continue;
        SCOPED_TRACE("prefix of " + std::to_string(n) + " bytes");
        std::vector<uint8_t> prefix(Bytes.begin(), Bytes.begin() + n);
        Exercise(prefix, FrameBound(GetParam()));
    }
}

TEST_P(DamagedFixture, FlippedBytesEndCleanly) {
    std::mt19937 rng(7);
    constexpr int Variants = 24;
    int opened = 0;
    for (int v = 0; v < Variants; ++v) {
        std::vector<uint8_t> damaged = Bytes;
        // The first variants hit the headers, where sizes and counts live;
        // the rest spare them (Vorbis's codebooks fill the first 8 KB, and a
        // damaged one refuses the file), so that the audio's frames are hit.
        constexpr size_t HeaderBytes = 8192;
        const size_t headers = std::min(Bytes.size() / 4, HeaderBytes);
        const bool inHeaders = v < Variants / 2;
        const size_t from = inHeaders ? 0 : headers;
        const size_t span = inHeaders ? headers : Bytes.size() - headers;
        for (int k = 0; k < 12; ++k) {
            size_t at = from + rng() % span;
            damaged[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
        SCOPED_TRACE("variant " + std::to_string(v));
        opened += Exercise(damaged, FrameBound(GetParam()) * 4).Opened;
    }
    // A decoder that refuses every damaged copy tests nothing past its open.
    std::printf("[  figures ] %s: %d of %d damaged copies opened\n", GetParam().File, opened, Variants);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DamagedFixture, testing::ValuesIn(Fixtures),
    [](const testing::TestParamInfo<Fixture>& info) {
        std::string name = info.param.File;
        for (char& c : name) c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

// Counts and sizes a header claims, at their largest (and smallest). Offsets
// are in the fixtures as make_fixtures.sh writes them.
struct HugeField {
    const char* File;
    const char* What;
    size_t Offset;
    std::vector<uint8_t> Bytes;
    uint8_t FirstByteMask;  // the bits of the first byte that belong to the field
};

// fLaC, then STREAMINFO's block header (4 bytes); its fields from byte 8.
constexpr size_t FlacBlockLength = 5;                   // 24 bits
constexpr size_t FlacStreamInfo = 8;
constexpr size_t FlacMaxFrameBytes = FlacStreamInfo + 7;  // 24 bits
constexpr size_t FlacTotalSamples = FlacStreamInfo + 13;  // 36 bits: below the bit depth's last 4
// MPEG-1 stereo: the header, 32 bytes of side info, "Xing", its flags, then the counts.
constexpr size_t XingTag = 4 + 32;
constexpr size_t XingFrameCount = XingTag + 8;
constexpr size_t XingByteCount = XingFrameCount + 4;

TEST(DamagedHeaders, HugeCountsAndSizesAreRefusedOrEndCleanly) {
    const HugeField cases[] = {
        {"signal.flac", "total samples at the most", FlacTotalSamples, {0x0F, 0xFF, 0xFF, 0xFF, 0xFF}, 0x0F},
        {"signal.flac", "total samples of one", FlacTotalSamples, {0x00, 0x00, 0x00, 0x00, 0x01}, 0x0F},
        {"signal.flac", "largest frame size", FlacMaxFrameBytes, {0xFF, 0xFF, 0xFF}, 0xFF},
        {"signal.flac", "STREAMINFO as long as can be", FlacBlockLength, {0xFF, 0xFF, 0xFF}, 0xFF},
        {"signal_vbr.mp3", "Xing frames 0xFFFFFFFF", XingFrameCount, {0xFF, 0xFF, 0xFF, 0xFF}, 0xFF},
        {"signal_vbr.mp3", "Xing frames 0", XingFrameCount, {0, 0, 0, 0}, 0xFF},
        {"signal_vbr.mp3", "Xing bytes 0xFFFFFFFF", XingByteCount, {0xFF, 0xFF, 0xFF, 0xFF}, 0xFF},
    };
    std::vector<uint8_t> mp3 = LoadFixture("signal_vbr.mp3");
    ASSERT_GT(mp3.size(), XingTag + 4);
    ASSERT_EQ(std::memcmp(mp3.data() + XingTag, "Xing", 4), 0) << "the offsets no longer fit the fixture";
    for (const HugeField& c : cases) {
        SCOPED_TRACE(std::string(c.File) + ": " + c.What);
        std::vector<uint8_t> bytes = LoadFixture(c.File);
        ASSERT_GT(bytes.size(), c.Offset + c.Bytes.size());
        bytes[c.Offset] = static_cast<uint8_t>((bytes[c.Offset] & ~c.FirstByteMask) | (c.Bytes[0] & c.FirstByteMask));
        std::memcpy(bytes.data() + c.Offset + 1, c.Bytes.data() + 1, c.Bytes.size() - 1);
        // A length the file cannot hold bounds nothing: the bytes do.
        std::printf("[  figures ] %s, %s: %s\n", c.File, c.What, Describe(Exercise(bytes, 10 * 132300)).c_str());
    }
}

// Ogg pages carry a CRC of the whole page: a patched field needs it made
// again, or libogg drops the page before any decoder reads the field.
uint32_t OggCrc(const uint8_t* data, size_t n) {
    uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc ^= uint32_t{data[i]} << 24;
        for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

constexpr size_t OggSegmentCount = 26;
constexpr size_t OggSegmentTable = 27;
constexpr size_t OggGranule = 6;
constexpr size_t OggCrcField = 22;

bool ResealOggPage(std::vector<uint8_t>& bytes, size_t page) {
    if (page + OggSegmentTable > bytes.size()) return false;
    size_t segments = bytes[page + OggSegmentCount];
    if (page + OggSegmentTable + segments > bytes.size()) return false;
    size_t length = OggSegmentTable + segments;
    for (size_t i = 0; i < segments; ++i) length += bytes[page + OggSegmentTable + i];
    if (page + length > bytes.size()) return false;
    std::memset(bytes.data() + page + OggCrcField, 0, 4);
    uint32_t crc = OggCrc(bytes.data() + page, length);
    for (int i = 0; i < 4; ++i) bytes[page + OggCrcField + i] = static_cast<uint8_t>(crc >> (8 * i));
    return true;
}

// The first page holds the identification header alone (one segment), so its
// packet starts right after the segment table.
constexpr size_t FirstPacket = OggSegmentTable + 1;
constexpr size_t OpusChannels = FirstPacket + 9;
constexpr size_t OpusPreSkip = FirstPacket + 10;
constexpr size_t OpusOutputGain = FirstPacket + 16;
constexpr size_t VorbisChannels = FirstPacket + 11;
constexpr size_t VorbisRate = FirstPacket + 12;
constexpr size_t VorbisBlockSizes = FirstPacket + 28;

struct OggField {
    const char* File;
    const char* What;
    bool LastPage;   // else the first
    size_t Offset;   // in the page
    std::vector<uint8_t> Bytes;  // little-endian
};

TEST(DamagedHeaders, OggFieldsAtTheirExtremesAreRefusedOrEndCleanly) {
    const std::vector<uint8_t> huge = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x3F};
    const OggField cases[] = {
        {"signal.opus", "no channels", false, OpusChannels, {0}},
        {"signal.opus", "255 channels of mapping 0", false, OpusChannels, {255}},
        {"signal.opus", "a pre-skip longer than the stream", false, OpusPreSkip, {0xFF, 0xFF}},
        {"signal.opus", "an output gain of +128 dB", false, OpusOutputGain, {0xFF, 0x7F}},
        {"signal.opus", "a last granule of 2^62", true, OggGranule, huge},
        {"signal.opus", "a last granule inside the pre-skip", true, OggGranule, {1, 0, 0, 0, 0, 0, 0, 0}},
        {"signal.ogg", "no channels", false, VorbisChannels, {0}},
        {"signal.ogg", "255 channels", false, VorbisChannels, {255}},
        {"signal.ogg", "a rate of 0", false, VorbisRate, {0, 0, 0, 0}},
        {"signal.ogg", "a rate of 0xFFFFFFFF", false, VorbisRate, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"signal.ogg", "block sizes of 2^15", false, VorbisBlockSizes, {0xFF}},
        {"signal.ogg", "a last granule of 2^62", true, OggGranule, huge},
        {"signal.ogg", "a last granule of 1", true, OggGranule, {1, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const OggField& c : cases) {
        SCOPED_TRACE(std::string(c.File) + ": " + c.What);
        std::vector<uint8_t> bytes = LoadFixture(c.File);
        ASSERT_GT(bytes.size(), 4096u);
        size_t page = 0;
        if (c.LastPage) {
            for (page = bytes.size() - 4; page > 0 && std::memcmp(bytes.data() + page, "OggS", 4) != 0;) --page;
        }
        ASSERT_LE(page + c.Offset + c.Bytes.size(), bytes.size());
        std::memcpy(bytes.data() + page + c.Offset, c.Bytes.data(), c.Bytes.size());
        ASSERT_TRUE(ResealOggPage(bytes, page));
        std::printf("[  figures ] %s, %s: %s\n", c.File, c.What, Describe(Exercise(bytes, 10 * 144000)).c_str());
    }
}

// The resealing itself: an untouched page keeps its CRC, so the cases above
// reach the decoders rather than libogg's page check.
TEST(DamagedHeaders, OggResealKeepsAnUntouchedPage) {
    for (const char* file : {"signal.opus", "signal.ogg"}) {
        std::vector<uint8_t> bytes = LoadFixture(file);
        std::vector<uint8_t> resealed = bytes;
        ASSERT_TRUE(ResealOggPage(resealed, 0));
        EXPECT_EQ(resealed, bytes) << file;
    }
}

}  // namespace
