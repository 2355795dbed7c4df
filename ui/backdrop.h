#pragma once
// The system backdrop behind the window and the desktop accent colour.

#include <windows.h>

#include <cstdint>

// By gWindowsBuild: above 22523 the system backdrop of the kind (2 main
// window, 3 transient; any other integer passed on) and the dark-mode flag;
// above 21996 the acrylic accent policy, kind and dark ignored; otherwise
// nothing. Calls only the function its range needs, so older systems never
// bind a function they lack. Sets gSystemBackdropApplied.
void ApplyBackdrop(int kind, int dark, HWND window);

// The desktop accent as 0x00BBGGRR; black when it cannot be read.
uint32_t AccentColour();
