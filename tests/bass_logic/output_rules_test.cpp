#include "bass/logic/output_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr uint32_t Rate = 48000;

// The gains a ramp applies to a run of full-scale mono frames, fed in the given cuts.
std::vector<float> Gains(VolumeRamp& ramp, std::vector<uint32_t> cuts) {
    std::vector<float> all;
    for (uint32_t frames : cuts) {
        std::vector<float> samples(frames, 1.0f);
        ramp.Apply(samples.data(), frames, 1);
        all.insert(all.end(), samples.begin(), samples.end());
    }
    return all;
}

TEST(VolumeRamp, GlidesToATargetWithinTheRampHoweverTheBuffersCutIt) {
    for (std::vector<uint32_t> cuts : {std::vector<uint32_t>{480}, {1, 7, 100, 372}, {60, 60, 60, 60, 60, 60, 60, 60}}) {
        SCOPED_TRACE(cuts.size());
        VolumeRamp ramp(Rate);
        ramp.SetTarget(1.0f);
        Gains(ramp, {ramp.RampFrames() + 1});
        ramp.SetTarget(0.25f);
        std::vector<float> g = Gains(ramp, cuts);
        EXPECT_LE(ramp.RampFrames(), Rate * 5 / 1000);  // within 5 ms
        EXPECT_FLOAT_EQ(g[ramp.RampFrames() - 1], 0.25f);
        EXPECT_FLOAT_EQ(g.back(), 0.25f);
        float largestStep = 0.0f;
        for (size_t i = 1; i < g.size(); ++i) largestStep = std::max(largestStep, std::fabs(g[i] - g[i - 1]));
        EXPECT_LE(largestStep, 0.75f / ramp.RampFrames() * 1.01f);  // a straight line, no jump
    }
}

TEST(VolumeRamp, RunsStartFromSilence) {
    VolumeRamp ramp(Rate);
    ramp.SetTarget(0.5f);
    Gains(ramp, {1000});
    ramp.StartFromSilence();
    std::vector<float> rise = Gains(ramp, {ramp.RampFrames() * 2});
    EXPECT_LT(rise[0], 0.5f / ramp.RampFrames() * 1.01f);
    EXPECT_FLOAT_EQ(rise.back(), 0.5f);
}

// A mixer that takes a piece at each of its signals: the gain a piece gets
// is the one set before the piece was taken.
TEST(VolumeGlide, SmallChangesAtOnceLargeOnesAStepAPieceAndNoPieceTakesTwo) {
    struct Case {
        const char* Name;
        float From, To;
        std::vector<uint64_t> PieceUs;  // the times between the device's signals, repeated; empty: none
        int Steps;                      // gains given before the target is reached
    };
    for (const Case& c : {Case{"a slider's nudge", 0.5f, 0.49f, {10000}, 1},
                          Case{"down to a fifth", 0.5f, 0.1f, {10000}, 23},
                          Case{"silence to full, the device's signals uneven", 0.0f, 1.0f, {10000, 14000, 9000, 25000}, 56},
                          Case{"a device that never signals", 0.5f, 0.1f, {}, 23}}) {
        SCOPED_TRACE(c.Name);
        VolumeGlide glide;
        glide.Jump(c.From);
        uint64_t t = 1000000, nextSignal = t + 3000;
        size_t piece = 0;
        float last = c.From, largestPieceStep = 0.0f, pieceStart = c.From;
        std::vector<uint64_t> steppedAt;
        for (; t < 1000000 + 60 * 25000 && last != c.To; t += 1000) {  // a turn a millisecond
            bool signalled = !c.PieceUs.empty() && t >= nextSignal;
            if (signalled) {  // the mixer took a piece at the gain last set
                largestPieceStep = std::max(largestPieceStep, std::fabs(last - pieceStart));
                pieceStart = last;
                nextSignal += c.PieceUs[piece++ % c.PieceUs.size()];
            }
            float now = glide.Next(c.To, t, signalled);
            if (now != last) steppedAt.push_back(t);
            last = now;
        }
        EXPECT_FLOAT_EQ(last, c.To);
        EXPECT_EQ(static_cast<int>(steppedAt.size()), c.Steps);
        EXPECT_EQ(steppedAt.front(), 1000000u);  // the first step at once
        EXPECT_LE(largestPieceStep, VolumeGlide::MaxStep * 1.0001f);
        if (c.PieceUs.empty())
            for (size_t i = 1; i < steppedAt.size(); ++i) EXPECT_GE(steppedAt[i] - steppedAt[i - 1], VolumeGlide::StepUs);
    }
}

TEST(StallWatch, APauseIsNoStallButAStuckDeviceIs) {
    StallWatch watch(1000);
    watch.Restart(0, 0);
    EXPECT_FALSE(watch.Stalled(500, 100, true));
    EXPECT_FALSE(watch.Stalled(1400, 100, true));  // stuck for 900 ms
    EXPECT_TRUE(watch.Stalled(1600, 100, true));   // stuck for 1100 ms

    // Paused for 5 s at position 100: the run that resumes starts a new watch.
    watch.Restart(6600, 100);
    EXPECT_FALSE(watch.Stalled(6650, 100, true));
    EXPECT_FALSE(watch.Stalled(6700, 200, true));
    // Nothing queued: a device with nothing to play stands still rightly.
    EXPECT_FALSE(watch.Stalled(9000, 200, false));
    EXPECT_FALSE(watch.Stalled(9900, 200, true));
}

TEST(TicksToFrames, StaysExactFarPastWhereTicksTimesRateOverflows) {
    struct Case {
        uint64_t Ticks, Frequency;
        uint32_t Rate;
        uint64_t Frames;
    } cases[] = {
        {10'000'000, 10'000'000, 44100, 44100},
        {15'000'000, 10'000'000, 44100, 66150},
        // 40 days of a 10-MHz counter at 192 kHz: ticks * rate is about 6.6e18 * 1000.
        {uint64_t{40} * 86400 * 10'000'000, 10'000'000, 192000, uint64_t{40} * 86400 * 192000},
        {12345, 0, 44100, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(TicksToFrames(c.Ticks, c.Frequency, c.Rate), c.Frames) << c.Ticks;
}

}  // namespace
