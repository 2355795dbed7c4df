#pragma once
// Loading the current track and controlling its playback: the operations the
// home page's buttons, the song list and the PlayBar timer call. UI thread only.
//
// Fades wait while dispatching window messages, so any handler (a tick, a
// click, a drop) can run inside a load or a toggle. One rule keeps that safe:
// every load and every play/pause toggle begins a new action, and a pumped
// wait tells the action waiting in it whether a newer one began meanwhile. An
// action that was overtaken gives up where it stands and touches no stream
// again: the newer one owns CurrentStream from then on. So the latest action
// wins, no stream is left behind and two tracks never sound together.

#include <string_view>

#include "playback/playback_reports.h"

extern CoverOrigin gCoverOrigin;  // where the current cover came from

// Stops and frees the current stream (after its fade-out), then loads the
// file: stream, length, tags, title texts, lyrics, cover; starts both timers;
// IsPlaying 1. Does not play. False when a newer action began during the
// fade-out: nothing was loaded and the caller must not go on.
bool LoadTrack(std::string_view path);
// Fades the current stream out, stops and frees it; false (nothing freed)
// when a newer action began during the fade.
bool StopTrack();
// The window is going: stops and frees the current stream at once, without a
// fade, and makes any action still waiting in a fade give up. A decoder left
// open when the process ends can bring the process down with it (Media
// Foundation over Wine's GStreamer does), and the stream is ours to free.
void ReleaseCurrentTrack();
// 1 in (about 1 s), 2 out (300 ms). False when a newer action began during it.
bool Fade(int direction);
// Waits ms milliseconds while the program handles its messages
// (PlaybackReports::PumpMessages). False when a newer action began while it
// waited (it then returns at once).
bool WaitPumping(int ms);

// Counts the user's actions (the operations below count themselves, as does
// each drop), so that a drop can tell whether one came after it.
void NoteUserAction();
unsigned UserActionCount();

void TogglePlayPause();
void PlayEntry(int position);  // 1-based; nothing for a position outside the list
void NextTrack();
void PreviousTrack();
void SeekToFraction(double fraction);
void SetVolumePercent(int percent);  // clamped to 0..100
// The PlayBar tick: position, progress width, time texts, repaint.
void UpdatePlayBar();

// Length in whole seconds of the file, from a stream made and freed for it
// (0 when the library refuses it). Any thread.
int MeasureLengthSeconds(std::string_view path);
