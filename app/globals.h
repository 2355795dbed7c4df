#pragma once
// Process-wide state of the program: one instance of each, created with these
// initial values before the main window exists and released at the end of
// the run. Texts are program text (code page 936). All of it belongs to the
// main window's thread, except where a playback note says otherwise.

#include <windows.h>

#include <cstdint>
#include <string>

#include "metadata/track_info.h"
#include "playback/audio_engine.h"
#include "playback/logic/playlist_entry.h"

// --- start-up and window ----------------------------------------------------
extern int gGraphicsReady;            // 1 once the graphics factories exist
extern uint32_t gWindowsBuild;        // low 16 bits of the Windows build number
extern std::string gSettingsPath;     // full path of settings.ini
extern int gBackdrop;                 // backdrop kind: the setting, then 2 or 3 as picked
extern bool gSystemBackdropApplied;   // the last ApplyBackdrop gave the window a system backdrop
extern WNDPROC gPreviousWindowProc;   // the main window's procedure before WindowProc
extern int gWindowReady;              // 1 once the opening animation delivered its first step
extern HWND gMainWindow;              // the window "Tamber"

// --- frame of the main window (set on every WM_SIZE) -------------------------
extern int gCaptionHeight;            // pixels
extern int gClientWidth;              // DIPs
extern int gClientHeight;             // DIPs

// --- playback ---------------------------------------------------------------
extern AudioEngine gAudioEngine;      // created, not initialised
extern Playlist gPlaylist;            // the song list; only the UI thread appends
extern int gCurrentIndex;             // 1-based position in the song list; 0 = none
extern StreamHandle gCurrentStream;
extern int gVolume;                   // percent, 50 from window creation on
extern TrackInfo gCurrentTrackInfo;
extern std::string gTrackTitle;
extern std::string gTrackArtist;
extern std::string gTrackAlbum;
extern int gTrackLengthSeconds;
extern int gIsPlaying;
extern int gIsFading;
extern double gPositionSeconds;
extern int gProgressWidth;
extern std::string gPositionText;
extern std::string gLengthText;
extern int gListContentHeight;
extern int gListViewportHeight;
