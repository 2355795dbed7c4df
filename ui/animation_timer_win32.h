#pragma once
// Window-timer binding of the animation engine: thread timers (SetTimer with
// no window) of the calling thread, each id bound to its Animation. The thread
// must dispatch messages for the ticks to run.

#include "ui/animation.h"

class WindowAnimationTimer final : public AnimationTimer {
public:
    WindowAnimationTimer();
    uint32_t StartTimer(Animation& animation, uint32_t intervalMs) override;
    void StopTimer(uint32_t timerId) override;
};

// The binding every slot of the main window uses.
WindowAnimationTimer& MainThreadAnimationTimer();
