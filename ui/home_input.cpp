#include "ui/home_input.h"

#include "ui/easing.h"

namespace {

int T(double value) { return static_cast<int>(value); }

bool Hit(Region region, const LayoutInputs& layout, double px, double py) {
    return RegionContains(ComputeRegion(region, layout), px, py);
}

int RowUnder(const LayoutInputs& layout, double px, double py, int rowCount) {
    for (int row = 1; row <= rowCount; ++row) {
        if (RegionContains(SongRowRegion(row, layout), px, py)) return row;
    }
    return 0;
}

HomeCommand Op(HomeOp op) {
    HomeCommand command;
    command.Op = op;
    return command;
}


}  // namespace

int SliderVolumePercent(double px) {
    const int percent = T((px - 74) / 230 * 100);
    return percent < 0 ? 0 : percent > 100 ? 100 : percent;
}

double ProgressClickFraction(const LayoutInputs& layout, double px) {
    const int along = T(px - 64 - layout.NavBarWidth);
    const int length = T(layout.ClientWidth - 64 - layout.ListPanelWidth - layout.NavBarWidth - 64);
    return length != 0 ? static_cast<double>(along) / length : 0.0;
}

bool WheelScrollsList(const LayoutInputs& layout, double px, double py) {
    return Hit(Region::ListPanel, layout, px, py);
}

HomeCommands HomeButtonUp(const LayoutInputs& layout, double px, double py, int rowCount, int volumePopupOpen) {
    auto hit = [&](Region region) { return Hit(region, layout, px, py); };
    HomeCommands commands;

    // The panel toggle is hit-tested but does nothing. A click outside every
    // row clears the selection.
    HomeCommand select = Op(HomeOp::SelectRow);
    select.Row = RowUnder(layout, px, py, rowCount);
    commands.push_back(select);

    if (hit(Region::Volume)) {
        if (volumePopupOpen == 1) {
            commands.push_back(Op(HomeOp::HideVolumePopup));
        } else {
            HomeCommand slide = Op(HomeOp::Animate);
            slide.Animation = {SlotVolumePopup, VolumePopupRestOffset, 0, EasingQuadIn, VolumePopupMs};
            commands.push_back(slide);
            commands.push_back(Op(HomeOp::ShowVolumePopup));
        }
    } else if (hit(Region::VolumeSlider)) {
        // The slider answers only while shown; a click on it while hidden
        // neither sets the volume nor closes anything.
        if (volumePopupOpen == 1) {
            HomeCommand volume = Op(HomeOp::SetVolumePercent);
            volume.Percent = SliderVolumePercent(px);
            commands.push_back(volume);
        }
    } else {
        // Anywhere else on the home page closes the popup without animation.
        commands.push_back(Op(HomeOp::HideVolumePopup));
    }

    if (hit(Region::Play)) commands.push_back(Op(HomeOp::TogglePlayPause));
    if (hit(Region::OpenFile)) commands.push_back(Op(HomeOp::OpenFile));
    if (hit(Region::OpenFolder)) commands.push_back(Op(HomeOp::OpenFolder));
    if (hit(Region::ProgressClick)) {
        HomeCommand seek = Op(HomeOp::SeekToFraction);
        seek.Fraction = ProgressClickFraction(layout, px);
        commands.push_back(seek);
    }
    if (hit(Region::Next)) commands.push_back(Op(HomeOp::NextTrack));
    if (hit(Region::Previous)) commands.push_back(Op(HomeOp::PreviousTrack));
    return commands;
}

HomeCommands HomeDoubleClick(const LayoutInputs& layout, double px, double py, int rowCount) {
    HomeCommands commands;
    const int row = RowUnder(layout, px, py, rowCount);
    if (row != 0) {
        HomeCommand play = Op(HomeOp::PlayEntry);
        play.Row = row;
        commands.push_back(play);
    }
    return commands;
}
