#pragma once
// User-interface state of the main window: one instance of each for the run.
// Positions are device-independent pixels (DIPs). Main window's thread only.

#include <d2d1.h>

#include "graphics/graphics_layer.h"
#include "ui/ui_numbers.h"

#include <cstdint>

// --- the window and its look -------------------------------------------------
extern HWND gMainWindow;              // the window "Tamber"
extern int gGraphicsReady;            // 1 once the graphics factories exist
extern int gWindowReady;              // 1 once the opening animation delivered its first step
extern uint32_t gWindowsBuild;        // low 16 bits of the Windows build number
extern int gBackdrop;                 // backdrop kind: the setting, then 2 or 3 as picked
extern bool gSystemBackdropApplied;   // the last ApplyBackdrop gave the window a system backdrop
// Stores a backdrop the user picked; the shell sets it to its settings
// writer (none: the choice is not kept).
extern void (*gSaveBackdropChoice)(int kind);

// --- frame of the main window (set on every WM_SIZE) -------------------------
extern int gCaptionHeight;            // pixels
extern int gClientWidth;              // DIPs
extern int gClientHeight;             // DIPs

// --- pages -------------------------------------------------------------------

extern int gCurrentPage;           // 1 home, 2 settings
extern int gPreviousPage;          // gCurrentPage when the latest button-up began
extern int gSettingsSection;       // 1 appearance, 2 about
extern int gAppearanceView;        // 0 overview, 1 theme, 2 background
extern int gNavBarWidth;           // 48
extern double gListPanelWidth;     // 250, or 150 in a narrow window
extern double gDrawingZoom;        // the opening animation moves it from 3 to 1
extern double gListScroll;
extern D2D1_RECT_F gLyricsArea;
extern int gVolumePopupOpen;
extern double gVolumePopupOffset;  // 10 at rest (hidden), 0 fully shown
extern double gNavIndicatorLead;   // 0 at home, 44 at settings
extern double gNavIndicatorTrail;

// Stored by the latest frame; hit-testing reads them.
extern D2D1_RECT_F gAppearanceItemRect;
extern D2D1_RECT_F gAboutItemRect;
extern D2D1_RECT_F gThemeEntryRect;
extern D2D1_RECT_F gBackgroundEntryRect;
extern D2D1_RECT_F gPanelToggleRect;

// Pointer position of the latest move, client DIPs, truncated.
extern int gPointerX;
extern int gPointerY;

// Hover flags, 0 or 1.
extern int gHoverPlay, gHoverNext, gHoverPrevious, gHoverVolume;
extern int gHoverOpenFile, gHoverOpenFolder, gHoverListPanel, gHoverProgress;
extern int gHoverNavHome, gHoverNavSettings;
extern int gHoverAppearance, gHoverAbout, gHoverTheme, gHoverBackground, gHoverBack;
extern int gHoverPanelToggle;

// Pressed flags, 0 or 1.
extern int gPressedPlay, gPressedNext, gPressedPrevious, gPressedVolume;
extern int gPressedNavHome, gPressedNavSettings;
extern int gPressedAppearance, gPressedAbout, gPressedTheme, gPressedBackground, gPressedBack;

// The one brush of every fill, stroke and text; its colour is set right
// before each drawing operation.
extern SolidBrushLayer gSharedBrush;
