// The home page's input performed: the commands of ui/home_input.h carried
// out with the playback and song-list operations.
#include "ui/home_input_hooks.h"

#include "playback/player_state.h"
#include "playback/song_list.h"
#include "playback/track_control.h"
#include "ui/frame.h"
#include "ui/home_input.h"
#include "ui/key_input.h"
#include "ui/pages.h"
#include "ui/ui_state.h"

namespace {

void Perform(const HomeCommand& command) {
    switch (command.Op) {
    case HomeOp::SelectRow:
        for (size_t i = 0; i < gPlaylist.size(); ++i) {
            gPlaylist[i].Selected = static_cast<int>(i + 1) == command.Row ? 1 : 0;
        }
        break;
    case HomeOp::Animate: {
        const AnimationRequest& a = command.Animation;
        StartSlotAnimation(a.Slot, a.From, a.To, a.Easing, a.DurationMs);
        break;
    }
    case HomeOp::ShowVolumePopup: gVolumePopupOpen = 1; break;
    case HomeOp::HideVolumePopup:
        gVolumePopupOpen = 0;
        gVolumePopupOffset = VolumePopupRestOffset;
        break;
    case HomeOp::SetVolumePercent: SetVolumePercent(command.Percent); break;
    case HomeOp::TogglePlayPause: TogglePlayPause(); break;
    case HomeOp::OpenFile: OpenFileAction(); break;
    // The folder dialog and the scan run on a thread of their own.
    case HomeOp::OpenFolder: OpenFolderAction(); break;
    case HomeOp::SeekToFraction: SeekToFraction(command.Fraction); break;
    case HomeOp::NextTrack: NextTrack(); break;
    case HomeOp::PreviousTrack: PreviousTrack(); break;
    case HomeOp::PlayEntry: PlayEntry(command.Row); break;
    }
}

// Commands are computed up front from one pointer position; fades inside
// them dispatch messages, which may move the pointer but not this click.
void PerformAll(const HomeCommands& commands) {
    for (const HomeCommand& command : commands) Perform(command);
}

KeyState CurrentKeyState() {
    KeyState state;
    state.Page = gCurrentPage;
    state.PositionSeconds = gPositionSeconds;
    state.LengthSeconds = gTrackLengthSeconds;
    state.Volume = gVolume;
    for (size_t i = 0; i < gPlaylist.size(); ++i) {
        if (gPlaylist[i].Selected == 1) state.SelectedRow = static_cast<int>(i + 1);
    }
    return state;
}

}  // namespace

// A key ends as a button-up does: with a frame showing what it changed.
void OnKeyDown(int key, bool ctrl, bool shift, bool repeat) {
    const HomeCommands commands = KeyCommands(KeyPress{key, ctrl, shift, repeat}, CurrentKeyState(), gIsPlaying == 1);
    if (commands.empty()) return;
    PerformAll(commands);
    RequestRepaint();
}

void OnMediaAction(MediaAction action) {
    PerformAll(MediaCommands(action, gIsPlaying == 1));
    RequestRepaint();
}

void OnHomePageButtonUp() {
    PerformAll(HomeButtonUp(CurrentLayout(), gPointerX, gPointerY, SongRowCount(), gVolumePopupOpen));
}

int SongRowCount() { return static_cast<int>(gPlaylist.size()); }

void SetSongRowHovered(int row, int hovered) {
    if (row >= 1 && row <= SongRowCount()) gPlaylist[static_cast<size_t>(row - 1)].Hovered = hovered;
}

void OnDoubleClick() {
    if (gCurrentPage != HomePage) return;
    PerformAll(HomeDoubleClick(CurrentLayout(), gPointerX, gPointerY, SongRowCount()));
}
