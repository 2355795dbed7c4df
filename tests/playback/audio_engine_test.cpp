// AudioEngine over the real lib\bass.dll, loaded from beside this program.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/text_codec.h"
#include "platform/win32/dll_binding.h"
#include "bass/bass_api.h"
#include "playback/audio_engine.h"
#include "tests/bass/audio_test_support.h"

namespace {

using namespace audiotest;

AudioEngine gEngine;

// Reads the volume attribute back; the engine itself only sets it.
DllLibrary gBass("lib\\bass.dll", DllLocation::ProgramFolder);
DllFunction<decltype(&BASS_ChannelGetAttribute)> gGetAttribute(gBass, "BASS_ChannelGetAttribute");

class Environment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(gEngine.Init()); }
};
const auto* gEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

struct ChildResult {
    DWORD ExitCode = ~DWORD{0};
    std::string Output;
};

// Runs bind_child.exe from this program's folder with the given current directory.
ChildResult RunChild(const std::string& arguments, const std::string& currentDirectory) {
    ChildResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::string command = "\"";
    command += ProgramFolderA();
    command += "\\bind_child.exe\" ";
    command += arguments;
    PROCESS_INFORMATION process{};
    BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) result.Output.append(buffer, got);
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &result.ExitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    return result;
}

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (unsigned char c : bytes) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", c);
        hex += pair;
    }
    return hex;
}

TEST(DllBinding, MessageIsTheFatalText) {
    EXPECT_EQ(BindFailureMessage("lib\\bass.dll", "BASS_Init"),
              "无法找到指定DLL库文件“lib\\bass.dll”中的输出命令“BASS_Init”");
}

TEST(DllBinding, MissingFunctionOrLibraryEndsTheProcessWithTheMessage) {
    struct Case {
        const char* Mode;
        const char* Library;
        const char* Function;
        bool InitRan;
    } cases[] = {
        {"missing-function", "lib\\incomplete.dll", "BASS_ChannelPlay", true},
        {"missing-library", "lib\\missing.dll", "BASS_Init", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Mode);
        ChildResult child = RunChild(c.Mode, "");
        EXPECT_EQ(child.ExitCode, BindFailureExitCode);
        EXPECT_NE(child.Output.find("fatal " + Hex(BindFailureMessage(c.Library, c.Function))), std::string::npos)
            << child.Output;
        EXPECT_EQ(child.Output.find("init ok") != std::string::npos, c.InitRan);
        EXPECT_EQ(child.Output.find("not reached"), std::string::npos);
    }
}

TEST(AudioEngineLibrary, LoadedBesideTheProgramNotFromTheCurrentDirectory) {
    // A current directory with a planted lib\bass.dll lacking most exports:
    // the engine must not pick it up.
    std::string folder = MakeTempFolder("cwd");
    CreateDirectoryA((folder + "\\lib").c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((ProgramFolderA() + "\\lib\\incomplete.dll").c_str(), (folder + "\\lib\\bass.dll").c_str(), FALSE));
    ChildResult child = RunChild("engine \"" + FixturePath("tone.wav") + "\"", folder);
    EXPECT_EQ(child.ExitCode, 0u) << child.Output;
    EXPECT_NE(child.Output.find("length 2"), std::string::npos) << child.Output;
    DeleteFileA((folder + "\\lib\\bass.dll").c_str());
    RemoveDirectoryA((folder + "\\lib").c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(AudioEngineCreate, EmptyMissingOrRefusedPathGivesNoStream) {
    StreamHandle good = gEngine.CreateStream(FixturePath("tone.wav"));
    ASSERT_NE(good, 0u);
    EXPECT_EQ(gEngine.CreateStream(""), 0u);
    EXPECT_EQ(gEngine.CreateStream(FixturePath("no_such_file.mp3")), 0u);
    gEngine.FreeStream(good);

    std::string folder = MakeTempFolder("refused");
    std::string text = folder + "\\text.flac";
    ASSERT_TRUE(WriteBytes(text, {'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(gEngine.CreateStream(text), 0u);
    DeleteFileA(text.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(AudioEngineCreate, ProgramTextPathReachesTheLibrary) {
    // Program text is UTF-8; the library gets the path as UTF-16, whatever
    // the ANSI code page holds.
    const std::string folder = MakeTempFolder("unicode");
    const std::u16string folder16 = ProgramTextToUtf16(folder);
    for (const std::u16string_view name : {u"测试.wav", u"Bj\u00F6rk \u00F8\u00F1\u00DF.wav", u"\uD55C\uAD6D\uC5B4 \u2660.wav"}) {
        const std::u16string path16 = folder16 + u"\\" + std::u16string(name);
        const std::wstring wide(path16.begin(), path16.end());
        const std::string path = Utf16ToProgramText(path16);
        SCOPED_TRACE(path);
        ASSERT_TRUE(CopyFileA(FixturePath("tone.wav").c_str(), (folder + "\\copy.wav").c_str(), FALSE));
        ASSERT_TRUE(MoveFileExW(std::wstring(folder16.begin(), folder16.end()).append(L"\\copy.wav").c_str(), wide.c_str(),
                                MOVEFILE_REPLACE_EXISTING));
        StreamHandle s = gEngine.CreateStream(path);
        EXPECT_NE(s, 0u);
        EXPECT_EQ(gEngine.StreamLengthText(s), "00:02");
        gEngine.FreeStream(s);
        DeleteFileW(wide.c_str());
    }
    RemoveDirectoryA(folder.c_str());
}

TEST(AudioEngineLength, SixtyOnePointNineSecondsShowsAs0101) {
    std::string folder = MakeTempFolder("length");
    std::string path = folder + "\\long.wav";
    ASSERT_TRUE(WriteBytes(path, PcmWav(8000, 1, 8000 * 619 / 10)));
    StreamHandle s = gEngine.CreateStream(path);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(gEngine.StreamLengthText(s), "01:01");
    EXPECT_EQ(gEngine.StreamLengthTotalSeconds(s), 61);
    EXPECT_DOUBLE_EQ(gEngine.BytesToSeconds(s, gEngine.GetLengthBytes(s)), 61.9);
    gEngine.FreeStream(s);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(AudioEngineLength, BadHandleIsZeroLength) {
    for (StreamHandle h : {StreamHandle{0}, StreamHandle{0x7FFFFFFF}}) {
        EXPECT_EQ(gEngine.StreamLengthText(h), "00:00");
        EXPECT_EQ(gEngine.StreamLengthTotalSeconds(h), 0);
        EXPECT_EQ(gEngine.GetLengthBytes(h), StreamErrorBytes);
        EXPECT_EQ(gEngine.IsActive(h), 0);
        EXPECT_FALSE(gEngine.Play(h, false));
        EXPECT_FALSE(gEngine.SetVolume(h, 50));
    }
}

TEST(AudioEngineLength, FixturesWithinOnePercent) {
    for (const Fixture& f : Fixtures) {
        SCOPED_TRACE(f.File);
        StreamHandle s = gEngine.CreateStream(FixturePath(f.File));
        if (!s && f.NeedsMediaFoundation) {
            ADD_FAILURE() << "no stream (see bass_tests for whether Media Foundation lacks this format)";
            continue;
        }
        ASSERT_NE(s, 0u);
        EXPECT_NEAR(gEngine.BytesToSeconds(s, gEngine.GetLengthBytes(s)), f.Seconds, f.Seconds * 0.01);
        gEngine.FreeStream(s);
    }
}

TEST(AudioEnginePlayback, VolumePlayPauseSeekStopFree) {
    StreamHandle s = gEngine.CreateStream(FixturePath("tone.wav"));
    ASSERT_NE(s, 0u);
    struct Case {
        int Percent;
        float Attribute;
    } volumes[] = {{50, 0.5f}, {0, 0.0f}, {100, 1.0f}};
    for (const Case& v : volumes) {
        EXPECT_TRUE(gEngine.SetVolume(s, v.Percent));
        float value = -1;
        ASSERT_TRUE(gGetAttribute(s, BASS_ATTRIB_VOL, &value));
        EXPECT_EQ(value, v.Attribute) << v.Percent;
    }
    EXPECT_TRUE(gEngine.Play(s, false));
    EXPECT_EQ(gEngine.IsActive(s), 1);
    Sleep(300);
    uint64_t position = gEngine.GetPositionBytes(s);
    EXPECT_GT(position, gEngine.SecondsToBytes(s, 0.15));
    EXPECT_TRUE(gEngine.Pause(s));
    EXPECT_EQ(gEngine.IsActive(s), 3);
    EXPECT_TRUE(gEngine.SetPositionBytes(s, gEngine.SecondsToBytes(s, 1.0)));
    EXPECT_EQ(gEngine.GetPositionBytes(s), gEngine.SecondsToBytes(s, 1.0));
    EXPECT_EQ(gEngine.IsActive(s), 3) << "seeking keeps a paused stream paused";
    EXPECT_TRUE(gEngine.Play(s, false));
    EXPECT_EQ(gEngine.IsActive(s), 1);
    // FreeAndStop frees first, so the handle is gone afterwards; FreeStream then finds nothing.
    gEngine.FreeAndStop(s);
    EXPECT_EQ(gEngine.IsActive(s), 0);
    EXPECT_EQ(gEngine.GetLengthBytes(s), StreamErrorBytes);
    gEngine.FreeStream(s);
}

TEST(AudioEnginePlugins, EmptyOrMissingFolderLoadsNothing) {
    std::string plugins = ProgramFolderA() + "\\Plugins";
    std::string inside = plugins + "\\cod_testtone.dll";
    std::string other = plugins + "\\other.dll";
    DeleteFileA(inside.c_str());
    DeleteFileA(other.c_str());
    RemoveDirectoryA(plugins.c_str());
    EXPECT_EQ(gEngine.LoadPlugins(), 0) << "no Plugins folder";
    ASSERT_TRUE(CreateDirectoryA(plugins.c_str(), nullptr));
    EXPECT_EQ(gEngine.LoadPlugins(), 0) << "empty Plugins folder";
    // Only cod_*.dll names count.
    std::string plugin = ProgramFolderA() + "\\testplugins\\cod_testtone.dll";
    ASSERT_TRUE(CopyFileA(plugin.c_str(), other.c_str(), FALSE));
    EXPECT_EQ(gEngine.LoadPlugins(), 0);
    ASSERT_TRUE(CopyFileA(plugin.c_str(), inside.c_str(), FALSE));
    EXPECT_EQ(gEngine.LoadPlugins(), 1);

    std::string tone = MakeTempFolder("plugins") + "\\a.ttone";
    ASSERT_TRUE(WriteBytes(tone, TestToneFile(8000, 1, 8000 * 3)));
    StreamHandle s = gEngine.CreateStream(tone);
    EXPECT_NE(s, 0u);
    EXPECT_EQ(gEngine.StreamLengthText(s), "00:03");
    gEngine.FreeStream(s);
    DeleteFileA(tone.c_str());
    // The loaded plug-in keeps its file open; the copies stay until the next run.
}

TEST(AudioEngineThreads, ScanThreadMeasuresWhileTheUiThreadPlays) {
    StreamHandle playing = gEngine.CreateStream(FixturePath("tone.wav"));
    ASSERT_NE(playing, 0u);
    ASSERT_TRUE(gEngine.Play(playing, false));
    int threadsBefore = ThreadCount();
    std::atomic<int> measured{0}, wrong{0};
    std::thread scan([&] {
        for (int i = 0; i < 10; ++i) {
            for (const Fixture& f : Fixtures) {
                StreamHandle s = gEngine.CreateStream(FixturePath(f.File));
                int seconds = gEngine.StreamLengthTotalSeconds(s);
                TrackInfo info;
                gEngine.ReadTrackInfo(FixturePath(f.File), info);
                gEngine.FreeStream(s);
                if (!s) continue;
                ++measured;
                if (seconds != static_cast<int>(f.Seconds) && seconds != static_cast<int>(f.Seconds) - 1) ++wrong;
            }
        }
    });
    for (int i = 0; i < 30; ++i) {
        gEngine.GetPositionBytes(playing);
        gEngine.SetVolume(playing, i % 2 ? 40 : 60);
        EXPECT_EQ(gEngine.IsActive(playing), 1);
        Sleep(10);
    }
    scan.join();
    EXPECT_GE(measured.load(), 10);
    EXPECT_EQ(wrong.load(), 0);
    gEngine.FreeAndStop(playing);
    gEngine.FreeStream(playing);
    Sleep(50);
    EXPECT_LE(ThreadCount(), threadsBefore);
}

}  // namespace
