#pragma once
// The hot regions of the main window and what pointer events do to the
// navigation and settings state. Portable: the window's live variables are
// reached through InputBindings and the side effects (animations, the message
// pump, the backdrop) through InputHost, so tests drive it with fakes.

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
    FloatRect AppearanceItem;  // stored by the latest settings frame
    FloatRect AboutItem;
    FloatRect ThemeEntry;
    FloatRect BackgroundEntry;
    FloatRect PanelToggle;  // stored by the latest home frame
};

RegionRect ComputeRegion(Region region, const LayoutInputs& layout);
// Song-list row, 1-based.
RegionRect SongRowRegion(int row, const LayoutInputs& layout);

// New list scroll offset after a wheel turn of notches (positive away from
// the user) over entryCount rows of 28 DIPs; also the content and viewport
// heights the song list keeps.
struct WheelResult {
    double ListScroll = 0;
    int ContentHeight = 0;
    int ViewportHeight = 0;
};
WheelResult ScrollListByWheel(int entryCount, int clientHeight, double listScroll, int notches);

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

inline constexpr int PageHome = 1;
inline constexpr int PageSettings = 2;
inline constexpr int SectionAppearance = 1;
inline constexpr int SectionAbout = 2;
inline constexpr int ViewOverview = 0;
inline constexpr int ViewTheme = 1;
inline constexpr int ViewBackground = 2;
inline constexpr int BackdropMica = 2;
inline constexpr int BackdropAcrylic = 3;

inline constexpr int NavSettingsOffset = 44;  // pill travel from home to settings
inline constexpr int NavAnimationEasing = 17;
inline constexpr int NavAnimationMs = 150;
inline constexpr int NavTrailDelayMs = 50;
inline constexpr int PressPulseEasing = 1;
inline constexpr int PressPulseMs = 50;
inline constexpr int SlotOfNavTrail = 7;
inline constexpr int SlotOfNavLead = 8;
inline constexpr int FirstPressSlot = 2;  // play, next, previous, volume: slots 2 to 5

// Every hover flag, whatever page is shown; hover of the progress bar only
// while the volume popup is closed; the panel toggle's always 0.
void UpdateHoverFlags(const LayoutInputs& layout, double px, double py, const InputBindings& bindings,
                      SongRows* rows);

// Every pressed flag, and the press pulses of the four playback buttons.
void PressButtons(const LayoutInputs& layout, double px, double py, const InputBindings& bindings, InputHost& host);

// The button-up: page switch, settings items and views, backdrop choice,
// the home page's hook, then the playback buttons released and a repaint.
void ReleaseButtons(const LayoutInputs& layout, double px, double py, const InputBindings& bindings,
                    InputHost& host);
