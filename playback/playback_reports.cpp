#include "playback/playback_reports.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

PlaybackReports gSilentReports;
// Read by scan threads as well.
std::atomic<PlaybackReports*> gReports{&gSilentReports};

}  // namespace

// Without a window nothing else can run on this thread, so nothing can stop
// the wait early.
bool PlaybackReports::PumpMessages(int ms, const std::function<bool()>& stop) {
    if (!stop()) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return true;
}

void SetPlaybackReports(PlaybackReports* reports) { gReports = reports ? reports : &gSilentReports; }

PlaybackReports& Reports() { return *gReports; }
