#include "ui/display_scale.h"

int DpiPercentFromMeasures(int desktopHorzRes, int horzRes, int logPixelsX) {
    // A screen that reports 0 for a measure gives no information: treat it as 100 %.
    const int a = horzRes > 0 ? static_cast<int>(static_cast<double>(desktopHorzRes) / horzRes * 100) : 100;
    const int b = static_cast<int>(static_cast<double>(logPixelsX) / 96 * 100);
    if (a == 100) return b > 0 ? b : 100;
    if (b == 100) return a > 0 ? a : 100;
    if (a == b) return a > 0 ? a : 100;
    return b > 0 ? b : (a > 0 ? a : 100);
}
