#pragma once
// The display scale. The program is system-DPI aware (its manifest), so the
// screen's measures give the real scale and Windows does not stretch it.

// Percent, never 0.
int DpiPercent();

// DpiPercent / 100 once the graphics factories exist; 1.0 before.
double DpiScale();
