// sound-probe SCRIPT: drives lib\bass.dll (beside it in lib\) line by line for
// the sound rig, and prints one JSON line per command with the wall time it
// ran at (milliseconds since the Unix epoch, the clock the rig's recorder
// uses). Commands:
//   init DEVICE          BASS_Init (-1: default output, 0: no sound)
//   plugin PATH          BASS_PluginLoad with BASS_UNICODE
//   open PATH            BASS_StreamCreateFile with BASS_UNICODE; the stream the rest act on
//   play | restart | pause | stop | free
//   volume V             BASS_ATTRIB_VOL
//   seek SECONDS
//   wait MS
//   position             prints the position in seconds
//   track MS EVERY       prints the position every EVERY ms for MS
//   underruns            prints TamberUnderrunCount

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "bass/bass_api.h"

namespace {

#define BIND(name) auto name##Fn = reinterpret_cast<decltype(&name)>(reinterpret_cast<void*>(GetProcAddress(bass, #name)))

double WallMs() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    uint64_t t = (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
    constexpr uint64_t UnixEpochIn100ns = 116444736000000000ull;
    return static_cast<double>(t - UnixEpochIn100ns) / 1e4;
}

std::wstring Wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, w.data(), n);
    w.resize(n > 0 ? n - 1 : 0);
    return w;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: sound-probe SCRIPT\n");
        return 2;
    }
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L'\\') + 1);
    HMODULE bass = LoadLibraryW((dir + L"lib\\bass.dll").c_str());
    if (!bass) {
        std::fprintf(stderr, "sound-probe: no lib\\bass.dll\n");
        return 1;
    }
    BIND(BASS_Init);
    BIND(BASS_StreamCreateFile);
    BIND(BASS_PluginLoad);
    BIND(BASS_StreamFree);
    BIND(BASS_ChannelPlay);
    BIND(BASS_ChannelPause);
    BIND(BASS_ChannelStop);
    BIND(BASS_ChannelSetAttribute);
    BIND(BASS_ChannelSetPosition);
    BIND(BASS_ChannelGetPosition);
    BIND(BASS_ChannelSeconds2Bytes);
    BIND(BASS_ChannelBytes2Seconds);
    BIND(BASS_ErrorGetCode);
    BIND(TamberUnderrunCount);

    std::ifstream script(argv[1]);
    std::string line;
    DWORD stream = 0;
    auto seconds = [&] { return BASS_ChannelBytes2SecondsFn(stream, BASS_ChannelGetPositionFn(stream, BASS_POS_BYTE)); };
    while (std::getline(script, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string cmd, rest;
        words >> cmd;
        std::getline(words >> std::ws, rest);
        double t = WallMs();
        int ok = 1;
        char extra[128] = "";
        if (cmd == "init") ok = BASS_InitFn(std::stoi(rest), 44100, 0, nullptr, nullptr);
        else if (cmd == "plugin") {
            std::wstring path = Wide(rest);
            ok = BASS_PluginLoadFn(reinterpret_cast<const char*>(path.c_str()), BASS_UNICODE) != 0;
        } else if (cmd == "open") {
            std::wstring path = Wide(rest);
            stream = BASS_StreamCreateFileFn(FALSE, path.c_str(), 0, 0, BASS_UNICODE);
            ok = stream != 0;
        } else if (cmd == "play") ok = BASS_ChannelPlayFn(stream, FALSE);
        else if (cmd == "restart") ok = BASS_ChannelPlayFn(stream, TRUE);
        else if (cmd == "pause") ok = BASS_ChannelPauseFn(stream);
        else if (cmd == "stop") ok = BASS_ChannelStopFn(stream);
        else if (cmd == "free") ok = BASS_StreamFreeFn(stream);
        else if (cmd == "volume") ok = BASS_ChannelSetAttributeFn(stream, BASS_ATTRIB_VOL, std::stof(rest));
        else if (cmd == "seek")
            ok = BASS_ChannelSetPositionFn(stream, BASS_ChannelSeconds2BytesFn(stream, std::stod(rest)), BASS_POS_BYTE);
        else if (cmd == "wait") Sleep(static_cast<DWORD>(std::stoul(rest)));
        else if (cmd == "position") std::snprintf(extra, sizeof extra, ",\"position\":%.4f", seconds());
        else if (cmd == "underruns") std::snprintf(extra, sizeof extra, ",\"underruns\":%lu", TamberUnderrunCountFn());
        else if (cmd == "track") {
            std::istringstream args(rest);
            DWORD total = 0, every = 0;
            args >> total >> every;
            for (DWORD done = 0; done < total; done += every) {
                std::printf("{\"cmd\":\"position\",\"t\":%.3f,\"position\":%.4f}\n", WallMs(), seconds());
                std::fflush(stdout);
                Sleep(every);
            }
            continue;
        } else {
            std::fprintf(stderr, "sound-probe: unknown command %s\n", cmd.c_str());
            return 2;
        }
        std::printf("{\"cmd\":\"%s\",\"t\":%.3f,\"ok\":%d,\"error\":%d%s}\n", cmd.c_str(), t, ok, ok ? 0 : BASS_ErrorGetCodeFn(), extra);
        std::fflush(stdout);
    }
    return 0;
}
