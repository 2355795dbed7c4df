#pragma once
// One playing channel: a decoder on a thread of its own that keeps a second
// or more decoded ahead, and an output thread that hands the audio to the
// default device (or to a silent real-time clock when there is none).
//
// Volume is applied as samples leave for the device, a few milliseconds
// before they are heard, so that the player's fades are heard as it computes
// them. Every run of output starts from silence and ends with a short fade
// and a drain, so that play, pause, seek and stop do not click. The output
// follows the system's default device, and falls back to the clock while
// there is none.
//
// Every public method locks the stream and may be called from any thread.
// The decoder is used only by the decode thread, the device only by the
// output thread; neither runs under the lock for long.

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bass/decoder.h"
#include "bass/logic/output_rules.h"
#include "bass/logic/sample_convert.h"
#include "bass/output_device.h"

class Stream : public std::enable_shared_from_this<Stream> {
public:
    // With an opener and no decoder in info, the decoder is made on the decode
    // thread when the stream first plays; info's figures come from the
    // headers. A decoder that cannot be made then plays silence of that
    // length. output nullptr: the silent clock only.
    Stream(DecoderInfo info, DecoderOpener openLater, OutputBackend* output);
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Releases the device and the decoder before it returns (bounded: a
    // decoder stuck in a read is left to its thread); later calls fail with
    // BASS_ERROR_HANDLE.
    void Close();

    // Each returns 0 or a BASS error code. Positions are bytes of 16-bit PCM
    // at the stream's rate and channels, as the interface counts them.
    int Play(bool restart);
    int Pause();
    int Stop();
    int SetPosition(uint64_t positionBytes);
    int SetVolume(float volume);
    int GetVolume(float* volume);
    int Active(DWORD* state);
    int Position(uint64_t* positionBytes);
    int Length(uint64_t* lengthBytes);
    int BytesToSeconds(uint64_t bytes, double* seconds);
    int SecondsToBytes(double seconds, uint64_t* bytes);

    // Times, over the whole library, that a playing stream had no decoded
    // audio for its device (or its device ran dry).
    static uint32_t Underruns();
    // Keeps asking for the default output device in the background (from
    // BASS_Init on): streams follow it, and where there is none the first
    // stream starts on the clock at once.
    static void WatchDefaultDevice(OutputBackend& output);

private:
    enum class State { Stopped, Playing, Paused };
    enum class Feed { Audio, FadeOut, Silence };  // what WriteLocked sends

    uint64_t FrameBytes() const { return uint64_t{Channels} * 2; }
    uint64_t PositionLocked() const;
    uint64_t EndLocked() const { return SourceDrained ? std::min(EndFrame, LengthFrames) : LengthFrames; }
    size_t AvailableLocked() const { return Ring.size() / Channels - ReadAt; }
    void StartThreadsLocked();
    void MoveRingLocked(uint64_t frame);  // the next frame out is frame
    void AdoptFormatLocked(uint32_t sampleRate, uint32_t channels);

    // Decode thread.
    void DecodeLoop();
    bool DecodeNeededLocked() const;

    // Output thread and its turns (all with the lock held unless noted).
    void OutputLoop();
    void StartRunLocked(std::unique_lock<std::mutex>& lock);
    void EndRunLocked(std::unique_lock<std::mutex>& lock, bool fade);
    void ServiceDeviceLocked(std::unique_lock<std::mutex>& lock);
    void ServiceClockLocked(std::unique_lock<std::mutex>& lock);
    // Sends frames to the device in its format, through the volume ramp:
    // audio from the ring (only what it has), a fade to silence (padded with
    // silence), or silence. False when the device failed.
    bool WriteLocked(uint32_t frames, Feed feed);
    void DropDeviceLocked();
    void LoseDeviceLocked();
    void FinishLocked();
    void TryDeviceLocked(std::unique_lock<std::mutex>& lock);
    void NoteStarvingLocked(bool starving);
    static bool DefaultDevice(std::wstring* id);  // false before the watcher's first answer

    mutable std::mutex Lock;
    std::condition_variable Wake;
    bool Closed = false;

    // Format; the decoder may correct the headers' figures when it is made.
    uint32_t SampleRate;
    uint32_t Channels;
    uint32_t ChannelMask;
    bool HighResolution;
    uint64_t LengthFrames;
    float Volume = 1.0f;

    // Decoded audio: Ring holds frames from RingStart on; ReadAt is the next
    // frame out (the ones before it stay a while, so that a pause can give
    // back what was queued but not heard).
    std::vector<float> Ring;
    uint64_t RingStart = 0;
    size_t ReadAt = 0;
    bool SourceDrained = false;  // the decoder gave all it has; EndFrame is the end
    uint64_t EndFrame = 0;
    uint64_t Generation = 0;  // bumped by every move of the ring
    bool SeekPending = false;
    uint64_t SeekTarget = 0;
    std::unique_ptr<Decoder> Source;  // empty while the decode thread works with it
    DecoderOpener OpenLater;

    // Play state as the interface sees it.
    State PlayState = State::Stopped;
    bool Ended = false;
    uint64_t HeldPosition = 0;  // the position whenever no run is going (or one must restart)
    bool RestartRun = false;    // a seek or a new format: the run ends and starts at HeldPosition

    // The output thread's run: a stretch of continuous output on one device
    // or on the clock.
    OutputBackend* Output;
    std::unique_ptr<OutputDevice> Device;
    bool RunActive = false;
    bool DeviceStarted = false;  // started once audio was queued
    uint64_t RunBase = 0;    // the frame the run started at
    uint64_t RunPlayed = 0;  // frames heard in this run
    uint64_t RunTaken = 0;   // frames taken from the ring in this run
    uint32_t RunPadFrames = 0;  // silence the run opened with, not audio
    LONGLONG ClockStart = 0;  // the clock's run started at this counter
    LARGE_INTEGER ClockFrequency{};
    VolumeRamp Ramp;
    StallWatch Stall;
    Dither16 Dither;
    bool Starving = false;
    std::wstring StalledDevice;  // not opened again for a while, unless the default changes
    ULONGLONG StalledUntilMs = 0;
    bool DeviceMissing = false;  // the last look found none
    std::wstring ClockSawDefault;  // the default device the clock last heard of
    ULONGLONG NextDeviceTryMs = 0;
    std::vector<float> Work, Mixed;
    std::vector<int16_t> Pcm;

    std::thread DecodeThread, OutputThread;
    bool DecodeDone = false, OutputDone = false;
    std::condition_variable ThreadsDone;
};
