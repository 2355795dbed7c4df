#pragma once
// The numbers of the user interface's states and animation slots, each named
// once. Portable: the window code, the input logic and the tests share them.
// Easing numbers live with the curves (ui/easing.h).

// CurrentPage.
inline constexpr int HomePage = 1;
inline constexpr int SettingsPage = 2;

// SettingsSection.
inline constexpr int AppearanceSection = 1;
inline constexpr int AboutSection = 2;

// AppearanceView.
inline constexpr int OverviewView = 0;
inline constexpr int ThemeView = 1;
inline constexpr int BackgroundView = 2;

// Backdrop kinds the background view offers.
inline constexpr int BackdropMica = 2;
inline constexpr int BackdropAcrylic = 3;

// The main window's eleven animation slots (addressed 1 to 11).
inline constexpr int AnimationSlotCount = 11;
inline constexpr int SlotVolumePopup = 1;    // VolumePopupOffset 10 -> 0
// Slots 2 to 5 are started by no code path: the buttons' press values they
// animated were never drawn.
inline constexpr int SlotLyricScroll = 6;    // LyricScrollOffset
inline constexpr int SlotNavTrail = 7;       // NavIndicatorTrail
inline constexpr int SlotNavLead = 8;        // NavIndicatorLead
inline constexpr int SlotDrawingZoom = 9;    // DrawingZoom 3 -> 1
inline constexpr int SlotUnused = 10;        // started by no code path
inline constexpr int SlotListPanel = 11;     // ListPanelWidth
