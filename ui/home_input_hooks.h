#pragma once
// What the input handling needs from the home page (ui/home_input_hooks.cpp):
// the button-up actions, the song rows' hover marks, and the animation slots
// the home page starts. The handlers hit-test with the region table of
// ui/input_regions.h and the pointer position in gPointerX/gPointerY.

#include "ui/key_input.h"

// The button-up actions of the home page: panel toggle, song-row selection,
// volume popup and slider, play/pause, open file, open folder, progress bar,
// next and previous. Called from OnLeftButtonUp after
// any page switch, only while gCurrentPage is the home page.
void OnHomePageButtonUp();

// A key with the window focused, and a media action from a media key, a
// hot key or a thumbnail button: performed like the pointer's commands.
void OnKeyDown(int key, bool ctrl, bool shift, bool repeat);
void OnMediaAction(MediaAction action);

// Rows of the song list, 1-based, for the hover marks and the wheel.
int SongRowCount();
void SetSongRowHovered(int row, int hovered);

// Starts animation slot n from..to; each step stores the value where the slot
// keeps it and repaints (ui/input.cpp).
void StartSlotAnimation(int slot, int from, int to, int easing, int durationMs);
