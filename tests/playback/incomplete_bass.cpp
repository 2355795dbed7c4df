// A "bass.dll" that exports BASS_Init only: the binding failure tests and the
// planted library in the current-directory test use it.

#include <windows.h>

extern "C" BOOL WINAPI BASS_Init(int, DWORD, DWORD, HWND, const GUID*) { return TRUE; }
