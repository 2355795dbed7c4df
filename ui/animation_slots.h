#pragma once
// The main window's eleven animation slots (addressed 1 to 11), all driven by
// thread timers of the main window's thread.

#include "ui/animation.h"

inline constexpr int AnimationSlotCount = 11;

// Slot numbers and what each animates.
inline constexpr int SlotVolumePopup = 1;   // VolumePopupOffset 10 -> 0, easing 1, 100 ms
inline constexpr int SlotPressPlay = 2;     // press value of play/pause, easing 1, 50 ms
inline constexpr int SlotPressNext = 3;     // press value of next
inline constexpr int SlotPressPrevious = 4; // press value of previous
inline constexpr int SlotPressVolume = 5;   // press value of volume
inline constexpr int SlotLyricScroll = 6;   // LyricScrollOffset, easing 17, 150 ms
inline constexpr int SlotNavTrail = 7;      // NavIndicatorTrail, easing 17, 150 ms
inline constexpr int SlotNavLead = 8;       // NavIndicatorLead, easing 17, 150 ms
inline constexpr int SlotDrawingZoom = 9;   // DrawingZoom 3 -> 1, easing 17, 300 ms
inline constexpr int SlotUnused = 10;       // started by no code path
inline constexpr int SlotListPanel = 11;    // ListPanelWidth, easing 17, 150 ms

// Slot n, 1-based. n outside 1..11 gives the unused slot 10.
Animation& AnimationSlot(int n);
