#include "bass/logic/output_rules.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr uint32_t RampMs = 4;  // under the 5 ms that still reads as a click-free glide
}

VolumeRamp::VolumeRamp(uint32_t sampleRate) : Frames(std::max<uint32_t>(1, sampleRate * RampMs / 1000)) {}

void VolumeRamp::Ramp(float* samples, uint32_t frames, uint32_t channels, float to) {
    if (to != RampTo || (StepsLeft == 0 && Gain != to)) {
        RampTo = to;
        StepsLeft = Frames;
        Step = (to - Gain) / static_cast<float>(Frames);
    }
    for (uint32_t f = 0; f < frames; ++f) {
        if (StepsLeft > 0) {
            Gain = --StepsLeft == 0 ? to : Gain + Step;  // the last step lands exactly
        }
        for (uint32_t c = 0; c < channels; ++c) samples[f * channels + c] *= Gain;
    }
}

void VolumeRamp::Apply(float* samples, uint32_t frames, uint32_t channels) {
    if (Gain == Target) {
        if (Gain == 1.0f) return;
        for (uint32_t i = 0; i < frames * channels; ++i) samples[i] *= Gain;
        return;
    }
    Ramp(samples, frames, channels, Target);
}

float VolumeGlide::Next(float target, uint64_t nowUs, bool signalled) {
    if (signalled) LastSignalUs = nowUs;
    if (target == Gain) return Gain;
    uint64_t sinceStep = nowUs - LastStepUs;
    bool clocked = nowUs - LastSignalUs > SilentDeviceUs;
    // The first step of a change is taken at once: the piece it lands in has
    // taken no other.
    bool due = !Stepped || sinceStep >= SilentDeviceUs ||
               (clocked ? sinceStep >= StepUs : signalled && sinceStep >= MinStepUs);
    if (!due) return Gain;
    Gain = std::fabs(target - Gain) <= MaxStep ? target : Gain + (target > Gain ? MaxStep : -MaxStep);
    LastStepUs = nowUs;
    Stepped = true;
    return Gain;
}

uint64_t TicksToFrames(uint64_t ticks, uint64_t frequency, uint32_t sampleRate) {
    if (frequency == 0) return 0;
    return ticks / frequency * sampleRate + ticks % frequency * sampleRate / frequency;
}
