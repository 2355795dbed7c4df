#include "app/globals.h"

std::string gSettingsPath;
WNDPROC gPreviousWindowProc = nullptr;
