#include "ui/input_regions.h"

#include <cmath>

namespace {

constexpr double Tolerance = 1e-7;
constexpr int ButtonSize = 30;
constexpr int RowPitch = 28;
constexpr int RowHeight = 24;
constexpr int ListViewportMargin = 124;
constexpr int ListOverscroll = 8;

// Conversions of computed floating values truncate toward zero.
int T(double value) { return static_cast<int>(value); }

RegionRect FromStored(const FloatRect& rect) {
    return RegionRect{T(rect.Left), T(rect.Top), T(static_cast<double>(rect.Right) - rect.Left),
                      T(static_cast<double>(rect.Bottom) - rect.Top)};
}

bool Hit(Region region, const LayoutInputs& layout, double px, double py) {
    return RegionContains(ComputeRegion(region, layout), px, py);
}

void SetFlag(int* flag, int value) {
    if (flag) *flag = value;
}

int Get(const int* value) { return value ? *value : 0; }

void Set(int* target, int value) {
    if (target) *target = value;
}

// The lead end moves at once, the trail end after a pause in which the
// message loop keeps running, so the pill first stretches and then contracts.
void SwitchPage(int page, int pillTarget, const InputBindings& bindings, InputHost& host) {
    Set(bindings.CurrentPage, page);
    const int leadFrom = bindings.NavIndicatorLead ? T(*bindings.NavIndicatorLead) : 0;
    host.StartAnimation(SlotOfNavLead, leadFrom, pillTarget, NavAnimationEasing, NavAnimationMs);
    host.WaitDispatching(NavTrailDelayMs);
    // Read after the wait: ticks dispatched meanwhile may have moved it.
    const int trailFrom = bindings.NavIndicatorTrail ? T(*bindings.NavIndicatorTrail) : 0;
    host.StartAnimation(SlotOfNavTrail, trailFrom, pillTarget, NavAnimationEasing, NavAnimationMs);
}

void ChooseBackdrop(int kind, const InputBindings& bindings, InputHost& host) {
    Set(bindings.Backdrop, kind);
    host.ApplyBackdrop(kind);
    // Written even when the kind did not change.
    host.SaveBackdropSetting(kind);
}

}  // namespace

bool RegionContains(const RegionRect& region, double px, double py) {
    return px - region.X > Tolerance && px - (static_cast<double>(region.X) + region.Width) < -Tolerance &&
           py - region.Y > Tolerance && py - (static_cast<double>(region.Y) + region.Height) < -Tolerance;
}

RegionRect ComputeRegion(Region region, const LayoutInputs& layout) {
    const double w = layout.ClientWidth;
    const double h = layout.ClientHeight;
    const double p = layout.ListPanelWidth;
    const double n = layout.NavBarWidth;
    const double k = std::floor(p / 2);
    const double centre = (w - p + n) / 2;
    const double settingsRight = layout.AppearanceItem.Right;
    switch (region) {
    case Region::Play:
        return {T(centre - 15), T(h - 48), ButtonSize, ButtonSize};
    case Region::Next:
        return {T(centre - 15 + 46), T(h - 48), ButtonSize, ButtonSize};
    case Region::Previous:
        return {T(centre - 61), T(h - 48), ButtonSize, ButtonSize};
    case Region::Volume:
        return {T(n + 64), T(h - 48), ButtonSize, ButtonSize};
    case Region::OpenFile:
        return {T(w - p + 8), 36, T(p - k - 16), 32};
    case Region::OpenFolder:
        return {T(w - p + k + 8), 36, T(p - k - 16), 32};
    case Region::ListPanel:
        return {T(w - p + 8), 72, T(w - 8 - (w - p + 8)), T(h - 80)};
    case Region::ProgressHover:
        return {64, T(h - 64), T(w - 64 - p - 64), 8};
    case Region::ProgressClick:
        return {T(n + 64), T(h - 64), T(w - 64 - p - 64 - n), 8};
    case Region::VolumeSlider:
        return {74, T(h - 88 + layout.VolumePopupOffset), 230, 40};
    case Region::NavHome:
        return {4, 36, 40, 40};
    case Region::NavSettings:
        return {4, 80, 40, 40};
    case Region::AppearanceItem:
        return FromStored(layout.AppearanceItem);
    case Region::AboutItem:
        return FromStored(layout.AboutItem);
    case Region::ThemeEntry:
        return FromStored(layout.ThemeEntry);
    case Region::BackgroundEntry:
        return FromStored(layout.BackgroundEntry);
    case Region::Back:
        return {T(settingsRight + 48), 49, ButtonSize, ButtonSize};
    case Region::MicaOption:
        return {T(settingsRight + 55), 143, 20, 20};
    case Region::AcrylicOption:
        return {T(settingsRight + 55), 119, 20, 20};
    case Region::PanelToggle:
        return {T(layout.PanelToggle.Left), T(layout.PanelToggle.Top), ButtonSize, ButtonSize};
    }
    return {};
}

RegionRect SongRowRegion(int row, const LayoutInputs& layout) {
    const double w = layout.ClientWidth;
    const double p = layout.ListPanelWidth;
    return {T(w - p + 16), T(static_cast<double>(RowPitch) * row + 97 - layout.ListScroll), T(p - 32), RowHeight};
}

WheelResult ScrollListByWheel(int entryCount, int clientHeight, double listScroll, int notches) {
    const double content = static_cast<double>(entryCount) * RowPitch;
    const double viewport = static_cast<double>(clientHeight) - ListViewportMargin;
    WheelResult result;
    if (content - viewport <= Tolerance) {
        result.ListScroll = 0;
    } else if (listScroll < -Tolerance) {
        result.ListScroll = 0;
    } else {
        const double s = listScroll - static_cast<double>(notches) * RowPitch;
        result.ListScroll = s - (content - viewport) > Tolerance ? content - viewport + ListOverscroll : s;
    }
    result.ContentHeight = T(content);
    result.ViewportHeight = T(viewport);
    return result;
}

void UpdateHoverFlags(const LayoutInputs& layout, double px, double py, const InputBindings& bindings,
                      SongRows* rows) {
    for (int i = 0; i < RegionCount; ++i) {
        const Region region = static_cast<Region>(i);
        if (region == Region::ListPanel && rows) {
            // Song rows come before the panel body in the table.
            const int count = rows->Count();
            for (int row = 1; row <= count; ++row) {
                rows->SetHovered(row, RegionContains(SongRowRegion(row, layout), px, py) ? 1 : 0);
            }
        }
        int* flag = bindings.HoverFlag[i];
        if (!flag) continue;
        if (region == Region::ProgressHover && Get(bindings.VolumePopupOpen) != 0) continue;
        if (region == Region::PanelToggle) {
            *flag = 0;  // hit-tested, never shown hovered
            continue;
        }
        *flag = Hit(region, layout, px, py) ? 1 : 0;
    }
}

void PressButtons(const LayoutInputs& layout, double px, double py, const InputBindings& bindings, InputHost& host) {
    static constexpr Region Pressable[] = {Region::Play,           Region::Next,       Region::Previous,
                                           Region::Volume,         Region::NavHome,    Region::NavSettings,
                                           Region::AppearanceItem, Region::AboutItem,  Region::ThemeEntry,
                                           Region::BackgroundEntry, Region::Back};
    int slotOffset = 0;
    for (Region region : Pressable) {
        const bool inside = Hit(region, layout, px, py);
        SetFlag(bindings.PressedFlag[static_cast<int>(region)], inside ? 1 : 0);
        if (slotOffset < 4) {
            if (inside) host.StartAnimation(FirstPressSlot + slotOffset, 1, 0, PressPulseEasing, PressPulseMs);
            ++slotOffset;
        }
    }
    host.RequestRepaint();
}

void ReleaseButtons(const LayoutInputs& layout, double px, double py, const InputBindings& bindings,
                    InputHost& host) {
    auto hit = [&](Region region) { return Hit(region, layout, px, py); };
    auto release = [&](Region region) { SetFlag(bindings.PressedFlag[static_cast<int>(region)], 0); };

    Set(bindings.PreviousPage, Get(bindings.CurrentPage));

    if (hit(Region::NavHome)) {
        release(Region::NavHome);
        SwitchPage(PageHome, 0, bindings, host);
    }
    if (hit(Region::NavSettings)) {
        release(Region::NavSettings);
        SwitchPage(PageSettings, NavSettingsOffset, bindings, host);
    }

    if (Get(bindings.CurrentPage) == PageHome) host.HomePageButtonUp();

    if (Get(bindings.CurrentPage) == PageSettings) {
        // The background view's options answer only when that view was
        // already shown: the background entry overlaps the Mica option, and
        // opening the view must not pick a backdrop with the same click.
        const int viewBefore = Get(bindings.AppearanceView);
        if (hit(Region::AppearanceItem)) {
            release(Region::AppearanceItem);
            Set(bindings.SettingsSection, SectionAppearance);
        }
        if (hit(Region::AboutItem)) {
            release(Region::AboutItem);
            Set(bindings.SettingsSection, SectionAbout);
        }
        if (Get(bindings.AppearanceView) == ViewOverview && Get(bindings.SettingsSection) == SectionAppearance) {
            if (hit(Region::ThemeEntry)) {
                release(Region::ThemeEntry);
                Set(bindings.AppearanceView, ViewTheme);
            } else if (hit(Region::BackgroundEntry)) {
                release(Region::BackgroundEntry);
                Set(bindings.AppearanceView, ViewBackground);
            }
        }
        // The views answer whatever section is selected.
        if (viewBefore == ViewTheme && hit(Region::Back)) Set(bindings.AppearanceView, ViewOverview);
        if (viewBefore == ViewBackground) {
            if (hit(Region::Back)) Set(bindings.AppearanceView, ViewOverview);
            if (hit(Region::MicaOption)) ChooseBackdrop(BackdropMica, bindings, host);
            if (hit(Region::AcrylicOption)) ChooseBackdrop(BackdropAcrylic, bindings, host);
        }
    }

    SetFlag(bindings.PressedFlag[static_cast<int>(Region::Play)], 0);
    SetFlag(bindings.PressedFlag[static_cast<int>(Region::Next)], 0);
    SetFlag(bindings.PressedFlag[static_cast<int>(Region::Previous)], 0);
    SetFlag(bindings.PressedFlag[static_cast<int>(Region::Volume)], 0);
    host.RequestRepaint();
}
