#include "codecs/mod/module_decoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "tests/codecs/codec_test_support.h"

namespace {

constexpr uint64_t GuardFrames = 44100ull * 600;
constexpr uint32_t WindowFrames = 2205;  // 50 ms, as make_references.py measures
constexpr double SilenceDb = -120.0;
// The host renders with the library openmpt123 uses: only float rounding
// apart. Windows builds link their own build of the same version.
constexpr double LevelToleranceDb = 0.1;
constexpr double LoudDb = -60.0;  // windows quieter than this are not compared

std::unique_ptr<CodecSource> OpenFixture(const std::string& name) {
    return OpenModuleDecoder(FileBytes(InputFile(CodecFixture(name))));
}

double WindowLevelDb(const std::vector<float>& samples, size_t window, uint32_t channel) {
    double power = 0;
    for (size_t i = window * WindowFrames; i < (window + 1) * WindowFrames; ++i) power += double{samples[i * 2 + channel]} * samples[i * 2 + channel];
    power /= WindowFrames;
    return power > 0 ? std::max(SilenceDb, 10 * std::log10(power)) : SilenceDb;
}

double Correlation(const float* a, const float* b, size_t count) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < count; ++i) {
        ab += double{a[i]} * b[i];
        aa += double{a[i]} * a[i];
        bb += double{b[i]} * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

TEST(ModuleDecoder, PlaysTheSameMusicAsOpenmpt123ForItsWholeLength) {
    for (const char* name : {"tune.xm", "tune.mod"}) {
        SCOPED_TRACE(name);
        ReferenceFile ref = ReadReference(std::string(name) + ".ref");
        std::unique_ptr<CodecSource> source = OpenFixture(name);
        ASSERT_TRUE(source);
        EXPECT_EQ(source->Format().SampleRate, ModuleSampleRate);
        EXPECT_EQ(source->Format().Channels, 2u);
        // openmpt123 states the duration in whole milliseconds.
        double durationMs = std::stod(ref.Value("duration_ms"));
        EXPECT_NEAR(static_cast<double>(source->Format().Frames), durationMs * 44.1, 44.1);

        std::vector<float> all = DecodeAll(*source, GuardFrames);
        ASSERT_EQ(all.size() / 2, source->Format().Frames) << "Read hands out exactly the length";
        size_t windows = std::min(ref.Rows.size(), all.size() / 2 / WindowFrames);
        ASSERT_GE(windows, ref.Rows.size() - 1);
        double worst = 0;
        size_t loud = 0;
        for (size_t w = 0; w < windows; ++w) {
            for (uint32_t c = 0; c < 2; ++c) {
                double expected = ref.Rows[w][c];
                if (expected < LoudDb) continue;
                ++loud;
                worst = std::max(worst, std::fabs(WindowLevelDb(all, w, c) - expected));
            }
        }
        EXPECT_GT(loud, windows) << "the tune sounds";
        EXPECT_LT(worst, LevelToleranceDb) << "largest level difference of a 50 ms window, dB";
        std::printf("%s: %zu loud windows, largest level difference %.4f dB\n", name, loud, worst);
    }
}

TEST(ModuleDecoder, SeeksToTheTime) {
    std::unique_ptr<CodecSource> whole = OpenFixture("tune.xm");
    ASSERT_TRUE(whole);
    std::vector<float> all = DecodeAll(*whole, GuardFrames);
    const uint64_t frames = whole->Format().Frames;

    std::unique_ptr<CodecSource> source = OpenFixture("tune.xm");
    ASSERT_TRUE(source);
    constexpr uint32_t CheckFrames = 8820;
    // On a row (0.12 s each), inside rows, in the second pattern, backwards.
    for (double seconds : {7.68, 1.0, 0.12, 3.3, 12.05, 0.5}) {
        SCOPED_TRACE(seconds);
        auto target = static_cast<uint64_t>(seconds * ModuleSampleRate);
        ASSERT_TRUE(source->Seek(target));
        std::vector<float> got(size_t{CheckFrames} * 2);
        ASSERT_EQ(source->Read(got.data(), CheckFrames), CheckFrames);
        // The render after a seek against the continuous one: the best
        // alignment within 10 ms is the seek's error. Voice states (ramps,
        // filters) start afresh, so the samples differ a little.
        constexpr int MaxLag = 441;
        constexpr size_t Compared = 4000;
        double best = -2;
        int bestLag = 0;
        for (int lag = -MaxLag; lag <= MaxLag; ++lag) {
            if (static_cast<int64_t>(target) + lag < 0) continue;
            double c = Correlation(got.data() + 2 * MaxLag, all.data() + (target + lag + MaxLag) * 2, Compared * 2);
            if (c > best) best = c, bestLag = lag;
        }
        EXPECT_GT(best, 0.99);
        EXPECT_LE(std::abs(bestLag), 1) << "frames off";
        std::printf("seek %.2f s: error %d frames, correlation %.5f\n", seconds, bestLag, best);
    }
    ASSERT_TRUE(source->Seek(frames - 100));
    std::vector<float> tail(2 * 1000);
    EXPECT_EQ(source->Read(tail.data(), 1000), 100u) << "the length holds after a seek";
    EXPECT_FALSE(source->Seek(frames + 1));
}

TEST(ModuleDecoder, OpensTheFourFormatsAndRefusesOthers) {
    struct Case {
        const char* Name;
        bool Opens;
        double Seconds;
    };
    const Case cases[] = {
        {"test.xm", true, 7.68},
        {"test.mod", true, 7.68},
        // These real modules have no rows that take time: nothing to play.
        {"test.it", false, 0},
        {"test.s3m", false, 0},
        {"stripped.xm", false, 0},   // damaged: libopenmpt refuses it
        {"mac-399.ape", false, 0},
        {"missing.xm", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<CodecSource> source = OpenFixture(c.Name);
        ASSERT_EQ(source != nullptr, c.Opens);
        if (source) EXPECT_EQ(source->Format().Frames, static_cast<uint64_t>(std::llround(c.Seconds * ModuleSampleRate)));
    }
}

TEST(ModuleDecoder, EveryPrefixIsRefusedOrEndsCleanly) {
    for (const char* name : {"tune.xm", "test.mod"}) {
        const std::vector<uint8_t> valid = ReadFixtureBytes(name);
        ASSERT_FALSE(valid.empty());
        for (size_t size = 0; size < valid.size(); size += size < 400 ? 2 : 101) {
            std::vector<uint8_t> prefix(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(size));
            std::unique_ptr<CodecSource> source = OpenModuleDecoder(MemoryBytes(prefix));
            if (!source) continue;
            std::vector<float> start(2 * 4096);
            uint32_t got = source->Read(start.data(), 4096);
            ASSERT_LE(got, source->Format().Frames) << name << " prefix of " << size << " bytes";
            for (uint32_t i = 0; i < got * 2; ++i) ASSERT_TRUE(std::isfinite(start[i]));
        }
    }
}

}  // namespace
