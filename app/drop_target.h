#pragma once
// 拖放对象1: the main window as an OLE drop target for files. Drop copies the
// dropped files' paths and posts them to the window (DroppedFilesMessage):
// the drag source waits for Drop to return, and adding files fades and reads
// tags. The window hands them to OnFilesDropped as program text, drops in the
// order they came. Needs OLE initialised on the window's thread.

#include <windows.h>

#include <oleidl.h>

inline constexpr UINT DroppedFilesMessage = WM_APP + 0x52;

void RegisterFileDropTarget(HWND window);
// On DroppedFilesMessage: the oldest drop waiting goes to OnFilesDropped.
void TakeDroppedFiles();
void RevokeFileDropTarget(HWND window);
// The drop target itself, for a caller that hands it data without a drag
// (tamber-session's "drop").
IDropTarget* FileDropTarget();
