#pragma once
// One playing channel: a decoder, its output (a waveOut device at the file's
// own format, or a silent real-time clock when there is no device) and the
// play state. Every method locks the stream, so any thread may call them;
// Service runs on the library's output thread.
//
// The lock is never held while the decoder runs: the output thread takes the
// decoder out of the stream, decodes a burst into a buffer of its own and
// puts both back under the lock. A seek meanwhile bumps Generation, so that a
// burst decoded for the old position is dropped. Only the output thread uses
// the decoder; a stream closed meanwhile waits for that thread to destroy it.

#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "bass/decoder.h"

class Stream {
public:
    // With an opener and no decoder in info, the decoder is made on the
    // output thread when the stream first plays; info's figures come from the
    // headers. A decoder that cannot be made then plays silence of that length.
    Stream(DecoderInfo info, DecoderOpener openLater, bool useDevice);
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Releases the device and the decoder before it returns (a decoder in the
    // middle of a burst is destroyed by the output thread when the burst
    // ends); later calls fail with BASS_ERROR_HANDLE (the output thread may
    // still hold the object briefly).
    void Close();

    // Each returns 0 or a BASS error code.
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

    // Output thread: keeps the device fed (or the clock's decoding in step)
    // and notices the end. False when the stream needs no service until it
    // is played again.
    bool Service();

private:
    enum class State { Stopped, Playing, Paused };
    static constexpr size_t BufferCount = 4;

    uint64_t PositionLocked();
    uint64_t RunBytesLocked();
    void RebaseLocked(uint64_t positionBytes);  // stop output, decoder to position
    bool OpenDeviceLocked();
    void CloseDeviceLocked();
    void ServiceDeviceLocked();
    void ServiceClockLocked();
    uint32_t DecodeLocked(uint8_t* buffer, uint32_t bytes);
    void FillAhead();  // output thread, without the lock
    // Output thread, at the end of a burst: hands the decoder back, or destroys
    // it when the stream was closed meanwhile (true: the stream is done).
    bool EndBurstLocked(std::unique_lock<std::mutex>& lock, std::unique_ptr<Decoder>& source);
    void AdoptFormatLocked(uint32_t sampleRate, uint32_t channels);
    void FinishLocked();

    std::mutex Lock;
    std::unique_ptr<Decoder> Source;  // empty while the output thread decodes with it
    DecoderOpener OpenLater;
    bool Closed = false;
    uint32_t SampleRate;
    uint32_t Channels;
    uint32_t BlockBytes;
    uint64_t BytesPerSecond;
    uint64_t LengthBytes;
    float Volume = 1.0f;

    State PlayState = State::Stopped;
    bool Ended = false;        // stopped by reaching the end
    uint64_t PlayBase = 0;     // position where the current output run started
    uint64_t DecodePos = 0;    // next byte the decoder gives
    bool SourceEnded = false;  // the decoder gave all it has (EndPos)
    uint64_t EndPos = 0;

    // Decoded ahead of DecodePos, filled in bursts: a decoder woken for every
    // few milliseconds of audio costs far more than one that runs now and then.
    std::vector<uint8_t> Ahead;
    size_t AheadPos = 0;
    bool SourceDrained = false;  // the decoder returned nothing more
    uint64_t Generation = 0;     // bumped by every move of the position
    bool SeekPending = false;    // the decoder must move to SeekTarget before it reads
    uint64_t SeekTarget = 0;
    std::vector<uint8_t> Filled;  // the output thread's own burst buffer
    bool Decoding = false;        // the output thread holds the decoder for a burst
    std::condition_variable BurstDone;

    // Device output.
    bool WantDevice;
    HWAVEOUT Wave = nullptr;
    std::array<WAVEHDR, BufferCount> Headers{};
    std::array<std::vector<uint8_t>, BufferCount> Buffers;
    uint64_t LastDevicePos = 0;
    ULONGLONG DeviceStuckSinceMs = 0;

    // Clock output (no device): time played in this run.
    LARGE_INTEGER ClockFrequency{};
    LONGLONG ClockRunTicks = 0;     // accumulated while playing
    LONGLONG ClockResumedAt = 0;    // counter when the run last resumed
    std::vector<uint8_t> Scratch;
};
