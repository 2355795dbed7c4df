#pragma once
// The keyboard of the main window: its keys while it has the focus, the
// media keys (as keys, as WM_APPCOMMAND, and as hot keys while another
// window has the focus), all handed to ui/key_input.h's commands.

#include <windows.h>

// Claims the media keys as hot keys. A key another program holds stays
// with it: nothing happens for it here and nothing is shown.
void RegisterMediaHotKeys(HWND window);
void UnregisterMediaHotKeys(HWND window);

// WM_KEYDOWN, WM_APPCOMMAND and WM_HOTKEY: true (with the message's result)
// when the message was a key the window answers.
bool HandleKeyMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
