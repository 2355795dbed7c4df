#pragma once
// The song list's three intake paths: the open-file dialog, dropped files and
// folder scans. Only the UI thread appends to gPlaylist; scan threads hand
// their rows over (playback/logic/scan_hand_off.h) and report that rows wait
// (PlaybackReports::RowsWaiting); the program then calls TakeScannedRows.
// The dialogs are the program's (PlaybackReports::ChooseFileToOpen and
// ChooseFolderToScan).

#include <atomic>
#include <string>
#include <string_view>

// UI thread. Loads the file as the current track, appends its row and makes
// it current; plays it when play is 1. With load false only the row is
// added. An empty or " " path only repaints.
void AddFile(std::string_view path, int play = 0, bool load = true);

// Any thread. Every "mp3", "flac" and "ogg" file of the folder (one level),
// in the order the file system lists them, handed to the UI thread in
// batches. Stops early when stop becomes true.
void ScanFolder(std::string_view folder, const std::atomic<bool>* stop = nullptr);

// UI thread. The folder dialog and the scan of the chosen folder on a thread
// of their own.
void AddFolder();
// UI thread. The scan of a known folder on a thread of its own.
void StartFolderScan(std::string folder);

// The home page's open-file and open-folder actions.
void OpenFileAction();
void OpenFolderAction();

// UI thread, once rows were reported waiting: appends the rows waiting, in scan order.
void TakeScannedRows();
// No scan runs and every scanned row is in the list.
bool FolderScansIdle();
// UI thread, as the window goes: asks every scan to stop, waits a moment for
// them and leaves the rest to end on their own (they touch only their own
// state and the hand-off, which outlive the window).
void StopFolderScans();
