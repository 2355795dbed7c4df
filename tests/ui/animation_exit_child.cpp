// Leaves main while two slots still animate, so their timers are stopped by
// the static destructors at exit. Exit code 0 when it got that far.
#include "ui/animation_slots.h"

#include <windows.h>

int main() {
    int steps = 0;
    auto count = [&steps](double) { ++steps; };
    AnimationSlot(SlotDrawingZoom).Start(3, 1, 17, count, {}, std::nullopt, 300);
    AnimationSlot(SlotLyricScroll).Start(0, 400, 17, count, {}, std::nullopt, 150);
    const DWORD start = GetTickCount();
    while (steps < 2 && GetTickCount() - start < 5000) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(5);
    }
    // Still running: the exit below happens mid-animation.
    return AnimationSlot(SlotDrawingZoom).Running() && AnimationSlot(SlotLyricScroll).Running() ? 0 : 2;
}
