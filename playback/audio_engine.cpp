#include "playback/audio_engine.h"

#include <windows.h>

#include <cmath>
#include <string>

#include "platform/win32/dll_binding.h"
#include "bass/bass_api.h"
#include "playback/long_path_win32.h"
#include "platform/text_codec.h"
#include "platform/win32/wide_text.h"

namespace {

// Found beside the program file, never through the current directory.
DllLibrary gBassLibrary("lib\\bass.dll", DllLocation::ProgramFolder);

DllFunction<decltype(&BASS_Init)> gBassInit(gBassLibrary, "BASS_Init");
DllFunction<decltype(&BASS_PluginLoad)> gBassPluginLoad(gBassLibrary, "BASS_PluginLoad");
DllFunction<decltype(&BASS_StreamCreateFile)> gBassStreamCreateFile(gBassLibrary, "BASS_StreamCreateFile");
DllFunction<decltype(&BASS_ChannelPlay)> gBassChannelPlay(gBassLibrary, "BASS_ChannelPlay");
DllFunction<decltype(&BASS_ChannelPause)> gBassChannelPause(gBassLibrary, "BASS_ChannelPause");
DllFunction<decltype(&BASS_ChannelStop)> gBassChannelStop(gBassLibrary, "BASS_ChannelStop");
DllFunction<decltype(&BASS_StreamFree)> gBassStreamFree(gBassLibrary, "BASS_StreamFree");
DllFunction<decltype(&BASS_MusicFree)> gBassMusicFree(gBassLibrary, "BASS_MusicFree");
DllFunction<decltype(&BASS_ChannelGetPosition)> gBassChannelGetPosition(gBassLibrary, "BASS_ChannelGetPosition");
DllFunction<decltype(&BASS_ChannelSetPosition)> gBassChannelSetPosition(gBassLibrary, "BASS_ChannelSetPosition");
DllFunction<decltype(&BASS_ChannelGetLength)> gBassChannelGetLength(gBassLibrary, "BASS_ChannelGetLength");
DllFunction<decltype(&BASS_ChannelBytes2Seconds)> gBassChannelBytes2Seconds(gBassLibrary, "BASS_ChannelBytes2Seconds");
DllFunction<decltype(&BASS_ChannelSeconds2Bytes)> gBassChannelSeconds2Bytes(gBassLibrary, "BASS_ChannelSeconds2Bytes");
DllFunction<decltype(&BASS_ChannelIsActive)> gBassChannelIsActive(gBassLibrary, "BASS_ChannelIsActive");
DllFunction<decltype(&BASS_ChannelSetAttribute)> gBassChannelSetAttribute(gBassLibrary, "BASS_ChannelSetAttribute");

constexpr int DefaultDevice = -1;
constexpr DWORD OutputRate = 44100;
constexpr int SecondsPerMinute = 60;

}  // namespace

bool AudioEngine::Init() { return gBassInit(DefaultDevice, OutputRate, 0, nullptr, nullptr) != FALSE; }

uint32_t AudioEngine::LoadPlugin(std::string_view path) {
    const std::wstring wide = ProgramTextToWide(path);  // the BASS_UNICODE form
    return gBassPluginLoad(reinterpret_cast<const char*>(wide.c_str()), BASS_UNICODE);
}

int AudioEngine::LoadPlugins() {
    std::wstring folder = ProgramFolderPath();
    if (folder.empty()) return 0;
    std::wstring pattern = folder + L"\\Plugins\\cod_*.dll";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;  // no folder, or nothing in it
    int loaded = 0;
    std::u16string base(folder.begin(), folder.end());
    base += u"\\Plugins\\";
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::u16string name(found.cFileName, found.cFileName + wcslen(found.cFileName));
        if (LoadPlugin(Utf16ToProgramText(base + name)) != 0) ++loaded;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return loaded;
}

StreamHandle AudioEngine::CreateStream(std::string_view path) {
    if (path.empty()) return 0;
    // The stream is only attempted when the path names something that exists
    // (looked up with the \\?\ prefix from MAX_PATH on).
    if (!PathEntryExists(path)) return 0;
    const std::wstring wide = ProgramTextToWide(path);
    return gBassStreamCreateFile(FALSE, wide.c_str(), 0, 0, BASS_UNICODE);
}

bool AudioEngine::Play(StreamHandle handle, bool restart) { return gBassChannelPlay(handle, restart ? TRUE : FALSE) != FALSE; }

bool AudioEngine::Pause(StreamHandle handle) { return gBassChannelPause(handle) != FALSE; }

void AudioEngine::FreeAndStop(StreamHandle handle) {
    gBassStreamFree(handle);
    gBassChannelStop(handle);
}

void AudioEngine::FreeStream(StreamHandle handle) {
    gBassMusicFree(handle);
    gBassStreamFree(handle);
}

uint64_t AudioEngine::GetPositionBytes(StreamHandle handle) { return gBassChannelGetPosition(handle, BASS_POS_BYTE); }

bool AudioEngine::SetPositionBytes(StreamHandle handle, uint64_t position) {
    return gBassChannelSetPosition(handle, position, BASS_POS_BYTE) != FALSE;
}

uint64_t AudioEngine::GetLengthBytes(StreamHandle handle) { return gBassChannelGetLength(handle, BASS_POS_BYTE); }

double AudioEngine::BytesToSeconds(StreamHandle handle, uint64_t bytes) { return gBassChannelBytes2Seconds(handle, bytes); }

uint64_t AudioEngine::SecondsToBytes(StreamHandle handle, double seconds) { return gBassChannelSeconds2Bytes(handle, seconds); }

int AudioEngine::IsActive(StreamHandle handle) { return static_cast<int>(gBassChannelIsActive(handle)); }

bool AudioEngine::SetVolume(StreamHandle handle, int percent) {
    return gBassChannelSetAttribute(handle, BASS_ATTRIB_VOL, static_cast<float>(percent / 100.0)) != FALSE;
}

double AudioEngine::StreamLengthSecondsExact(StreamHandle handle) {
    // A bad handle gives -1 bytes and -1 seconds; shown as a zero length, not "00:-1".
    uint64_t bytes = GetLengthBytes(handle);
    if (bytes == StreamErrorBytes) return 0.0;
    double seconds = BytesToSeconds(handle, bytes);
    return seconds > 0.0 && std::isfinite(seconds) ? seconds : 0.0;
}

std::string AudioEngine::StreamLengthText(StreamHandle handle) {
    double seconds = StreamLengthSecondsExact(handle);
    int minutes = SplitMinutesSeconds(seconds, false);
    int rest = SplitMinutesSeconds(seconds, true);
    std::string text;
    if (minutes < 10) text += '0';
    text += std::to_string(minutes);
    text += ':';
    if (rest < 10) text += '0';
    text += std::to_string(rest);
    return text;
}

int AudioEngine::StreamLengthTotalSeconds(StreamHandle handle) {
    double seconds = StreamLengthSecondsExact(handle);
    return SplitMinutesSeconds(seconds, false) * SecondsPerMinute + SplitMinutesSeconds(seconds, true);
}
