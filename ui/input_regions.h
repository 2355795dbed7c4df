#pragma once
// The hot regions of the main window and what pointer events do to the
// navigation and settings state. Portable: the window's live variables are
// reached through InputBindings and the side effects (animations, the message
// pump, the backdrop) through InputHost, so tests drive it with fakes.
// The region table is also where the drawing takes its rectangles from.

#include "ui/ui_numbers.h"

// A rectangle as the frame stores it: left, top, right, bottom in DIPs.
struct FloatRect {
    float Left = 0;
    float Top = 0;
    float Right = 0;
    float Bottom = 0;
};

// An integer hit-test region: x, y, width, height.
struct RegionRect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
};

// Strictly inside: a point on any border is outside, so a zero-size region
// (a rectangle no frame has computed yet) contains nothing.
bool RegionContains(const RegionRect& region, double px, double py);

// In the order the pointer-move handling recomputes them.
enum class Region : int {
    Play,
    Next,
    Previous,
    Volume,
    OpenFile,
    OpenFolder,
    ListPanel,
    ProgressHover,
    ProgressClick,
    VolumeSlider,
    NavHome,
    NavSettings,
    AppearanceItem,
    AboutItem,
    ThemeEntry,
    BackgroundEntry,
    Back,
    MicaOption,
    AcrylicOption,
    PanelToggle,
};
inline constexpr int RegionCount = static_cast<int>(Region::PanelToggle) + 1;

// Everything the region table is computed from.
struct LayoutInputs {
    int ClientWidth = 0;          // W
    int ClientHeight = 0;         // H
    double ListPanelWidth = 250;  // P
    int NavBarWidth = 48;         // N
    double ListScroll = 0;
    double VolumePopupOffset = 0;
    // The window rectangle in pixels and the display scale: the cover's
    // layout mode and the volume slider's frame term depend on them.
    int OuterWidthPx = 0;
    int OuterHeightPx = 0;
    double DpiScale = 1.0;
    FloatRect AppearanceItem;  // stored by the latest settings frame
    FloatRect AboutItem;
    FloatRect ThemeEntry;
    FloatRect BackgroundEntry;
    FloatRect PanelToggle;  // stored by the latest home frame
};

// The hit-test region. Where it differs from the drawn rectangle, the
// difference is written next to the region in input_regions.cpp.
RegionRect ComputeRegion(Region region, const LayoutInputs& layout);
// Song-list row, 1-based.
RegionRect SongRowRegion(int row, const LayoutInputs& layout);

// The rectangle the frame draws for a region, from the same figures as its
// hit-test region. For the settings items and the panel toggle this is what
// the frame stores for the next hit tests. Progress bar: the bar in its
// hovered height; volume slider: its track; list panel: the card; options:
// the discs.
FloatRect DrawnRect(Region region, const LayoutInputs& layout);
FloatRect SongRowRect(int row, const LayoutInputs& layout);

// The cover's size and the lyrics area follow the outer window size.
enum class CoverMode { Large, Medium, Small };
CoverMode ChooseCoverMode(int outerWidthPx, int outerHeightPx, double dpiScale);

struct CoverPlacement {
    CoverMode Mode = CoverMode::Small;
    double Scale = 0;  // of the 500-pixel cover
    double OriginX = 0;
    double OriginY = 0;
    FloatRect LyricsArea;
};
CoverPlacement PlaceCover(const LayoutInputs& layout);

// Length of the progress bar's track, W - 128 - P - N: what ProgressWidth is
// a share of.
double ProgressTrackLength(const LayoutInputs& layout);

// The progress bar as drawn, hovered or not, with its filled part ending
// progressWidth DIPs right of the track's start.
struct ProgressBarShape {
    FloatRect Track;
    FloatRect Filled;
    float Radius = 0;
    bool HasThumb = false;  // hovered only
    FloatRect Thumb;
    FloatRect ThumbCentre;
    FloatRect ThumbOutline;
};
ProgressBarShape ShapeProgressBar(const LayoutInputs& layout, int progressWidth, bool hovered);

// The volume popup at its offset: the box, its slider track and the level of
// volumePercent.
struct VolumePopupShape {
    FloatRect Box;
    FloatRect Outline;
    FloatRect Track;
    FloatRect Level;
};
VolumePopupShape ShapeVolumePopup(const LayoutInputs& layout, int volumePercent);

// A rectangle grown by d on every side (outlines around fills).
FloatRect Grown(const FloatRect& rect, float d);

// New list scroll offset after a wheel turn of notches (positive away from
// the user) over entryCount rows of 28 DIPs; also the content and viewport
// heights the song list keeps.
struct WheelResult {
    double ListScroll = 0;
    int ContentHeight = 0;
    int ViewportHeight = 0;
};
WheelResult ScrollListByWheel(int entryCount, int clientHeight, double listScroll, int notches);

// The list scroll offset brought back within the wheel's bounds after the
// client height changed (a grown window shows more of the list's end).
double ReclampListScroll(int entryCount, int clientHeight, double listScroll);

// Touchpads and fine wheels send deltas under a notch (120): they add up,
// one row per whole notch, the rest carried to the next turn.
class WheelAccumulator {
public:
    // Whole notches of what has accumulated, positive away from the user.
    int Add(int delta);
    void Reset() { Pending = 0; }

private:
    int Pending = 0;
};
inline constexpr int WheelNotchDelta = 120;

// The live variables the handlers read and write. A null flag pointer means
// the region has no such flag.
struct InputBindings {
    int* HoverFlag[RegionCount] = {};
    int* PressedFlag[RegionCount] = {};
    int* CurrentPage = nullptr;
    int* PreviousPage = nullptr;
    int* SettingsSection = nullptr;
    int* AppearanceView = nullptr;
    int* Backdrop = nullptr;
    int* VolumePopupOpen = nullptr;
    double* NavIndicatorLead = nullptr;
    double* NavIndicatorTrail = nullptr;
};

// Song-list rows: how many there are and where their hover mark goes.
class SongRows {
public:
    virtual ~SongRows() = default;
    virtual int Count() = 0;
    virtual void SetHovered(int row, int hovered) = 0;  // 1-based
};

// The side effects of a button-up or button-down.
class InputHost {
public:
    virtual ~InputHost() = default;
    virtual void StartAnimation(int slot, int from, int to, int easing, int durationMs) = 0;
    // Waits while dispatching window messages: other handlers may run inside.
    virtual void WaitDispatching(int milliseconds) = 0;
    virtual void ApplyBackdrop(int kind) = 0;
    virtual void SaveBackdropSetting(int kind) = 0;
    // The home page's own actions (song rows, volume, playback, dialogs).
    virtual void HomePageButtonUp() = 0;
    virtual void RequestRepaint() = 0;
};

// How the navigation pill moves.
inline constexpr int NavSettingsOffset = 44;  // pill travel from home to settings
inline constexpr int NavAnimationMs = 150;
inline constexpr int NavTrailDelayMs = 50;

// Every hover flag, whatever page is shown; hover of the progress bar only
// while the volume popup is closed; the panel toggle's always 0.
void UpdateHoverFlags(const LayoutInputs& layout, double px, double py, const InputBindings& bindings,
                      SongRows* rows);

// Every pressed flag.
void PressButtons(const LayoutInputs& layout, double px, double py, const InputBindings& bindings, InputHost& host);

// The button-up: page switch, settings items and views, backdrop choice,
// the home page's hook, then the playback buttons released and a repaint.
void ReleaseButtons(const LayoutInputs& layout, double px, double py, const InputBindings& bindings,
                    InputHost& host);
