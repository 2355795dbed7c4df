#include "ui/ui_state.h"

HWND gMainWindow = nullptr;
int gGraphicsReady = 0;
int gWindowReady = 0;
uint32_t gWindowsBuild = 0;
int gBackdrop = 0;
bool gSystemBackdropApplied = false;
void (*gSaveBackdropChoice)(int kind) = nullptr;

int gCaptionHeight = 0;
int gClientWidth = 0;
int gClientHeight = 0;

int gCurrentPage = HomePage;
int gPreviousPage = 0;
int gSettingsSection = 1;
int gAppearanceView = 0;
int gNavBarWidth = 48;
double gListPanelWidth = 250.0;
double gDrawingZoom = 0.0;
double gListScroll = 0.0;
D2D1_RECT_F gLyricsArea{0, 0, 0, 0};
int gVolumePopupOpen = 0;
double gVolumePopupOffset = 10.0;  // hidden at rest: the first opening fades in
double gNavIndicatorLead = 0.0;
double gNavIndicatorTrail = 0.0;

D2D1_RECT_F gAppearanceItemRect{0, 0, 0, 0};
D2D1_RECT_F gAboutItemRect{0, 0, 0, 0};
D2D1_RECT_F gThemeEntryRect{0, 0, 0, 0};
D2D1_RECT_F gBackgroundEntryRect{0, 0, 0, 0};
D2D1_RECT_F gPanelToggleRect{0, 0, 0, 0};

int gPointerX = 0;
int gPointerY = 0;

int gHoverPlay = 0, gHoverNext = 0, gHoverPrevious = 0, gHoverVolume = 0;
int gHoverOpenFile = 0, gHoverOpenFolder = 0, gHoverListPanel = 0, gHoverProgress = 0;
int gHoverNavHome = 0, gHoverNavSettings = 0;
int gHoverAppearance = 0, gHoverAbout = 0, gHoverTheme = 0, gHoverBackground = 0, gHoverBack = 0;
int gHoverPanelToggle = 0;

int gPressedPlay = 0, gPressedNext = 0, gPressedPrevious = 0, gPressedVolume = 0;
int gPressedNavHome = 0, gPressedNavSettings = 0;
int gPressedAppearance = 0, gPressedAbout = 0, gPressedTheme = 0, gPressedBackground = 0, gPressedBack = 0;

SolidBrushLayer gSharedBrush;
