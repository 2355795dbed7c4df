#include "app/media_keys.h"

#include <iterator>

#include "playback/player_state.h"
#include "ui/home_input_hooks.h"
#include "ui/key_input.h"

namespace {

constexpr int MediaKeys[] = {KeyMediaPlayPause, KeyMediaNext, KeyMediaPrevious, KeyMediaStop};
constexpr LPARAM PreviousKeyStateBit = 1 << 30;  // set when the key was already down: a repeat

bool gHotKeyHeld[std::size(MediaKeys)] = {};

bool KeyIsDown(int key) { return GetKeyState(key) < 0; }

}  // namespace

void RegisterMediaHotKeys(HWND window) {
    for (size_t i = 0; i < std::size(MediaKeys); ++i) {
        // The hot key's id is the key itself; a repeat fires nothing.
        gHotKeyHeld[i] = RegisterHotKey(window, MediaKeys[i], MOD_NOREPEAT, static_cast<UINT>(MediaKeys[i])) != FALSE;
    }
}

void UnregisterMediaHotKeys(HWND window) {
    for (size_t i = 0; i < std::size(MediaKeys); ++i) {
        if (gHotKeyHeld[i]) UnregisterHotKey(window, MediaKeys[i]);
        gHotKeyHeld[i] = false;
    }
}

bool HandleKeyMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_KEYDOWN:
        result = 0;
        OnKeyDown(static_cast<int>(wParam), KeyIsDown(VK_CONTROL), KeyIsDown(VK_SHIFT),
                  (lParam & PreviousKeyStateBit) != 0);
        return true;
    case WM_HOTKEY: {
        const MediaAction action = MediaActionForKey(static_cast<int>(wParam));
        if (action == MediaAction::None) return false;
        OnMediaAction(action);
        result = 0;
        return true;
    }
    case WM_APPCOMMAND: {
        const int command = GET_APPCOMMAND_LPARAM(lParam);
        if (!IsMediaAppCommand(command)) return false;
        const MediaAction action = MediaActionForAppCommand(command, gIsPlaying == 1);
        if (action != MediaAction::None) OnMediaAction(action);
        result = TRUE;  // handled: not passed on to the parent or the shell hook
        return true;
    }
    default:
        return false;
    }
}
