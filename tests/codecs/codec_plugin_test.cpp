// cod_ape.dll and cod_mod.dll as the player uses them: loaded by lib\bass.dll
// through BASS_PluginLoad, files opened through BASS_StreamCreateFile.

#include <gtest/gtest.h>

#include <cmath>

#include "bass/bass_api.h"
#include "platform/win32/dll_binding.h"
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
BIND(BASS_ChannelPlay);
BIND(BASS_ChannelGetPosition);
BIND(BASS_ChannelSetPosition);
BIND(BASS_ChannelGetLength);
BIND(BASS_ChannelBytes2Seconds);
#undef BIND

constexpr QWORD BytesPerFrame = 4;  // the library counts 16-bit stereo

#ifdef TAMBER_HAS_COD_APE
constexpr bool HaveApe = true;
#else
constexpr bool HaveApe = false;
#endif
#ifdef TAMBER_HAS_COD_MOD
constexpr bool HaveMod = true;
#else
constexpr bool HaveMod = false;
#endif

// Whether this build has the plug-in that plays the fixture.
bool Built(const std::string& fixture) {
    bool ape = fixture.size() > 4 && fixture.compare(fixture.size() - 4, 4, ".ape") == 0;
    return ape ? HaveApe : HaveMod;
}

HSTREAM Open(const char* fixture) {
    std::string path = FixturePath((std::string("codecs/") + fixture).c_str());
    return BASS_StreamCreateFile_(FALSE, path.c_str(), 0, 0, 0);
}

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(BASS_Init_(-1, 44100, 0, nullptr, nullptr));
        // Both plug-ins, as the player loads its Plugins folder.
        for (const char* name : {"cod_ape.dll", "cod_mod.dll"}) {
            if (!Built(name[4] == 'a' ? ".ape" : ".xm")) continue;
            std::string path = ProgramFolderA() + "\\..\\dist\\Plugins\\" + name;
            ASSERT_NE(BASS_PluginLoad_(path.c_str(), 0), 0u) << name << " error " << BASS_ErrorGetCode_();
        }
    }
};
const auto* gEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

struct LengthCase {
    const char* File;
    QWORD Frames;  // exact: the APE header's count; the renderer's duration
};

TEST(CodecPlugins, StreamsHaveTheExactLength) {
    const LengthCase cases[] = {
        {"mac-399.ape", 156556},
        {"mac-399-tagged.ape", 156556},
        {"test.xm", 338688},  // 7.68 s
        {"test.mod", 338688},
        {"tune.xm", 677376},  // 128 rows of 0.12 s
        {"tune.mod", 677376},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(c.File);
        if (!Built(c.File)) continue;
        HSTREAM s = Open(c.File);
        ASSERT_NE(s, 0u) << "error " << BASS_ErrorGetCode_();
        EXPECT_EQ(BASS_ChannelGetLength_(s, BASS_POS_BYTE), c.Frames * BytesPerFrame);
        EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds_(s, c.Frames * BytesPerFrame), c.Frames / 44100.0);
        EXPECT_TRUE(BASS_StreamFree_(s));
    }
}

TEST(CodecPlugins, RefusesHostileFilesAtCreation) {
    for (const char* file : {"longloop.ape", "zerodiv.ape", "mac-390-hdr.ape", "stripped.xm"}) {
        SCOPED_TRACE(file);
        if (!Built(file)) continue;
        EXPECT_EQ(Open(file), 0u);
        EXPECT_NE(BASS_ErrorGetCode_(), BASS_OK);
    }
}

TEST(CodecPlugins, PlaysAndSeeks) {
    for (const char* file : {"mac-399.ape", "tune.xm"}) {
        SCOPED_TRACE(file);
        if (!Built(file)) continue;
        HSTREAM s = Open(file);
        ASSERT_NE(s, 0u);
        constexpr QWORD Target = 100000 * BytesPerFrame;
        ASSERT_TRUE(BASS_ChannelSetPosition_(s, Target, BASS_POS_BYTE));
        EXPECT_EQ(BASS_ChannelGetPosition_(s, BASS_POS_BYTE), Target);
        ASSERT_TRUE(BASS_ChannelPlay_(s, FALSE));
        Sleep(400);
        EXPECT_GT(BASS_ChannelGetPosition_(s, BASS_POS_BYTE), Target) << "the stream plays on from the seek";
        EXPECT_TRUE(BASS_StreamFree_(s));
    }
}

}  // namespace
