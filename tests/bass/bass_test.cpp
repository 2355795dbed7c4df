// lib\bass.dll through its exports, bound by name as the player binds them.

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <thread>
#include <vector>

#include "platform/win32/dll_binding.h"
#include "bass/bass_api.h"
#include "tests/bass/audio_test_support.h"

namespace {

using namespace audiotest;

DllLibrary gBass("lib\\bass.dll", DllLocation::ProgramFolder);
#define BIND(name) DllFunction<decltype(&name)> name##_(gBass, #name)
BIND(BASS_Init);
BIND(BASS_ErrorGetCode);
BIND(BASS_PluginLoad);
BIND(BASS_StreamCreateFile);
BIND(BASS_StreamFree);
BIND(BASS_MusicFree);
BIND(BASS_ChannelPlay);
BIND(BASS_ChannelPause);
BIND(BASS_ChannelStop);
BIND(BASS_ChannelIsActive);
BIND(BASS_ChannelGetPosition);
BIND(BASS_ChannelSetPosition);
BIND(BASS_ChannelGetLength);
BIND(BASS_ChannelBytes2Seconds);
BIND(BASS_ChannelSeconds2Bytes);
BIND(BASS_ChannelSetAttribute);
BIND(BASS_ChannelGetAttribute);
BIND(TamberLiveStreamCount);
#undef BIND

constexpr QWORD QwordError = ~QWORD{0};

HSTREAM Open(const std::string& path, DWORD flags = 0) { return BASS_StreamCreateFile_(FALSE, path.c_str(), 0, 0, flags); }

// Waits (up to limitMs) for a playing stream to stop by itself.
bool WaitUntilStopped(HSTREAM s, DWORD limitMs) {
    for (DWORD waited = 0; waited < limitMs; waited += 50) {
        if (BASS_ChannelIsActive_(s) == BASS_ACTIVE_STOPPED) return true;
        Sleep(50);
    }
    return BASS_ChannelIsActive_(s) == BASS_ACTIVE_STOPPED;
}

double PositionSeconds(HSTREAM s) { return BASS_ChannelBytes2Seconds_(s, BASS_ChannelGetPosition_(s, BASS_POS_BYTE)); }

// Opens a fixture; skips (with the reason) only when Media Foundation could
// not create a source reader for the format on this system.
HSTREAM OpenFixture(const Fixture& f) {
    HSTREAM s = Open(FixturePath(f.File));
    if (!s && f.NeedsMediaFoundation && BASS_ErrorGetCode_() == BASS_ERROR_FILEFORM) return 0;
    return s;
}
#define OPEN_OR_SKIP(var, fixture)                                                                         \
    HSTREAM var = OpenFixture(fixture);                                                                     \
    if (!var && (fixture).NeedsMediaFoundation && BASS_ErrorGetCode_() == BASS_ERROR_FILEFORM)             \
        GTEST_SKIP() << "Media Foundation has no source reader for " << (fixture).File << " on this system"; \
    ASSERT_NE(var, 0u) << (fixture).File << " error " << BASS_ErrorGetCode_()

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        // Nothing works before Init.
        ASSERT_EQ(Open(FixturePath("tone.wav")), 0u);
        ASSERT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_INIT);
        ASSERT_TRUE(BASS_Init_(-1, 44100, 0, nullptr, nullptr));
        ASSERT_FALSE(BASS_Init_(-1, 44100, 0, nullptr, nullptr));
        ASSERT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_ALREADY);
    }
};
const auto* gEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

class BassFormat : public ::testing::TestWithParam<Fixture> {};

TEST_P(BassFormat, LengthWithinOnePercent) {
    const Fixture& f = GetParam();
    OPEN_OR_SKIP(s, f);
    QWORD bytes = BASS_ChannelGetLength_(s, BASS_POS_BYTE);
    ASSERT_NE(bytes, QwordError);
    double seconds = BASS_ChannelBytes2Seconds_(s, bytes);
    EXPECT_NEAR(seconds, f.Seconds, f.Seconds * 0.01) << f.File;
    // Seconds and bytes convert back within one sample frame.
    QWORD back = BASS_ChannelSeconds2Bytes_(s, seconds);
    EXPECT_LE(back > bytes ? back - bytes : bytes - back, 16u);
    EXPECT_EQ(bytes % 2, 0u);
    EXPECT_TRUE(BASS_StreamFree_(s));
}

TEST_P(BassFormat, PlayPauseResumeSeek) {
    const Fixture& f = GetParam();
    OPEN_OR_SKIP(s, f);
    EXPECT_EQ(BASS_ChannelIsActive_(s), BASS_ACTIVE_STOPPED);
    EXPECT_FALSE(BASS_ChannelPause_(s));
    EXPECT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_NOPLAY);
    ASSERT_TRUE(BASS_ChannelPlay_(s, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive_(s), BASS_ACTIVE_PLAYING);
    Sleep(600);
    double played = PositionSeconds(s);
    EXPECT_NEAR(played, 0.6, 0.25) << "the position runs in real time";

    ASSERT_TRUE(BASS_ChannelPause_(s));
    EXPECT_EQ(BASS_ChannelIsActive_(s), BASS_ACTIVE_PAUSED);
    double paused = PositionSeconds(s);
    Sleep(200);
    EXPECT_NEAR(PositionSeconds(s), paused, 0.02) << "a paused stream holds its position";

    ASSERT_TRUE(BASS_ChannelPlay_(s, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive_(s), BASS_ACTIVE_PLAYING);
    Sleep(200);
    EXPECT_GT(PositionSeconds(s), paused + 0.1) << "resumed from the paused position";

    ASSERT_TRUE(BASS_ChannelSetPosition_(s, BASS_ChannelSeconds2Bytes_(s, 1.5), BASS_POS_BYTE));
    EXPECT_NEAR(PositionSeconds(s), 1.5, 0.1);
    Sleep(200);
    EXPECT_NEAR(PositionSeconds(s), 1.7, 0.15);
    EXPECT_EQ(BASS_ChannelIsActive_(s), BASS_ACTIVE_PLAYING);
    // Past the end is refused and changes nothing.
    EXPECT_FALSE(BASS_ChannelSetPosition_(s, BASS_ChannelGetLength_(s, BASS_POS_BYTE) + 4, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_POSITION);
    EXPECT_TRUE(BASS_StreamFree_(s));
}

TEST_P(BassFormat, PlayedFromNearTheEndStopsAtTheEndOfTheAudio) {
    const Fixture& f = GetParam();
    OPEN_OR_SKIP(s, f);
    QWORD length = BASS_ChannelGetLength_(s, BASS_POS_BYTE);
    double seconds = BASS_ChannelBytes2Seconds_(s, length);
    // Seeking empties what was decoded ahead; the end is where the decoder runs dry.
    ASSERT_TRUE(BASS_ChannelPlay_(s, FALSE));
    Sleep(300);
    ASSERT_TRUE(BASS_ChannelSetPosition_(s, BASS_ChannelSeconds2Bytes_(s, seconds - 0.4), BASS_POS_BYTE));
    Sleep(1000);
    EXPECT_EQ(BASS_ChannelIsActive_(s), BASS_ACTIVE_STOPPED);
    QWORD end = BASS_ChannelGetPosition_(s, BASS_POS_BYTE);
    EXPECT_LE(end, length);
    EXPECT_NEAR(BASS_ChannelBytes2Seconds_(s, end), f.Seconds, f.Seconds / 100);
    EXPECT_TRUE(BASS_StreamFree_(s));
}

// The length a stream gives at creation comes from the headers, the decoder
// is made on the first play: both must agree with what the decoder gives.
TEST_P(BassFormat, HeaderLengthIsTheDecodersAndTheDecoderIsMadeOnFirstPlay) {
    const Fixture& f = GetParam();
    OPEN_OR_SKIP(s, f);
    HSTREAM decoded = Open(FixturePath(f.File), BASS_STREAM_PRESCAN);
    ASSERT_NE(decoded, 0u) << "the decoder refuses a file whose headers were accepted";
    double seconds = BASS_ChannelBytes2Seconds_(s, BASS_ChannelGetLength_(s, BASS_POS_BYTE));
    double decoderSeconds = BASS_ChannelBytes2Seconds_(decoded, BASS_ChannelGetLength_(decoded, BASS_POS_BYTE));
    EXPECT_NEAR(seconds, decoderSeconds, 0.1) << f.File;
    EXPECT_NEAR(seconds, f.Seconds, 0.1) << f.File;
    // Byte figures convert at the decoder's own rate (one second is a second for both).
    EXPECT_EQ(BASS_ChannelSeconds2Bytes_(s, 1.0), BASS_ChannelSeconds2Bytes_(decoded, 1.0)) << f.File;
    EXPECT_TRUE(BASS_StreamFree_(decoded));

    // Seek before the decoder exists; it is made, moved there, runs dry at the end.
    ASSERT_TRUE(BASS_ChannelSetPosition_(s, BASS_ChannelSeconds2Bytes_(s, seconds - 0.5), BASS_POS_BYTE));
    ASSERT_TRUE(BASS_ChannelPlay_(s, FALSE));
    EXPECT_NEAR(PositionSeconds(s), seconds - 0.5, 0.1);
    EXPECT_TRUE(WaitUntilStopped(s, 3000)) << f.File;
    EXPECT_NEAR(PositionSeconds(s), seconds, 0.1) << "decoding ended where the headers said";
    EXPECT_TRUE(BASS_StreamFree_(s));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, BassFormat, ::testing::ValuesIn(Fixtures),
                         [](const auto& info) { return std::string(info.param.File).substr(5); });
INSTANTIATE_TEST_SUITE_P(MoreFixtures, BassFormat, ::testing::ValuesIn(MoreFixtures), [](const auto& info) {
    std::string name = info.param.File;
    for (char& c : name) c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

TEST(BassStream, EndStopsThereAndPlayStartsOver) {
    HSTREAM s = Open(FixturePath("tone.wav"));
    ASSERT_NE(s, 0u);
    QWORD length = BASS_ChannelGetLength_(s, BASS_POS_BYTE);
    ASSERT_TRUE(BASS_ChannelSetPosition_(s, BASS_ChannelSeconds2Bytes_(s, 1.8), BASS_POS_BYTE));
    ASSERT_TRUE(BASS_ChannelPlay_(s, FALSE));
    Sleep(600);
    EXPECT_EQ(BASS_ChannelIsActive_(s), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ChannelGetPosition_(s, BASS_POS_BYTE), length);
    ASSERT_TRUE(BASS_ChannelPlay_(s, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive_(s), BASS_ACTIVE_PLAYING);
    EXPECT_LT(PositionSeconds(s), 0.3) << "an ended stream starts again from the beginning";
    // Stop keeps the position; restart TRUE goes back to 0.
    Sleep(300);
    ASSERT_TRUE(BASS_ChannelStop_(s));
    EXPECT_EQ(BASS_ChannelIsActive_(s), BASS_ACTIVE_STOPPED);
    EXPECT_GT(PositionSeconds(s), 0.15);
    ASSERT_TRUE(BASS_ChannelPlay_(s, TRUE));
    EXPECT_LT(PositionSeconds(s), 0.1);
    EXPECT_TRUE(BASS_StreamFree_(s));
}

TEST(BassStream, VolumeAttributeReadsBack) {
    HSTREAM s = Open(FixturePath("tone.wav"));
    ASSERT_NE(s, 0u);
    float value = -1;
    ASSERT_TRUE(BASS_ChannelGetAttribute_(s, BASS_ATTRIB_VOL, &value));
    EXPECT_EQ(value, 1.0f) << "full volume by default";
    for (float v : {0.5f, 0.0f, 1.0f}) {
        ASSERT_TRUE(BASS_ChannelSetAttribute_(s, BASS_ATTRIB_VOL, v));
        ASSERT_TRUE(BASS_ChannelGetAttribute_(s, BASS_ATTRIB_VOL, &value));
        EXPECT_EQ(value, v);
    }
    EXPECT_FALSE(BASS_ChannelSetAttribute_(s, BASS_ATTRIB_VOL, std::nanf("")));
    EXPECT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_ILLPARAM);
    EXPECT_FALSE(BASS_ChannelSetAttribute_(s, 99, 0.5f));
    EXPECT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_ILLTYPE);
    EXPECT_TRUE(BASS_StreamFree_(s));
}

TEST(BassStream, BadHandlesFailCleanly) {
    HSTREAM freed = Open(FixturePath("tone.wav"));
    ASSERT_NE(freed, 0u);
    ASSERT_TRUE(BASS_StreamFree_(freed));
    float value = 0;
    for (DWORD h : {DWORD{0}, freed, DWORD{0xDEADBEEF}}) {
        SCOPED_TRACE(h);
        EXPECT_FALSE(BASS_ChannelPlay_(h, FALSE));
        EXPECT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_HANDLE);
        EXPECT_FALSE(BASS_ChannelPause_(h));
        EXPECT_FALSE(BASS_ChannelStop_(h));
        EXPECT_FALSE(BASS_StreamFree_(h));
        EXPECT_FALSE(BASS_MusicFree_(h));
        EXPECT_EQ(BASS_ChannelIsActive_(h), BASS_ACTIVE_STOPPED);
        EXPECT_EQ(BASS_ChannelGetPosition_(h, BASS_POS_BYTE), QwordError);
        EXPECT_FALSE(BASS_ChannelSetPosition_(h, 0, BASS_POS_BYTE));
        EXPECT_EQ(BASS_ChannelGetLength_(h, BASS_POS_BYTE), QwordError);
        EXPECT_LT(BASS_ChannelBytes2Seconds_(h, 100), 0.0);
        EXPECT_EQ(BASS_ChannelSeconds2Bytes_(h, 1.0), QwordError);
        EXPECT_FALSE(BASS_ChannelSetAttribute_(h, BASS_ATTRIB_VOL, 0.5f));
        EXPECT_FALSE(BASS_ChannelGetAttribute_(h, BASS_ATTRIB_VOL, &value));
        EXPECT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_HANDLE);
    }
}

TEST(BassStream, BadInputGivesNoStreamAndLeaksNothing) {
    std::string folder = MakeTempFolder("bad");
    std::vector<uint8_t> truncatedWav = PcmWav(8000, 1, 10);
    truncatedWav.resize(30);  // ends inside the fmt chunk
    std::vector<uint8_t> corruptMp3 = {0xFF, 0xFB, 0x90, 0x00};  // one frame header, then noise
    for (uint32_t i = 0; i < 4000; ++i) corruptMp3.push_back(static_cast<uint8_t>(i * 2654435761u >> 13));
    struct Case {
        const char* Name;
        std::vector<uint8_t> Bytes;
    } cases[] = {
        {"empty.mp3", {}},
        {"corrupt.mp3", corruptMp3},
        {"text.flac", std::vector<uint8_t>{'n', 'o', 't', ' ', 'f', 'l', 'a', 'c', '\n'}},
        {"truncated.wav", truncatedWav},
    };
    for (const Case& c : cases) ASSERT_TRUE(WriteBytes(folder + "\\" + c.Name, c.Bytes));

    auto round = [&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.Name);
            EXPECT_EQ(Open(folder + "\\" + c.Name), 0u);
            int error = BASS_ErrorGetCode_();
            EXPECT_TRUE(error == BASS_ERROR_FILEFORM || error == BASS_ERROR_CODEC) << error;
        }
        EXPECT_EQ(Open(folder + "\\missing.ogg"), 0u);
        EXPECT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_FILEOPEN);
    };
    round();  // Media Foundation starts its own workers on first use
    Sleep(300);  // and winds a reader's down after it is released
    int threads = ThreadCount();
    for (int i = 0; i < 3; ++i) round();
    EXPECT_LE(SettledThreadCount(threads), threads);
    // A file handle left open would refuse an exclusive open.
    for (const Case& c : cases) EXPECT_TRUE(NoOneHasOpen(folder + "\\" + c.Name)) << c.Name;
    for (const Case& c : cases) DeleteFileA((folder + "\\" + c.Name).c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(BassStream, FreeingReleasesThreadsAndHandles) {
    auto cycle = [] {
        HSTREAM a = Open(FixturePath("tone.wav"));
        HSTREAM b = Open(FixturePath("tone.ogg"));
        ASSERT_NE(a, 0u);
        EXPECT_FALSE(NoOneHasOpen(FixturePath("tone.wav"))) << "the check sees an open stream";
        BASS_ChannelPlay_(a, FALSE);
        if (b) BASS_ChannelPlay_(b, FALSE);
        Sleep(100);
        EXPECT_TRUE(BASS_StreamFree_(a));
        if (b) {
            EXPECT_TRUE(BASS_StreamFree_(b));
        }
    };
    cycle();
    Sleep(300);
    int threads = ThreadCount();
    for (int i = 0; i < 3; ++i) cycle();
    EXPECT_LE(SettledThreadCount(threads), threads);
    EXPECT_TRUE(NoOneHasOpen(FixturePath("tone.wav")));
    EXPECT_TRUE(NoOneHasOpen(FixturePath("tone.ogg")));
}

TEST(BassStream, CreateAndFreeFromTwoThreadsWhilePlaying) {
    HSTREAM playing = Open(FixturePath("tone.wav"));
    ASSERT_NE(playing, 0u);
    ASSERT_TRUE(BASS_ChannelPlay_(playing, FALSE));
    auto scan = [](const char* file, int* failures) {
        for (int i = 0; i < 15; ++i) {
            HSTREAM s = Open(FixturePath(file));
            if (!s) {
                if (BASS_ErrorGetCode_() != BASS_ERROR_FILEFORM) ++*failures;
                continue;
            }
            if (BASS_ChannelBytes2Seconds_(s, BASS_ChannelGetLength_(s, BASS_POS_BYTE)) <= 0) ++*failures;
            if (!BASS_StreamFree_(s)) ++*failures;
        }
    };
    int failuresA = 0, failuresB = 0;
    std::thread a(scan, "tone.wav", &failuresA), b(scan, "tone.mp3", &failuresB);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(BASS_ChannelIsActive_(playing), BASS_ACTIVE_PLAYING);
        BASS_ChannelGetPosition_(playing, BASS_POS_BYTE);
        Sleep(10);
    }
    a.join();
    b.join();
    EXPECT_EQ(failuresA, 0);
    EXPECT_EQ(failuresB, 0);
    EXPECT_TRUE(BASS_StreamFree_(playing));
}

// FLAC headers of 2 s at 8 kHz mono, then bytes no decoder takes for frames.
std::vector<uint8_t> FlacHeadersOverNoise() {
    std::vector<uint8_t> w;
    PutTag(w, "fLaC");
    for (uint8_t b : {0x80, 0x00, 0x00, 0x22}) w.push_back(b);  // last block, STREAMINFO, 34 bytes
    for (uint8_t b : {0x10, 0x00, 0x10, 0x00}) w.push_back(b);  // block sizes 4096
    for (int i = 0; i < 6; ++i) w.push_back(0);                  // frame sizes unknown
    uint64_t packed = uint64_t{8000} << 44 | uint64_t{0} << 41 | uint64_t{15} << 36 | 16000;  // rate, mono, 16 bit, frames
    for (int i = 7; i >= 0; --i) w.push_back(static_cast<uint8_t>(packed >> (8 * i)));
    for (int i = 0; i < 16; ++i) w.push_back(0);  // MD5
    for (uint32_t i = 0; i < 6000; ++i) w.push_back(static_cast<uint8_t>((i * 2654435761u >> 13) & 0x7F));
    return w;
}

// Nothing can decode it, so nothing sounds: refused at creation, not played
// as silence of the length its headers claim.
TEST(BassStream, HeadersOverUndecodableAudioAreRefused) {
    std::string folder = MakeTempFolder("silence");
    std::string path = folder + "\\noise.flac";
    ASSERT_TRUE(WriteBytes(path, FlacHeadersOverNoise()));
    EXPECT_EQ(Open(path), 0u);
    EXPECT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_FILEFORM);
    EXPECT_TRUE(NoOneHasOpen(path));
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(BassStream, LiveStreamCountReturnsToItsStart) {
    std::string folder = MakeTempFolder("count");
    std::string refused = folder + "\\text.flac";
    ASSERT_TRUE(WriteBytes(refused, {'n', 'o', 't', ' ', 'f', 'l', 'a', 'c'}));
    DWORD start = TamberLiveStreamCount_();
    std::vector<HSTREAM> made;
    for (const char* file : {"tone.wav", "tone.ogg", "tone.mp3", "tone.ogg"}) {
        HSTREAM s = Open(FixturePath(file));
        if (s) made.push_back(s);
    }
    EXPECT_EQ(TamberLiveStreamCount_(), start + made.size());
    EXPECT_EQ(Open(refused), 0u);
    EXPECT_EQ(Open(folder + "\\missing.ogg"), 0u);
    EXPECT_EQ(TamberLiveStreamCount_(), start + made.size()) << "a failed creation leaves nothing behind";
    for (HSTREAM s : made) BASS_ChannelPlay_(s, FALSE);
    Sleep(100);
    for (HSTREAM s : made) EXPECT_TRUE(BASS_StreamFree_(s));
    EXPECT_EQ(TamberLiveStreamCount_(), start);
    ASSERT_FALSE(made.empty());
    EXPECT_FALSE(BASS_StreamFree_(made[0]));
    EXPECT_EQ(TamberLiveStreamCount_(), start);
    DeleteFileA(refused.c_str());
    RemoveDirectoryA(folder.c_str());
}

// The output thread makes and runs decoders without the stream's lock; seeks
// and frees land at any point of that and must neither crash nor leak.
TEST(BassStream, SeeksAndFreesWhileTheDecoderIsMadeOrRuns) {
    for (int i = 0; i < 24; ++i) {
        const char* file = i % 3 == 0 ? "tone.ogg" : i % 3 == 1 ? "tone.flac" : "tone.m4a";
        HSTREAM s = Open(FixturePath(file));
        ASSERT_NE(s, 0u) << file;
        ASSERT_TRUE(BASS_ChannelPlay_(s, FALSE));
        Sleep(i % 4 * 7);
        for (int k = 0; k < i % 5; ++k) BASS_ChannelSetPosition_(s, BASS_ChannelSeconds2Bytes_(s, 0.7 * k), BASS_POS_BYTE);
        if (i % 2) {
            EXPECT_TRUE(BASS_ChannelStop_(s));
        }
        EXPECT_TRUE(BASS_StreamFree_(s));
    }
    Sleep(300);
    for (const char* file : {"tone.ogg", "tone.flac", "tone.m4a"}) EXPECT_TRUE(NoOneHasOpen(FixturePath(file))) << file;
}

TEST(BassPlugin, LoadsOnlyDllsWithTheEntryPoint) {
    std::string folder = ProgramFolderA();
    EXPECT_EQ(BASS_PluginLoad_((folder + "\\testplugins\\missing.dll").c_str(), 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(BASS_PluginLoad_((folder + "\\lib\\bass.dll").c_str(), 0), 0u) << "a DLL without the entry point";
    EXPECT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_FILEFORM);

    std::string toneFile = MakeTempFolder("plugin") + "\\tone.ttone";
    ASSERT_TRUE(WriteBytes(toneFile, TestToneFile(8000, 2, 16000)));
    EXPECT_EQ(Open(toneFile), 0u) << "no plug-in yet";

    std::string plugin = folder + "\\testplugins\\cod_testtone.dll";
    HPLUGIN handle = BASS_PluginLoad_(plugin.c_str(), 0);
    ASSERT_NE(handle, 0u) << BASS_ErrorGetCode_();
    EXPECT_EQ(BASS_PluginLoad_(plugin.c_str(), 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode_(), BASS_ERROR_ALREADY);

    HSTREAM s = Open(toneFile);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(BASS_ChannelGetLength_(s, BASS_POS_BYTE), 16000u * 4);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds_(s, 16000u * 4), 2.0);
    ASSERT_TRUE(BASS_ChannelPlay_(s, FALSE));
    Sleep(300);
    EXPECT_GT(PositionSeconds(s), 0.1);
    EXPECT_TRUE(BASS_StreamFree_(s));
    DeleteFileA(toneFile.c_str());
}

}  // namespace
