// A codec plug-in for the tests: "TTONE" files describe a tone the plug-in
// synthesises. Layout: "TTONE\0\0\0", then u32 LE sample rate, u32 LE channels,
// u32 LE frames.

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "bass/bass_api.h"

namespace {

constexpr char Magic[8] = {'T', 'T', 'O', 'N', 'E', 0, 0, 0};
constexpr size_t HeaderBytes = 20;
constexpr uint32_t MaxChannels = 8;

struct ToneState {
    uint32_t Channels;
    uint64_t Frames;
    uint64_t Frame = 0;
};

uint32_t U32Le(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

void* BASSAPI Open(const wchar_t* path, TamberPcmFormat* format, QWORD* lengthBytes) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    uint8_t header[HeaderBytes];
    DWORD got = 0;
    BOOL ok = ReadFile(file, header, HeaderBytes, &got, nullptr);
    CloseHandle(file);
    if (!ok || got != HeaderBytes || std::memcmp(header, Magic, sizeof Magic) != 0) return nullptr;
    uint32_t rate = U32Le(header + 8), channels = U32Le(header + 12), frames = U32Le(header + 16);
    if (rate == 0 || channels == 0 || channels > MaxChannels) return nullptr;
    format->SampleRate = rate;
    format->Channels = channels;
    *lengthBytes = uint64_t{frames} * channels * 2;
    return new ToneState{channels, frames};
}

DWORD BASSAPI Read(void* decoder, void* buffer, DWORD bytes) {
    auto* state = static_cast<ToneState*>(decoder);
    auto* out = static_cast<int16_t*>(buffer);
    DWORD frames = bytes / (state->Channels * 2);
    DWORD done = 0;
    for (; done < frames && state->Frame < state->Frames; ++done, ++state->Frame) {
        int16_t value = (state->Frame / 50) % 2 ? 4000 : -4000;  // a square wave
        for (uint32_t c = 0; c < state->Channels; ++c) *out++ = value;
    }
    return done * state->Channels * 2;
}

BOOL BASSAPI Seek(void* decoder, QWORD positionBytes) {
    auto* state = static_cast<ToneState*>(decoder);
    uint64_t frame = positionBytes / (state->Channels * 2);
    if (frame > state->Frames) return FALSE;
    state->Frame = frame;
    return TRUE;
}

void BASSAPI Close(void* decoder) { delete static_cast<ToneState*>(decoder); }

const TamberCodecPlugin gPlugin = {TamberCodecPluginVersion, "test tone", Open, Read, Seek, Close};

}  // namespace

extern "C" const TamberCodecPlugin* BASSAPI TamberCodecPluginInit() { return &gPlugin; }
