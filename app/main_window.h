#pragma once
// The main window "Tamber": its class, the wiring of its events to their
// handlers, its two timers, and the handlers of its lifecycle.

#include <windows.h>

inline constexpr const char* MainWindowTitle = "Tamber";
inline constexpr int PlayBarIntervalMs = 100;
inline constexpr int LyricIntervalMs = 190;
// Posted to the main window when scanned rows wait for the UI thread.
inline constexpr UINT ScanRowsMessage = WM_APP + 0x51;

// Creates the window (hidden), runs OnMainWindowCreated, then shows it.
// Returns the window or nullptr.
HWND CreateMainWindow(HINSTANCE instance);

// The two timer components; an interval of 0 stops the timer.
void SetPlayBarInterval(int intervalMs);
void SetLyricInterval(int intervalMs);

// The component events that reach the window as messages: the PlayBar and
// Lyric_ ticks, the folder scan's rows and the files dropped. True when message was one of them.
// Any window standing in for the main one (tamber-session) routes them here.
bool HandleComponentMessage(UINT message, WPARAM wParam);

void OnMainWindowCreated();
void OnFirstActivated();
void OnResized();
bool OnCanClose();
void OnDestroying();
