#include "app/frame_check.h"

#include "app/main_window.h"
#include "playback/player_state.h"
#include "ui/animation_slots.h"
#include "ui/frame.h"
#include "ui/startup_trace.h"
#include "ui/ui_numbers.h"

namespace {

bool gFrozen = false;

void Freeze() {
    SetPlayBarInterval(0);
    SetLyricInterval(0);
    for (int slot = 1; slot <= AnimationSlotCount; ++slot) AnimationSlot(slot).Stop();
    // What the last step asked for is on screen before the test looks: a
    // paint left to the queue may come late on a busy machine.
    PaintPendingNow();
    gFrozen = true;
    TraceStartup("frame check: frozen");
}

void Thaw() {
    if (gIsPlaying == 1) {
        SetPlayBarInterval(PlayBarIntervalMs);
        SetLyricInterval(LyricIntervalMs);
    }
    gFrozen = false;
    TraceStartup("frame check: running");
}

}  // namespace

bool HandleFrameCheckKey(UINT message, WPARAM wParam) {
    if (message != WM_KEYDOWN || ActiveFramePath() != FramePath::Check) return false;
    if (wParam == VK_F12) {
        if (gFrozen) {
            Thaw();
        } else {
            Freeze();
        }
        return true;
    }
    if (wParam == VK_F11 || wParam == VK_F9) {
        TraceNextWholeFrame(wParam == VK_F9);
        return true;
    }
    return false;
}
