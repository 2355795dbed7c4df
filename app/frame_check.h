#pragma once
// The debug keys of the sameness tests, answered only when TAMBER_FRAME_PATH
// is "check": F12 stops and restarts the user interface's clock (the play-bar
// and lyric timers and every animation, where they stand; the sound plays
// on), F11 draws the next frame whole, as the window drew every frame before
// frames were retained, F9 the same with the lyric lines laid out and drawn
// as text rather than from their bitmaps. A test freezes a state the partial frames drew,
// takes a screenshot, has it drawn whole and compares.

#include <windows.h>

// True when the key was one of them.
bool HandleFrameCheckKey(UINT message, WPARAM wParam);
