// tamber-play FILE: plays FILE through the audio engine to its end, printing
// the position once a second. How a user checks that the player makes sound.

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/text_codec.h"
#include "playback/audio_engine.h"

namespace {

constexpr DWORD ReportIntervalMs = 1000;
constexpr DWORD PollMs = 50;

std::string Clock(double seconds) {
    int whole = seconds > 0 ? static_cast<int>(seconds) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d.%d", whole / 60, whole % 60, static_cast<int>((seconds - whole) * 10) % 10);
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tamber-play FILE\n");
        return 2;
    }
    // The engine takes program text (UTF-8), as the player hands it.
    std::wstring wide(argv[1]);
    std::string path = Utf16ToProgramText(std::u16string(wide.begin(), wide.end()));

    AudioEngine engine;
    if (!engine.Init()) {
        std::fprintf(stderr, "tamber-play: the audio library could not start\n");
        return 1;
    }
    engine.LoadPlugins();
    StreamHandle stream = engine.CreateStream(path);
    if (stream == 0) {
        std::fprintf(stderr, "tamber-play: cannot play this file\n");
        return 1;
    }
    double length = engine.BytesToSeconds(stream, engine.GetLengthBytes(stream));
    std::printf("length %s (%s)\n", Clock(length).c_str(), engine.StreamLengthText(stream).c_str());
    engine.SetVolume(stream, 100);
    engine.Play(stream, false);

    ULONGLONG nextReport = GetTickCount64();
    while (engine.IsActive(stream) != 0) {
        if (GetTickCount64() >= nextReport) {
            double at = engine.BytesToSeconds(stream, engine.GetPositionBytes(stream));
            std::printf("%s / %s\n", Clock(at).c_str(), Clock(length).c_str());
            std::fflush(stdout);
            nextReport += ReportIntervalMs;
        }
        Sleep(PollMs);
    }
    double at = engine.BytesToSeconds(stream, engine.GetPositionBytes(stream));
    std::printf("ended at %s\n", Clock(at).c_str());
    engine.FreeAndStop(stream);
    engine.FreeStream(stream);
    return 0;
}
