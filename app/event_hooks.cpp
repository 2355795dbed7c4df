// The window's component events, handed to the playback and lyrics code.
#include "app/event_hooks.h"

#include "lyrics/lyric_lines.h"
#include "lyrics/lyric_timing.h"
#include "playback/logic/drop_intake.h"
#include "playback/player_state.h"
#include "playback/song_list.h"
#include "playback/track_control.h"
#include "ui/display_scale.h"
#include "ui/easing.h"
#include "ui/frame.h"
#include "ui/home_input_hooks.h"
#include "ui/now_playing.h"
#include "ui/ui_state.h"

namespace {

// The target of the latest scroll that counted; never reset, not even by a
// track load.
double gLastScrollTarget = 0;

}  // namespace

void OnPlayBarTick() { UpdatePlayBar(); }

void OnLyricTick() {
    if (gLyricLines.empty()) return;
    LyricTimingState state;
    state.CurrentLyricIndex = gCurrentLyricIndex;
    state.LyricScrollOffset = gLyricScrollOffset;
    state.LastScrollTarget = gLastScrollTarget;
    const double areaHeight = static_cast<double>(gLyricsArea.bottom) - gLyricsArea.top;
    const std::vector<LyricScrollStart> scrolls =
        LyricTick(MeasureLyricLayouts(), gPositionSeconds, areaHeight, DpiScale(), state);
    const bool lineChanged = state.CurrentLyricIndex != gCurrentLyricIndex;
    gCurrentLyricIndex = state.CurrentLyricIndex;
    gLastScrollTarget = state.LastScrollTarget;
    // Starting slot 6 again replaces a scroll still running; its steps repaint.
    for (const LyricScrollStart& scroll : scrolls) {
        StartSlotAnimation(SlotLyricScroll, scroll.From, scroll.To, EasingExpoOut, LyricScrollMs);
    }
    // The current line's format changed: only worth a frame where it is drawn.
    if (lineChanged && scrolls.empty() && gCurrentPage == HomePage) RequestRepaintArea(ToFloatRect(gLyricsArea));
}

void OnFilesDropped(std::vector<std::string> paths) {
    // The drop is itself the latest action: an older drop still loading stops.
    NoteUserAction();
    DropIntake drop(std::move(paths), UserActionCount());
    DroppedFile file;
    while (drop.Next(UserActionCount(), file)) AddFile(file.Path, 1, file.Load);
}

void OnScanRowsPosted() { TakeScannedRows(); }
