// A Version 1 codec plug-in for the tests (16-bit): "TTONE" files describe a tone the plug-in
// synthesises. Layout: "TTONE\0\0\0", then u32 LE sample rate, u32 LE channels,
// u32 LE frames, and optionally u32 LE behaviour flags (below) for the sound
// rig: how a plug-in may misbehave.

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bass/bass_api.h"

namespace {

constexpr char Magic[8] = {'T', 'T', 'O', 'N', 'E', 0, 0, 0};
constexpr size_t HeaderBytes = 20;
constexpr size_t FlagsBytes = 4;
constexpr uint32_t MaxChannels = 8;

constexpr uint32_t SineTone = 0x1;       // 440 Hz (channel c at 1/(c+1) of full level), not a square
constexpr uint32_t PartialReads = 0x2;   // each Read returns part of a frame
constexpr uint32_t StallEverySecond = 0x4;  // each second of audio costs 300 ms of waiting
constexpr uint32_t HangAtOneSecond = 0x8;   // the read after one second never returns
constexpr DWORD StallMs = 300;

struct ToneState {
    uint32_t Channels;
    uint64_t Frames;
    uint32_t Rate;
    uint32_t Flags;
    uint64_t Frame = 0;
    uint64_t StalledAt = 0;
    std::vector<uint8_t> Pending;  // bytes made and not yet handed out
};

uint32_t U32Le(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

void* BASSAPI Open(const wchar_t* path, TamberPcmFormat* format, QWORD* lengthBytes) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    uint8_t header[HeaderBytes + FlagsBytes];
    DWORD got = 0;
    BOOL ok = ReadFile(file, header, sizeof header, &got, nullptr);
    CloseHandle(file);
    if (!ok || got < HeaderBytes || std::memcmp(header, Magic, sizeof Magic) != 0) return nullptr;
    uint32_t flags = got == sizeof header ? U32Le(header + HeaderBytes) : 0;
    uint32_t rate = U32Le(header + 8), channels = U32Le(header + 12), frames = U32Le(header + 16);
    if (rate == 0 || channels == 0 || channels > MaxChannels) return nullptr;
    format->SampleRate = rate;
    format->Channels = channels;
    *lengthBytes = uint64_t{frames} * channels * 2;
    auto* state = new ToneState{};
    *state = ToneState{channels, frames, rate, flags, 0, 0, {}};
    return state;
}

DWORD BASSAPI Read(void* decoder, void* buffer, DWORD bytes) {
    auto* state = static_cast<ToneState*>(decoder);
    uint64_t second = state->Frame / state->Rate;
    if ((state->Flags & HangAtOneSecond) && second >= 1) Sleep(INFINITE);
    if ((state->Flags & StallEverySecond) && second > state->StalledAt) {
        state->StalledAt = second;
        Sleep(StallMs);
    }
    // Whole frames are made; a partial reader hands out a third of them,
    // cut anywhere, and keeps the rest for the next call.
    while (state->Pending.size() < bytes && state->Frame < state->Frames) {
        for (uint32_t c = 0; c < state->Channels; ++c) {
            int16_t value;
            if (state->Flags & SineTone) {
                double phase = 2 * 3.14159265358979 * 440.0 * static_cast<double>(state->Frame) / state->Rate;
                value = static_cast<int16_t>(16000 * std::sin(phase) / (c + 1));
            } else {
                value = (state->Frame / 50) % 2 ? 4000 : -4000;  // a square wave
            }
            state->Pending.push_back(static_cast<uint8_t>(value & 0xFF));
            state->Pending.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
        }
        ++state->Frame;
    }
    DWORD give = static_cast<DWORD>(std::min<size_t>(bytes, state->Pending.size()));
    if ((state->Flags & PartialReads) && give > 7) give = give / 3 | 1;
    std::memcpy(buffer, state->Pending.data(), give);
    state->Pending.erase(state->Pending.begin(), state->Pending.begin() + give);
    return give;
}

BOOL BASSAPI Seek(void* decoder, QWORD positionBytes) {
    auto* state = static_cast<ToneState*>(decoder);
    uint64_t frame = positionBytes / (state->Channels * 2);
    if (frame > state->Frames) return FALSE;
    state->Frame = frame;
    state->Pending.clear();
    return TRUE;
}

void BASSAPI Close(void* decoder) { delete static_cast<ToneState*>(decoder); }

const TamberCodecPlugin gPlugin = {TamberCodecPluginVersion1, "test tone", Open, Read, Seek, Close};

}  // namespace

extern "C" const TamberCodecPlugin* BASSAPI TamberCodecPluginInit() { return &gPlugin; }
