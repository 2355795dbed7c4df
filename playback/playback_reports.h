#pragma once
// What the playback layer tells the program above it, and the few things it
// asks of it. Playback changes its own state (player_state.h) and reports;
// the program turns the reports into repaints, timers, the cover's bitmaps
// and the taskbar. The program installs its implementation once, before the
// first track; until then a silent one stands in (tools and benchmarks that
// drive playback without a window).

#include <cstdint>
#include <functional>
#include <span>
#include <string>

// Where the current cover came from.
enum class CoverOrigin { Default, Tag, Jpg };

struct LoadedTrack {
    // The tag's picture or the ".jpg" beside the track; empty with
    // CoverOrigin::Default, which is the built-in picture.
    std::span<const uint8_t> Cover;
    CoverOrigin Origin = CoverOrigin::Default;
};

enum class ListChange {
    FileIntake,   // AddFile: the window shows a new track as well (or a dialog was cancelled)
    ScannedRows,  // a scan's rows arrived; only the list changed
};

class PlaybackReports {
public:
    virtual ~PlaybackReports() = default;

    // UI thread. gIsPlaying changed.
    virtual void PlayingChanged() {}
    // UI thread. The PlayBar and Lyric_ ticks are wanted (a track loaded or
    // resumed) or not (paused, or played to its end).
    virtual void TicksWanted(bool /*wanted*/) {}
    // UI thread. A track was loaded: its stream, texts and lyrics are in
    // place; the cover is handed over here.
    virtual void TrackLoaded(const LoadedTrack& /*track*/) {}
    // UI thread, on every PlayBar tick and seek: figuresChanged when the
    // position text, length text or progress width changed.
    virtual void PlayBarUpdated(bool /*figuresChanged*/) {}
    // UI thread. gPlaylist changed (grew when grew is true).
    virtual void ListChanged(ListChange /*change*/, bool /*grew*/) {}
    // Any thread (a scan thread). Scanned rows wait for TakeScannedRows on
    // the UI thread; false when that notice could not be sent.
    virtual bool RowsWaiting() { return false; }

    // UI thread. The width of the progress bar in DIPs, for ProgressWidth.
    virtual double ProgressBarWidth() { return 0; }
    // UI thread. Waits ms milliseconds while the program's messages go on
    // being handled (anything may run inside), returning early once stop()
    // is true. False when the program is ending: every wait gives up.
    virtual bool PumpMessages(int ms, const std::function<bool()>& stop);
    // UI thread. The file the user picked to open; empty when cancelled.
    virtual std::string ChooseFileToOpen() { return {}; }
    // A scan thread. The folder the user picked to scan; empty when cancelled.
    virtual std::string ChooseFolderToScan() { return {}; }
};

// nullptr puts the silent one back. The object must outlive every scan thread.
void SetPlaybackReports(PlaybackReports* reports);
PlaybackReports& Reports();
