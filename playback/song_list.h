#pragma once
// The song list's three intake paths: the open-file dialog, dropped files and
// folder scans. Only the UI thread appends to gPlaylist; scan threads hand
// their rows over (playback/logic/scan_hand_off.h) with a posted notice.

#include <windows.h>
#include <commdlg.h>

#include <atomic>
#include <string>
#include <string_view>

// Posted to the main window when scanned rows wait for the UI thread.
inline constexpr UINT ScanRowsMessage = WM_APP + 0x51;

// UI thread. Loads the file as the current track, appends its row and makes
// it current; plays it when play is 1. With load false only the row is
// added. An empty or " " path only repaints.
void AddFile(std::string_view path, int play = 0, bool load = true);

// UI thread (any thread for ChooseFolder). The chosen path, or empty text
// when the dialog is cancelled.
std::string OpenFileDialog(HWND owner, std::string_view title = "\xE6\x89\x93\xE5\xBC\x80\xE6\x96\x87\xE4\xBB\xB6",  // 打开文件
                           std::string_view filter =
                               "\xE6\x89\x80\xE6\x9C\x89\xE6\x96\x87\xE4\xBB\xB6\xEF\xBC\x88*.*\xEF\xBC\x89|*.*",  // 所有文件（*.*）|*.*
                           DWORD flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
std::string ChooseFolder(HWND owner, std::string_view title);

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

// UI thread, on ScanRowsMessage: appends the rows waiting, in scan order.
void TakeScannedRows();
// No scan runs and every scanned row is in the list.
bool FolderScansIdle();
// UI thread, as the window goes: asks every scan to stop, waits a moment for
// them and leaves the rest to end on their own (they touch only their own
// state and the hand-off, which outlive the window).
void StopFolderScans();

// After every addition: content and viewport extents of the list.
void UpdateListHeights();
