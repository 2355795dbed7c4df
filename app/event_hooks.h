#pragma once
// Events of the main window's components handled by the playback and lyrics
// code (app/event_hooks.cpp).

#include <string>

// PlayBar timer tick (every 100 ms while a track plays).
void OnPlayBarTick();
// Lyric_ timer tick (every 190 ms while a track plays).
void OnLyricTick();
// 拖放对象1: one dropped file, its path as program text.
void OnFileDropped(const std::string& path);
// A folder scan posted rows for the song list (ScanRowsMessage).
void OnScanRowsPosted();
