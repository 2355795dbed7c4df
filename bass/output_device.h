#pragma once
// Where a stream's audio goes: a small table of device calls, so that the
// stream's logic runs the same over WASAPI and over a scripted stand-in that
// shows what a real device cannot (writes that fail, a position that never
// moves). Each device is used by one thread only, the stream's output thread.

#include <cstdint>
#include <memory>
#include <string>

#include "bass/audio_thread_os.h"

struct SourceFormat {
    uint32_t SampleRate = 0;
    uint32_t Channels = 0;
    uint32_t ChannelMask = 0;  // speaker positions; 0 for the default layout of the count
    bool HighResolution = false;  // 24-bit or float: worth a float device format
};

struct DeviceFormat {
    uint32_t SampleRate = 0;
    uint32_t Channels = 0;
    bool Float = false;  // 32-bit float samples; else 16-bit integers (dithered)
};

class OutputDevice {
public:
    virtual ~OutputDevice() = default;
    virtual const DeviceFormat& Format() const = 0;
    // Returns when the device wants more audio, true (it signals each period
    // it takes), or after timeoutMs, false: the stream also takes its turns
    // on its own.
    virtual bool WaitReady(uint32_t timeoutMs) = 0;
    virtual std::wstring Id() const = 0;
    // Each false means the device is lost (removed, failed): the stream drops it.
    virtual bool Start() = 0;
    virtual bool Stop() = 0;   // keeps what is queued
    virtual bool Reset() = 0;  // drops what is queued; the played count starts again
    virtual bool Queued(uint32_t* frames) = 0;      // written and not yet played
    virtual bool Capacity(uint32_t* frames) = 0;    // the most that can be queued
    virtual bool Write(const void* samples, uint32_t frames) = 0;  // in Format()
    virtual bool Played(uint64_t* frames) = 0;      // since the last Reset, at Format().SampleRate
    // The stream's gain in the system's mixer (0 to 1), heard within a period
    // or two whatever is queued.
    virtual bool SetVolume(float gain) = 0;
    // What lies between a played count and the ear (the server's own buffer), in frames.
    virtual uint32_t LatencyFrames() = 0;
};

class OutputBackend {
public:
    virtual ~OutputBackend() = default;
    // The system's default output, in a format it takes for this source
    // (preferring the source's own layout and float); nullptr when there is
    // none or it takes nothing.
    virtual std::unique_ptr<OutputDevice> OpenDefault(const SourceFormat& source) = 0;
    // The default output's identity, empty when there is none: a change means
    // the user switched (or plugged in) another device.
    virtual std::wstring DefaultId() = 0;
    // Returns when the system says the default output changed, or after
    // timeoutMs: asking DefaultId often is not free (under Wine each answer
    // holds up every stream's sound for a moment).
    virtual void WaitForDefaultChange(uint32_t timeoutMs) { AudioSleepMs(timeoutMs); }
};

// WASAPI in shared mode, event driven. One per process; callable from any thread.
OutputBackend& SystemOutput();
