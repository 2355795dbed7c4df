#include "playback/player_state.h"

AudioEngine gAudioEngine;
Playlist gPlaylist;
int gCurrentIndex = 0;
StreamHandle gCurrentStream = 0;
int gVolume = 50;
TrackInfo gCurrentTrackInfo;
std::string gTrackTitle;
std::string gTrackArtist;
std::string gTrackAlbum;
int gTrackLengthSeconds = 0;
int gIsPlaying = 0;
int gIsFading = 0;
double gPositionSeconds = 0.0;
int gProgressWidth = 0;
std::string gPositionText;
std::string gLengthText;
int gListContentHeight = 0;
int gListViewportHeight = 0;
