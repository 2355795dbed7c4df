// bench_home: the time of one home-page frame through the program's own
// window, device and DrawFrame, with a short song list and lyric (10 rows,
// 10 lines) against long ones (10,000 rows, 300 lines), the current lyric
// line in the middle. Goal: the long frame within 20 % of the short one.
// Figures, not checks; needs a display (Direct3D under Wine).
//
// Steady state: the first frames build the lyric layouts and the scroll to
// the current line runs to its end before the timed frames. The lyric tick
// (the timer's work between frames) is timed too: it measures every line.
#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/event_hooks.h"
#include "app/start_program.h"
#include "graphics/graphics_device.h"
#include "lyrics/lyric_lines.h"
#include "playback/player_state.h"
#include "ui/cover_art.h"
#include "ui/drawing.h"
#include "ui/frame.h"
#include "ui/pages.h"
#include "ui/text_formats.h"
#include "ui/ui_state.h"

namespace {

constexpr int WindowWidth = 1000;  // the large cover mode of the GUI tests
constexpr int WindowHeight = 650;
constexpr int Rounds = 4;
constexpr int FramesPerRound = 10;
constexpr int WarmFrames = 3;
constexpr float LineSeconds = 2.0f;
constexpr int RowPitch = 28;  // song rows, from the top of one to the next

double NowMs() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// User and kernel time of the whole process: the drawing thread and the
// threads Direct3D draws on (under Wine, its command thread and the software
// rasteriser's).
double ProcessCpuMs() {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;  // 100-ns units
}

// Runs the window's messages (timers, animation steps, paints) for a while.
void Pump(double ms) {
    const double end = NowMs() + ms;
    MSG message;
    while (NowMs() < end) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}

void FillSongList(int rows) {
    gPlaylist.clear();
    for (int i = 1; i <= rows; ++i) {
        PlaylistEntry entry;
        entry.Title = "Song " + std::to_string(i) + " of the list";
        entry.Artist = "Artist " + std::to_string(i % 97);
        entry.DurationText = "3:" + std::to_string(10 + i % 50);
        entry.Path = "C:\\Music\\song" + std::to_string(i) + ".mp3";
        gPlaylist.push_back(entry);
    }
    gCurrentIndex = 1;
}

// Lines as the lyrics loader leaves them (no layouts yet), then the lyric
// tick of a position inside the middle line, after a frame has measured them.
void FillLyric(int lines) {
    ResetLyricState();
    for (int i = 0; i < lines; ++i) {
        const bool last = i + 1 == lines;
        const std::string text = "Line " + std::to_string(i + 1) + " of the lyric, long enough to fill the area";
        const std::u16string text16(text.begin(), text.end());
        gLyricLines.push_back(MakeLyricLine(i * LineSeconds, last ? -1.0f : LineSeconds, text16, last));
    }
    DrawFrame();
    gPositionSeconds = (lines / 2) * LineSeconds + LineSeconds / 2;
    OnLyricTick();
    Pump(500);  // the scroll animation and its frames
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double TimeLyricTicks() {
    std::vector<double> ticks;
    for (int i = 0; i < FramesPerRound; ++i) {
        const double start = NowMs();
        OnLyricTick();
        ticks.push_back(NowMs() - start);
    }
    return Median(ticks);
}

struct Case {
    const char* Name;
    int Rows;
    int Lines;
    int ScrollToRow;  // 0: the list at its top
    std::vector<double> FrameMs;
    std::vector<double> TickMs;
    double CpuMs = 0;
    // Frames that redraw only what a request named: a lyric scroll step, a
    // play-bar tick, one hovered row.
    std::vector<double> LyricMs;
    std::vector<double> PlayBarMs;
    std::vector<double> RowMs;
    double LyricCpuMs = 0;
    double PlayBarCpuMs = 0;
    double RowCpuMs = 0;
};

// The frame a repaint of this area gives; whole when the area is null.
double TimeFrame(const FloatRect* area) {
    if (area) {
        RequestRepaintArea(*area);
    } else {
        RequestRepaint();
    }
    const double start = NowMs();
    DrawFrame();
    return NowMs() - start;
}

// DrawFrame as the window's paint calls it. Wine's Direct3D queues the
// drawing for a thread of its own and makes the caller wait once the queue
// is full, so only whole frames are timed: a split by view would charge one
// view for what the other queued.
void RunRound(Case& c) {
    FillSongList(c.Rows);
    gListScroll = c.ScrollToRow > 0 ? (c.ScrollToRow - 1) * RowPitch : 0;
    FillLyric(c.Lines);
    for (int i = 0; i < WarmFrames; ++i) TimeFrame(nullptr);
    const double cpuStart = ProcessCpuMs();
    for (int i = 0; i < FramesPerRound; ++i) c.FrameMs.push_back(TimeFrame(nullptr));
    c.CpuMs += ProcessCpuMs() - cpuStart;
    const LayoutInputs layout = CurrentLayout();
    const FloatRect lyrics = ToFloatRect(gLyricsArea);
    const FloatRect playBar = PlayBarArea(layout);
    const FloatRect row = Grown(SongRowRect(1, layout), 2);
    const auto batch = [](const FloatRect& area, std::vector<double>& ms, double& cpuMs) {
        const double cpu = ProcessCpuMs();
        for (int i = 0; i < FramesPerRound; ++i) ms.push_back(TimeFrame(&area));
        cpuMs += ProcessCpuMs() - cpu;
    };
    batch(lyrics, c.LyricMs, c.LyricCpuMs);
    batch(playBar, c.PlayBarMs, c.PlayBarCpuMs);
    batch(row, c.RowMs, c.RowCpuMs);
    c.TickMs.push_back(TimeLyricTicks());
}

double CpuPerFrame(const Case& c) { return c.CpuMs / static_cast<double>(c.FrameMs.size()); }

void Report(const Case& c) {
    std::vector<double> sorted = c.FrameMs;
    std::sort(sorted.begin(), sorted.end());
    std::printf("  %-40s %7.2f ms (quartiles %7.2f %7.2f)  CPU %7.2f ms  lyric tick %6.3f ms\n", c.Name,
                Median(c.FrameMs), sorted[sorted.size() / 4], sorted[sorted.size() * 3 / 4], CpuPerFrame(c),
                Median(c.TickMs));
    const auto cpu = [](double ms, const std::vector<double>& frames) {
        return ms / static_cast<double>(frames.size());
    };
    std::printf("  %-40s lyrics area %6.2f ms (CPU %6.2f), play bar %6.2f ms (CPU %6.2f), "
                "one row %6.2f ms (CPU %6.2f)\n",
                "  partial frames:", Median(c.LyricMs), cpu(c.LyricCpuMs, c.LyricMs), Median(c.PlayBarMs),
                cpu(c.PlayBarCpuMs, c.PlayBarMs), Median(c.RowMs), cpu(c.RowCpuMs, c.RowMs));
}

// Where one kind of drawing call of the rough profile draws.
struct Scene {
    FloatRect Row;
    FloatRect Text;
    FloatRect Veil;
    IDWriteTextLayout* Lyric = nullptr;
    // Stand-ins of the size the frame copies: the composed background of the
    // now-playing area, and one lyric line's bitmap.
    ID2D1Bitmap1* Background = nullptr;
    ID2D1Bitmap1* Line = nullptr;
};

void DrawWhole(ID2D1Bitmap1* bitmap, float left, float top) {
    if (!bitmap) return;
    const D2D1_SIZE_F size = bitmap->GetSize();
    gDeviceContext.DrawBitmap(bitmap, D2D1_RECT_F{left, top, left + size.width, top + size.height}, 1.0f,
                              D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR);
}

struct Primitive {
    const char* Name;
    int Calls;  // a frame's worth: few of the ones that cover the window
    void (*Draw)(const Scene&);
};

const Primitive Primitives[] = {
    {"empty frame", 1, [](const Scene&) {}},
    {"Clear, the whole target", 4, [](const Scene&) { gDeviceContext.Clear(MakeD2DColour(OpaqueWindowColour)); }},
    {"FillBar, the veil (now-playing area)", 4, [](const Scene& s) { FillBar(s.Veil, WhiteRgb, 0.5f); }},
    {"FillRounded, a song row", 100, [](const Scene& s) { FillRounded(s.Row, 6, WhiteRgb, 0.9f); }},
    {"OutlineRounded, a song row", 100,
     [](const Scene& s) { OutlineRounded(Grown(s.Row, 0.5f), 7, BlackRgb, 0.1f); }},
    {"PushAxisAlignedClip + Pop", 100, [](const Scene& s) {
         gDeviceContext.PushAxisAlignedClip(ToD2D(s.Row), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
         gDeviceContext.PopAxisAlignedClip();
     }},
    {"DrawProgramText, a row title", 100,
     [](const Scene& s) { DrawProgramText("Song 1 of the list", gSmallFormat, s.Text, BlackRgb, 1.0f); }},
    {"DrawClippedText, a row title", 100,
     [](const Scene& s) { DrawClippedText("Song 1 of the list", gSmallFormat, s.Text, BlackRgb, 1.0f); }},
    {"DrawBitmap, the composed background", 4, [](const Scene& s) { DrawWhole(s.Background, 0, 0); }},
    {"DrawBitmap, one lyric line's bitmap", 100, [](const Scene& s) { DrawWhole(s.Line, 100, 100); }},
    {"DrawTextLayout, a cached lyric line", 100, [](const Scene& s) {
         if (!s.Lyric) return;
         gDeviceContext.DrawTextLayout({100, 100}, s.Lyric, gSharedBrush.Get(), D2D1_DRAW_TEXT_OPTIONS_CLIP);
     }},
};

// A rough profile of the frame: the drawing calls the views are made of
// (a song row's shapes and texts, the window-wide fills), each repeated in
// a frame of its own; per call, the time beyond an empty frame (clear,
// EndDraw, Present).
void ProfilePrimitives() {
    const LayoutInputs layout = CurrentLayout();
    Scene scene;
    scene.Row = SongRowRect(1, layout);
    scene.Text = {scene.Row.Left + 8, scene.Row.Top, scene.Row.Left + 100, scene.Row.Bottom};
    scene.Veil = {0, 0, static_cast<float>(layout.ClientWidth - layout.ListPanelWidth),
                  static_cast<float>(layout.ClientHeight)};
    if (!gLyricLines.empty()) scene.Lyric = static_cast<IDWriteTextLayout*>(gLyricLines[0].MainLayout.get());
    D2D1_BITMAP_PROPERTIES1 properties{};
    properties.pixelFormat = {TargetFormat, D2D1_ALPHA_MODE_PREMULTIPLIED};
    properties.bitmapOptions = D2D1_BITMAP_OPTIONS_TARGET;
    GraphicsLayer<ID2D1Bitmap1> background, line;
    gDeviceContext.CreateBitmap({static_cast<UINT32>(scene.Veil.Right), static_cast<UINT32>(scene.Veil.Bottom)},
                                properties, background);
    gDeviceContext.CreateBitmap({486, 64}, properties, line);  // a two-row line across the lyrics area
    scene.Background = background.Get();
    scene.Line = line.Get();
    constexpr int Frames = 5;
    // The floor of any frame: a present of what the swap chain holds.
    constexpr int Presents = 20;
    std::vector<double> presents;
    const double presentCpu = ProcessCpuMs();
    for (int f = 0; f < Presents; ++f) {
        const double start = NowMs();
        gSwapChain.Present(0, 0);
        presents.push_back(NowMs() - start);
    }
    std::printf("a present alone, nothing drawn: %.2f ms, CPU %.2f ms\n", Median(presents),
                (ProcessCpuMs() - presentCpu) / Presents);
    std::printf("rough profile: ms per call beyond an empty frame (median of %d frames)\n", Frames);
    double emptyMs = 0;
    for (const Primitive& primitive : Primitives) {
        std::vector<double> frames;
        for (int f = 0; f < Frames + 1; ++f) {
            const double start = NowMs();
            gDeviceContext.BeginDraw();
            gDeviceContext.Clear(MakeD2DColour(OpaqueWindowColour));
            for (int i = 0; i < primitive.Calls; ++i) primitive.Draw(scene);
            gDeviceContext.EndDraw();
            gSwapChain.Present(0, 0);
            if (f > 0) frames.push_back(NowMs() - start);  // the first one warms the caches
        }
        const double ms = Median(frames);
        if (&primitive == &Primitives[0]) {
            emptyMs = ms;
            std::printf("  %-40s %8.2f ms a frame\n", primitive.Name, ms);
        } else {
            std::printf("  %-40s %8.3f ms (%d a frame)\n", primitive.Name, (ms - emptyMs) / primitive.Calls,
                        primitive.Calls);
        }
    }
}

}  // namespace

int main() {
    if (FAILED(OleInitialize(nullptr))) return 1;
    if (!StartProgram()) {
        std::printf("bench_home: no graphics device or window (a display is needed)\n");
        return 1;
    }
    SetWindowPos(gMainWindow, nullptr, 40, 40, WindowWidth, WindowHeight, SWP_NOZORDER);
    // The opening animation and the panel's width settle first.
    const double deadline = NowMs() + 10000;
    while ((gWindowReady != 1 || gDrawingZoom != 1.0) && NowMs() < deadline) Pump(50);
    Pump(500);
    if (!gDeviceContext || gWindowReady != 1) {
        std::printf("bench_home: the window never drew its first frame\n");
        return 1;
    }
    // A track playing: title rows, times and the pause bars as a load leaves them.
    gTrackTitle = "Bench Song";
    gTrackArtist = "Tamber";
    gTrackAlbum = "Benchmarks";
    gIsPlaying = 1;
    gPositionText = "5:01";
    gLengthText = "10:00";
    gTrackLengthSeconds = 600;
    gProgressWidth = 300;
    // The goal compares the first two. The others split the difference
    // between the list and the lyric; 20 rows fill the panel as 10,000 do.
    std::vector<Case> cases = {
        {"10 rows, 10 lines", 10, 10, 0, {}, {}, 0, {}, {}, {}},
        {"10,000 rows, 300 lines", 10000, 300, 0, {}, {}, 0, {}, {}, {}},
        {"10,000 rows, 10 lines", 10000, 10, 0, {}, {}, 0, {}, {}, {}},
        {"10 rows, 300 lines", 10, 300, 0, {}, {}, 0, {}, {}, {}},
        {"20 rows, 10 lines", 20, 10, 0, {}, {}, 0, {}, {}, {}},
        {"10,000 rows from row 5,000, 300 lines", 10000, 300, 5000, {}, {}, 0, {}, {}, {}},
    };
    // Rounds in turn, so that a busy machine slows every case alike.
    for (int round = 0; round < Rounds; ++round) {
        for (Case& c : cases) RunRound(c);
    }
    std::printf("home page %d x %d DIPs, current lyric line in the middle; %d frames per case:\n"
                "  median time of a whole frame, and the process's CPU time per frame (every thread);\n"
                "  then the median time of the partial frames a scroll step, a play-bar tick and a hover give\n",
                gClientWidth, gClientHeight, Rounds * FramesPerRound);
    for (const Case& c : cases) Report(c);
    const double ratio = Median(cases[1].FrameMs) / Median(cases[0].FrameMs);
    const double cpuRatio = CpuPerFrame(cases[1]) / CpuPerFrame(cases[0]);
    const auto verdict = [](double r) { return r <= 1.2 ? "met" : "missed"; };
    std::printf("10,000 / 300 against 10 / 10: time %.2f (goal within 1.20: %s), CPU %.2f (%s)\n", ratio,
                verdict(ratio), cpuRatio, verdict(cpuRatio));
    ProfilePrimitives();

    gIsPlaying = 0;
    DestroyWindow(gMainWindow);
    ReleaseGraphicsState();
    OleUninitialize();
    return 0;
}
