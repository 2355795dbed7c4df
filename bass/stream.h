#pragma once
// One playing channel: a decoder on a thread of its own that keeps a second
// or more decoded ahead, and an output thread that hands the audio to the
// default device (or to a silent real-time clock when there is none).
//
// The device is kept well ahead, so that a late turn is never heard, and the
// volume is the mixer's, applied after that queue, so that the player's fades
// are heard as it computes them. Every run of output starts from silence and
// ends with a glide of the mixer's volume to silence, after which what is
// queued is dropped, so that play, pause, seek and stop do not click and a
// resume plays nothing stale. The output follows the system's default
// device, and falls back to the clock while there is none.
//
// Every public method may be called from any thread and returns at once.
// The decoder is used only by the decode thread, the device only by the
// output thread. Decoded audio passes between the two through a lock-free
// ring; the lock guards the play state alone and is never held around a
// decoder, a copy of audio or a device call.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bass/decoders/decoder.h"
#include "bass/logic/audio_ring.h"
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

    // Returns within 50 ms while the decoder lets go of the file, or once a
    // playing stream's fade-out has been heard (a little longer); a decoder
    // stuck in a read is left to a reaper. Later calls fail with
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
    int Active(uint32_t* state);  // BASS_ACTIVE_*
    int Position(uint64_t* positionBytes);
    int Length(uint64_t* lengthBytes);
    int BytesToSeconds(uint64_t bytes, double* seconds);
    int SecondsToBytes(double seconds, uint64_t* bytes);

    // Times, over the whole library, that a playing stream had no decoded
    // audio for its device (or its device ran dry).
    static uint32_t Underruns();
    // The longest the output threads waited for the stream's lock, in
    // microseconds, since the library started.
    static uint32_t LongestOutputLockWaitUs();
    // Keeps asking for the default output device in the background (from
    // BASS_Init on): streams follow it, and where there is none the first
    // stream starts on the clock at once.
    static void WatchDefaultDevice(OutputBackend& output);

private:
    enum class State { Stopped, Playing, Paused };
    enum class Feed { Audio, Silence };  // what Write sends

    uint64_t FrameBytes() const { return uint64_t{Channels} * 2; }
    uint64_t PositionLocked() const;
    uint64_t EndLocked() const { return SourceDrained ? std::min(EndFrame, LengthFrames) : LengthFrames; }
    void StartThreadsLocked();
    void AdoptFormatLocked(uint32_t sampleRate, uint32_t channels);

    // Decode thread.
    void DecodeLoop();
    void NoteDrained(bool drained, uint64_t endFrame);

    // Output thread and its turns: the lock only for a moment, to read or
    // change the play state.
    void OutputLoop();
    std::unique_lock<std::mutex> LockForOutput() const;
    void StartRun();
    void EndRun(bool fade);
    void ServiceDevice();
    void ServiceClock();
    // Sends frames to the device in its format: audio from the ring (only
    // what it has) through the samples' ramp, or silence. False when the
    // device failed.
    bool Write(uint32_t frames, Feed feed);
    // Moves the mixer's volume along its glide toward target. False when the
    // device failed.
    bool SteerVolume(float target);
    uint64_t NowUs() const;
    void DropDevice();
    void LoseDevice();       // the run restarts from what was heard
    void RestartFromHeard(); // likewise, keeping the device
    void Finish();
    void TryDevice();
    void NoteStarving(bool starving);
    static bool DefaultDevice(std::wstring* id);  // false before the watcher's first answer

    mutable std::mutex Lock;
    std::condition_variable Wake;  // the play state changed, or the stream closed
    std::atomic<bool> Closed{false};

    // Format; the decoder may correct the headers' figures when it is made.
    uint32_t SampleRate;
    uint32_t Channels;
    uint32_t ChannelMask;
    bool HighResolution;
    uint64_t LengthFrames;
    std::atomic<float> Volume{1.0f};

    // Decoded audio, replaced only when the decoder corrects the format.
    std::shared_ptr<AudioRing> Ring;
    bool SourceDrained = false;  // the decoder gave all it has; EndFrame is the end
    uint64_t EndFrame = 0;
    std::unique_ptr<Decoder> Source;  // the decode thread's once it runs
    DecoderOpener OpenLater;
    std::mutex DecodeWaitLock;
    std::condition_variable DecodeWake;  // a move was asked for, or the stream closed

    // Play state as the interface sees it.
    State PlayState = State::Stopped;
    bool Ended = false;
    uint64_t HeldPosition = 0;  // the position whenever no run is going (or one must restart)
    // A seek or a new format: the run ends and starts again at HeldPosition.
    // Set whether or not a run is going: one being started (its device
    // opening, outside the lock) must not start from what it read before.
    bool RestartRun = false;

    // What the output thread shows of its run (changed under the lock).
    bool RunActive = false;
    bool RunOnDevice = false;
    uint64_t RunBase = 0;                 // the frame the run started at
    std::atomic<uint64_t> RunHeard{0};    // frames heard in this run, on a device
    uint64_t ClockStart = 0;              // the clock's run started at this counter
    uint64_t ClockFrequency = 0;

    // The output thread's own.
    OutputBackend* Output;
    std::unique_ptr<OutputDevice> Device;
    SourceFormat DeviceFor;      // the source format the device was opened for
    SourceFormat RunFormat;
    std::shared_ptr<AudioRing> RunRing;
    bool DeviceStarted = false;  // started once audio was queued
    uint64_t RunPlayed = 0;  // frames heard in this run
    uint64_t RunTaken = 0;   // frames taken from the ring in this run
    uint32_t RunPadFrames = 0;  // silence the run opened with, not audio
    VolumeRamp Ramp;
    VolumeGlide Glide;
    float MixerSet = -1.0f;  // the gain the device was last given
    bool PeriodSignalled = false;  // the device began a period since the volume last moved
    StallWatch Stall;
    Dither16 Dither;
    bool Starving = false;
    std::wstring StalledDevice;  // not opened again for a while, unless the default changes
    uint64_t StalledUntilMs = 0;
    bool DeviceMissing = false;  // the last look found none
    std::wstring ClockSawDefault;  // the default device the clock last heard of
    uint64_t NextDeviceTryMs = 0;
    std::vector<float> Work, Mixed;
    std::vector<int16_t> Pcm;

    std::thread DecodeThread, OutputThread;
    bool DecodeDone = false, OutputDone = false;
    std::condition_variable ThreadsDone;
};
