#pragma once
// What a key asks for: the keyboard, the media keys and the taskbar's
// thumbnail buttons turned into the same commands as the pointer's
// (ui/home_input.h), so that every way in goes through one set of operations.
// Portable: virtual-key codes are plain numbers here.

#include "ui/home_input.h"

// Virtual-key codes the window answers.
inline constexpr int KeyEnter = 0x0D;
inline constexpr int KeySpace = 0x20;
inline constexpr int KeyLeft = 0x25;
inline constexpr int KeyUp = 0x26;
inline constexpr int KeyRight = 0x27;
inline constexpr int KeyDown = 0x28;
inline constexpr int KeyO = 0x4F;
inline constexpr int KeyMediaNext = 0xB0;
inline constexpr int KeyMediaPrevious = 0xB1;
inline constexpr int KeyMediaStop = 0xB2;
inline constexpr int KeyMediaPlayPause = 0xB3;

inline constexpr double KeySeekSeconds = 5;
inline constexpr int KeyVolumeStep = 5;

struct KeyPress {
    int Key = 0;
    bool Ctrl = false;
    bool Shift = false;
    bool Repeat = false;  // held down: the system repeats the key
};

// The figures a key's command is computed from.
struct KeyState {
    int Page = HomePage;
    double PositionSeconds = 0;
    int LengthSeconds = 0;
    int Volume = 0;
    int SelectedRow = 0;  // 1-based, 0 = none
};

// The media keys' own actions, whichever way they arrive.
enum class MediaAction { None, PlayPause, Next, Previous, Stop };
MediaAction MediaActionForKey(int key);
// WM_APPCOMMAND's media commands; play and pause act only when they change
// something.
inline constexpr int AppCommandMediaNext = 11;
inline constexpr int AppCommandMediaPrevious = 12;
inline constexpr int AppCommandMediaStop = 13;
inline constexpr int AppCommandMediaPlayPause = 14;
inline constexpr int AppCommandMediaPlay = 46;
inline constexpr int AppCommandMediaPause = 47;
// True when the command is a media command at all (handled, even if it does
// nothing now).
bool IsMediaAppCommand(int command);
MediaAction MediaActionForAppCommand(int command, bool isPlaying);

// A media action as commands: stop pauses a playing track and goes back to
// its start.
HomeCommands MediaCommands(MediaAction action, bool isPlaying);

// A key pressed while the window has the focus. Repeats move only the seek
// and the volume; on the settings page only Space and the media keys answer.
HomeCommands KeyCommands(const KeyPress& press, const KeyState& state, bool isPlaying);
