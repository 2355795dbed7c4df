#pragma once
// Rows made by folder-scan threads on their way to the UI thread, which alone
// appends to the song list. A scan pushes finished rows in batches; the UI
// thread is told (one notice at a time, not one per batch) and takes them all,
// in the order they were pushed.

#include <mutex>
#include <vector>

#include "playback/logic/playlist_entry.h"

class ScanHandOff {
public:
    // UI thread, as a scan thread is started.
    void ScanStarted();
    // Scan thread. True when the UI thread has to be sent a notice: none is
    // outstanding since it last took the rows.
    bool Push(std::vector<PlaylistEntry> rows);
    // Scan thread, last: the scan ended (its rows are all pushed). True when
    // a notice is needed so that the UI thread sees the end.
    bool ScanFinished();

    // Any thread: the notice that Push or ScanFinished asked for could not be
    // sent (no thread started, the post refused). The next one asks again,
    // so that a later scan's rows are never stranded behind a lost notice.
    void NoticeLost();

    // UI thread, on a notice: every row pushed so far, in push order.
    std::vector<PlaylistEntry> TakeAll();
    // No scan runs and no row waits: every scanned row is in the list.
    bool Idle() const;

private:
    bool NoteNotice();  // with Lock held

    mutable std::mutex Lock;
    std::vector<PlaylistEntry> Waiting;
    int RunningScans = 0;
    bool NoticePending = false;
};
