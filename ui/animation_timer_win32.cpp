#include "ui/animation_timer_win32.h"

#include <windows.h>

#include <unordered_map>

namespace {

// Thread timers carry no object; each id is bound to its Animation here.
// Main thread only, like the ticks themselves.
std::unordered_map<UINT_PTR, Animation*>& TimerBindings() {
    static std::unordered_map<UINT_PTR, Animation*> bindings;
    return bindings;
}

void CALLBACK AnimationTimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    auto& bindings = TimerBindings();
    const auto found = bindings.find(id);
    // A tick already queued when its timer was killed finds no binding.
    if (found != bindings.end()) found->second->Tick();
}

}  // namespace

uint32_t WindowAnimationTimer::StartTimer(Animation& animation, uint32_t intervalMs) {
    const UINT_PTR id = ::SetTimer(nullptr, 0, intervalMs, AnimationTimerProc);
    if (id == 0) return 0;
    TimerBindings()[id] = &animation;
    return static_cast<uint32_t>(id);
}

void WindowAnimationTimer::StopTimer(uint32_t timerId) {
    ::KillTimer(nullptr, timerId);
    TimerBindings().erase(timerId);
}

WindowAnimationTimer::WindowAnimationTimer() {
    // The map is made before any timer object is complete, so it is destroyed
    // after every timer and after the animations that use one (the slots
    // take their timer when they are made): an animation still running at
    // exit stops its timer in a map that still exists.
    TimerBindings();
}

WindowAnimationTimer& MainThreadAnimationTimer() {
    static WindowAnimationTimer timer;
    return timer;
}
