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
void OnPointerLeft();  // the pointer left the client area: no hover looks
void OnWheel(int delta);  // the signed wheel delta, 120 a notch, positive away from the user
// After a change of the client size.
void KeepListScrollInBounds();
