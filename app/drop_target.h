#pragma once
// 拖放对象1: the main window as an OLE drop target for files. The dropped
// files' paths go to OnFilesDropped as program text. Needs OLE initialised on the
// window's thread.

#include <windows.h>

#include <oleidl.h>

void RegisterFileDropTarget(HWND window);
void RevokeFileDropTarget(HWND window);
// The drop target itself, for a caller that hands it data without a drag
// (tamber-session's "drop").
IDropTarget* FileDropTarget();
