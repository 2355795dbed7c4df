#include "ui/display_scale.h"

#include <windows.h>

#include "ui/ui_state.h"

int DpiPercent() {
    HDC screen = GetDC(nullptr);
    const int desktopHorzRes = GetDeviceCaps(screen, DESKTOPHORZRES);
    const int horzRes = GetDeviceCaps(screen, HORZRES);
    const int logPixelsX = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return DpiPercentFromMeasures(desktopHorzRes, horzRes, logPixelsX);
}

double DpiScale() {
    if (gGraphicsReady != 1) return 1.0;
    return DpiPercent() / 100.0;
}
