// Pointer input of the main window: binds the portable handling of
// ui/input_regions.h to the window's state, its animation slots, the message
// loop and the backdrop.
#include "lyrics/lyric_lines.h"
#include "playback/player_state.h"
#include "ui/animation_slots.h"
#include "ui/backdrop.h"
#include "ui/frame.h"
#include "ui/home_input.h"
#include "ui/home_input_hooks.h"
#include "ui/input_regions.h"
#include "ui/pages.h"
#include "ui/ui_state.h"

#include <windows.h>

namespace {

// Press values of play/pause, next, previous and volume (slots 2 to 5):
// animated and kept, though nothing draws them.
double gPressValues[4] = {1, 1, 1, 1};

const InputBindings& WindowBindings() {
    static const InputBindings bindings = [] {
        InputBindings b;
        auto hover = [&b](Region r, int* flag) { b.HoverFlag[static_cast<int>(r)] = flag; };
        auto pressed = [&b](Region r, int* flag) { b.PressedFlag[static_cast<int>(r)] = flag; };
        hover(Region::Play, &gHoverPlay);
        hover(Region::Next, &gHoverNext);
        hover(Region::Previous, &gHoverPrevious);
        hover(Region::Volume, &gHoverVolume);
        hover(Region::OpenFile, &gHoverOpenFile);
        hover(Region::OpenFolder, &gHoverOpenFolder);
        hover(Region::ListPanel, &gHoverListPanel);
        hover(Region::ProgressHover, &gHoverProgress);
        hover(Region::NavHome, &gHoverNavHome);
        hover(Region::NavSettings, &gHoverNavSettings);
        hover(Region::AppearanceItem, &gHoverAppearance);
        hover(Region::AboutItem, &gHoverAbout);
        hover(Region::ThemeEntry, &gHoverTheme);
        hover(Region::BackgroundEntry, &gHoverBackground);
        hover(Region::Back, &gHoverBack);
        hover(Region::PanelToggle, &gHoverPanelToggle);
        pressed(Region::Play, &gPressedPlay);
        pressed(Region::Next, &gPressedNext);
        pressed(Region::Previous, &gPressedPrevious);
        pressed(Region::Volume, &gPressedVolume);
        pressed(Region::NavHome, &gPressedNavHome);
        pressed(Region::NavSettings, &gPressedNavSettings);
        pressed(Region::AppearanceItem, &gPressedAppearance);
        pressed(Region::AboutItem, &gPressedAbout);
        pressed(Region::ThemeEntry, &gPressedTheme);
        pressed(Region::BackgroundEntry, &gPressedBackground);
        pressed(Region::Back, &gPressedBack);
        b.CurrentPage = &gCurrentPage;
        b.PreviousPage = &gPreviousPage;
        b.SettingsSection = &gSettingsSection;
        b.AppearanceView = &gAppearanceView;
        b.Backdrop = &gBackdrop;
        b.VolumePopupOpen = &gVolumePopupOpen;
        b.NavIndicatorLead = &gNavIndicatorLead;
        b.NavIndicatorTrail = &gNavIndicatorTrail;
        return b;
    }();
    return bindings;
}

// Where each slot's steps go; every step repaints.
double* SlotTarget(int slot) {
    switch (slot) {
    case SlotVolumePopup: return &gVolumePopupOffset;
    case SlotPressPlay: return &gPressValues[0];
    case SlotPressNext: return &gPressValues[1];
    case SlotPressPrevious: return &gPressValues[2];
    case SlotPressVolume: return &gPressValues[3];
    case SlotLyricScroll: return &gLyricScrollOffset;
    case SlotNavTrail: return &gNavIndicatorTrail;
    case SlotNavLead: return &gNavIndicatorLead;
    default: return nullptr;
    }
}

class WindowSongRows final : public SongRows {
public:
    int Count() override { return SongRowCount(); }
    void SetHovered(int row, int hovered) override { SetSongRowHovered(row, hovered); }
};

class WindowInputHost final : public InputHost {
public:
    void StartAnimation(int slot, int from, int to, int easing, int durationMs) override {
        StartSlotAnimation(slot, from, to, easing, durationMs);
    }

    void WaitDispatching(int milliseconds) override {
        const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
        for (;;) {
            // The clock is checked after every message: timer ticks and the
            // paints they request would otherwise keep the queue busy and
            // stretch the wait to the length of the running animation.
            const ULONGLONG now = GetTickCount64();
            if (now >= end) return;
            MSG message;
            if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
                continue;
            }
            if (message.message == WM_QUIT) {
                // Leave the quit for the main loop to see.
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    void ApplyBackdrop(int kind) override { ::ApplyBackdrop(kind, 0, gMainWindow); }
    void SaveBackdropSetting(int kind) override {
        if (gSaveBackdropChoice) gSaveBackdropChoice(kind);
    }
    void HomePageButtonUp() override { OnHomePageButtonUp(); }
    void RequestRepaint() override { ::RequestRepaint(); }
};

WindowInputHost gWindowInputHost;
WindowSongRows gWindowSongRows;
WheelAccumulator gWheel;
constexpr double OutsideClient = -1e6;

}  // namespace

void StartSlotAnimation(int slot, int from, int to, int easing, int durationMs) {
    double* target = SlotTarget(slot);
    if (!target) return;
    AnimationSlot(slot).Start(
        from, to, easing,
        [target](double value) {
            *target = value;
            RequestRepaint();
        },
        {}, std::nullopt, durationMs);
}

void OnPointerMove() {
    UpdateHoverFlags(CurrentLayout(), gPointerX, gPointerY, WindowBindings(), &gWindowSongRows);
    // While an animation runs, its own steps repaint.
    if (gAnimationRunning == 0) RequestRepaint();
}

void OnLeftButtonDown() { PressButtons(CurrentLayout(), gPointerX, gPointerY, WindowBindings(), gWindowInputHost); }

void OnLeftButtonUp() { ReleaseButtons(CurrentLayout(), gPointerX, gPointerY, WindowBindings(), gWindowInputHost); }

void OnPointerLeft() {
    // Nowhere near any region: every hover flag and row mark goes.
    UpdateHoverFlags(CurrentLayout(), OutsideClient, OutsideClient, WindowBindings(), &gWindowSongRows);
    RequestRepaint();
}

void OnWheel(int delta) {
    if (!WheelScrollsList(CurrentLayout(), gPointerX, gPointerY)) {
        gWheel.Reset();  // a part-turn elsewhere does not count over the list
        return;
    }
    const int notches = gWheel.Add(delta);
    if (notches == 0) return;
    const WheelResult result = ScrollListByWheel(SongRowCount(), gClientHeight, gListScroll, notches);
    const bool moved = result.ListScroll != gListScroll;
    gListScroll = result.ListScroll;
    gListContentHeight = result.ContentHeight;
    gListViewportHeight = result.ViewportHeight;
    if (moved) RequestRepaint();
}

void KeepListScrollInBounds() { gListScroll = ReclampListScroll(SongRowCount(), gClientHeight, gListScroll); }
