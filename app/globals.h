#pragma once
// Process-wide state of the shell: one instance of each, created before the
// main window exists. The window's own state is in ui/ui_state.h, the
// player's in playback/player_state.h.

#include <windows.h>

#include <string>

extern std::string gSettingsPath;     // full path of settings.ini
extern WNDPROC gPreviousWindowProc;   // the main window's procedure before WindowProc
