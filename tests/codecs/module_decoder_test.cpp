#include "codecs/mod/module_decoder.h"
#include "codecs/mod/module_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "tests/codecs/codec_test_support.h"

namespace {

constexpr uint64_t GuardFrames = 44100ull * 600;
constexpr uint32_t WindowFrames = 2205;  // 50 ms, as make_references.py measures
constexpr double SilenceDb = -120.0;
// libxmp against openmpt123: other interpolation, ramps and gain. Measured
// on the tunes: gain +1.9 to +2.5 dB; after it 0.06 to 0.31 dB RMS, 0.8 dB at
// most; envelope correlation 0.976 to 0.981.
constexpr double MaxGainDifferenceDb = 4.0;
constexpr double MaxRmsLevelDifferenceDb = 1.0;
constexpr double MaxLevelDifferenceDb = 2.0;
constexpr double MinEnvelopeCorrelation = 0.95;
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

double Correlation(const std::vector<double>& a, const std::vector<double>& b) {
    double meanA = 0, meanB = 0;
    for (size_t i = 0; i < a.size(); ++i) meanA += a[i], meanB += b[i];
    meanA /= static_cast<double>(a.size());
    meanB /= static_cast<double>(b.size());
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        ab += (a[i] - meanA) * (b[i] - meanB);
        aa += (a[i] - meanA) * (a[i] - meanA);
        bb += (b[i] - meanB) * (b[i] - meanB);
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
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
        // Levels of the loud windows, ours against openmpt123's. Two
        // renderers mix at their own gain and ramp notes their own way: the
        // music is the same when the levels follow each other once the gain
        // is matched.
        std::vector<double> ours, theirs;
        for (size_t w = 0; w < windows; ++w) {
            for (uint32_t c = 0; c < 2; ++c) {
                if (ref.Rows[w][c] < LoudDb) continue;
                ours.push_back(WindowLevelDb(all, w, c));
                theirs.push_back(ref.Rows[w][c]);
            }
        }
        ASSERT_GT(ours.size(), windows) << "the tune sounds";
        double offset = 0;
        for (size_t i = 0; i < ours.size(); ++i) offset += ours[i] - theirs[i];
        offset /= static_cast<double>(ours.size());
        double worst = 0, sumSquares = 0;
        for (size_t i = 0; i < ours.size(); ++i) {
            double d = std::fabs(ours[i] - theirs[i] - offset);
            worst = std::max(worst, d);
            sumSquares += d * d;
        }
        double rms = std::sqrt(sumSquares / static_cast<double>(ours.size()));
        double envelope = Correlation(ours, theirs);
        EXPECT_LT(std::fabs(offset), MaxGainDifferenceDb);
        EXPECT_LT(rms, MaxRmsLevelDifferenceDb);
        EXPECT_LT(worst, MaxLevelDifferenceDb);
        EXPECT_GT(envelope, MinEnvelopeCorrelation);
        std::printf("%s: %zu loud windows; gain %+.2f dB; after it, level differences %.2f dB RMS, %.2f dB at most; "
                    "envelope correlation %.4f\n",
                    name, ours.size(), offset, rms, worst, envelope);
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
        {"stripped.xm", false, 0},   // damaged: the renderer refuses it
        {"mac-399.ape", false, 0},
        {"missing.xm", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        // Refused, but of the four formats (stripped.xm lost its magic too).
        if (std::string(c.Name) == "test.it") EXPECT_TRUE(IsModuleFile(*FileBytes(InputFile(CodecFixture(c.Name)))));
        if (std::string(c.Name) == "stripped.xm") EXPECT_FALSE(IsModuleFile(*FileBytes(InputFile(CodecFixture(c.Name)))));
        std::unique_ptr<CodecSource> source = OpenFixture(c.Name);
        ASSERT_EQ(source != nullptr, c.Opens);
        if (source) EXPECT_EQ(source->Format().Frames, static_cast<uint64_t>(std::llround(c.Seconds * ModuleSampleRate)));
    }
}

TEST(ModuleFormat, TellsTheFourFormatsByTheirMagic) {
    struct Case {
        const char* What;
        size_t At;
        std::string Magic;
        ModuleFormat Expected;
    };
    const Case cases[] = {
        {"XM", 0, "Extended Module: ", ModuleFormat::Xm},
        {"IT", 0, "IMPM", ModuleFormat::It},
        {"S3M", 44, "SCRM", ModuleFormat::S3m},
        {"ProTracker", 1080, "M.K.", ModuleFormat::Mod},
        {"FastTracker 8 channels", 1080, "8CHN", ModuleFormat::Mod},
        {"32 channels", 1080, "32CH", ModuleFormat::Mod},
        {"StarTrekker", 1080, "FLT4", ModuleFormat::Mod},
        {"S3M magic one byte early", 43, "SCRM", ModuleFormat::None},
        {"MOD tag one byte late", 1081, "M.K.", ModuleFormat::None},
        {"no magic (a 15-sample Soundtracker file looks like this)", 0, "", ModuleFormat::None},
        {"XCHN: no digit", 1080, "XCHN", ModuleFormat::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        std::vector<uint8_t> head(ModuleHeadBytes + 8, 0);
        std::copy(c.Magic.begin(), c.Magic.end(), head.begin() + static_cast<std::ptrdiff_t>(c.At));
        EXPECT_EQ(ModuleFormatOf(head), c.Expected);
    }
    // A file that ends before the MOD tag's place.
    const std::vector<uint8_t> shortFile(1082, 'M');
    EXPECT_EQ(ModuleFormatOf(shortFile), ModuleFormat::None);
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

// The renderer takes a MOD's sample lengths on trust and writes outside its
// buffers playing one that runs far past the file (found by fuzz_module).
TEST(ModuleFormat, RefusesAModWhoseSamplesRunPastTheFile) {
    std::string text;
    ASSERT_TRUE(ReadWholeFile(CodecFixture("tune.mod"), text, 1 << 20));
    std::vector<uint8_t> mod(text.begin(), text.end());
    EXPECT_TRUE(ModSamplesFitFile(mod));
    constexpr size_t FourthSampleLength = 20 + 3 * 30 + 22;  // title, three sample headers, the length's place
    mod[FourthSampleLength] = 0xFC;  // 129024 bytes declared
    mod[FourthSampleLength + 1] = 0x00;
    EXPECT_FALSE(ModSamplesFitFile(mod));
    EXPECT_EQ(OpenModuleDecoder(MemoryBytes(mod)), nullptr);
}
