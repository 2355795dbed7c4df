#pragma once
// The main window's taskbar button: a thumbnail toolbar (previous,
// play/pause, next) and the track's progress, through ITaskbarList3 once the
// shell says the button exists. Without a taskbar, or where the shell lacks
// the interface, nothing shows and nothing else changes. UI thread only.

#include <windows.h>

// Registered once; the shell sends it for each new button (again after
// Explorer restarts).
UINT TaskbarButtonCreatedMessage();

// Adds the thumbnail buttons and shows the current state.
void OnTaskbarButtonCreated(HWND window);

// WM_COMMAND of a thumbnail button, performed as its media key: true when
// wParam was one.
bool HandleThumbnailCommand(WPARAM wParam);

// The playback state shown on the button; calls the shell only for what
// changed since the last call.
void UpdateTaskbar();

// The window is going.
void ReleaseTaskbar();

// What the shell was asked and answered, for the tests and the trace.
struct TaskbarStatus {
    bool Connected = false;     // the interface was had and HrInit succeeded
    HRESULT ButtonsResult = S_OK;
    unsigned StateCalls = 0;    // SetProgressState
    unsigned ValueCalls = 0;    // SetProgressValue
    unsigned ButtonUpdates = 0; // ThumbBarUpdateButtons
    unsigned FailedCalls = 0;
};
const TaskbarStatus& CurrentTaskbarStatus();
