// Child process of the binding and library-location tests.
//   bind_child missing-function   binds an export lib\incomplete.dll lacks
//   bind_child missing-library    binds from a library that does not exist
//   bind_child engine FILE        plays nothing, prints the stream length of FILE
// A binding failure prints the fatal message (hex of its UTF-8 bytes) and the
// process ends with BindFailureExitCode.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/dll_binding.h"
#include "playback/audio_engine.h"

namespace {

void PrintLine(const std::string& text) {
    std::string line = text + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void PrintReport(const char* libraryFile, const char* functionName) {
    std::string hex;
    for (unsigned char c : BindFailureMessage(libraryFile, functionName)) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02X", c);
        hex += pair;
    }
    PrintLine("fatal " + hex);
}

DllLibrary gIncomplete("lib\\incomplete.dll", DllLocation::ProgramFolder);
DllLibrary gMissing("lib\\missing.dll", DllLocation::ProgramFolder);
DllFunction<BOOL(WINAPI*)(int, DWORD, DWORD, HWND, const GUID*)> gInit(gIncomplete, "BASS_Init");
DllFunction<BOOL(WINAPI*)(DWORD, BOOL)> gPlay(gIncomplete, "BASS_ChannelPlay");
DllFunction<BOOL(WINAPI*)(int, DWORD, DWORD, HWND, const GUID*)> gMissingInit(gMissing, "BASS_Init");

}  // namespace

int main(int argc, char** argv) {
    SetBindFailureReporter(PrintReport);
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "missing-function") {
        PrintLine(gInit(-1, 44100, 0, nullptr, nullptr) ? "init ok" : "init failed");
        gPlay(1, FALSE);
        PrintLine("not reached");
        return 0;
    }
    if (mode == "missing-library") {
        gMissingInit(-1, 44100, 0, nullptr, nullptr);
        PrintLine("not reached");
        return 0;
    }
    if (mode == "engine" && argc > 2) {
        AudioEngine engine;
        if (!engine.Init()) return 1;
        StreamHandle stream = engine.CreateStream(argv[2]);
        PrintLine("length " + std::to_string(engine.StreamLengthTotalSeconds(stream)));
        engine.FreeStream(stream);
        return 0;
    }
    return 2;
}
