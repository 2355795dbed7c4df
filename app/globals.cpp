#include "app/globals.h"

int gGraphicsReady = 0;
uint32_t gWindowsBuild = 0;
std::string gSettingsPath;
int gBackdrop = 0;
bool gSystemBackdropApplied = false;
WNDPROC gPreviousWindowProc = nullptr;
int gWindowReady = 0;
HWND gMainWindow = nullptr;

int gCaptionHeight = 0;
int gClientWidth = 0;
int gClientHeight = 0;

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
