#include "playback/logic/scan_hand_off.h"

#include <iterator>
#include <utility>

void ScanHandOff::ScanStarted() {
    std::lock_guard<std::mutex> hold(Lock);
    ++RunningScans;
}

bool ScanHandOff::NoteNotice() { return !std::exchange(NoticePending, true); }

bool ScanHandOff::Push(std::vector<PlaylistEntry> rows) {
    if (rows.empty()) return false;
    std::lock_guard<std::mutex> hold(Lock);
    if (Waiting.empty()) {
        Waiting = std::move(rows);
    } else {
        Waiting.insert(Waiting.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    }
    return NoteNotice();
}

bool ScanHandOff::ScanFinished() {
    std::lock_guard<std::mutex> hold(Lock);
    if (RunningScans > 0) --RunningScans;
    return NoteNotice();
}

void ScanHandOff::NoticeLost() {
    std::lock_guard<std::mutex> hold(Lock);
    NoticePending = false;
}

std::vector<PlaylistEntry> ScanHandOff::TakeAll() {
    std::lock_guard<std::mutex> hold(Lock);
    NoticePending = false;
    return std::exchange(Waiting, {});
}

bool ScanHandOff::Idle() const {
    std::lock_guard<std::mutex> hold(Lock);
    return RunningScans == 0 && Waiting.empty();
}
