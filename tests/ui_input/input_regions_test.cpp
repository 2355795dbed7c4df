#include "ui/input_regions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// The settings rectangles as a frame with P = 250, N = 48 stores them.
LayoutInputs SettingsLayout(int w = 1000, int h = 600) {
    LayoutInputs layout;
    layout.ClientWidth = w;
    layout.ClientHeight = h;
    layout.ListPanelWidth = 250;
    layout.NavBarWidth = 48;
    layout.AppearanceItem = {64, 80, 314, 120};
    layout.AboutItem = {64, 124, 314, 164};
    layout.ThemeEntry = {314 + 48, 96, static_cast<float>(w) - 48, 141};
    layout.BackgroundEntry = {314 + 48, 145, static_cast<float>(w) - 48, 190};
    return layout;
}

void ExpectRegion(const RegionRect& r, int x, int y, int width, int height) {
    EXPECT_EQ(r.X, x);
    EXPECT_EQ(r.Y, y);
    EXPECT_EQ(r.Width, width);
    EXPECT_EQ(r.Height, height);
}

TEST(RegionTable, BordersAreOutside) {
    const LayoutInputs layout = SettingsLayout(1000, 600);
    const RegionRect play = ComputeRegion(Region::Play, layout);
    ExpectRegion(play, 384, 552, 30, 30);
    EXPECT_FALSE(RegionContains(play, 384, 560));
    EXPECT_TRUE(RegionContains(play, 385, 560));
    EXPECT_TRUE(RegionContains(play, 413, 560));
    EXPECT_FALSE(RegionContains(play, 414, 560));
    EXPECT_FALSE(RegionContains(play, 400, 552));
    EXPECT_FALSE(RegionContains(play, 400, 582));
    // A rectangle no frame has stored yet contains nothing.
    EXPECT_FALSE(RegionContains(RegionRect{}, 0, 0));
}

TEST(RegionTable, EveryRegionOfOneLayout) {
    LayoutInputs layout = SettingsLayout(1000, 600);
    layout.VolumePopupOffset = 10;
    layout.ListScroll = 20.5;
    layout.PanelToggle = {700.9f, 30.2f, 730, 60};
    struct Case {
        Region region;
        RegionRect expected;
    };
    const Case cases[] = {
        {Region::Play, {384, 552, 30, 30}},
        {Region::Next, {430, 552, 30, 30}},
        {Region::Previous, {338, 552, 30, 30}},
        {Region::Volume, {112, 552, 30, 30}},
        {Region::OpenFile, {758, 36, 109, 32}},
        {Region::OpenFolder, {883, 36, 109, 32}},
        {Region::ListPanel, {758, 72, 234, 520}},
        {Region::ProgressHover, {64, 536, 622, 8}},
        {Region::ProgressClick, {112, 536, 574, 8}},
        {Region::VolumeSlider, {64, 522, 250, 40}},
        {Region::NavHome, {4, 36, 40, 40}},
        {Region::NavSettings, {4, 80, 40, 40}},
        {Region::AppearanceItem, {64, 80, 250, 40}},
        {Region::AboutItem, {64, 124, 250, 40}},
        {Region::ThemeEntry, {362, 96, 590, 45}},
        {Region::BackgroundEntry, {362, 145, 590, 45}},
        {Region::Back, {362, 49, 30, 30}},
        {Region::MicaOption, {369, 143, 20, 20}},
        {Region::AcrylicOption, {369, 119, 20, 20}},
        {Region::PanelToggle, {700, 30, 30, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.region));
        const RegionRect r = ComputeRegion(c.region, layout);
        ExpectRegion(r, c.expected.X, c.expected.Y, c.expected.Width, c.expected.Height);
    }
    // Row 1 of a list scrolled by 20.5: t(28 + 97 - 20.5) = 104.
    ExpectRegion(SongRowRegion(1, layout), 766, 104, 218, 24);
    ExpectRegion(SongRowRegion(3, layout), 766, 160, 218, 24);
}

TEST(RegionTable, NarrowPanelAndOddWidths) {
    LayoutInputs layout = SettingsLayout(627, 367);
    layout.ListPanelWidth = 150;
    // (627 - 150 + 48) / 2 - 15 = 247.5 -> 247; k = 75.
    ExpectRegion(ComputeRegion(Region::Play, layout), 247, 319, 30, 30);
    ExpectRegion(ComputeRegion(Region::OpenFile, layout), 485, 36, 59, 32);
    ExpectRegion(ComputeRegion(Region::OpenFolder, layout), 560, 36, 59, 32);
    layout.ListPanelWidth = 151;  // k = floor(75.5) = 75
    ExpectRegion(ComputeRegion(Region::OpenFile, layout), 484, 36, 60, 32);
}

// --- hover and pressed bookkeeping ------------------------------------------

struct Flags {
    int hover[RegionCount] = {};
    int pressed[RegionCount] = {};
    int currentPage = HomePage;
    int previousPage = 0;
    int section = AppearanceSection;
    int view = OverviewView;
    int backdrop = BackdropMica;
    int volumePopupOpen = 0;
    double lead = 0;
    double trail = 0;
    InputBindings bindings;

    Flags() {
        static constexpr Region WithPressed[] = {Region::Play,           Region::Next,      Region::Previous,
                                                 Region::Volume,         Region::NavHome,   Region::NavSettings,
                                                 Region::AppearanceItem, Region::AboutItem, Region::ThemeEntry,
                                                 Region::BackgroundEntry, Region::Back};
        static constexpr Region WithoutHover[] = {Region::ProgressClick, Region::VolumeSlider, Region::MicaOption,
                                                  Region::AcrylicOption};
        for (int i = 0; i < RegionCount; ++i) bindings.HoverFlag[i] = &hover[i];
        for (Region r : WithoutHover) bindings.HoverFlag[static_cast<int>(r)] = nullptr;
        for (Region r : WithPressed) bindings.PressedFlag[static_cast<int>(r)] = &pressed[static_cast<int>(r)];
        bindings.CurrentPage = &currentPage;
        bindings.PreviousPage = &previousPage;
        bindings.SettingsSection = &section;
        bindings.AppearanceView = &view;
        bindings.Backdrop = &backdrop;
        bindings.VolumePopupOpen = &volumePopupOpen;
        bindings.NavIndicatorLead = &lead;
        bindings.NavIndicatorTrail = &trail;
    }
    int& Hover(Region r) { return hover[static_cast<int>(r)]; }
    int& Pressed(Region r) { return pressed[static_cast<int>(r)]; }
};

class FakeRows final : public SongRows {
public:
    explicit FakeRows(int count) : Hovered(count + 1, -1) {}
    int Count() override { return static_cast<int>(Hovered.size()) - 1; }
    void SetHovered(int row, int hovered) override { Hovered.at(row) = hovered; }
    std::vector<int> Hovered;  // index 0 unused
};

// Records every side effect as text, in order; the wait can run a callback,
// as the real message pump runs ticks and other handlers.
class FakeHost final : public InputHost {
public:
    void StartAnimation(int slot, int from, int to, int easing, int durationMs) override {
        Log.push_back("anim " + std::to_string(slot) + " " + std::to_string(from) + "->" + std::to_string(to) +
                      " e" + std::to_string(easing) + " " + std::to_string(durationMs));
    }
    void WaitDispatching(int milliseconds) override {
        Log.push_back("wait " + std::to_string(milliseconds));
        ClockMs += milliseconds;
        if (DuringWait) DuringWait();
    }
    void ApplyBackdrop(int kind) override { Log.push_back("apply " + std::to_string(kind)); }
    void SaveBackdropSetting(int kind) override { Log.push_back("save " + std::to_string(kind)); }
    void HomePageButtonUp() override { Log.push_back("home"); }
    void RequestRepaint() override { Log.push_back("repaint"); }

    std::vector<std::string> Log;
    int ClockMs = 0;
    std::function<void()> DuringWait;
};

using Log = std::vector<std::string>;

TEST(HoverFlags, FollowThePointerOnEveryPage) {
    const LayoutInputs layout = SettingsLayout();
    Flags f;
    FakeRows rows(3);
    // On the play button: only its flag, the panel toggle stays 0 even when hit.
    f.Hover(Region::PanelToggle) = 1;
    UpdateHoverFlags(layout, 400, 560, f.bindings, &rows);
    for (int i = 0; i < RegionCount; ++i) {
        EXPECT_EQ(f.hover[i], static_cast<Region>(i) == Region::Play ? 1 : 0) << i;
    }
    EXPECT_EQ(rows.Hovered, (std::vector<int>{-1, 0, 0, 0}));

    // Song row 2 (y 153..177) lies in the panel body too.
    UpdateHoverFlags(layout, 800, 160, f.bindings, &rows);
    EXPECT_EQ(rows.Hovered, (std::vector<int>{-1, 0, 1, 0}));
    EXPECT_EQ(f.Hover(Region::ListPanel), 1);
    EXPECT_EQ(f.Hover(Region::Play), 0);

    // The settings regions are computed from the stored rectangles.
    UpdateHoverFlags(layout, 100, 100, f.bindings, &rows);
    EXPECT_EQ(f.Hover(Region::AppearanceItem), 1);
    EXPECT_EQ(f.Hover(Region::ListPanel), 0);
    UpdateHoverFlags(layout, 370, 60, f.bindings, nullptr);
    EXPECT_EQ(f.Hover(Region::Back), 1);
    EXPECT_EQ(f.Hover(Region::AppearanceItem), 0);
}

TEST(HoverFlags, ProgressKeepsItsValueWhileThePopupIsOpen) {
    const LayoutInputs layout = SettingsLayout();
    Flags f;
    UpdateHoverFlags(layout, 300, 540, f.bindings, nullptr);
    EXPECT_EQ(f.Hover(Region::ProgressHover), 1);
    f.volumePopupOpen = 1;
    UpdateHoverFlags(layout, 10, 10, f.bindings, nullptr);
    EXPECT_EQ(f.Hover(Region::ProgressHover), 1);
    f.volumePopupOpen = 0;
    UpdateHoverFlags(layout, 10, 10, f.bindings, nullptr);
    EXPECT_EQ(f.Hover(Region::ProgressHover), 0);
}

TEST(PressedFlags, SetOnDownAndRepaintedWithoutAnimation) {
    const LayoutInputs layout = SettingsLayout();
    Flags f;
    FakeHost host;
    f.Pressed(Region::AboutItem) = 1;  // left from an earlier press dragged away
    PressButtons(layout, 445, 560, f.bindings, host);  // next
    EXPECT_EQ(f.Pressed(Region::Next), 1);
    EXPECT_EQ(f.Pressed(Region::AboutItem), 0);
    EXPECT_EQ(host.Log, (Log{"repaint"}));

    host.Log.clear();
    PressButtons(layout, 120, 560, f.bindings, host);  // volume
    EXPECT_EQ(host.Log, (Log{"repaint"}));
    EXPECT_EQ(f.Pressed(Region::Next), 0);
    EXPECT_EQ(f.Pressed(Region::Volume), 1);

    host.Log.clear();
    PressButtons(layout, 20, 100, f.bindings, host);  // settings square
    EXPECT_EQ(host.Log, (Log{"repaint"}));
    EXPECT_EQ(f.Pressed(Region::NavSettings), 1);
    EXPECT_EQ(f.Pressed(Region::Volume), 0);
}

// --- the button-up ------------------------------------------------------------

TEST(ButtonUp, SettingsSquareSwitchesPageWithLeadWaitTrail) {
    const LayoutInputs layout = SettingsLayout();
    Flags f;
    FakeHost host;
    f.Pressed(Region::NavSettings) = 1;
    f.Pressed(Region::Play) = 1;
    // A tick dispatched during the wait has moved both ends.
    host.DuringWait = [&] {
        f.lead = 13.9;
        f.trail = 2.7;
    };
    ReleaseButtons(layout, 20, 100, f.bindings, host);
    EXPECT_EQ(host.Log, (Log{"anim 8 0->44 e17 150", "wait 50", "anim 7 2->44 e17 150", "repaint"}));
    EXPECT_EQ(host.ClockMs, 50);
    EXPECT_EQ(f.currentPage, SettingsPage);
    EXPECT_EQ(f.previousPage, HomePage);
    EXPECT_EQ(f.Pressed(Region::NavSettings), 0);
    EXPECT_EQ(f.Pressed(Region::Play), 0);
}

TEST(ButtonUp, HomeSquareRestartsAnimationsEvenWhenHome) {
    const LayoutInputs layout = SettingsLayout();
    Flags f;
    FakeHost host;
    ReleaseButtons(layout, 20, 50, f.bindings, host);
    EXPECT_EQ(host.Log, (Log{"anim 8 0->0 e17 150", "wait 50", "anim 7 0->0 e17 150", "home", "repaint"}));

    // From settings: lead truncated from its current value.
    f.currentPage = SettingsPage;
    f.lead = 43.99;
    f.trail = 44;
    host.Log.clear();
    ReleaseButtons(layout, 20, 50, f.bindings, host);
    EXPECT_EQ(host.Log, (Log{"anim 8 43->0 e17 150", "wait 50", "anim 7 44->0 e17 150", "home", "repaint"}));
    EXPECT_EQ(f.previousPage, SettingsPage);
    EXPECT_EQ(f.currentPage, HomePage);
}

TEST(ButtonUp, HomeHookOnlyOnTheHomePage) {
    const LayoutInputs layout = SettingsLayout();
    Flags f;
    FakeHost host;
    ReleaseButtons(layout, 500, 300, f.bindings, host);
    EXPECT_EQ(host.Log, (Log{"home", "repaint"}));
    f.currentPage = SettingsPage;
    host.Log.clear();
    ReleaseButtons(layout, 500, 300, f.bindings, host);
    EXPECT_EQ(host.Log, (Log{"repaint"}));
}

TEST(ButtonUp, SettingsItemsAndViews) {
    const LayoutInputs layout = SettingsLayout();
    Flags f;
    FakeHost host;
    f.currentPage = SettingsPage;

    struct Step {
        double x, y;
        int section, view;
    };
    const Step steps[] = {
        {100, 140, AboutSection, OverviewView},       // about item
        {500, 120, AboutSection, OverviewView},       // theme entry: not on the about card
        {100, 100, AppearanceSection, OverviewView},  // appearance item
        {500, 120, AppearanceSection, ThemeView},     // theme entry
        {370, 60, AppearanceSection, OverviewView},   // back
        {500, 170, AppearanceSection, BackgroundView},  // background entry
        {100, 140, AboutSection, BackgroundView},     // about keeps the view
        {370, 60, AboutSection, OverviewView},        // back answers on the about card too
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << s.x << "," << s.y);
        ReleaseButtons(layout, s.x, s.y, f.bindings, host);
        EXPECT_EQ(f.section, s.section);
        EXPECT_EQ(f.view, s.view);
    }
    for (const std::string& entry : host.Log) EXPECT_EQ(entry, "repaint");
}

TEST(ButtonUp, ReleaseClearsOnlyTheRegionUnderThePointer) {
    const LayoutInputs layout = SettingsLayout();
    Flags f;
    FakeHost host;
    f.currentPage = SettingsPage;
    // Pressed on the about item, dragged off and released on the card.
    PressButtons(layout, 100, 140, f.bindings, host);
    EXPECT_EQ(f.Pressed(Region::AboutItem), 1);
    ReleaseButtons(layout, 600, 400, f.bindings, host);
    EXPECT_EQ(f.Pressed(Region::AboutItem), 1);
    EXPECT_EQ(f.section, AppearanceSection);
    // Released on it: cleared and chosen.
    ReleaseButtons(layout, 100, 140, f.bindings, host);
    EXPECT_EQ(f.Pressed(Region::AboutItem), 0);
    EXPECT_EQ(f.section, AboutSection);
}

TEST(ButtonUp, BackdropOptionsApplyThenSaveEvenWhenUnchanged) {
    const LayoutInputs layout = SettingsLayout();
    Flags f;
    FakeHost host;
    f.currentPage = SettingsPage;
    f.view = BackgroundView;

    ReleaseButtons(layout, 375, 150, f.bindings, host);  // Mica, already 2
    EXPECT_EQ(host.Log, (Log{"apply 2", "save 2", "repaint"}));
    EXPECT_EQ(f.backdrop, BackdropMica);

    host.Log.clear();
    ReleaseButtons(layout, 375, 125, f.bindings, host);  // Acrylic
    EXPECT_EQ(host.Log, (Log{"apply 3", "save 3", "repaint"}));
    EXPECT_EQ(f.backdrop, BackdropAcrylic);

    // The option regions are 5 DIPs right and down of the drawn discs.
    host.Log.clear();
    ReleaseButtons(layout, 366, 116, f.bindings, host);
    EXPECT_EQ(host.Log, (Log{"repaint"}));

    // Options answer on the about card as well while the view is 2.
    f.section = AboutSection;
    host.Log.clear();
    ReleaseButtons(layout, 375, 150, f.bindings, host);
    EXPECT_EQ(host.Log, (Log{"apply 2", "save 2", "repaint"}));
}

TEST(ButtonUp, OpeningTheBackgroundViewPicksNoBackdrop) {
    // (375, 150) is both in the background entry and in the Mica option.
    const LayoutInputs layout = SettingsLayout();
    Flags f;
    FakeHost host;
    f.currentPage = SettingsPage;
    f.backdrop = BackdropAcrylic;
    ReleaseButtons(layout, 375, 150, f.bindings, host);
    EXPECT_EQ(f.view, BackgroundView);
    EXPECT_EQ(f.backdrop, BackdropAcrylic);
    EXPECT_EQ(host.Log, (Log{"repaint"}));
}

TEST(ButtonUp, SettingsSquareThenItemsOnTheSameClickDoNotInterfere) {
    // Page switch on the settings square leads into the settings step with
    // the same point, which hits no settings region.
    const LayoutInputs layout = SettingsLayout();
    Flags f;
    FakeHost host;
    f.view = BackgroundView;
    ReleaseButtons(layout, 20, 100, f.bindings, host);
    EXPECT_EQ(f.view, BackgroundView);
    EXPECT_EQ(f.section, AppearanceSection);
}

// --- the wheel ------------------------------------------------------------------

TEST(Wheel, ScrollsByRowsAndStopsPastTheEnd) {
    // 10 rows (content 280), H = 300 (viewport 176).
    struct Case {
        double from;
        int notches;
        double expected;
    };
    const Case cases[] = {
        {0, 1, -28}, {-28, 1, 0}, {-28, -1, 0}, {0, -1, 28}, {28, -1, 56}, {56, -1, 84}, {84, -1, 112},
        {112, -1, 112}, {112, 1, 84},
    };
    for (const Case& c : cases) {
        const WheelResult r = ScrollListByWheel(10, 300, c.from, c.notches);
        EXPECT_DOUBLE_EQ(r.ListScroll, c.expected) << c.from << " " << c.notches;
        EXPECT_EQ(r.ContentHeight, 280);
        EXPECT_EQ(r.ViewportHeight, 176);
    }
    // Everything fits: always 0.
    EXPECT_EQ(ScrollListByWheel(3, 300, 50, -1).ListScroll, 0);
    EXPECT_EQ(ScrollListByWheel(0, 300, 0, 1).ListScroll, 0);
}

TEST(Wheel, PartTurnsAddUpAndCarryTheirRest) {
    struct Case {
        std::vector<int> deltas;
        std::vector<int> notches;
    };
    const Case cases[] = {
        {{120, -120, 240}, {1, -1, 2}},        // a wheel: whole notches at once
        {{40, 40, 40, 40}, {0, 0, 1, 0}},      // a touchpad: one row per 120
        {{100, 100, 100}, {0, 1, 1}},          // 300 = 2 notches, 60 kept
        {{-50, -50, -50, 30}, {0, 0, -1, 0}},  // away and toward, signed alike
        {{90, -90, 90}, {0, 0, 0}},            // back and forth cancels out
    };
    for (const Case& c : cases) {
        WheelAccumulator wheel;
        std::vector<int> got;
        for (int delta : c.deltas) got.push_back(wheel.Add(delta));
        EXPECT_EQ(got, c.notches) << testing::PrintToString(c.deltas);
    }
    WheelAccumulator wheel;
    wheel.Add(100);
    wheel.Reset();
    EXPECT_EQ(wheel.Add(100), 0);  // the part-turn before the reset is gone
    EXPECT_EQ(wheel.Add(2147483647), 17895697);  // INT_MAX: no overflow with the rest
}

TEST(Wheel, ResizeReclampsWithTheWheelsBounds) {
    // 10 rows (content 280).
    struct Case {
        int clientHeight;
        double scroll;
        double expected;
    };
    const Case cases[] = {
        {300, 112, 112},  // viewport 176: at the wheel's end, unchanged
        {300, 60, 60},
        {340, 112, 72},   // grown: viewport 216, the end comes up to 64 + 8
        {404, 112, 0},    // everything fits
        {600, -28, 0},
        {300, -28, 0},    // the gap above row 1 closes, as the next turn would close it
        {200, 112, 112},  // shrunk: more to scroll, nothing to clamp
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(ReclampListScroll(10, c.clientHeight, c.scroll), c.expected)
            << c.clientHeight << " " << c.scroll;
    }
}

}  // namespace
