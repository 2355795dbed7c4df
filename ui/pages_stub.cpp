// Empty home page and double click until their own code exists; the home
// page's files replace this one in the program's source list.
#include "ui/pages.h"

void DrawNowPlaying() {}
void DrawSongListPanel() {}

void OnDoubleClick() {}
