#pragma once
// The C interface of lib\bass.dll, our stand-in audio library. Exports are
// undecorated stdcall functions (on x86-64 there is only one convention).
//
// Handles are 32-bit, 0 is none. Positions and lengths are 64-bit byte
// counts of the decoded audio counted as 16-bit PCM (whatever the samples are
// inside: the library carries float). A failing call returns 0 (or -1 where the type is a
// 64-bit count or a double) and sets the calling thread's error code, read by
// BASS_ErrorGetCode. Every function may be called from any thread.

#include <windows.h>

#include <cstdint>

#include "bass/bass_codes.h"

#ifndef BASSAPI
#define BASSAPI WINAPI
#endif
#ifdef TAMBER_BUILDING_BASS
#define BASS_EXPORT extern "C"  // bass.def names the exports
#else
#define BASS_EXPORT extern "C" __declspec(dllimport)
#endif

typedef uint64_t QWORD;
typedef DWORD HSTREAM;
typedef DWORD HMUSIC;
typedef DWORD HPLUGIN;

constexpr DWORD BASS_POS_BYTE = 0;
constexpr DWORD BASS_ATTRIB_VOL = 2;
constexpr DWORD BASS_UNICODE = 0x80000000;  // the file name is UTF-16
// Makes the decoder at creation and takes the length it gives, instead of
// the container's own figures (see BASS_StreamCreateFile).
constexpr DWORD BASS_STREAM_PRESCAN = 0x20000;

// device -1 is the default output; with no output device present Init still
// succeeds and streams play against a silent real-time clock.
BASS_EXPORT BOOL BASSAPI BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const GUID* dsguid);
BASS_EXPORT int BASSAPI BASS_ErrorGetCode();
// Loads a codec plug-in (see TamberCodecPlugin below); 0 when file is not one.
BASS_EXPORT HPLUGIN BASSAPI BASS_PluginLoad(const char* file, DWORD flags);
// mem must be FALSE (files only); file is ANSI text, or UTF-16 with BASS_UNICODE.
// offset and length select a part of the file only for WAV; pass 0, 0.
// Returns 0 for a file that no decoder or plug-in takes, judged by the
// decoder that would play it from the file's headers (no full decode).
// The library's own decoders (WAV, FLAC, Ogg Vorbis and Opus, MPEG audio)
// open at creation; for MP4 and ASF files whose headers give the exact
// length, Media Foundation's decoder is made only when the stream first
// plays, so that measuring a file costs no system decoder (one that then
// fails plays as silence of that length).
BASS_EXPORT HSTREAM BASSAPI BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);
BASS_EXPORT BOOL BASSAPI BASS_StreamFree(HSTREAM handle);
// No module music is supported: always fails with BASS_ERROR_HANDLE.
BASS_EXPORT BOOL BASSAPI BASS_MusicFree(HMUSIC handle);
// restart TRUE plays from the start; FALSE resumes, or starts over on an ended stream.
BASS_EXPORT BOOL BASSAPI BASS_ChannelPlay(DWORD handle, BOOL restart);
BASS_EXPORT BOOL BASSAPI BASS_ChannelPause(DWORD handle);
// Stops and keeps the position; BASS_ChannelPlay(FALSE) goes on from there.
BASS_EXPORT BOOL BASSAPI BASS_ChannelStop(DWORD handle);
BASS_EXPORT DWORD BASSAPI BASS_ChannelIsActive(DWORD handle);
BASS_EXPORT QWORD BASSAPI BASS_ChannelGetPosition(DWORD handle, DWORD mode);
BASS_EXPORT BOOL BASSAPI BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
BASS_EXPORT QWORD BASSAPI BASS_ChannelGetLength(DWORD handle, DWORD mode);
BASS_EXPORT double BASSAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
BASS_EXPORT QWORD BASSAPI BASS_ChannelSeconds2Bytes(DWORD handle, double pos);
// BASS_ATTRIB_VOL: 0 silent .. 1 full; values above 1 amplify (clipped).
BASS_EXPORT BOOL BASSAPI BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);
BASS_EXPORT BOOL BASSAPI BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value);

// ---- Ours, not part of the BASS-style interface ----
// Streams created and not yet freed (BASS_StreamFree). For diagnostics: the
// player's session tool checks that no stream outlives its track.
BASS_EXPORT DWORD BASSAPI TamberLiveStreamCount();
// Times since BASS_Init that a playing stream had no decoded audio ready for
// its device (each stretch counted once): heard as a gap. For diagnostics and
// the sound tests.
BASS_EXPORT DWORD BASSAPI TamberUnderrunCount();
// The longest any stream's output thread waited for its stream's lock since
// the library loaded, in microseconds. For the benchmarks.
BASS_EXPORT DWORD BASSAPI TamberOutputLockWaitUs();

// Decode-only access for tests and tools: the decoder a stream of the file
// would play through (every decoder made at once), without a device or
// a stream's threads. Samples are interleaved 32-bit float at the file's
// own rate and channels.
struct TamberDecodedFormat {
    DWORD SampleRate;
    DWORD Channels;
    QWORD Frames;  // the exact length the stream would report
};
// 0 when no decoder or plug-in takes the file (BASS_ErrorGetCode says why).
BASS_EXPORT DWORD BASSAPI TamberDecoderOpen(const wchar_t* path, TamberDecodedFormat* format);
// Sample frames read into samples (room for frames * Channels floats); 0 at the end.
BASS_EXPORT DWORD BASSAPI TamberDecoderRead(DWORD decoder, float* samples, DWORD frames);
// The next read starts at this sample frame.
BASS_EXPORT BOOL BASSAPI TamberDecoderSeek(DWORD decoder, QWORD frame);
BASS_EXPORT BOOL BASSAPI TamberDecoderFree(DWORD decoder);

// ---- Codec plug-ins ----
// A plug-in DLL exports "TamberCodecPluginInit" (undecorated, stdcall) returning
// a pointer to a static TamberCodecPlugin whose Version is TamberCodecPluginVersion
// (Version 1 plug-ins still load). The library asks each loaded plug-in, in load
// order, to open files that its own decoders refuse and that are not MP4 or ASF,
// before the system's.
constexpr DWORD TamberCodecPluginVersion = 2;
constexpr DWORD TamberCodecPluginVersion1 = 1;

// TamberPcmFormat.Flags (Version 2).
// Set by an Open that returns nullptr for a file of the plug-in's own format
// that it cannot play (damaged, hostile): the library then asks no other
// decoder about it, since another one (the system's) could hang on it.
constexpr DWORD TamberFormatRecognised = 0x1;

// TamberPcmFormat.SampleType. Version 1 plug-ins leave it 0: 16-bit.
constexpr DWORD TamberSampleInt16 = 0;    // signed 16-bit
constexpr DWORD TamberSampleFloat32 = 1;  // 32-bit float, nominally -1..1 (Version 2)

struct TamberPcmFormat {
    DWORD SampleRate;  // Hz
    DWORD Channels;    // 1..8; samples interleaved
    // Version 2 on. The library zeroes them before Open, so a Version 1
    // plug-in, which writes only the fields above, gives 16-bit samples.
    DWORD SampleType;     // TamberSample*: what Read hands out
    DWORD BitsPerSample;  // of the source, e.g. 24 for a 24-bit file carried as float
    DWORD Flags;          // TamberFormatRecognised
};

struct TamberCodecPlugin {
    DWORD Version;
    const char* Name;
    // Opens path (UTF-16) or returns nullptr. lengthBytes: decoded PCM length
    // in bytes of the sample type the plug-in hands out.
    void*(BASSAPI* Open)(const wchar_t* path, TamberPcmFormat* format, QWORD* lengthBytes);
    // Fills up to bytes of PCM; 0 at the end.
    DWORD(BASSAPI* Read)(void* decoder, void* buffer, DWORD bytes);
    // Moves to a byte position of the PCM (a whole sample frame); FALSE when it cannot.
    BOOL(BASSAPI* Seek)(void* decoder, QWORD positionBytes);
    void(BASSAPI* Close)(void* decoder);
};

typedef const TamberCodecPlugin*(BASSAPI* TamberCodecPluginInitFn)();
