#pragma once
// The output path's arithmetic, apart from any device so that it is tested
// natively: the ramp applied to samples as they leave for the device, the
// glide of the engine's volume, the rule that drops a device whose position
// stops moving, and positions in frames.

#include <cstdint>

// A gain applied to samples as they are handed to the device: each run's rise
// from silence, and what the engine's volume cannot give (above unity). It
// glides over RampFrames so that no step between two samples is a click.
class VolumeRamp {
public:
    explicit VolumeRamp(uint32_t sampleRate);
    void SetTarget(float gain) { Target = gain; }
    float Current() const { return Gain; }
    // A run that starts from silence (play, resume, a new device) rises from 0.
    void StartFromSilence() {
        Gain = 0.0f;
        StepsLeft = 0;
    }
    // Scales frames of interleaved samples in place, moving toward the target.
    void Apply(float* samples, uint32_t frames, uint32_t channels);
    uint32_t RampFrames() const { return Frames; }

private:
    void Ramp(float* samples, uint32_t frames, uint32_t channels, float to);
    uint32_t Frames;
    float Gain = 0.0f;
    float Target = 1.0f;
    // The glide under way: a straight line to RampTo, so that it ends within
    // Frames however the buffers cut it.
    float RampTo = 0.0f;
    float Step = 0.0f;
    uint32_t StepsLeft = 0;
};

// The stream's volume in the system's mixer, which applies it to what is
// about to be heard rather than to what waits in the device's queue. The
// mixer takes one gain for a whole piece of audio (a period on Windows, each
// 10-ms piece Wine hands its server), so a gain that changes between pieces
// is a step in the wave: a large one is heard as a click. A change is made in
// steps no larger than MaxStep, one for each period the device signals, or
// where the device signals nothing, StepUs apart: small changes at once,
// large ones as a glide. Wine's driver skips a piece now and then when its
// server asks for none, and the next piece takes two steps: two steps
// together are still too small to click.
class VolumeGlide {
public:
    static constexpr float MaxStep = 0.018f;
    static constexpr uint64_t StepUs = 11000;
    // Two signals this close are one period's (a turn that came late).
    static constexpr uint64_t MinStepUs = 8000;
    // A device that has not signalled for this long is stepped by the clock.
    static constexpr uint64_t SilentDeviceUs = 50000;
    void Jump(float gain) {  // nothing is heard: no glide
        Gain = gain;
        Stepped = false;
    }
    // The gain to give the mixer now, on the way to target; signalled: the
    // device has begun a period since the last call.
    float Next(float target, uint64_t nowUs, bool signalled);
    float Current() const { return Gain; }

private:
    float Gain = 1.0f;
    uint64_t LastStepUs = 0;
    uint64_t LastSignalUs = 0;
    bool Stepped = false;
};

// A device that takes audio but whose position never moves would freeze the
// stream: after LimitMs without movement while audio waits, it is dropped.
// Time spent paused is no stall: each run starts a new watch.
class StallWatch {
public:
    explicit StallWatch(uint64_t limitMs) : LimitMs(limitMs) {}
    void Restart(uint64_t nowMs, uint64_t position) {
        Since = nowMs;
        Last = position;
    }
    // True when the device has been stuck for longer than the limit.
    bool Stalled(uint64_t nowMs, uint64_t position, bool audioQueued) {
        if (position != Last || !audioQueued) {
            Restart(nowMs, position);
            return false;
        }
        return nowMs - Since > LimitMs;
    }

private:
    uint64_t LimitMs;
    uint64_t Since = 0;
    uint64_t Last = 0;
};

// Frames of sampleRate in a count of ticks at frequency per second (a
// performance counter, a device clock), without the overflow of ticks * rate:
// at 10 MHz that product leaves 64 bits after a few hours.
uint64_t TicksToFrames(uint64_t ticks, uint64_t frequency, uint32_t sampleRate);
