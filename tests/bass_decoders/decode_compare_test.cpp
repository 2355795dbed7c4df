// The library's own decoders against the Linux tools' decodes of the same
// files: whole decodes, exact lengths, and seeks.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/bass_decoders/decode_fixtures.h"

using namespace decodetest;

namespace {

class DecodeVersusReference : public testing::TestWithParam<Fixture> {
protected:
    void SetUp() override {
        Bytes = LoadFixture(GetParam().File);
        ASSERT_FALSE(Bytes.empty()) << FixturePath(GetParam().File);
        Ref = &ReferenceFor(GetParam().File);
        if (Ref->Samples.empty()) GTEST_SKIP() << "no reference decoder on this machine (reference_decode.py)";
    }
    std::vector<uint8_t> Bytes;
    const Reference* Ref = nullptr;
};

// The window lag is searched in: the MP3 decoders may disagree on the
// encoder's delay when no header states it (529 frames and a frame more).
int64_t LagWindow(const Fixture& f) {
    return f.Kind == Match::NearFrame ? 2 * f.SeekSlack : 64;
}

// Encoder delays left in by decoders that know none: up to two MP3 frames.
constexpr int64_t SourceLagWindow = 2304;

TEST_P(DecodeVersusReference, WholeDecodeMatchesAndLengthIsExact) {
    const Fixture& f = GetParam();
    ASSERT_EQ(Ref->Rate, f.Rate);
    ASSERT_EQ(Ref->Channels, f.Channels);
    // The tools give what they gave when the fixtures were made.
    EXPECT_EQ(Ref->Frames(), f.Frames);

    DecoderInfo info = OpenBytes(Bytes);
    ASSERT_TRUE(info.Source);
    EXPECT_EQ(info.SampleRate, f.Rate);
    ASSERT_EQ(info.Channels, f.Channels);
    EXPECT_EQ(info.Frames, f.Frames);
    EXPECT_EQ(info.HighResolution, f.Bits > 16);

    std::vector<float> decoded = ReadAll(*info.Source, info.Channels, 2 * f.Frames + 100000);
    EXPECT_EQ(decoded.size() / f.Channels, info.Frames) << "the decode's length is not the stated one";
    if (f.Kind == Match::BitExact) {
        uint64_t first = 0;
        uint64_t mismatches = IntegerMismatches(decoded, *Ref, 0, f.Bits, &first);
        EXPECT_EQ(mismatches, 0u) << "first at frame " << first;
        std::printf("[  figures ] %s: %s, %" PRIu64 " frames\n", f.File, mismatches ? "DIFFERS" : "bit-exact",
            decoded.size() / f.Channels);
        return;
    }
    Alignment a = Align(decoded, *Ref, 0, LagWindow(f));
    std::printf("[  figures ] %s: lag %" PRId64 ", difference %.1f dB over %" PRIu64
                " frames (limit %.0f dB; one frame off %.1f dB)\n",
        f.File, a.Lag, a.DiffDb, a.Compared, f.MaxDiffDb, a.NeighbourDb);
    EXPECT_LE(a.DiffDb, f.MaxDiffDb);
    if (f.Rate == 44100) {
        // For the report: where the codec leaves the source, and how near.
        Alignment s = Align(decoded, ReferenceFor("signal.wav"), 0, SourceLagWindow);
        std::printf("[  figures ] %s: against the source, lag %" PRId64 ", difference %.1f dB\n", f.File, s.Lag, s.DiffDb);
    }
    if (f.Kind == Match::Aligned) EXPECT_EQ(a.Lag, 0);
    EXPECT_LE(std::llabs(a.Lag), f.SeekSlack);
}

TEST_P(DecodeVersusReference, SeeksLandWhereTheReferenceHasThePlace) {
    const Fixture& f = GetParam();
    constexpr uint32_t CompareFrames = 4096;
    DecoderInfo info = OpenBytes(Bytes);
    ASSERT_TRUE(info.Source);
    ASSERT_EQ(info.Channels, Ref->Channels);
    const uint64_t frames = info.Frames;
    ASSERT_GT(frames, 200u);

    // Where a decode from the start sits: seek errors are measured from there.
    int64_t startLag = 0;
    if (f.Kind != Match::BitExact) {
        std::vector<float> head = ReadAll(*info.Source, info.Channels, CompareFrames);
        startLag = Align(head, *Ref, 0, LagWindow(f)).Lag;
    }

    // Backwards and forwards, from a decoder that has already read.
    const uint64_t points[] = {frames / 2, 0, frames - 100, f.Rate / 2, 12345, frames, 1};
    std::string errors;
    for (uint64_t at : points) {
        SCOPED_TRACE("seek to " + std::to_string(at));
        if (!info.Source->Seek(at)) {
            ADD_FAILURE() << "seek refused";
            errors += " refused";
            continue;
        }
        std::vector<float> got = ReadAll(*info.Source, info.Channels, CompareFrames);
        EXPECT_EQ(got.size() / f.Channels, std::min<uint64_t>(CompareFrames, frames - at));
        if (at == frames) {
            errors += " end:" + std::to_string(got.size() / f.Channels);
            continue;
        }
        if (f.Kind == Match::BitExact) {
            uint64_t first = 0;
            uint64_t mismatches = IntegerMismatches(got, *Ref, at, f.Bits, &first);
            EXPECT_EQ(mismatches, 0u) << "first at frame " << first << " after the seek";
            errors += mismatches ? " X" : " 0";
            continue;
        }
        Alignment a = Align(got, *Ref, at, LagWindow(f) + f.SeekSlack);
        int64_t error = a.Lag - startLag;
        char figure[64];
        std::snprintf(figure, sizeof figure, " %lld (%.0f dB)", static_cast<long long>(error), a.DiffDb);
        errors += figure;
        if (f.Kind == Match::Aligned) {
            EXPECT_EQ(error, 0);
            EXPECT_LE(a.DiffDb, f.SeekMaxDiffDb);
        } else {
            EXPECT_LE(std::llabs(error), f.SeekSlack);
            if (error == 0) EXPECT_LE(a.DiffDb, f.SeekMaxDiffDb);
        }
    }
    std::printf("[  figures ] %s: seek errors (frames) at %" PRIu64 ", 0, %" PRIu64 ", %u, 12345, end, 1:%s\n", f.File,
        frames / 2, frames - 100, f.Rate / 2, errors.c_str());
}

std::string FixtureName(const testing::TestParamInfo<Fixture>& info) {
    std::string name = info.param.File;
    for (char& c : name) c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DecodeVersusReference, testing::ValuesIn(Fixtures), FixtureName);

}  // namespace

namespace {

// The lengths as the headers give them, read here from the bytes: FLAC's
// STREAMINFO total, an Ogg stream's last granule (less Opus's pre-skip).
constexpr size_t FlacTotalSamplesAt = 8 + 13;  // "fLaC", block header, then 13 bytes in; 36 bits
constexpr size_t OggGranuleAt = 6;
constexpr size_t OpusPreSkipAt = 27 + 1 + 10;  // first page: header, one lacing byte, "OpusHead" and version, channels

uint64_t LittleEndian(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
}

uint64_t LastGranule(const std::vector<uint8_t>& b) {
    for (size_t at = b.size() - 4; at-- > 0;) {
        if (b[at] == 'O' && b[at + 1] == 'g' && b[at + 2] == 'g' && b[at + 3] == 'S') return LittleEndian(b, at + OggGranuleAt, 8);
    }
    return 0;
}

uint64_t HeaderLength(const char* file, const std::vector<uint8_t>& b) {
    std::string name = file;
    if (name.ends_with(".flac")) {
        uint64_t v = b[FlacTotalSamplesAt] & 0x0F;
        for (int i = 1; i <= 4; ++i) v = v << 8 | b[FlacTotalSamplesAt + i];
        return v;
    }
    if (name.ends_with(".opus")) return LastGranule(b) - LittleEndian(b, OpusPreSkipAt, 2);
    if (name.ends_with(".ogg")) return LastGranule(b);
    return 0;
}

TEST(DecodeLengths, AreWhatTheHeadersSay) {
    int checked = 0;
    for (const Fixture& f : Fixtures) {
        std::vector<uint8_t> bytes = LoadFixture(f.File);
        ASSERT_GT(bytes.size(), 64u) << f.File;
        uint64_t fromHeader = HeaderLength(f.File, bytes);
        if (fromHeader == 0) continue;  // MP3: no such field; its length is the reference's
        SCOPED_TRACE(f.File);
        DecoderInfo info = OpenBytes(bytes);
        ASSERT_TRUE(info.Source);
        EXPECT_EQ(info.Frames, fromHeader);
        EXPECT_EQ(f.Frames, fromHeader);
        ++checked;
    }
    EXPECT_EQ(checked, 6) << "three FLAC, one Vorbis, two Opus";
}

}  // namespace
