#pragma once
// What the frame and the window procedure call into the page and input code.

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
void OnWheel(int notches);  // signed wheel delta / 120, positive away from the user
