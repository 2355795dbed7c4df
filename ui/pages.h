#pragma once

#include "ui/input_regions.h"
// What the frame and the window procedure call into the page and input code.

// Before a frame's drawing (no BeginDraw open): draws the lyric lines the
// frame will show that have no bitmap for their look yet.
void PrepareNowPlaying();
// With the other device images (lost device, end of the run).
void ReleaseLineBitmaps();

// The area whose every pixel the now-playing view restores from its composed
// background: the frame need not clear it. Empty when there is none.
FloatRect NowPlayingRestoredArea();

// Drawing, inside DrawFrame (device context between BeginDraw and EndDraw).
void DrawNowPlaying();
void DrawSongListPanel();
void DrawVolumePopup();  // over the panel
void DrawSettingsPage();

// Input: the pointer position is already stored in gPointerX/gPointerY.
void OnPointerMove();
void OnLeftButtonDown();
void OnLeftButtonUp();
void OnDoubleClick();
void OnPointerLeft();  // the pointer left the client area: no hover looks
void OnWheel(int delta);  // the signed wheel delta, 120 a notch, positive away from the user
// After a change of the client size.
void KeepListScrollInBounds();
