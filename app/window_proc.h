#pragma once
// The main window's replaced procedure: no system frame, hit testing for
// moving and resizing, painting, size tracking and the minimum size.

#include <windows.h>

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Hit-test code of a screen point against the window rectangle (screen
// coordinates), with the current gCaptionHeight.
int HitTest(const RECT& windowRect, POINT screenPoint);
