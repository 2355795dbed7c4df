// The now-playing view: blurred cover background, veil, title rows, progress
// bar and times, the cover with its halo, the lyrics and the four buttons;
// then, after the song-list panel, the volume popup. Every rectangle comes
// from the region table (ui/input_regions.h).
#include "ui/now_playing.h"

#include "lyrics/lyric_lines.h"
#include "platform/win32/dll_binding.h"
#include "playback/player_state.h"
#include "ui/backdrop.h"
#include "ui/cover_art.h"
#include "ui/display_scale.h"
#include "ui/frame.h"
#include "ui/drawing.h"
#include "ui/home_input.h"
#include "ui/home_view.h"
#include "ui/pages.h"
#include "ui/report_error.h"
#include "ui/text_formats.h"

#include <algorithm>
#include <optional>
#include <vector>
#include <cmath>
#include <string>

namespace {

constexpr double Tolerance = 1e-7;
constexpr float ButtonRadius = 6;
constexpr float LyricLayoutMaxHeight = 100;
constexpr float LyricInset = 16;
constexpr float LyricLineGap = 32;
constexpr float OtherLyricAlpha = 0.65f;

DllLibrary gD2d1Library("D2d1.dll", DllLocation::SystemFolder);
DllFunction<void(WINAPI*)(FLOAT, D2D1_POINT_2F, D2D1_MATRIX_3X2_F*)> gMakeRotateMatrix(gD2d1Library,
                                                                                       "D2D1MakeRotateMatrix");

D2D1_MATRIX_3X2_F Identity() { return D2D1_MATRIX_3X2_F{1, 0, 0, 1, 0, 0}; }

// Scale about the origin, then a move to (dx, dy).
D2D1_MATRIX_3X2_F ScaleThenMove(double s, double dx, double dy) {
    const float f = static_cast<float>(s);
    return D2D1_MATRIX_3X2_F{f, 0, 0, f, static_cast<float>(dx), static_cast<float>(dy)};
}

// A 1-DIP bar turned by degrees about a point; the transform is put back to
// a rotation by 0 afterwards.
void RotatedBar(const FloatRect& bar, float degrees, float cx, float cy) {
    D2D1_MATRIX_3X2_F m = Identity();
    gMakeRotateMatrix(degrees, D2D1_POINT_2F{cx, cy}, &m);
    gDeviceContext.SetTransform(m);
    FillBar(bar, BlackRgb, 1.0f);
    gMakeRotateMatrix(0.0f, D2D1_POINT_2F{0, 0}, &m);
    gDeviceContext.SetTransform(m);
}

FloatRect At(const FloatRect& square, float l, float t, float r, float b) {
    return FloatRect{square.Left + l, square.Top + t, square.Left + r, square.Top + b};
}

void ButtonBackground(const FloatRect& square, int hovered, int pressed) {
    if (hovered == 1) FillRounded(square, ButtonRadius, BlackRgb, pressed == 1 ? 0.2f : 0.1f);
}

void PlayPauseButton(const LayoutInputs& layout) {
    const FloatRect sq = DrawnRect(Region::Play, layout);
    ButtonBackground(sq, gHoverPlay, gPressedPlay);
    if (gIsPlaying == 1) {
        FillBar(At(sq, 11, 7, 12, 24), BlackRgb, 1.0f);
        FillBar(At(sq, 18, 7, 19, 24), BlackRgb, 1.0f);
        return;
    }
    FillBar(At(sq, 8, 7, 9, 24), BlackRgb, 1.0f);
    const FloatRect chevron = At(sq, 7, 15, 23, 16);
    RotatedBar(chevron, 30, sq.Left + 23, sq.Top + 15);
    RotatedBar(chevron, -30, sq.Left + 23, sq.Top + 15);
}

// Previous and next: a triangle outline, two chevron bars turned about its
// tip, against two vertical bars.
void StepButton(const FloatRect& sq, int hovered, int pressed, float innerBarX, float tipX, float outerBarX) {
    ButtonBackground(sq, hovered, pressed);
    FillBar(At(sq, innerBarX, 8, innerBarX + 1, 23), BlackRgb, 1.0f);
    const FloatRect chevron = At(sq, 8, 15, 22, 16);
    RotatedBar(chevron, 30, sq.Left + tipX, sq.Top + 15);
    RotatedBar(chevron, -30, sq.Left + tipX, sq.Top + 15);
    FillBar(At(sq, outerBarX, 7, outerBarX + 1, 24), BlackRgb, 1.0f);
}

void PreviousButton(const LayoutInputs& layout) {
    StepButton(DrawnRect(Region::Previous, layout), gHoverPrevious, gPressedPrevious, 20, 8, 7);
}

void NextButton(const LayoutInputs& layout) {
    StepButton(DrawnRect(Region::Next, layout), gHoverNext, gPressedNext, 9, 22, 22);
}

void VolumeButton(const LayoutInputs& layout) {
    const FloatRect sq = DrawnRect(Region::Volume, layout);
    ButtonBackground(sq, gHoverVolume, gPressedVolume);
    FillBar(At(sq, 9, 11, 10, 18), BlackRgb, 1.0f);
    FillBar(At(sq, 12, 11, 13, 18), BlackRgb, 1.0f);
    FillBar(At(sq, 9, 11, 12, 12), BlackRgb, 1.0f);
    FillBar(At(sq, 9, 17, 12, 18), BlackRgb, 1.0f);
    RotatedBar(At(sq, 13, 5.5f, 22, 6.5f), -30, sq.Left + 23, sq.Top + 10);
    RotatedBar(At(sq, 13, 22.5f, 22, 23.5f), 30, sq.Left + 23, sq.Top + 18);
    FillBar(At(sq, 19, 7, 20, 22), BlackRgb, 1.0f);
}

// The cover's blur: the effect where the system has one, else the bitmap
// blurred on the CPU, laid where the effect's output lies (a soft border's
// output reaches margin pixels past the cover on every side).
void DrawCoverBlur(EffectLayer& effect, BitmapLayer& blurred, float margin, D2D1_POINT_2F offset) {
    if (effect) {
        gDeviceContext.DrawEffect(effect, &offset);
        return;
    }
    if (!blurred) return;
    const D2D1_SIZE_U size = blurred->GetPixelSize();
    const float left = offset.x - margin;
    const float top = offset.y - margin;
    gDeviceContext.DrawBitmap(blurred.Get(), D2D1_RECT_F{left, top, left + size.width, top + size.height});
}

void Background(const LayoutInputs& layout) {
    const double w = layout.ClientWidth;
    const double h = layout.ClientHeight;
    const double p = layout.ListPanelWidth;
    gDeviceContext.PushAxisAlignedClip(D2D1_RECT_F{0, 0, static_cast<float>(w - p), static_cast<float>(h)},
                                       D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    if (gCoverBitmap) {
        const double longer = (w - p) - h > Tolerance ? w - p : h;
        const double s = 1.1 * longer / CoverThumbnailSize * layout.DpiScale;
        gDeviceContext.SetTransform(ScaleThenMove(s, 0, 0));
        const D2D1_POINT_2F offset{-25, -25};
        DrawCoverBlur(gBackgroundBlur, gBackgroundBlurBitmap, 0, offset);
        gDeviceContext.SetTransform(Identity());
    }
    gDeviceContext.PopAxisAlignedClip();
}

void TitleRows(const LayoutInputs& layout) {
    const float right = static_cast<float>(layout.ClientWidth - 32 - layout.NavBarWidth);
    const float left = static_cast<float>(layout.NavBarWidth + 16);
    if (!gTrackTitle.empty()) DrawProgramText(gTrackTitle, gTitleFormat, {left, 16, right, 48}, BlackRgb, 1.0f);
    if (!gTrackArtist.empty()) DrawProgramText(gTrackArtist, gBodyFormat, {left, 48, right, 80}, BlackRgb, 0.6f);
    if (!gTrackAlbum.empty()) DrawProgramText(gTrackAlbum, gBodyFormat, {left, 80, right, 112}, BlackRgb, 0.6f);
}

void ProgressBar(const LayoutInputs& layout) {
    const ProgressBarShape bar = ShapeProgressBar(layout, gProgressWidth, gHoverProgress == 1);
    FillRounded(bar.Track, bar.Radius, BlackRgb, 0.2f);
    FillRounded(bar.Filled, bar.Radius, AccentColour(), 1.0f);
    if (!bar.HasThumb) return;
    FillRounded(bar.Thumb, 5, WhiteRgb, 1.0f);
    FillRounded(bar.ThumbCentre, 2, AccentColour(), 1.0f);
    OutlineRounded(bar.ThumbOutline, 6, BlackRgb, 0.1f);
}

void Times(const LayoutInputs& layout) {
    const float w = static_cast<float>(layout.ClientWidth);
    const float h = static_cast<float>(layout.ClientHeight);
    const float p = static_cast<float>(layout.ListPanelWidth);
    const float n = static_cast<float>(layout.NavBarWidth);
    gSmallFormat.SetTextAlignment(DWRITE_TEXT_ALIGNMENT_TRAILING);
    DrawProgramText(gLengthText, gSmallFormat, {w - 178 - p, h - 96, w - 64 - p, h - 64}, BlackRgb, 0.6f);
    gSmallFormat.SetTextAlignment(DWRITE_TEXT_ALIGNMENT_LEADING);
    DrawProgramText(gPositionText, gSmallFormat, {n + 64, h - 96, n + 114, h - 64}, BlackRgb, 0.6f);
}

void Cover(const LayoutInputs& layout) {
    if (!gCoverBitmap) return;
    const CoverPlacement placement = PlaceCover(layout);
    gLyricsArea = ToD2D(placement.LyricsArea);
    // The halo spreads about three deviations of the 500-pixel bitmap.
    const float side = static_cast<float>(CoverThumbnailSize * placement.Scale);
    const float halo = static_cast<float>(3 * CoverShadowBlurDeviation * placement.Scale * layout.DpiScale) + 2;
    const float x = static_cast<float>(placement.OriginX);
    const float y = static_cast<float>(placement.OriginY);
    if (!FrameReaches(Grown(FloatRect{x, y, x + side, y + side}, halo))) return;
    // The halo is drawn in pixels of the 500-pixel bitmap, the cover in DIPs.
    gDeviceContext.SetTransform(ScaleThenMove(placement.Scale * layout.DpiScale, placement.OriginX, placement.OriginY));
    const D2D1_POINT_2F origin{0, 0};
    DrawCoverBlur(gCoverShadowBlur, gCoverShadowBitmap, static_cast<float>(CoverShadowBlurMargin), origin);
    gDeviceContext.SetTransform(ScaleThenMove(placement.Scale, placement.OriginX, placement.OriginY));
    const float size = static_cast<float>(CoverThumbnailSize);
    if (gCoverBrush) {
        gDeviceContext.FillRoundedRectangle(D2D1_ROUNDED_RECT{{0, 0, size, size}, 50, 50}, gCoverBrush.Get());
    }
    gDeviceContext.SetTransform(Identity());
}

// --- lyrics ------------------------------------------------------------------

// What the layouts of one line were built from, so that a frame rebuilds them
// only when the text (a new line object), the format or the width changed.
struct LineLayoutCache {
    const void* Main = nullptr;
    const void* Second = nullptr;
    LyricLayoutKey Key;
    float MainHeight = 0;
    float SecondHeight = 0;
};

std::vector<LineLayoutCache> gLayoutCache;

IDWriteTextLayout* AsLayout(const std::shared_ptr<void>& layout) { return static_cast<IDWriteTextLayout*>(layout.get()); }

float LayoutHeight(IDWriteTextLayout* layout) {
    if (!layout) return 0;
    DWRITE_TEXT_METRICS metrics{};
    if (FAILED(layout->GetMetrics(&metrics))) return 0;
    return metrics.height;
}

std::shared_ptr<void> MakeLayout(const std::u16string& text, TextFormatLayer& format, float width, bool current,
                                 bool second) {
    TextLayoutLayer layout;
    if (!gDWriteFactory.CreateTextLayout(reinterpret_cast<const wchar_t*>(text.c_str()), format.Get(), width,
                                         LyricLayoutMaxHeight, layout)) {
        const std::string detail = std::to_string(static_cast<long>(gDWriteFactory.LastResult()));
        ReportError(ReportLevelError, current && second ? "TextLayoutCreateFailedT" : "TextLayoutCreateFailed",
                    detail.c_str(), "Lyrics");
        return {};
    }
    return std::shared_ptr<void>(layout.Detach(), [](void* p) { static_cast<IDWriteTextLayout*>(p)->Release(); });
}

void RebuildIfChanged(LyricLine& line, LineLayoutCache& cache, bool isLast, bool current, float width) {
    // Built by this view and still held by the line: a new track brings new lines.
    cache.Key.Built = line.MainLayout && line.SecondLayout && cache.Main == line.MainLayout.get() &&
                      cache.Second == line.SecondLayout.get();
    if (!LyricLayoutsStale(cache.Key, current, width)) return;
    // The last line shows its second text in the main layout.
    const std::u16string& mainText = isLast ? line.SecondText : line.FirstText;
    const std::u16string& secondText = isLast ? line.FirstText : line.SecondText;
    line.MainLayout.reset();
    line.SecondLayout.reset();
    line.MainLayout = MakeLayout(mainText, current ? gLyricMainCurrentFormat : gLyricMainFormat, width, current, false);
    line.SecondLayout =
        MakeLayout(secondText, current ? gLyricSecondCurrentFormat : gLyricSecondFormat, width, current, true);
    cache.Main = line.MainLayout.get();
    cache.Second = line.SecondLayout.get();
    cache.Key = {line.MainLayout && line.SecondLayout, current, width};
    cache.MainHeight = LayoutHeight(AsLayout(line.MainLayout));
    cache.SecondHeight = LayoutHeight(AsLayout(line.SecondLayout));
}

// The lines a frame shows, with their layouts brought up to date first:
// every line's heights place the lines below it, and the lyric timing
// measures them.
struct PlacedLine {
    size_t Index = 0;
    float X = 0;  // origin of the main layout, DIPs
    float Y = 0;
    float MainHeight = 0;
    bool Current = false;
};

std::vector<PlacedLine> PlaceLines(const D2D1_RECT_F& area) {
    std::vector<PlacedLine> placed;
    const float width = (area.right - LyricInset) - (area.left + LyricInset);
    const size_t count = gLyricLines.size();
    gLayoutCache.resize(count);
    if (width > Tolerance) {
        for (size_t i = 0; i < count; ++i) {
            RebuildIfChanged(gLyricLines[i], gLayoutCache[i], i + 1 == count,
                             static_cast<int>(i + 1) == gCurrentLyricIndex, width);
        }
    }
    const float firstHeight = count > 0 && gLyricLines[0].MainLayout ? gLayoutCache[0].MainHeight : 0;
    double acc = 0;
    for (size_t i = 0; i < count; ++i) {
        const LyricLine& line = gLyricLines[i];
        if (!line.MainLayout || !line.SecondLayout) continue;
        const LineLayoutCache& cache = gLayoutCache[i];
        const float hM = cache.MainHeight;
        const float hS = cache.SecondHeight;
        acc += hM + hS + LyricLineGap;
        const float y = static_cast<float>(area.top + acc + LyricInset - gLyricScrollOffset - firstHeight);
        if (!LyricLineVisible(y, hM, hS, area.top, area.bottom)) continue;
        placed.push_back({i, area.left + LyricInset, y, hM, static_cast<int>(i + 1) == gCurrentLyricIndex});
    }
    return placed;
}

// --- line bitmaps --------------------------------------------------------------
//
// Each line is drawn once per look (the current line's, the other lines') into
// a bitmap of its own at the window's scale, in grayscale (ClearType cannot be
// drawn into a transparent bitmap), and a frame draws the bitmap pixel for
// pixel where the text would go. Text baselines are snapped to whole pixels,
// so one bitmap serves every position at which the line's baselines snap
// alike (CachedLineTop); a line whose rows snap apart at some positions gets a
// second or third bitmap for those.

constexpr float LineBitmapPad = 6;        // DIPs around the text's box: glyphs reach past it
constexpr int LineBitmapMaxSide = 4096;   // pixels; a larger line is drawn as text
constexpr size_t LineBitmapVariants = 4;  // per look
constexpr size_t LineBitmapReach = 12;    // lines beyond those on screen that keep their bitmaps

struct LineBitmap {
    TargetBitmapLayer Bitmap;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    double CreatedY = 0;  // the line's origin row when it was drawn, pixels
};

// One look of one line: what it was drawn from and its bitmaps.
struct LineLook {
    bool Known = false;
    std::u16string MainText, SecondText;
    float Width = 0;
    double OriginX = 0;  // pixels
    double Scale = 0;
    std::vector<double> Baselines;  // pixels below the origin
    FloatRect Box;                  // DIPs from the origin, padded
    std::vector<LineBitmap> Bitmaps;
};

struct LineBitmaps {
    LineLook Looks[2];  // other, current
};

std::vector<LineBitmaps> gLineBitmaps;

bool LinesCached() { return gDrawingZoom == 1.0 && !DrawsLinesDirectly(); }

// Baselines of a layout's rows below its origin, DIPs.
void AddBaselines(IDWriteTextLayout* layout, float originY, std::vector<double>& out, FloatRect& box, bool& any) {
    DWRITE_TEXT_METRICS metrics{};
    if (!layout || FAILED(layout->GetMetrics(&metrics))) return;
    std::vector<DWRITE_LINE_METRICS> lines(std::min<UINT32>(metrics.lineCount, 4096));
    UINT32 count = 0;
    if (!lines.empty() && SUCCEEDED(layout->GetLineMetrics(lines.data(), static_cast<UINT32>(lines.size()), &count))) {
        double row = originY + metrics.top;
        for (UINT32 k = 0; k < count && k < lines.size(); ++k) {
            out.push_back(row + lines[k].baseline);
            row += lines[k].height;
        }
    }
    const FloatRect ink{metrics.left, originY + metrics.top, metrics.left + metrics.widthIncludingTrailingWhitespace,
                        originY + metrics.top + metrics.height};
    if (!any) {
        box = ink;
        any = true;
        return;
    }
    box = FloatRect{std::min(box.Left, ink.Left), std::min(box.Top, ink.Top), std::max(box.Right, ink.Right),
                    std::max(box.Bottom, ink.Bottom)};
}

// The look's record, emptied when what it was drawn from changed.
LineLook& LookOf(size_t index, const PlacedLine& p, double scale) {
    gLineBitmaps.resize(gLyricLines.size());
    const LyricLine& line = gLyricLines[index];
    const bool isLast = index + 1 == gLyricLines.size();
    const std::u16string& mainText = isLast ? line.SecondText : line.FirstText;
    const std::u16string& secondText = isLast ? line.FirstText : line.SecondText;
    LineLook& look = gLineBitmaps[index].Looks[p.Current ? 1 : 0];
    const float width = gLayoutCache[index].Key.Width;
    const double originX = p.X * scale;
    if (look.Known && look.MainText == mainText && look.SecondText == secondText && look.Width == width &&
        look.OriginX == originX && look.Scale == scale) {
        return look;
    }
    look = LineLook{};
    look.Known = true;
    look.MainText = mainText;
    look.SecondText = secondText;
    look.Width = width;
    look.OriginX = originX;
    look.Scale = scale;
    bool any = false;
    std::vector<double> dips;
    AddBaselines(AsLayout(line.MainLayout), 0, dips, look.Box, any);
    AddBaselines(AsLayout(line.SecondLayout), p.MainHeight, dips, look.Box, any);
    for (const double d : dips) look.Baselines.push_back(d * scale);
    look.Box = Grown(look.Box, LineBitmapPad);
    return look;
}

// The bitmap that shows the line at its place, and the pixel where its top
// left corner goes; null when none does yet.
const LineBitmap* FindBitmap(const LineLook& look, double originY, int& left, int& top) {
    for (const LineBitmap& b : look.Bitmaps) {
        const std::optional<int> at = CachedLineTop(look.Baselines, b.CreatedY, b.Top, originY);
        if (!at) continue;
        left = b.Left;
        top = *at;
        return &b;
    }
    return nullptr;
}

void DrawLineText(const LyricLine& line, D2D1_POINT_2F origin, float mainHeight, bool current) {
    SetBrush(BlackRgb, current ? 1.0f : OtherLyricAlpha);
    gDeviceContext.DrawTextLayout(origin, AsLayout(line.MainLayout), gSharedBrush.Get(), D2D1_DRAW_TEXT_OPTIONS_CLIP);
    gDeviceContext.DrawTextLayout({origin.x, origin.y + mainHeight}, AsLayout(line.SecondLayout), gSharedBrush.Get(),
                                  D2D1_DRAW_TEXT_OPTIONS_CLIP);
}

// Makes a target bitmap of this many pixels at the window's scale and runs
// draw into it, outside any BeginDraw of the frame; false when either failed.
template <typename Draw>
bool DrawIntoNewBitmap(int widthPx, int heightPx, double scale, TargetBitmapLayer& out, Draw draw) {
    const float dpi = static_cast<float>(96.0 * scale);
    D2D1_BITMAP_PROPERTIES1 properties{};
    properties.pixelFormat = {TargetFormat, D2D1_ALPHA_MODE_PREMULTIPLIED};
    properties.dpiX = dpi;
    properties.dpiY = dpi;
    properties.bitmapOptions = D2D1_BITMAP_OPTIONS_TARGET;
    const D2D1_SIZE_U size{static_cast<UINT32>(widthPx), static_cast<UINT32>(heightPx)};
    if (!gDeviceContext.CreateBitmap(size, properties, out)) {
        ReportError(ReportLevelError, "BitmapCreateFailed", std::to_string(gDeviceContext.LastResult()).c_str(),
                    "NowPlaying");
        return false;
    }
    ImageLayer previous;
    gDeviceContext.GetTarget(previous);
    gDeviceContext.SetTarget(out.Get());
    gDeviceContext.BeginDraw();
    gDeviceContext.SetDpi(dpi, dpi);
    gDeviceContext.SetTransform(Identity());
    draw();
    gDeviceContext.EndDraw();
    const bool drawn = gDeviceContext.LastResult() == S_OK;
    gDeviceContext.SetTarget(previous.Get());
    return drawn;
}

// Draws the line into a new bitmap of its look, with its origin where it lies
// now; outside any BeginDraw.
void MakeLineBitmap(LineLook& look, const LyricLine& line, const PlacedLine& p, double scale) {
    const double originY = p.Y * scale;
    LineBitmap b;
    b.Left = static_cast<int>(std::floor(look.OriginX + look.Box.Left * scale));
    b.Top = static_cast<int>(std::floor(originY + look.Box.Top * scale));
    b.Width = static_cast<int>(std::ceil(look.OriginX + look.Box.Right * scale)) - b.Left;
    b.Height = static_cast<int>(std::ceil(originY + look.Box.Bottom * scale)) - b.Top;
    b.CreatedY = originY;
    if (b.Width <= 0 || b.Height <= 0 || b.Width > LineBitmapMaxSide || b.Height > LineBitmapMaxSide) return;
    const bool drawn = DrawIntoNewBitmap(b.Width, b.Height, scale, b.Bitmap, [&] {
        gDeviceContext.Clear(D2D1_COLOR_F{0, 0, 0, 0});
        gDeviceContext.SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
        // The origin keeps the fraction of a pixel it has on screen.
        const D2D1_POINT_2F origin{static_cast<float>((look.OriginX - b.Left) / scale),
                                   static_cast<float>((originY - b.Top) / scale)};
        DrawLineText(line, origin, p.MainHeight, p.Current);
        gDeviceContext.SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_DEFAULT);
    });
    if (!drawn) return;
    if (look.Bitmaps.size() >= LineBitmapVariants) look.Bitmaps.erase(look.Bitmaps.begin());
    look.Bitmaps.push_back(std::move(b));
}

// Bitmaps of lines far from those on screen go: a long lyric keeps a few
// screens' worth, not a bitmap per line.
void DropFarBitmaps(const std::vector<PlacedLine>& placed) {
    if (gLineBitmaps.size() > gLyricLines.size()) gLineBitmaps.resize(gLyricLines.size());
    const size_t first = placed.empty() ? 0 : placed.front().Index;
    const size_t last = placed.empty() ? 0 : placed.back().Index;
    for (size_t i = 0; i < gLineBitmaps.size(); ++i) {
        if (!placed.empty() && i + LineBitmapReach >= first && i <= last + LineBitmapReach) continue;
        for (LineLook& look : gLineBitmaps[i].Looks) look.Bitmaps.clear();
    }
}

void Lyrics() {
    const D2D1_RECT_F area = gLyricsArea;
    const std::vector<PlacedLine> placed = PlaceLines(area);
    if (!FrameReaches(ToFloatRect(area))) return;
    gDeviceContext.PushAxisAlignedClip(area, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    const bool cached = LinesCached();
    const double scale = DpiScale();
    for (const PlacedLine& p : placed) {
        const LyricLine& line = gLyricLines[p.Index];
        const LineLayoutCache& cache = gLayoutCache[p.Index];
        // Centred text taller than its box reaches past it.
        const float reach = std::max(cache.MainHeight, cache.SecondHeight) + 2;
        if (!FrameReaches({area.left, p.Y - reach, area.right, p.Y + p.MainHeight + LyricLayoutMaxHeight + reach})) {
            continue;
        }
        int left = 0;
        int top = 0;
        const LineBitmap* b = cached ? FindBitmap(LookOf(p.Index, p, scale), p.Y * scale, left, top) : nullptr;
        if (!b) {
            DrawLineText(line, {p.X, p.Y}, p.MainHeight, p.Current);
            continue;
        }
        const D2D1_RECT_F to{static_cast<float>(left / scale), static_cast<float>(top / scale),
                             static_cast<float>((left + b->Width) / scale),
                             static_cast<float>((top + b->Height) / scale)};
        gDeviceContext.DrawBitmap(b->Bitmap.Get(), to, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR);
    }
    gDeviceContext.PopAxisAlignedClip();
}

}  // namespace

std::vector<LyricLineMeasure> MeasureLyricLayouts() {
    std::vector<LyricLineMeasure> measures;
    measures.reserve(gLyricLines.size());
    for (const LyricLine& line : gLyricLines) {
        LyricLineMeasure m;
        m.Time = line.Time;
        m.Duration = line.Duration;
        m.MainHeight = LayoutHeight(AsLayout(line.MainLayout));
        m.SecondHeight = LayoutHeight(AsLayout(line.SecondLayout));
        measures.push_back(m);
    }
    return measures;
}

// --- the composed background ------------------------------------------------
//
// The blurred cover and the veil over it do not move while the lyrics scroll:
// they are composed once into a bitmap of the now-playing area, over the
// colour the frame clears to, and each frame restores them with one copy.

struct BackgroundKey {
    int WidthPx = 0;
    int HeightPx = 0;
    double Width = 0;
    double Height = 0;
    double Scale = 0;
    const void* Cover = nullptr;
    const void* Blur = nullptr;
    const void* BlurBitmap = nullptr;
    bool Backdrop = false;
    bool operator==(const BackgroundKey&) const = default;
};

TargetBitmapLayer gBackgroundBitmap;
BackgroundKey gBackgroundKey;

FloatRect NowPlayingArea(const LayoutInputs& layout) {
    return FloatRect{0, 0, static_cast<float>(layout.ClientWidth - layout.ListPanelWidth),
                     static_cast<float>(layout.ClientHeight)};
}

BackgroundKey CurrentBackgroundKey(const LayoutInputs& layout, double scale) {
    const FloatRect area = NowPlayingArea(layout);
    BackgroundKey key;
    key.Width = area.Right;
    key.Height = area.Bottom;
    key.WidthPx = static_cast<int>(std::ceil(area.Right * scale));
    key.HeightPx = static_cast<int>(std::ceil(area.Bottom * scale));
    key.Scale = scale;
    key.Cover = gCoverBitmap.Get();
    key.Blur = gBackgroundBlur.Get();
    key.BlurBitmap = gBackgroundBlurBitmap.Get();
    key.Backdrop = gSystemBackdropApplied;
    return key;
}

void ComposeBackground(const LayoutInputs& layout, double scale) {
    const BackgroundKey key = CurrentBackgroundKey(layout, scale);
    if (gBackgroundBitmap && key == gBackgroundKey) return;
    gBackgroundBitmap.Release();
    gBackgroundKey = BackgroundKey{};
    if (key.WidthPx <= 0 || key.HeightPx <= 0) return;
    TargetBitmapLayer bitmap;
    const bool drawn = DrawIntoNewBitmap(key.WidthPx, key.HeightPx, scale, bitmap, [&] {
        gDeviceContext.Clear(FrameClearColour());
        Background(layout);
        // The veil covers the now-playing area, cover or not; the panel strip has none.
        FillBar(NowPlayingArea(layout), WhiteRgb, 0.5f);
    });
    if (!drawn) return;
    gBackgroundBitmap = std::move(bitmap);
    gBackgroundKey = key;
}

bool BackgroundComposed(const LayoutInputs& layout) {
    return LinesCached() && gBackgroundBitmap && CurrentBackgroundKey(layout, DpiScale()) == gBackgroundKey;
}

void PrepareNowPlaying() {
    if (!gDeviceContext || gWindowReady != 1 || gCurrentPage != HomePage || !LinesCached()) return;
    ComposeBackground(CurrentLayout(), DpiScale());
    // The lyrics area as this frame's cover step will choose it.
    if (gCoverBitmap) gLyricsArea = ToD2D(PlaceCover(CurrentLayout()).LyricsArea);
    const std::vector<PlacedLine> placed = PlaceLines(gLyricsArea);
    const double scale = DpiScale();
    for (const PlacedLine& p : placed) {
        LineLook& look = LookOf(p.Index, p, scale);
        int left = 0;
        int top = 0;
        if (!FindBitmap(look, p.Y * scale, left, top)) MakeLineBitmap(look, gLyricLines[p.Index], p, scale);
    }
    DropFarBitmaps(placed);
}

void ReleaseLineBitmaps() {
    gLineBitmaps.clear();
    gBackgroundBitmap.Release();
    gBackgroundKey = BackgroundKey{};
}

FloatRect NowPlayingRestoredArea() {
    if (gCurrentPage != HomePage || gWindowReady != 1 || gSystemBackdropApplied) return {};
    const LayoutInputs layout = CurrentLayout();
    if (!BackgroundComposed(layout)) return {};
    // Restored pixel for pixel only where the area ends on whole pixels.
    const double scale = DpiScale();
    const FloatRect area = NowPlayingArea(layout);
    if (area.Right * scale != std::floor(area.Right * scale) || area.Bottom * scale != std::floor(area.Bottom * scale)) {
        return {};
    }
    return area;
}

void DrawNowPlaying() {
    const LayoutInputs layout = CurrentLayout();
    const FloatRect area{0, 0, static_cast<float>(layout.ClientWidth - layout.ListPanelWidth),
                         static_cast<float>(layout.ClientHeight)};
    if (FrameReaches(area)) {
        if (BackgroundComposed(layout)) {
            const double scale = DpiScale();
            const D2D1_RECT_F to{0, 0, static_cast<float>(gBackgroundKey.WidthPx / scale),
                                 static_cast<float>(gBackgroundKey.HeightPx / scale)};
            gDeviceContext.DrawBitmap(gBackgroundBitmap.Get(), to, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR);
        } else {
            Background(layout);
            // The veil covers the now-playing area, cover or not; the panel strip has none.
            FillBar(area, WhiteRgb, 0.5f);
        }
    }
    // Unclipped texts may run on to the window's right edge.
    if (FrameReaches({static_cast<float>(layout.NavBarWidth + 12), 12, static_cast<float>(layout.ClientWidth), 116})) {
        TitleRows(layout);
    }
    if (FrameReaches(PlayBarArea(layout))) {
        ProgressBar(layout);
        Times(layout);
    }
    Cover(layout);
    Lyrics();
    if (FrameReaches(LookArea(Region::Play, layout))) PlayPauseButton(layout);
    if (FrameReaches(LookArea(Region::Previous, layout))) PreviousButton(layout);
    if (FrameReaches(LookArea(Region::Next, layout))) NextButton(layout);
    if (FrameReaches(LookArea(Region::Volume, layout))) VolumeButton(layout);
}

void DrawVolumePopup() {
    if (gVolumePopupOpen != 1) return;
    const LayoutInputs layout = CurrentLayout();
    if (!FrameReaches(VolumePopupArea(layout))) return;
    const VolumePopupShape popup = ShapeVolumePopup(layout, gVolume);
    const float f = static_cast<float>((VolumePopupRestOffset - layout.VolumePopupOffset) / VolumePopupRestOffset);
    FillRounded(popup.Box, 6, WhiteRgb, f);
    OutlineRounded(popup.Outline, 6, BlackRgb, 0.1f * f);
    FillRounded(popup.Track, 2, BlackRgb, 0.1f * f);
    FillRounded(popup.Level, 2, AccentColour(), f);
}
