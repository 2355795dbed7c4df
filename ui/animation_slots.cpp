#include "ui/animation_slots.h"

#include "ui/animation_timer_win32.h"

namespace {

struct Slots {
    Slots() {
        for (Animation& slot : Items) slot.SetTimer(&MainThreadAnimationTimer());
    }
    Animation Items[AnimationSlotCount];
};

Slots& AllSlots() {
    static Slots slots;
    return slots;
}

}  // namespace

Animation& AnimationSlot(int n) {
    if (n < 1 || n > AnimationSlotCount) n = SlotUnused;
    return AllSlots().Items[n - 1];
}
