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
#include "ui/startup_trace.h"
#include "ui/ui_state.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

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
    case SlotLyricScroll: return &gLyricScrollOffset;
    case SlotNavTrail: return &gNavIndicatorTrail;
    case SlotNavLead: return &gNavIndicatorLead;
    default: return nullptr;
    }
}

// What a step of a slot repaints: the popup, the lyrics, the pill.
void RepaintSlotArea(int slot) {
    const LayoutInputs layout = CurrentLayout();
    switch (slot) {
    case SlotVolumePopup: RequestRepaintArea(VolumePopupArea(layout)); return;
    case SlotLyricScroll: RequestRepaintArea(ToFloatRect(gLyricsArea)); return;
    case SlotNavTrail:
    case SlotNavLead: RequestRepaintArea(NavPillArea()); return;
    default: RequestRepaint(); return;
    }
}

// The hover and pressed looks and the rows' hover marks as they stand, to
// repaint only the ones an event changed.
struct Looks {
    int Flags[RegionCount] = {};
    std::vector<int> RowHovered;
};

Looks ReadLooks(const InputBindings& bindings, bool pressed) {
    Looks looks;
    for (int i = 0; i < RegionCount; ++i) {
        const int* flag = pressed ? bindings.PressedFlag[i] : bindings.HoverFlag[i];
        looks.Flags[i] = flag ? *flag : 0;
    }
    for (const PlaylistEntry& entry : gPlaylist) looks.RowHovered.push_back(entry.Hovered);
    return looks;
}

bool OnSettingsPage(Region region) {
    switch (region) {
    case Region::AppearanceItem:
    case Region::AboutItem:
    case Region::ThemeEntry:
    case Region::BackgroundEntry:
    case Region::Back:
    case Region::MicaOption:
    case Region::AcrylicOption: return true;
    default: return false;
    }
}

void RepaintChangedLooks(const Looks& before, const Looks& after) {
    const LayoutInputs layout = CurrentLayout();
    for (int i = 0; i < RegionCount; ++i) {
        if (before.Flags[i] == after.Flags[i]) continue;
        const Region region = static_cast<Region>(i);
        // The settings page is drawn whole; its items' flags also follow the
        // pointer on the home page, where nothing shows them.
        if (OnSettingsPage(region)) {
            if (gCurrentPage == SettingsPage) RequestRepaint();
            continue;
        }
        const bool homeOnly = region != Region::NavHome && region != Region::NavSettings;
        if (homeOnly && gCurrentPage != HomePage) continue;
        RequestRepaintArea(LookArea(region, layout));
    }
    if (gCurrentPage != HomePage) return;
    const size_t rows = std::min(before.RowHovered.size(), after.RowHovered.size());
    for (size_t i = 0; i < rows; ++i) {
        if (before.RowHovered[i] != after.RowHovered[i]) {
            RequestRepaintArea(Grown(SongRowRect(static_cast<int>(i + 1), layout), 2));
        }
    }
}

// The button-down's own repaint is replaced by the looks it changed.
bool gRepaintsHeld = false;

class WindowSongRows final : public SongRows {
public:
    int Count() override { return SongRowCount(); }
    void SetHovered(int row, int hovered) override { SetSongRowHovered(row, hovered); }
};

class WindowInputHost final : public InputHost {
public:
    void StartAnimation(int slot, int from, int to, int easing, int durationMs) override {
        StartSlotAnimation(slot, from, to, easing, durationMs);
        // The GUI tests judge the pill's two-stage motion from these lines
        // and the drawn ends: screenshots come too late on a busy machine.
        if (slot == SlotNavLead) TraceStartup("nav lead starts");
        if (slot == SlotNavTrail) TraceStartup("nav trail starts");
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
    void RequestRepaint() override {
        if (!gRepaintsHeld) ::RequestRepaint();
    }
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
        [target, slot](double value) {
            *target = value;
            RepaintSlotArea(slot);
        },
        {}, std::nullopt, durationMs);
}

void OnPointerMove() {
    const Looks before = ReadLooks(WindowBindings(), false);
    UpdateHoverFlags(CurrentLayout(), gPointerX, gPointerY, WindowBindings(), &gWindowSongRows);
    // A move that changes no look needs no frame.
    RepaintChangedLooks(before, ReadLooks(WindowBindings(), false));
}

void OnLeftButtonDown() {
    const Looks before = ReadLooks(WindowBindings(), true);
    gRepaintsHeld = true;
    PressButtons(CurrentLayout(), gPointerX, gPointerY, WindowBindings(), gWindowInputHost);
    gRepaintsHeld = false;
    RepaintChangedLooks(before, ReadLooks(WindowBindings(), true));
}

void OnLeftButtonUp() { ReleaseButtons(CurrentLayout(), gPointerX, gPointerY, WindowBindings(), gWindowInputHost); }

void OnPointerLeft() {
    // Nowhere near any region: every hover flag and row mark goes.
    const Looks before = ReadLooks(WindowBindings(), false);
    UpdateHoverFlags(CurrentLayout(), OutsideClient, OutsideClient, WindowBindings(), &gWindowSongRows);
    RepaintChangedLooks(before, ReadLooks(WindowBindings(), false));
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
    if (moved) RequestRepaintArea(SongListArea(CurrentLayout()));
}

void KeepListScrollInBounds() { gListScroll = ReclampListScroll(SongRowCount(), gClientHeight, gListScroll); }
