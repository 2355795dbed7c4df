#pragma once
// The display scale. The program is system-DPI aware (its manifest), so the
// screen's measures give the real scale and Windows does not stretch it.

// Percent, never 0.
int DpiPercent();

// DpiPercent / 100 once the graphics factories exist; 1.0 before.
double DpiScale();

// The display scale in percent from the two measures the screen offers:
// a = DESKTOPHORZRES / HORZRES and b = LOGPIXELSX / 96, both in percent.
// When they disagree and neither is 100 the LOGPIXELSX measure is taken;
// a scale of 0 would give a 0 x 0 window and divisions by zero.
int DpiPercentFromMeasures(int desktopHorzRes, int horzRes, int logPixelsX);
