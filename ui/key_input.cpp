#include "ui/key_input.h"

#include "ui/easing.h"

namespace {

HomeCommand Op(HomeOp op) {
    HomeCommand command;
    command.Op = op;
    return command;
}

HomeCommands Seek(const KeyState& state, double seconds) {
    if (state.LengthSeconds <= 0) return {};
    double fraction = (state.PositionSeconds + seconds) / state.LengthSeconds;
    fraction = fraction < 0 ? 0 : fraction > 1 ? 1 : fraction;
    HomeCommand seek = Op(HomeOp::SeekToFraction);
    seek.Fraction = fraction;
    return {seek};
}

HomeCommands Volume(const KeyState& state, int step) {
    HomeCommand volume = Op(HomeOp::SetVolumePercent);
    volume.Percent = state.Volume + step;  // SetVolumePercent clamps
    return {volume};
}

}  // namespace

MediaAction MediaActionForKey(int key) {
    switch (key) {
    case KeyMediaPlayPause: return MediaAction::PlayPause;
    case KeyMediaNext: return MediaAction::Next;
    case KeyMediaPrevious: return MediaAction::Previous;
    case KeyMediaStop: return MediaAction::Stop;
    default: return MediaAction::None;
    }
}

bool IsMediaAppCommand(int command) {
    return (command >= AppCommandMediaNext && command <= AppCommandMediaPlayPause) || command == AppCommandMediaPlay ||
           command == AppCommandMediaPause;
}

MediaAction MediaActionForAppCommand(int command, bool isPlaying) {
    switch (command) {
    case AppCommandMediaNext: return MediaAction::Next;
    case AppCommandMediaPrevious: return MediaAction::Previous;
    case AppCommandMediaStop: return MediaAction::Stop;
    case AppCommandMediaPlayPause: return MediaAction::PlayPause;
    case AppCommandMediaPlay: return isPlaying ? MediaAction::None : MediaAction::PlayPause;
    case AppCommandMediaPause: return isPlaying ? MediaAction::PlayPause : MediaAction::None;
    default: return MediaAction::None;
    }
}

HomeCommands MediaCommands(MediaAction action, bool isPlaying) {
    switch (action) {
    case MediaAction::PlayPause: return HomeCommands{Op(HomeOp::TogglePlayPause)};
    case MediaAction::Next: return HomeCommands{Op(HomeOp::NextTrack)};
    case MediaAction::Previous: return HomeCommands{Op(HomeOp::PreviousTrack)};
    case MediaAction::Stop: {
        HomeCommands commands;
        if (isPlaying) commands = HomeCommands{Op(HomeOp::TogglePlayPause)};
        HomeCommand rewind = Op(HomeOp::SeekToFraction);
        rewind.Fraction = 0;
        commands.push_back(rewind);
        return commands;
    }
    case MediaAction::None: break;
    }
    return {};
}

HomeCommands KeyCommands(const KeyPress& press, const KeyState& state, bool isPlaying) {
    const MediaAction media = MediaActionForKey(press.Key);
    if (media != MediaAction::None) return press.Repeat ? HomeCommands{} : MediaCommands(media, isPlaying);
    if (press.Key == KeySpace && !press.Ctrl) {
        return press.Repeat ? HomeCommands{} : HomeCommands{Op(HomeOp::TogglePlayPause)};
    }
    if (state.Page != HomePage) return {};

    // Held down, only the seek and the volume go on.
    if (!press.Ctrl && !press.Shift) {
        switch (press.Key) {
        case KeyLeft: return Seek(state, -KeySeekSeconds);
        case KeyRight: return Seek(state, KeySeekSeconds);
        case KeyUp: return Volume(state, KeyVolumeStep);
        case KeyDown: return Volume(state, -KeyVolumeStep);
        default: break;
        }
    }
    if (press.Repeat) return {};
    if (press.Ctrl && !press.Shift && press.Key == KeyLeft) return HomeCommands{Op(HomeOp::PreviousTrack)};
    if (press.Ctrl && !press.Shift && press.Key == KeyRight) return HomeCommands{Op(HomeOp::NextTrack)};
    if (press.Ctrl && press.Key == KeyO) return {Op(press.Shift ? HomeOp::OpenFolder : HomeOp::OpenFile)};
    if (!press.Ctrl && !press.Shift && press.Key == KeyEnter && state.SelectedRow != 0) {
        HomeCommand play = Op(HomeOp::PlayEntry);
        play.Row = state.SelectedRow;
        return {play};
    }
    return {};
}
