#pragma once
// The program's side of the playback layer's reports (playback/playback_reports.h):
// repaints, the two timers, the cover's bitmaps, the taskbar, the dialogs and
// the message pump of the fades.

#include <windows.h>

// Installs it for the window that stands for the main one (posts of the folder
// scans go there). Once, before the first track; it outlives the window.
void InstallPlayerReports(HWND window);
