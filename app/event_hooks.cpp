// The window's component events, handed to the playback code.
#include "app/event_hooks.h"

#include "playback/song_list.h"
#include "playback/track_control.h"

void OnPlayBarTick() { UpdatePlayBar(); }

// The lyric timing comes with its own code; until then the lines only load.
void OnLyricTick() {}

void OnFileDropped(const std::string& path) { AddFile(path, 1); }

void OnScanRowsPosted() { TakeScannedRows(); }
