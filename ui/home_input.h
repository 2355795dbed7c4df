#pragma once
// What a click, a double click or a wheel turn on the home page asks for.
// Portable: the handlers compute commands from the region table, the pointer
// and a few figures of the state; the window side only performs them, in
// order, so every rule about which region does what is host-tested here.

#include "ui/input_regions.h"

#include <vector>

enum class HomeOp {
    SelectRow,         // Row: the one selected row, 0 = none; every other row is deselected
    Animate,           // Animation: start it
    ShowVolumePopup,   // VolumePopupOpen = 1 (its slide-in is the Animate before it)
    HideVolumePopup,   // at once: VolumePopupOpen = 0, VolumePopupOffset = 10
    SetVolumePercent,  // Percent
    TogglePlayPause,
    OpenFile,          // the open dialog, then the file added and played
    OpenFolder,        // the folder scan on a thread of its own
    SeekToFraction,    // Fraction
    NextTrack,
    PreviousTrack,
    PlayEntry,         // Row
};

struct AnimationRequest {
    int Slot = 0;
    int From = 0;
    int To = 0;
    int Easing = 0;
    int DurationMs = 0;
};

struct HomeCommand {
    HomeOp Op = HomeOp::SelectRow;
    int Row = 0;
    int Percent = 0;
    double Fraction = 0;
    AnimationRequest Animation;
};

using HomeCommands = std::vector<HomeCommand>;

// VolumePopupOffset of the hidden popup: 10 DIPs low and transparent.
inline constexpr int VolumePopupRestOffset = 10;
inline constexpr int VolumePopupMs = 100;

// The home page's share of a button-up, after any page switch.
HomeCommands HomeButtonUp(const LayoutInputs& layout, double px, double py, int rowCount, int volumePopupOpen);

// A double click plays the row under the pointer.
HomeCommands HomeDoubleClick(const LayoutInputs& layout, double px, double py, int rowCount);

// The volume the slider gives at x, 0..100: the level ends under the pointer.
int SliderVolumePercent(double px);

// The seek fraction of a click on the progress bar, both figures truncated
// before the division; 0 for a bar of no length.
double ProgressClickFraction(const LayoutInputs& layout, double px);

// The wheel turns the list only while the pointer is over the panel body.
bool WheelScrollsList(const LayoutInputs& layout, double px, double py);
