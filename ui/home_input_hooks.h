#pragma once
// What the input handling needs from the home page. Until the home page's
// input exists, ui/home_input_hooks_stub.cpp gives an empty list and no
// actions; the home page's own file replaces it in the program's source list.
//
// The handlers hit-test with the region table of ui/input_regions.h and the
// pointer position in gPointerX/gPointerY.

// The button-up actions of the home page: panel toggle, song-row selection,
// volume popup and slider, play/pause, open file, open folder, progress bar,
// next and previous with their press pulses. Called from OnLeftButtonUp after
// any page switch, only while gCurrentPage is the home page.
void OnHomePageButtonUp();

// Rows of the song list, 1-based, for the hover marks and the wheel.
int SongRowCount();
void SetSongRowHovered(int row, int hovered);
