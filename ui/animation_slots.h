#pragma once
// The main window's eleven animation slots (addressed 1 to 11), all driven by
// thread timers of the main window's thread.

#include "ui/animation.h"
#include "ui/ui_numbers.h"

// Slot n, 1-based. n outside 1..11 gives the unused slot 10.
Animation& AnimationSlot(int n);
