#pragma once
// The interface's error codes and channel states, apart from the rest of
// bass_api.h so that the stream's rules, which return them, build without
// Windows.

#include <cstdint>

// Error codes (BASS_ErrorGetCode).
constexpr int BASS_OK = 0;
constexpr int BASS_ERROR_MEM = 1;
constexpr int BASS_ERROR_FILEOPEN = 2;
constexpr int BASS_ERROR_DRIVER = 3;
constexpr int BASS_ERROR_HANDLE = 5;
constexpr int BASS_ERROR_FORMAT = 6;
constexpr int BASS_ERROR_POSITION = 7;
constexpr int BASS_ERROR_INIT = 8;
constexpr int BASS_ERROR_ALREADY = 14;
constexpr int BASS_ERROR_ILLTYPE = 19;
constexpr int BASS_ERROR_ILLPARAM = 20;
constexpr int BASS_ERROR_DEVICE = 23;
constexpr int BASS_ERROR_NOPLAY = 24;
constexpr int BASS_ERROR_NOTAVAIL = 37;
constexpr int BASS_ERROR_DECODE = 38;
constexpr int BASS_ERROR_FILEFORM = 41;
constexpr int BASS_ERROR_CODEC = 44;
constexpr int BASS_ERROR_ENDED = 45;
constexpr int BASS_ERROR_VERSION = 43;
constexpr int BASS_ERROR_UNKNOWN = -1;

// BASS_ChannelIsActive
constexpr uint32_t BASS_ACTIVE_STOPPED = 0;
constexpr uint32_t BASS_ACTIVE_PLAYING = 1;
constexpr uint32_t BASS_ACTIVE_STALLED = 2;
constexpr uint32_t BASS_ACTIVE_PAUSED = 3;
