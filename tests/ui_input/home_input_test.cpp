#include "ui/home_input.h"
#include "ui/key_input.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// W = 1000, H = 600, P = 250, N = 48, outer window as wide as the client.
LayoutInputs HomeLayout() {
    LayoutInputs layout;
    layout.ClientWidth = 1000;
    layout.ClientHeight = 600;
    layout.OuterWidthPx = 1000;
    layout.OuterHeightPx = 600;
    return layout;
}

std::string Describe(const HomeCommands& commands) {
    std::string text;
    for (const HomeCommand& c : commands) {
        if (!text.empty()) text += "; ";
        switch (c.Op) {
        case HomeOp::SelectRow: text += "select " + std::to_string(c.Row); break;
        case HomeOp::Animate:
            text += "anim " + std::to_string(c.Animation.Slot) + " " + std::to_string(c.Animation.From) + "->" +
                    std::to_string(c.Animation.To) + " e" + std::to_string(c.Animation.Easing) + " " +
                    std::to_string(c.Animation.DurationMs);
            break;
        case HomeOp::ShowVolumePopup: text += "show"; break;
        case HomeOp::HideVolumePopup: text += "hide"; break;
        case HomeOp::SetVolumePercent: text += "volume " + std::to_string(c.Percent); break;
        case HomeOp::TogglePlayPause: text += "toggle"; break;
        case HomeOp::OpenFile: text += "file"; break;
        case HomeOp::OpenFolder: text += "folder"; break;
        case HomeOp::SeekToFraction: text += "seek " + std::to_string(c.Fraction); break;
        case HomeOp::NextTrack: text += "next"; break;
        case HomeOp::PreviousTrack: text += "previous"; break;
        case HomeOp::PlayEntry: text += "play " + std::to_string(c.Row); break;
        }
    }
    return text;
}

TEST(HomeButtonUp, EachRegionAsksForItsOperation) {
    struct Case {
        const char* what;
        double x, y;
        int popupOpen;
        double popupOffset;
        std::string expected;
    };
    const Case cases[] = {
        {"play", 400, 560, 0, 10, "select 0; hide; toggle"},
        {"next", 440, 560, 0, 10, "select 0; hide; next"},
        {"previous", 350, 560, 0, 10, "select 0; hide; previous"},
        {"volume opens", 120, 560, 0, 10, "select 0; anim 1 10->0 e1 100; show"},
        {"volume closes", 120, 560, 1, 0, "select 0; hide"},
        // The slider band (y 512..552) overlaps the progress bar (536..544):
        // one click sets the volume and seeks, t(189 - 112) / 574.
        {"slider over the bar", 189, 540, 1, 0, "select 0; volume 50; seek " + std::to_string(77.0 / 574)},
        {"slider while hidden", 189, 530, 0, 10, "select 0"},
        {"row 2", 800, 160, 1, 0, "select 2; hide"},
        {"open file, last DIP", 866, 50, 0, 10, "select 0; hide; file"},
        {"between the buttons", 867, 50, 0, 10, "select 0; hide"},
        // Drawn from 879, hit from 883.
        {"open folder's drawn edge", 880, 50, 0, 10, "select 0; hide"},
        {"open folder", 884, 50, 0, 10, "select 0; hide; folder"},
        // The hidden popup's slider band (522..562) covers the bar's left
        // part: there a click closes nothing, but still seeks.
        {"progress start", 113, 540, 0, 10, "select 0; seek " + std::to_string(1.0 / 574)},
        {"progress past the band", 400, 540, 0, 10, "select 0; hide; seek " + std::to_string(288.0 / 574)},
        {"hover-only strip of the bar", 100, 540, 1, 0, "select 0; volume 11"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LayoutInputs layout = HomeLayout();
        layout.VolumePopupOffset = c.popupOffset;
        EXPECT_EQ(Describe(HomeButtonUp(layout, c.x, c.y, 10, c.popupOpen)), c.expected);
    }
}

TEST(HomeButtonUp, SliderLevelEndsUnderThePointer) {
    struct Case {
        double x;
        int expected;
    };
    // The hit region runs over the popup's margins, 64..314: both ends clamp.
    const Case cases[] = {{65, 0}, {74, 0}, {75, 0}, {189, 50}, {303, 99}, {304, 100}, {313, 100}};
    for (const Case& c : cases) EXPECT_EQ(SliderVolumePercent(c.x), c.expected) << c.x;
    // Whatever the frame around the client area.
    LayoutInputs layout = HomeLayout();
    layout.OuterWidthPx = layout.ClientWidth + 16;
    EXPECT_EQ(Describe(HomeButtonUp(layout, 189, 530, 10, 1)), "select 0; volume 50");
    EXPECT_EQ(Describe(HomeButtonUp(layout, 313, 530, 10, 1)), "select 0; volume 100");
}

TEST(HomeButtonUp, SeekTruncatesBothFigures) {
    LayoutInputs layout = HomeLayout();
    layout.ListPanelWidth = 203.7;  // mid-animation: t(620.3) = 620
    EXPECT_DOUBLE_EQ(ProgressClickFraction(layout, 500), 388.0 / 620);
    layout.ClientWidth = 426;  // 426 - 64 - 250 - 48 - 64: a bar of no length
    layout.ListPanelWidth = 250;
    EXPECT_EQ(ProgressClickFraction(layout, 150), 0.0);
}

TEST(HomeDoubleClick, PlaysTheRowUnderThePointer) {
    LayoutInputs layout = HomeLayout();
    EXPECT_EQ(Describe(HomeDoubleClick(layout, 800, 135, 10)), "play 1");
    EXPECT_EQ(Describe(HomeDoubleClick(layout, 800, 151, 10)), "");  // the gap between rows 1 and 2
    EXPECT_EQ(Describe(HomeDoubleClick(layout, 800, 135, 0)), "");
    layout.ListScroll = -28;  // rows moved down one pitch
    EXPECT_EQ(Describe(HomeDoubleClick(layout, 800, 160, 10)), "play 1");
    EXPECT_EQ(Describe(HomeDoubleClick(layout, 800, 410, 10)), "play 10");
    EXPECT_EQ(Describe(HomeDoubleClick(layout, 800, 430, 10)), "");
}

// --- the geometry the drawing takes from the table ---------------------------

TEST(HomeGeometry, LayoutModeBorders) {
    struct Case {
        int w, h;
        double scale;
        CoverMode expected;
    };
    const Case cases[] = {
        {881, 571, 1.0, CoverMode::Large},   {880, 570, 1.0, CoverMode::Medium},
        {881, 570, 1.0, CoverMode::Medium},  {880, 900, 1.0, CoverMode::Medium},
        {1000, 399, 1.0, CoverMode::Medium}, {1000, 398, 1.0, CoverMode::Small},
        {1321, 856, 1.5, CoverMode::Large},  {1320, 856, 1.5, CoverMode::Medium},
        {900, 598, 1.5, CoverMode::Small},   {900, 599, 1.5, CoverMode::Medium},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseCoverMode(c.w, c.h, c.scale), c.expected) << c.w << "x" << c.h << " @" << c.scale;
    }
}

TEST(HomeGeometry, CoverAndLyricsAreaPerMode) {
    struct Case {
        int outerW, outerH;
        double scale, x, y;
        float lyricsLeft;
    };
    const Case cases[] = {
        {1000, 600, 0.4, 64, 112, 264},
        {800, 500, 0.3, 64, 112, 214},
        {800, 390, 0.2, 634, 16, 64},  // 100 DIPs wide, ending 16 left of the panel
    };
    for (const Case& c : cases) {
        LayoutInputs layout = HomeLayout();
        layout.OuterWidthPx = c.outerW;
        layout.OuterHeightPx = c.outerH;
        const CoverPlacement placement = PlaceCover(layout);
        SCOPED_TRACE(c.outerH);
        EXPECT_DOUBLE_EQ(placement.Scale, c.scale);
        EXPECT_DOUBLE_EQ(placement.OriginX, c.x);
        EXPECT_DOUBLE_EQ(placement.OriginY, c.y);
        EXPECT_EQ(placement.LyricsArea.Left, c.lyricsLeft);
        EXPECT_EQ(placement.LyricsArea.Top, 120);
        EXPECT_EQ(placement.LyricsArea.Right, 750);
        EXPECT_EQ(placement.LyricsArea.Bottom, 480);
    }
}

TEST(HomeGeometry, ProgressBarShapes) {
    const LayoutInputs layout = HomeLayout();
    EXPECT_DOUBLE_EQ(ProgressTrackLength(layout), 574);  // the click region's width too
    const ProgressBarShape hovered = ShapeProgressBar(layout, 0, true);
    // With nothing played the thumb is centred on the bar's start, N + 64.
    EXPECT_EQ(hovered.Thumb.Left, 107);
    EXPECT_EQ(hovered.Thumb.Right, 117);
    const ProgressBarShape plain = ShapeProgressBar(layout, 100, false);
    EXPECT_FALSE(plain.HasThumb);
    EXPECT_EQ(plain.Filled.Right, 212);
    EXPECT_EQ(plain.Filled.Top, 538);  // 4 DIPs in the middle of the hover height
}

TEST(HomeGeometry, VolumePopupSlidesAndFillsItsTrack) {
    LayoutInputs layout = HomeLayout();
    layout.VolumePopupOffset = 10;
    const VolumePopupShape hidden = ShapeVolumePopup(layout, 100);
    EXPECT_EQ(hidden.Box.Top, 522);
    EXPECT_EQ(hidden.Level.Left, 74);
    EXPECT_EQ(hidden.Level.Right, 304);  // 100 fills the track exactly
}

// Hit regions follow the drawn rectangles except where the table says so.
TEST(HomeGeometry, HitRegionsAgreeWithTheDrawing) {
    LayoutInputs layout = HomeLayout();
    layout.ListScroll = 13.5;
    struct Case {
        Region region;
        int dx, dy, dw, dh;  // hit minus truncated drawn: x, y, width, height
    };
    const Case cases[] = {
        {Region::Play, 0, 0, 0, 0},         {Region::Next, 0, 0, 0, 0},
        {Region::Previous, 0, 0, 0, 0},     {Region::Volume, 0, 0, 0, 0},
        {Region::ListPanel, 0, 0, 0, 0},    {Region::ProgressClick, 0, 0, 0, 0},
        {Region::NavHome, 0, 0, 0, 0},      {Region::NavSettings, 0, 0, 0, 0},
        {Region::OpenFile, 0, 0, 4, 0},     {Region::OpenFolder, 4, 0, -4, 0},
        {Region::ProgressHover, -48, 0, 48, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.region));
        const FloatRect drawn = DrawnRect(c.region, layout);
        const RegionRect hit = ComputeRegion(c.region, layout);
        EXPECT_EQ(hit.X - static_cast<int>(drawn.Left), c.dx);
        EXPECT_EQ(hit.Y - static_cast<int>(drawn.Top), c.dy);
        EXPECT_EQ(hit.Width - static_cast<int>(drawn.Right - drawn.Left), c.dw);
        EXPECT_EQ(hit.Height - static_cast<int>(drawn.Bottom - drawn.Top), c.dh);
    }
    for (int row : {1, 7}) {
        const FloatRect drawn = SongRowRect(row, layout);
        const RegionRect hit = SongRowRegion(row, layout);
        EXPECT_EQ(hit.X, static_cast<int>(drawn.Left));
        EXPECT_EQ(hit.Y, static_cast<int>(drawn.Top));
        EXPECT_EQ(drawn.Bottom - drawn.Top, 24);
    }
    // The slider answers over the popup's height, not just its 4-DIP track.
    const RegionRect slider = ComputeRegion(Region::VolumeSlider, layout);
    EXPECT_EQ(slider.Y, 512);
    EXPECT_EQ(DrawnRect(Region::VolumeSlider, layout).Top, 530);
}

// --- keys --------------------------------------------------------------------

TEST(Keys, EachKeyAsksForThePointersOperation) {
    struct Case {
        const char* what;
        KeyPress press;
        int page;
        bool playing;
        std::string expected;
    };
    const Case cases[] = {
        {"space", {KeySpace}, HomePage, true, "toggle"},
        {"space held", {KeySpace, false, false, true}, HomePage, true, ""},
        {"left", {KeyLeft}, HomePage, true, "seek " + std::to_string(95.0 / 200)},
        {"right held", {KeyRight, false, false, true}, HomePage, true, "seek " + std::to_string(105.0 / 200)},
        {"up", {KeyUp}, HomePage, true, "volume 55"},
        {"down held", {KeyDown, false, false, true}, HomePage, true, "volume 45"},
        {"ctrl left", {KeyLeft, true}, HomePage, true, "previous"},
        {"ctrl right", {KeyRight, true}, HomePage, true, "next"},
        {"ctrl right held", {KeyRight, true, false, true}, HomePage, true, ""},
        {"enter", {KeyEnter}, HomePage, false, "play 3"},
        {"ctrl o", {KeyO, true}, HomePage, false, "file"},
        {"ctrl shift o", {KeyO, true, true}, HomePage, false, "folder"},
        {"o alone", {KeyO}, HomePage, false, ""},
        {"shift left", {KeyLeft, false, true}, HomePage, true, ""},
        {"media play", {KeyMediaPlayPause}, HomePage, false, "toggle"},
        {"media next", {KeyMediaNext}, HomePage, true, "next"},
        {"media previous", {KeyMediaPrevious}, HomePage, true, "previous"},
        {"media stop playing", {KeyMediaStop}, HomePage, true, "toggle; seek 0.000000"},
        {"media stop paused", {KeyMediaStop}, HomePage, false, "seek 0.000000"},
        // The settings page: Space and the media keys only.
        {"settings space", {KeySpace}, SettingsPage, true, "toggle"},
        {"settings media", {KeyMediaNext}, SettingsPage, true, "next"},
        {"settings left", {KeyLeft}, SettingsPage, true, ""},
        {"settings up", {KeyUp}, SettingsPage, true, ""},
        {"settings enter", {KeyEnter}, SettingsPage, true, ""},
        {"settings ctrl o", {KeyO, true}, SettingsPage, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KeyState state;
        state.Page = c.page;
        state.PositionSeconds = 100;
        state.LengthSeconds = 200;
        state.Volume = 50;
        state.SelectedRow = 3;
        EXPECT_EQ(Describe(KeyCommands(c.press, state, c.playing)), c.expected);
    }
}

TEST(Keys, SeekStaysInTheTrackAndEnterNeedsASelection) {
    KeyState state;
    state.LengthSeconds = 60;
    state.PositionSeconds = 3;
    EXPECT_EQ(Describe(KeyCommands({KeyLeft}, state, true)), "seek 0.000000");
    state.PositionSeconds = 58;
    EXPECT_EQ(Describe(KeyCommands({KeyRight}, state, true)), "seek 1.000000");
    state.LengthSeconds = 0;  // nothing loaded: no length to seek in
    EXPECT_EQ(Describe(KeyCommands({KeyRight}, state, true)), "");
    EXPECT_EQ(Describe(KeyCommands({KeyEnter}, state, true)), "");  // no row selected
    // The volume is clamped where every volume is set (SetVolumePercent).
    state.Volume = 100;
    EXPECT_EQ(Describe(KeyCommands({KeyUp}, state, true)), "volume 105");
}

TEST(Keys, AppCommandsPlayAndPauseOnlyWhenThatChangesSomething) {
    struct Case {
        int command;
        bool playing;
        MediaAction expected;
    };
    const Case cases[] = {
        {AppCommandMediaPlayPause, true, MediaAction::PlayPause}, {AppCommandMediaNext, false, MediaAction::Next},
        {AppCommandMediaPrevious, false, MediaAction::Previous},  {AppCommandMediaStop, true, MediaAction::Stop},
        {AppCommandMediaPlay, false, MediaAction::PlayPause},     {AppCommandMediaPlay, true, MediaAction::None},
        {AppCommandMediaPause, true, MediaAction::PlayPause},     {AppCommandMediaPause, false, MediaAction::None},
        {8, true, MediaAction::None},  // APPCOMMAND_VOLUME_MUTE is the system's
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MediaActionForAppCommand(c.command, c.playing), c.expected) << c.command << " " << c.playing;
    }
    EXPECT_TRUE(IsMediaAppCommand(AppCommandMediaPlay));
    EXPECT_FALSE(IsMediaAppCommand(8));
}

}  // namespace
