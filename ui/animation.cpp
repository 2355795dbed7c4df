#include "ui/animation.h"

#include "ui/easing.h"

#include <cmath>
#include <utility>

int gAnimationRunning = 0;

int Animation::Start(int from, int to, std::optional<int> easing, AnimationStep step, AnimationDone done,
                     std::optional<int> intervalMs, std::optional<int> durationMs) {
    // Checked before anything changes: a refused start leaves a running
    // animation running.
    if (intervalMs && *intervalMs <= 0) return 0;

    // A running animation is retargeted: its timer goes, its value stays.
    if (IsRunning) StopTimer();

    // A second Start before the first tick finds the timer still pending.
    if (Interval != 0) return 0;

    CurrentProgress = 0.0;
    Step = nullptr;
    Done = nullptr;
    if (IsRunning) {
        FromValue = static_cast<int>(std::trunc(CurrentValue));
    } else {
        CurrentValue = 0.0;
        FromValue = from;
    }
    ToValue = to;
    Step = std::move(step);
    Done = std::move(done);
    Easing = easing.value_or(DefaultAnimationEasing);
    Duration = durationMs.value_or(DefaultAnimationDurationMs);

    const int interval = intervalMs.value_or(DefaultAnimationIntervalMs);
    StopTimer();
    const uint32_t id = Timer ? Timer->StartTimer(*this, static_cast<uint32_t>(interval)) : 0;
    if (id == 0) return 0;  // no timer: nothing would ever tick, and a stored interval would block later starts
    TimerIdValue = id;
    Interval = interval;
    return 1;
}

void Animation::Tick() {
    // A duration of 0 or less would never reach the end; it ends on this tick.
    CurrentProgress = Duration > 0 ? CurrentProgress + NominalTickMs / Duration : 1.0;
    IsRunning = true;
    gAnimationRunning = 1;

    if (CurrentProgress - 1.0 >= -EaseTolerance) {
        StopTimer();
        CurrentValue = ToValue;
        // Copies: a callback may restart this animation and replace them.
        AnimationStep step = Step;
        AnimationDone done = Done;
        if (step) step(CurrentValue);
        if (done) done();
        IsRunning = false;
        gAnimationRunning = 0;
        return;
    }
    CurrentValue = Ease(Easing, CurrentProgress, FromValue, ToValue);
    if (Step) {
        AnimationStep step = Step;
        step(CurrentValue);
    }
}

void Animation::Stop() {
    StopTimer();
    Step = nullptr;
    Done = nullptr;
    if (IsRunning) gAnimationRunning = 0;
    IsRunning = false;
}

void Animation::StopTimer() {
    if (TimerIdValue != 0 && Timer) Timer->StopTimer(TimerIdValue);
    TimerIdValue = 0;
    Interval = 0;
}
