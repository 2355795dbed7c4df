// Empty pages and input until their own code exists; each later file replaces
// its part of this one in the program's source list.
#include "ui/pages.h"

void DrawNowPlaying() {}
void DrawSongListPanel() {}

void DrawSettingsPage() {}

void OnPointerMove() {}
void OnLeftButtonDown() {}
void OnLeftButtonUp() {}
void OnDoubleClick() {}
void OnWheel(int) {}
