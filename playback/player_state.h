#pragma once
// The player's state: the engine, the song list and the loaded track as the
// pages show them. One instance of each for the run; texts are program text
// (UTF-8). Main window's thread, except where a playback note says
// otherwise.

#include <cstdint>
#include <string>

#include "metadata/track_info.h"
#include "playback/audio_engine.h"
#include "playback/logic/playlist_entry.h"

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
