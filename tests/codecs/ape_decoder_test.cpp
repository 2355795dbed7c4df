#include "codecs/ape/ape_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/codecs/codec_test_support.h"

namespace {

constexpr uint64_t Mac399Frames = 156556;  // 2 x 73728 + 9100, as the header says
constexpr uint64_t Mac399BlocksPerFrame = 73728;
constexpr uint64_t GuardFrames = 10'000'000;

// Offsets in mac-399.ape (version 3990: a 52-byte descriptor, then the header).
constexpr size_t SeekTableLengthAt = 16;
constexpr size_t BlocksPerFrameAt = 56;
constexpr size_t FinalFrameBlocksAt = 60;
constexpr size_t TotalFramesAt = 64;
constexpr size_t BitsPerSampleAt = 68;
constexpr size_t ChannelsAt = 70;
constexpr size_t SampleRateAt = 72;
constexpr size_t SeekTableAt = 76;
constexpr size_t SecondFrameEntryAt = SeekTableAt + 4;

std::unique_ptr<CodecSource> OpenMemory(const std::vector<uint8_t>& bytes) {
    return OpenApeDecoder(MemoryBytes(bytes));
}

uint64_t Fnv1a64(const std::vector<int16_t>& pcm) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (int16_t sample : pcm) {
        for (int shift : {0, 8}) {
            hash ^= static_cast<uint8_t>(static_cast<uint16_t>(sample) >> shift);
            hash *= 0x100000001b3ull;
        }
    }
    return hash;
}

// Float back to the 16-bit samples, failing on any value that is not one.
std::vector<int16_t> ToInt16(const std::vector<float>& samples) {
    std::vector<int16_t> pcm(samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        float scaled = samples[i] * 32768.0f;
        if (scaled != std::floor(scaled) || scaled < -32768 || scaled > 32767) {
            ADD_FAILURE() << "sample " << i << " is no 16-bit value: " << samples[i];
            return {};
        }
        pcm[i] = static_cast<int16_t>(scaled);
    }
    return pcm;
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(ApeDecoder, DecodesBitExactlyAsFfmpegWithTheHeadersLength) {
    struct Case {
        const char* Name;
        uint64_t Frames;
    };
    // mac-396 is a header over 16 bytes of frame: FFmpeg makes 3.68 s of
    // silence of it, and so must we.
    const Case cases[] = {{"mac-399.ape", Mac399Frames}, {"mac-399-tagged.ape", Mac399Frames}, {"mac-396.ape", 162496}};
    for (const auto& [name, frames] : cases) {
        SCOPED_TRACE(name);
        ReferenceFile ref = ReadReference(std::string(name) + ".ref");
        std::unique_ptr<CodecSource> source = OpenApeDecoder(FileBytes(InputFile(CodecFixture(name))));
        ASSERT_TRUE(source);
        EXPECT_EQ(source->Format().SampleRate, 44100u);
        EXPECT_EQ(source->Format().Channels, 2u);
        EXPECT_EQ(source->Format().BitsPerSample, 16u);
        EXPECT_EQ(source->Format().Frames, frames);
        EXPECT_EQ(std::to_string(source->Format().Frames), ref.Value("frames"));
        std::vector<float> all = DecodeAll(*source, GuardFrames);
        EXPECT_EQ(all.size(), frames * 2);
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a64(ToInt16(all))));
        EXPECT_EQ(hash, ref.Value("fnv1a64"));
    }
}

TEST(ApeDecoder, SkipsId3v2TagsAhead) {
    const std::vector<uint8_t> plain = ReadFixtureBytes("mac-399.ape");
    std::unique_ptr<CodecSource> reference = OpenMemory(plain);
    ASSERT_TRUE(reference);
    std::vector<float> expected = DecodeAll(*reference, GuardFrames);
    // Two tags, the second with a footer: the seek table's offsets count
    // from the Monkey's Audio header, not from the start of the file.
    std::vector<uint8_t> bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};  // ID3v2.3, syncsafe size 20
    bytes.resize(bytes.size() + 20);
    const uint8_t second[] = {'I', 'D', '3', 4, 0, 0x10, 0, 0, 1, 0};    // v2.4 with footer, size 128
    bytes.insert(bytes.end(), std::begin(second), std::end(second));
    bytes.resize(bytes.size() + 128 + 10);
    bytes.insert(bytes.end(), plain.begin(), plain.end());
    std::unique_ptr<CodecSource> source = OpenMemory(bytes);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->Format().Frames, Mac399Frames);
    EXPECT_TRUE(DecodeAll(*source, GuardFrames) == expected);
}

TEST(ApeDecoder, SeeksLandOnTheExactSample) {
    std::unique_ptr<CodecSource> whole = OpenApeDecoder(FileBytes(InputFile(CodecFixture("mac-399.ape"))));
    ASSERT_TRUE(whole);
    std::vector<float> all = DecodeAll(*whole, GuardFrames);
    ASSERT_EQ(all.size(), Mac399Frames * 2);

    std::unique_ptr<CodecSource> source = OpenApeDecoder(FileBytes(InputFile(CodecFixture("mac-399.ape"))));
    ASSERT_TRUE(source);
    constexpr uint32_t CheckFrames = 5000;
    // Frame starts and their neighbours, a block inside a decode loop, the
    // last frame, backwards after forwards.
    const uint64_t targets[] = {Mac399BlocksPerFrame + 1, 0, 1, 4607, 4608, Mac399BlocksPerFrame - 1, Mac399BlocksPerFrame,
                                2 * Mac399BlocksPerFrame + 17, Mac399Frames - 10, 100000, 3};
    for (uint64_t target : targets) {
        SCOPED_TRACE(target);
        ASSERT_TRUE(source->Seek(target));
        std::vector<float> got(size_t{CheckFrames} * 2);
        uint32_t n = source->Read(got.data(), CheckFrames);
        ASSERT_EQ(n, std::min<uint64_t>(CheckFrames, Mac399Frames - target));
        EXPECT_EQ(std::memcmp(got.data(), all.data() + target * 2, size_t{n} * 2 * sizeof(float)), 0);
    }
    EXPECT_TRUE(source->Seek(Mac399Frames));
    float frame[2];
    EXPECT_EQ(source->Read(frame, 1), 0u) << "a seek to the end leaves nothing";
    EXPECT_FALSE(source->Seek(Mac399Frames + 1));
}

TEST(ApeDecoder, RefusesHostileAndHeaderOnlyFiles) {
    // longloop claims 1.6e9 frames, zerodiv is a version 0.15 header of
    // zeros, mac-390-hdr a header whose frame does not decode.
    for (const char* name : {"longloop.ape", "zerodiv.ape", "mac-390-hdr.ape", "tune.xm"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(OpenApeDecoder(FileBytes(InputFile(CodecFixture(name)))));
        // Still known for Monkey's Audio, so that no other decoder is asked.
        EXPECT_EQ(IsApeFile(*FileBytes(InputFile(CodecFixture(name)))), std::string(name) != "tune.xm");
    }
    EXPECT_FALSE(OpenApeDecoder(FileBytes(InputFile(CodecFixture("missing.ape")))));
    EXPECT_FALSE(OpenApeDecoder(nullptr));
}

TEST(ApeDecoder, RefusesClaimsTheFileCannotHold) {
    const std::vector<uint8_t> valid = ReadFixtureBytes("mac-399.ape");
    ASSERT_TRUE(OpenMemory(valid));
    struct Case {
        const char* What;
        size_t At;
        uint32_t Value;
        bool Word;  // 16-bit field
    };
    const Case cases[] = {
        {"seek table larger than the file", SeekTableLengthAt, 0xFFFFFFF0u, false},
        {"no seek entry per frame", SeekTableLengthAt, 8, false},
        {"blocks per frame meant to decode for hours", BlocksPerFrameAt, 0x7FFFFFFFu, false},
        {"zero blocks per frame", BlocksPerFrameAt, 0, false},
        {"final frame longer than a frame", FinalFrameBlocksAt, 73729, false},
        {"empty final frame", FinalFrameBlocksAt, 0, false},
        {"no frames", TotalFramesAt, 0, false},
        {"more frames than the file has bytes for", TotalFramesAt, 7000, false},
        {"frame beyond the end of the file", SecondFrameEntryAt, 0x00FFFFFFu, false},
        {"frames out of order", SecondFrameEntryAt, 0x10, false},
        {"12 bits per sample", BitsPerSampleAt, 12, true},
        {"zero channels", ChannelsAt, 0, true},
        {"six channels", ChannelsAt, 6, true},
        {"sample rate 0", SampleRateAt, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        std::vector<uint8_t> bytes = valid;
        if (c.Word) {
            bytes[c.At] = static_cast<uint8_t>(c.Value);
            bytes[c.At + 1] = static_cast<uint8_t>(c.Value >> 8);
        } else {
            PutU32(bytes, c.At, c.Value);
        }
        EXPECT_FALSE(OpenMemory(bytes));
    }
}

// Truncation anywhere: refused at open, or a clean end no longer than the header says.
TEST(ApeDecoder, EveryPrefixIsRefusedOrEndsCleanly) {
    const std::vector<uint8_t> valid = ReadFixtureBytes("mac-399.ape");
    ASSERT_FALSE(valid.empty());
    size_t opened = 0;
    for (size_t size = 0; size < valid.size(); size += size < 2048 ? 1 : 211) {
        std::vector<uint8_t> prefix(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(size));
        std::unique_ptr<CodecSource> source = OpenMemory(prefix);
        if (!source) continue;
        ++opened;
        std::vector<float> all = DecodeAll(*source, GuardFrames);
        ASSERT_LE(all.size() / 2, source->Format().Frames) << "prefix of " << size << " bytes";
    }
    EXPECT_GT(opened, 0u) << "prefixes holding the header and seek table open";
}

TEST(ApeDecoder, DamagedAudioIsRefusedOrEndsCleanly) {
    const std::vector<uint8_t> valid = ReadFixtureBytes("mac-399.ape");
    size_t opened = 0;
    for (size_t at : {size_t{29300}, size_t{40000}, size_t{60000}, valid.size() - 100}) {
        for (uint8_t pattern : {uint8_t{0x00}, uint8_t{0xFF}, uint8_t{0x5A}}) {
            SCOPED_TRACE(at);
            std::vector<uint8_t> bytes = valid;
            std::memset(bytes.data() + at, pattern, std::min<size_t>(64, bytes.size() - at));
            std::unique_ptr<CodecSource> source = OpenMemory(bytes);
            if (!source) continue;  // the first block did not decode
            ++opened;
            std::vector<float> all = DecodeAll(*source, GuardFrames);
            EXPECT_LE(all.size() / 2, Mac399Frames);
            for (float v : all) ASSERT_TRUE(std::isfinite(v) && v >= -1.0f && v <= 1.0f);
        }
    }
    EXPECT_GT(opened, 0u) << "damage past the first block is found only while playing";
}

}  // namespace
