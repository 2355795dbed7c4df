#pragma once
// The window-manager functions bound by name on their first call; a missing
// one ends the program with the binding message.

#include <windows.h>
#include <dwmapi.h>

#include "platform/win32/dll_binding.h"

BOOL CallDwmDefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
HRESULT CallDwmExtendFrameIntoClientArea(HWND window, const MARGINS& margins);
HRESULT CallDwmSetWindowAttribute(HWND window, DWORD attribute, const void* value, DWORD size);
HRESULT CallDwmGetColorizationColor(DWORD* colour, BOOL* opaqueBlend);

// user32's undocumented accent-policy call; attribute data as the system lays it out.
struct WindowCompositionAttributeData {
    DWORD Attribute;
    void* Data;
    SIZE_T SizeOfData;
};
BOOL CallSetWindowCompositionAttribute(HWND window, WindowCompositionAttributeData* data);
