#pragma once
// The tweening engine: an Animation advances a progress value on every tick of
// its timer, maps it through an easing curve and hands each value to a step
// callback. Portable: the timer is reached through AnimationTimer, which the
// window-timer binding (ui/animation_timer_win32.h) implements with thread
// timers and tests implement by hand.
//
// Every tick adds 10 / duration to the progress whatever the real timer rate,
// so an animation lasts duration / 10 ticks.

#include <cstdint>
#include <functional>
#include <optional>

class Animation;

// Set to 1 by every tick of any animation, to 0 by the end of any animation.
extern int gAnimationRunning;

inline constexpr int DefaultAnimationEasing = 1;
inline constexpr int DefaultAnimationIntervalMs = 10;
inline constexpr int DefaultAnimationDurationMs = 400;
// Progress added per tick is NominalTickMs / duration.
inline constexpr double NominalTickMs = 10.0;

// Starts and stops the periodic timer of an Animation.
class AnimationTimer {
public:
    virtual ~AnimationTimer() = default;
    // A timer that calls animation.Tick() every intervalMs; returns its id,
    // 0 when none could be made.
    virtual uint32_t StartTimer(Animation& animation, uint32_t intervalMs) = 0;
    virtual void StopTimer(uint32_t timerId) = 0;
};

using AnimationStep = std::function<void(double value)>;
using AnimationDone = std::function<void()>;

class Animation {
public:
    explicit Animation(AnimationTimer* timer = nullptr) : Timer(timer) {}
    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;
    ~Animation() { StopTimer(); }

    void SetTimer(AnimationTimer* timer) { Timer = timer; }

    // Returns 1 when started, 0 when refused: an interval given as 0, or a
    // previous Start whose timer has not ticked yet. Restarting a running
    // animation ignores from and continues from the current value, truncated.
    int Start(int from, int to, std::optional<int> easing, AnimationStep step, AnimationDone done = {},
              std::optional<int> intervalMs = std::nullopt, std::optional<int> durationMs = std::nullopt);

    // One timer event.
    void Tick();

    // Ends a running animation where it stands, without its last step or its
    // done callback: what it moves now belongs to someone else.
    void Stop();

    double Value() const { return CurrentValue; }
    double Progress() const { return CurrentProgress; }
    bool Running() const { return IsRunning; }
    uint32_t TimerId() const { return TimerIdValue; }
    int IntervalMs() const { return Interval; }
    int From() const { return FromValue; }
    int To() const { return ToValue; }

private:
    void StopTimer();

    AnimationTimer* Timer = nullptr;
    uint32_t TimerIdValue = 0;
    int Interval = 0;
    int FromValue = 0;
    int ToValue = 0;
    double CurrentProgress = 0.0;
    int Easing = DefaultAnimationEasing;
    int Duration = DefaultAnimationDurationMs;
    AnimationStep Step;
    AnimationDone Done;
    double CurrentValue = 0.0;
    bool IsRunning = false;
};
