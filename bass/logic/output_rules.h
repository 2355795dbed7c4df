#pragma once
// The output path's arithmetic, apart from any device so that it is tested
// natively: the volume ramp applied as samples leave for the device, the rule
// that drops a device whose position stops moving, and positions in frames.

#include <cstdint>

// Volume is applied when samples are handed to the device, not when they are
// decoded: a change is heard one device period later, and it glides over
// RampFrames so that no step between two samples is a click.
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
    // Scales toward 0 whatever the target: the tail written before the device stops.
    void FadeOut(float* samples, uint32_t frames, uint32_t channels);
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
