#pragma once
// Events of the main window's components handled by the playback and lyrics
// code (app/event_hooks.cpp).

#include <string>
#include <vector>

// PlayBar timer tick (every 100 ms while a track plays).
void OnPlayBarTick();
// Lyric_ timer tick (every 190 ms while a track plays).
void OnLyricTick();
// 拖放对象1: the files of one drop, their paths as program text, in drop order.
void OnFilesDropped(std::vector<std::string> paths);
// A folder scan posted rows for the song list (ScanRowsMessage).
void OnScanRowsPosted();
