#include "ui/input_regions.h"

#include "ui/easing.h"

#include <cmath>

namespace {

constexpr double Tolerance = 1e-7;
constexpr int ButtonSize = 30;
constexpr int RowPitch = 28;
constexpr int RowHeight = 24;
constexpr int ListViewportMargin = 124;
constexpr int ListOverscroll = 8;
constexpr int PanelButtonHeight = 32;
constexpr int ProgressBarHeight = 8;
constexpr int SliderWidth = 230;
constexpr int SliderHitHeight = 40;
constexpr int SliderHitMargin = 10;  // the popup's margin beside the track
constexpr int OptionSize = 20;
constexpr int OptionHitInset = 5;  // option regions lie this far right and down of the discs

// Conversions of computed floating values truncate toward zero.
int T(double value) { return static_cast<int>(value); }

// Drawn boxes are computed in double and narrowed once, so a hit region
// truncated from the same figures never differs by a rounding step.
struct Box {
    double Left = 0;
    double Top = 0;
    double Right = 0;
    double Bottom = 0;
};

FloatRect ToFloat(const Box& b) {
    return FloatRect{static_cast<float>(b.Left), static_cast<float>(b.Top), static_cast<float>(b.Right),
                     static_cast<float>(b.Bottom)};
}

RegionRect FromStored(const FloatRect& rect) {
    return RegionRect{T(rect.Left), T(rect.Top), T(static_cast<double>(rect.Right) - rect.Left),
                      T(static_cast<double>(rect.Bottom) - rect.Top)};
}

// The figures of one frame.
struct Figures {
    explicit Figures(const LayoutInputs& layout)
        : W(layout.ClientWidth),
          H(layout.ClientHeight),
          P(layout.ListPanelWidth),
          N(layout.NavBarWidth),
          K(std::floor(P / 2)),
          Centre((W - P + N) / 2),
          ButtonTop(T(H - 48)),
          ProgressTop(H - 64),
          SettingsRight(N + P + 16) {}
    double W, H, P, N;
    double K;             // floor(P / 2): the two panel buttons share the panel
    double Centre;        // middle of the play bar
    int ButtonTop;        // the four play-bar buttons
    double ProgressTop;
    double SettingsRight;  // right edge of the settings list, as drawn now
};

Box Square(int x, int y) { return {double(x), double(y), double(x) + ButtonSize, double(y) + ButtonSize}; }

// x of each play-bar button: whole DIPs, as drawn.
int ButtonLeft(Region region, const Figures& f) {
    switch (region) {
    case Region::Play: return T(f.Centre - 15);
    case Region::Next: return T(f.Centre - 15 + 46);
    case Region::Previous: return T(f.Centre - 61);
    default: return T(f.N + 64);  // volume
    }
}

Box DrawnBox(Region region, const LayoutInputs& layout) {
    const Figures f(layout);
    const double o = layout.VolumePopupOffset;
    switch (region) {
    case Region::Play:
    case Region::Next:
    case Region::Previous:
    case Region::Volume:
        return Square(ButtonLeft(region, f), f.ButtonTop);
    case Region::OpenFile:
        return {f.W - f.P + 8, 36, f.W - 8 - f.P / 2 - 4, 68};
    case Region::OpenFolder:
        return {f.W - f.K + 4, 36, f.W - 8, 68};
    case Region::ListPanel:
        return {f.W - f.P + 8, 72, f.W - 8, f.H - 8};
    case Region::ProgressHover:
    case Region::ProgressClick:
        return {f.N + 64, f.ProgressTop, f.W - 64 - f.P, f.ProgressTop + ProgressBarHeight};
    case Region::VolumeSlider:
        return {74, f.H - 70 + o, 74.0 + SliderWidth, f.H - 66 + o};
    case Region::NavHome:
        return {4, 36, 44, 76};
    case Region::NavSettings:
        return {4, 80, 44, 120};
    case Region::AppearanceItem:
        return {f.N + 16, 80, f.SettingsRight, 120};
    case Region::AboutItem:
        return {f.N + 16, 124, f.SettingsRight, 164};
    case Region::ThemeEntry:
        return {f.SettingsRight + 48, 96, f.W - 48, 141};
    case Region::BackgroundEntry:
        return {f.SettingsRight + 48, 145, f.W - 48, 190};
    case Region::Back:
        return {f.SettingsRight + 48, 49, f.SettingsRight + 78, 79};
    case Region::MicaOption:
        return {f.SettingsRight + 50, 138, f.SettingsRight + 70, 158};
    case Region::AcrylicOption:
        return {f.SettingsRight + 50, 114, f.SettingsRight + 70, 134};
    case Region::PanelToggle: {
        const double k = std::floor(f.H / 2);
        return {f.W - f.P - ButtonSize, k - 15, f.W - f.P, k + 15};
    }
    }
    return {};
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
    host.StartAnimation(SlotNavLead, leadFrom, pillTarget, EasingExpoOut, NavAnimationMs);
    host.WaitDispatching(NavTrailDelayMs);
    // Read after the wait: ticks dispatched meanwhile may have moved it.
    const int trailFrom = bindings.NavIndicatorTrail ? T(*bindings.NavIndicatorTrail) : 0;
    host.StartAnimation(SlotNavTrail, trailFrom, pillTarget, EasingExpoOut, NavAnimationMs);
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
    const Figures f(layout);
    const Box drawn = DrawnBox(region, layout);
    // Stored by the latest settings frame: hit-testing uses the geometry that
    // was last drawn, even right after a resize.
    const double settingsRight = layout.AppearanceItem.Right;
    switch (region) {
    case Region::Play:
    case Region::Next:
    case Region::Previous:
    case Region::Volume:
        return {T(drawn.Left), T(drawn.Top), ButtonSize, ButtonSize};
    case Region::OpenFile:
        // Starts at the box, but is P - k - 16 wide rather than the box's P / 2 - 20.
        return {T(drawn.Left), T(drawn.Top), T(f.P - f.K - 16), PanelButtonHeight};
    case Region::OpenFolder:
        // Starts 4 DIPs right of the box (W - P + k + 8 against W - k + 4).
        return {T(f.W - f.P + f.K + 8), T(drawn.Top), T(f.P - f.K - 16), PanelButtonHeight};
    case Region::ListPanel:
        return {T(drawn.Left), T(drawn.Top), T(f.W - 8 - (f.W - f.P + 8)), T(f.H - 80)};
    case Region::ProgressHover:
        // Hovering starts at x = 64, left of the drawn bar, which starts at N + 64.
        return {64, T(drawn.Top), T(f.W - 64 - f.P - 64), ProgressBarHeight};
    case Region::ProgressClick:
        return {T(drawn.Left), T(drawn.Top), T(f.W - 64 - f.P - 64 - f.N), ProgressBarHeight};
    case Region::VolumeSlider:
        // The whole popup (H - 88 .. H - 48), its margins included: past the
        // track's ends the level clamps, so 0 and 100 are easy to hit.
        return {T(drawn.Left) - SliderHitMargin, T(f.H - 88 + layout.VolumePopupOffset),
                SliderWidth + 2 * SliderHitMargin, SliderHitHeight};
    case Region::NavHome:
    case Region::NavSettings:
        return {T(drawn.Left), T(drawn.Top), T(drawn.Right - drawn.Left), T(drawn.Bottom - drawn.Top)};
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
        return {T(settingsRight + 50 + OptionHitInset), 138 + OptionHitInset, OptionSize, OptionSize};
    case Region::AcrylicOption:
        return {T(settingsRight + 50 + OptionHitInset), 114 + OptionHitInset, OptionSize, OptionSize};
    case Region::PanelToggle:
        return {T(layout.PanelToggle.Left), T(layout.PanelToggle.Top), ButtonSize, ButtonSize};
    }
    return {};
}

FloatRect DrawnRect(Region region, const LayoutInputs& layout) { return ToFloat(DrawnBox(region, layout)); }

namespace {

double RowTop(int row, const LayoutInputs& layout) {
    return static_cast<double>(RowPitch) * row + 97 - layout.ListScroll;
}

}  // namespace

RegionRect SongRowRegion(int row, const LayoutInputs& layout) {
    const double w = layout.ClientWidth;
    const double p = layout.ListPanelWidth;
    return {T(w - p + 16), T(RowTop(row, layout)), T(p - 32), RowHeight};
}

FloatRect SongRowRect(int row, const LayoutInputs& layout) {
    const double w = layout.ClientWidth;
    const double p = layout.ListPanelWidth;
    const double top = RowTop(row, layout);
    return ToFloat({w - p + 16, top, w - 16, top + RowHeight});
}

CoverMode ChooseCoverMode(int outerWidthPx, int outerHeightPx, double dpiScale) {
    // Both sizes strictly larger for the large mode; the medium border itself is medium.
    if (outerWidthPx - 880 * dpiScale > Tolerance && outerHeightPx - 570 * dpiScale > Tolerance) {
        return CoverMode::Large;
    }
    if (outerHeightPx - 399 * dpiScale >= -Tolerance) return CoverMode::Medium;
    return CoverMode::Small;
}

CoverPlacement PlaceCover(const LayoutInputs& layout) {
    const Figures f(layout);
    CoverPlacement placement;
    placement.Mode = ChooseCoverMode(layout.OuterWidthPx, layout.OuterHeightPx, layout.DpiScale);
    double lyricsLeft = 0;
    switch (placement.Mode) {
    case CoverMode::Large:
        placement.Scale = 0.4;
        placement.OriginX = f.N + 16;
        placement.OriginY = 112;
        lyricsLeft = f.N + 216;
        break;
    case CoverMode::Medium:
        placement.Scale = 0.3;
        placement.OriginX = f.N + 16;
        placement.OriginY = 112;
        lyricsLeft = f.N + 166;
        break;
    case CoverMode::Small:
        // Beside the title rows, 16 DIPs left of the panel; the lyrics take the width.
        placement.Scale = 0.2;
        placement.OriginX = f.W - f.P - 116;
        placement.OriginY = 16;
        lyricsLeft = f.N + 16;
        break;
    }
    placement.LyricsArea = ToFloat({lyricsLeft, 120, f.W - f.P, f.H - 120});
    return placement;
}

double ProgressTrackLength(const LayoutInputs& layout) {
    const Figures f(layout);
    return f.W - 128 - f.P - f.N;
}

ProgressBarShape ShapeProgressBar(const LayoutInputs& layout, int progressWidth, bool hovered) {
    const Box bar = DrawnBox(Region::ProgressClick, layout);
    const double x0 = bar.Left;
    const double y0 = bar.Top;
    const double fill = x0 + progressWidth;
    ProgressBarShape shape;
    if (!hovered) {
        // Thinner while not hovered: 4 DIPs in the middle of the hover height.
        shape.Track = ToFloat({x0, y0 + 2, bar.Right, y0 + 6});
        shape.Filled = ToFloat({x0, y0 + 2, fill, y0 + 6});
        shape.Radius = 2;
        return shape;
    }
    shape.Track = ToFloat(bar);
    shape.Filled = ToFloat({x0, y0, fill, bar.Bottom});
    shape.Radius = 4;
    shape.HasThumb = true;
    shape.Thumb = ToFloat({fill - 5, y0 - 1, fill + 5, y0 + 9});
    shape.ThumbCentre = ToFloat({fill - 2, y0 + 2, fill + 2, y0 + 6});
    shape.ThumbOutline = ToFloat({fill - 5.5, y0 - 1.5, fill + 5.5, y0 + 9.5});
    return shape;
}

VolumePopupShape ShapeVolumePopup(const LayoutInputs& layout, int volumePercent) {
    const Figures f(layout);
    const double o = layout.VolumePopupOffset;
    const Box track = DrawnBox(Region::VolumeSlider, layout);
    VolumePopupShape shape;
    shape.Box = ToFloat({64, f.H - 88 + o, 314, f.H - 48 + o});
    shape.Outline = ToFloat({63.5, f.H - 88.5 + o, 314.5, f.H - 47.5 + o});
    shape.Track = ToFloat(track);
    shape.Level = ToFloat({track.Left, track.Top, track.Left + volumePercent * 230.0 / 100, track.Bottom});
    return shape;
}

FloatRect Grown(const FloatRect& rect, float d) {
    return FloatRect{rect.Left - d, rect.Top - d, rect.Right + d, rect.Bottom + d};
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

double ReclampListScroll(int entryCount, int clientHeight, double listScroll) {
    return ScrollListByWheel(entryCount, clientHeight, listScroll, 0).ListScroll;
}

int WheelAccumulator::Add(int delta) {
    // Pending stays within one notch either way, so the sum cannot overflow.
    const long long total = static_cast<long long>(Pending) + delta;
    const long long notches = total / WheelNotchDelta;
    Pending = static_cast<int>(total - notches * WheelNotchDelta);
    return static_cast<int>(notches);
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
    for (Region region : Pressable) {
        SetFlag(bindings.PressedFlag[static_cast<int>(region)], Hit(region, layout, px, py) ? 1 : 0);
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
        SwitchPage(HomePage, 0, bindings, host);
    }
    if (hit(Region::NavSettings)) {
        release(Region::NavSettings);
        SwitchPage(SettingsPage, NavSettingsOffset, bindings, host);
    }

    if (Get(bindings.CurrentPage) == HomePage) host.HomePageButtonUp();

    if (Get(bindings.CurrentPage) == SettingsPage) {
        // The background view's options answer only when that view was
        // already shown: the background entry overlaps the Mica option, and
        // opening the view must not pick a backdrop with the same click.
        const int viewBefore = Get(bindings.AppearanceView);
        if (hit(Region::AppearanceItem)) {
            release(Region::AppearanceItem);
            Set(bindings.SettingsSection, AppearanceSection);
        }
        if (hit(Region::AboutItem)) {
            release(Region::AboutItem);
            Set(bindings.SettingsSection, AboutSection);
        }
        if (Get(bindings.AppearanceView) == OverviewView && Get(bindings.SettingsSection) == AppearanceSection) {
            if (hit(Region::ThemeEntry)) {
                release(Region::ThemeEntry);
                Set(bindings.AppearanceView, ThemeView);
            } else if (hit(Region::BackgroundEntry)) {
                release(Region::BackgroundEntry);
                Set(bindings.AppearanceView, BackgroundView);
            }
        }
        // The views answer whatever section is selected.
        if (viewBefore == ThemeView && hit(Region::Back)) Set(bindings.AppearanceView, OverviewView);
        if (viewBefore == BackgroundView) {
            if (hit(Region::Back)) Set(bindings.AppearanceView, OverviewView);
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
