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
// True when the decoder took the file.
bool Exercise(const std::vector<uint8_t>& bytes, uint64_t frameBound) {
    DecoderInfo info = OpenBytes(bytes);
    if (!info.Source) return false;
    EXPECT_GT(info.Channels, 0u);
    EXPECT_LE(info.Channels, DecoderMaxChannels);
    if (info.Channels == 0 || info.Channels > DecoderMaxChannels) return true;
    std::vector<float> all = ReadAll(*info.Source, info.Channels, frameBound + 1);
    EXPECT_LE(all.size() / info.Channels, frameBound) << "reads past any plausible end";
    if (info.Source->Seek(info.Frames / 2)) ReadAll(*info.Source, info.Channels, 4096);
    info.Source->Seek(0);
    ReadAll(*info.Source, info.Channels, 1000);
    return true;
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
        // The first variants hit the headers, where sizes and counts live.
        size_t span = v < Variants / 2 ? std::min<size_t>(damaged.size(), 8192) : damaged.size();
        for (int k = 0; k < 12; ++k) damaged[rng() % span] ^= static_cast<uint8_t>(1u << (rng() % 8));
        SCOPED_TRACE("variant " + std::to_string(v));
        opened += Exercise(damaged, FrameBound(GetParam()) * 4);
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
        Exercise(bytes, 10 * 132300);
    }
}

}  // namespace
