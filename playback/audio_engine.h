#pragma once
// The program's only gateway to the audio library lib\bass.dll, plus the
// track-info readers (which delegate to the portable metadata library).
//
// Threads: the UI thread calls everything. The folder-scan thread calls only
// CreateStream, StreamLengthTotalSeconds (and the other StreamLength*),
// GetLengthBytes, BytesToSeconds, FreeStream and the readers, on streams of
// its own, at the same time. That is safe: the engine holds no state,
// function binding is thread-safe, the audio library is thread-safe, and the
// readers keep nothing between calls.
//
// Call order: Init once, then LoadPlugins once only when Init succeeded.
// Every BASS function is bound on its first call from "lib\bass.dll" in the
// folder of the program file (never the current directory); if it cannot be
// bound the program shows the fatal message and ends.
//
// Paths are program text (UTF-8), passed to the library as UTF-16 (BASS_UNICODE).

#include <cstdint>
#include <string>
#include <string_view>

#include "metadata/track_info.h"

using StreamHandle = uint32_t;  // 0 means none

inline constexpr uint64_t StreamErrorBytes = ~uint64_t{0};  // what failed position/length calls give

class AudioEngine {
public:
    // --- Audio library operations, each one call (or two) into bass.dll. ---

    // UI thread. BASS_Init(-1, 44100, 0, 0, nullptr). Succeeds without an
    // output device too (the library then plays against a silent clock).
    bool Init();
    // UI thread. BASS_PluginLoad(path, BASS_UNICODE); the plug-in handle or 0.
    uint32_t LoadPlugin(std::string_view path);
    // UI thread, after a successful Init: every "Plugins\cod_*.dll" beside the
    // program file; failures are skipped.
    int LoadPlugins();  // the number loaded (callers may ignore it)

    // UI and scan thread. 0 for empty text or a path naming nothing;
    // otherwise BASS_StreamCreateFile(FALSE, path, 0, 0, BASS_UNICODE) (0 when
    // the library refuses the file).
    StreamHandle CreateStream(std::string_view path);

    // UI thread. BASS_ChannelPlay(handle, restart); callers pass restart false.
    bool Play(StreamHandle handle, bool restart);
    // UI thread. BASS_ChannelPause.
    bool Pause(StreamHandle handle);
    // UI thread. BASS_StreamFree, then BASS_ChannelStop (the second one fails
    // on the freed handle; harmless): the stream is gone after it.
    void FreeAndStop(StreamHandle handle);
    // UI and scan thread. BASS_MusicFree, then BASS_StreamFree.
    void FreeStream(StreamHandle handle);

    // UI thread. Byte positions of the decoded stream (BASS_POS_BYTE);
    // StreamErrorBytes on a bad handle.
    uint64_t GetPositionBytes(StreamHandle handle);
    bool SetPositionBytes(StreamHandle handle, uint64_t position);
    // UI and scan thread. Length in bytes of decoded PCM; StreamErrorBytes on a bad handle.
    uint64_t GetLengthBytes(StreamHandle handle);
    // UI and scan thread. BASS_ChannelBytes2Seconds; negative on a bad handle.
    double BytesToSeconds(StreamHandle handle, uint64_t bytes);
    // UI thread. BASS_ChannelSeconds2Bytes; StreamErrorBytes on a bad handle.
    uint64_t SecondsToBytes(StreamHandle handle, double seconds);
    // UI thread. 0 stopped, 1 playing, 2 stalled, 3 paused (0 for a bad handle).
    int IsActive(StreamHandle handle);
    // UI thread. BASS_ChannelSetAttribute(handle, BASS_ATTRIB_VOL, percent / 100.0f).
    bool SetVolume(StreamHandle handle, int percent);

    // --- Stream length (UI and scan thread). A bad handle counts as length 0. ---
    std::string StreamLengthText(StreamHandle handle);  // "mm:ss", e.g. 61.9 s -> "01:01"
    int StreamLengthTotalSeconds(StreamHandle handle);  // whole seconds, truncated

    // --- Track-info readers (any thread; see metadata/track_info.h). ---
    int ReadTrackInfo(std::string_view path, TrackInfo& info) { return ::ReadTrackInfo(path, info); }

private:
    double StreamLengthSecondsExact(StreamHandle handle);
};
