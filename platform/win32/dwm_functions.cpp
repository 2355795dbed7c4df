#include "platform/win32/dwm_functions.h"

namespace {

DllLibrary gDwmLibrary("dwmapi.dll", DllLocation::SystemFolder);
DllLibrary gUser32Library("user32.dll", DllLocation::SystemFolder);

DllFunction<BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM, LRESULT*)> gDwmDefWindowProc(gDwmLibrary, "DwmDefWindowProc");
DllFunction<HRESULT(WINAPI*)(HWND, const MARGINS*)> gDwmExtendFrame(gDwmLibrary, "DwmExtendFrameIntoClientArea");
DllFunction<HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD)> gDwmSetWindowAttribute(gDwmLibrary, "DwmSetWindowAttribute");
DllFunction<HRESULT(WINAPI*)(DWORD*, BOOL*)> gDwmGetColorizationColor(gDwmLibrary, "DwmGetColorizationColor");
DllFunction<BOOL(WINAPI*)(HWND, WindowCompositionAttributeData*)> gSetWindowCompositionAttribute(
    gUser32Library, "SetWindowCompositionAttribute");

}  // namespace

BOOL CallDwmDefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return gDwmDefWindowProc(window, message, wParam, lParam, result);
}

HRESULT CallDwmExtendFrameIntoClientArea(HWND window, const MARGINS& margins) {
    return gDwmExtendFrame(window, &margins);
}

HRESULT CallDwmSetWindowAttribute(HWND window, DWORD attribute, const void* value, DWORD size) {
    return gDwmSetWindowAttribute(window, attribute, value, size);
}

HRESULT CallDwmGetColorizationColor(DWORD* colour, BOOL* opaqueBlend) {
    return gDwmGetColorizationColor(colour, opaqueBlend);
}

BOOL CallSetWindowCompositionAttribute(HWND window, WindowCompositionAttributeData* data) {
    return gSetWindowCompositionAttribute(window, data);
}
