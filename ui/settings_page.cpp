// The settings page: the two-item list (appearance, about) and the card with
// the selected item's content. Stores the rectangles the input hit-tests.
#include "graphics/graphics_device.h"
#include "ui/backdrop.h"
#include "ui/cover_art.h"
#include "ui/frame.h"
#include "ui/pages.h"
#include "ui/text_formats.h"
#include "ui/ui_state.h"

#include <string>

// The build passes both; a tree configured without them still compiles.
#ifndef TAMBER_VERSION
#define TAMBER_VERSION "?"
#endif
#ifndef TAMBER_COMMIT_DATE
#define TAMBER_COMMIT_DATE "unknown"
#endif

namespace {

// Program text (UTF-8).
constexpr const char* SettingsTitle = "\xE8\xAE\xBE\xE7\xBD\xAE";             // 设置
constexpr const char* AppearanceText = "\xE5\xA4\x96\xE8\xA7\x82\xE8\xAE\xBE\xE7\xBD\xAE";  // 外观设置
constexpr const char* AboutText = "\xE5\x85\xB3\xE4\xBA\x8E";                 // 关于
constexpr const char* ThemeText = "\xE4\xB8\xBB\xE9\xA2\x98";                 // 主题
constexpr const char* BackgroundText = "\xE8\x83\x8C\xE6\x99\xAF";            // 背景
constexpr const char* MaterialText = "\xE8\x83\x8C\xE6\x99\xAF\xE6\x9D\x90\xE6\x96\x99";  // 背景材料
constexpr const char* ProductName = "Tamber Player";
// 版本 <version>，构建 <commit date>
const std::string VersionLine =
    std::string("\xE7\x89\x88\xE6\x9C\xAC ") + TAMBER_VERSION + "\xEF\xBC\x8C\xE6\x9E\x84\xE5\xBB\xBA " + TAMBER_COMMIT_DATE;
// 歌词解析：lyrisk 歌词库
constexpr const char* LyricsCredit = "\xE6\xAD\x8C\xE8\xAF\x8D\xE8\xA7\xA3\xE6\x9E\x90\xEF\xBC\x9Alyrisk \xE6\xAD\x8C\xE8\xAF\x8D\xE5\xBA\x93";
// 音频播放：BASS 接口音频库
constexpr const char* AudioCredit =
    "\xE9\x9F\xB3\xE9\xA2\x91\xE6\x92\xAD\xE6\x94\xBE\xEF\xBC\x9A"
    "BASS \xE6\x8E\xA5\xE5\x8F\xA3\xE9\x9F\xB3\xE9\xA2\x91\xE5\xBA\x93";

constexpr uint32_t Black = 0x000000;
constexpr uint32_t White = 0xFFFFFF;

void Fill(const D2D1_RECT_F& rect, float radius, uint32_t rgb, float alpha) {
    gSharedBrush.SetColor(MakeD2DColour(rgb, alpha, true));
    gDeviceContext.FillRoundedRectangle(D2D1_ROUNDED_RECT{rect, radius, radius}, gSharedBrush.Get());
}

void Outline(const D2D1_RECT_F& rect, float radius, uint32_t rgb, float alpha) {
    gSharedBrush.SetColor(MakeD2DColour(rgb, alpha, true));
    gDeviceContext.DrawRoundedRectangle(D2D1_ROUNDED_RECT{rect, radius, radius}, gSharedBrush.Get());
}

void Text(const char* text, TextFormatLayer& format, const D2D1_RECT_F& rect) {
    gSharedBrush.SetColor(MakeD2DColour(Black));
    gDeviceContext.DrawText(text, format.Get(), rect, gSharedBrush.Get());
}

void Bitmap(IconId id, const D2D1_RECT_F& rect) {
    BitmapLayer& bitmap = IconBitmap(id);
    if (bitmap) gDeviceContext.DrawBitmap(bitmap.Get(), rect);
}

D2D1_RECT_F TextRectOf(const D2D1_RECT_F& rect) { return {rect.left + 32, rect.top, rect.right, rect.bottom}; }

void HoverFill(const D2D1_RECT_F& rect, int hovered, int pressed) {
    if (hovered == 1) Fill(rect, 6, Black, pressed == 1 ? 0.2f : 0.1f);
}

void Card(float x, float w, float h) {
    Fill({x + 32, 48, w - 32, h - 32}, 6, White, 0.7f);
    Outline({x + 31.5f, 47.5f, w - 31.5f, h - 31.5f}, 7, Black, 0.1f);
}

void Entry(const D2D1_RECT_F& rect, const char* text, int hovered, int pressed) {
    if (hovered == 1) {
        Fill(rect, 6, pressed == 1 ? White : Black, 0.1f);
    } else {
        Fill(rect, 6, White, 0.5f);
    }
    Outline({rect.left - 0.5f, rect.top - 0.5f, rect.right + 0.5f, rect.bottom + 0.5f}, 7, Black, 0.1f);
    Text(text, gBodyFormat, TextRectOf(rect));
}

void BackButton(const LayoutInputs& layout) {
    const D2D1_RECT_F square = ToD2D(DrawnRect(Region::Back, layout));
    HoverFill(square, gHoverBack, gPressedBack);
    Bitmap(IconId::ArrowLeft, square);
}

// Every option shows its ring; the chosen one's disc is accent with a white centre.
void RadioOption(const FloatRect& disc, bool chosen) {
    Outline(ToD2D(Grown(disc, 0.5f)), 11, Black, 0.1f);
    if (!chosen) return;
    gSharedBrush.SetColor(MakeD2DColour(AccentColour()));
    gDeviceContext.FillRoundedRectangle(D2D1_ROUNDED_RECT{ToD2D(disc), 10, 10}, gSharedBrush.Get());
    Fill(ToD2D(Grown(disc, -5)), 10, White, 1.0f);
}

void DrawAppearanceSection(const LayoutInputs& layout, float x, float w, float h) {
    Fill(gAppearanceItemRect, 6, Black, 0.1f);
    Card(x, w, h);
    if (gAppearanceView == OverviewView) {
        Text(AppearanceText, gSectionTitleFormat, {x + 48, 48, w - 32, 80});
        gThemeEntryRect = ToD2D(DrawnRect(Region::ThemeEntry, layout));
        gBackgroundEntryRect = ToD2D(DrawnRect(Region::BackgroundEntry, layout));
        Entry(gThemeEntryRect, ThemeText, gHoverTheme, gPressedTheme);
        Entry(gBackgroundEntryRect, BackgroundText, gHoverBackground, gPressedBackground);
    } else if (gAppearanceView == ThemeView) {
        Text(ThemeText, gSectionTitleFormat, {x + 83, 48, w - 32, 80});
        BackButton(layout);
    } else if (gAppearanceView == BackgroundView) {
        Text(BackgroundText, gSectionTitleFormat, {x + 83, 48, w - 32, 80});
        BackButton(layout);
        Text(MaterialText, gBodyFormat, {x + 48, 80, w, 112});
        Text("Acrylic", gCaptionFormat, {x + 80, 112, w, 136});
        Text("Mica", gCaptionFormat, {x + 80, 136, w, 160});
        RadioOption(DrawnRect(Region::MicaOption, layout), gBackdrop == BackdropMica);
        RadioOption(DrawnRect(Region::AcrylicOption, layout), gBackdrop == BackdropAcrylic);
    }
}

void DrawAboutSection(float x, float w, float h) {
    Fill(gAboutItemRect, 6, Black, 0.1f);
    Card(x, w, h);
    Text(AboutText, gSectionTitleFormat, {x + 48, 48, w - 32, 80});
    Bitmap(IconId::TamberLogo, {x + 48, 88, x + 80, 120});
    Text(ProductName, gSectionTitleFormat, {x + 96, 88, w - 32, 104});
    Text(VersionLine.c_str(), gCaptionFormat, {x + 96, 104, w - 32, 120});
    Text(LyricsCredit, gCaptionFormat, {x + 48, 136, w - 32, 156});
    Text(AudioCredit, gCaptionFormat, {x + 48, 156, w - 32, 176});
}

}  // namespace

void DrawSettingsPage() {
    const float w = static_cast<float>(gClientWidth);
    const float h = static_cast<float>(gClientHeight);
    const float n = static_cast<float>(gNavBarWidth);

    const LayoutInputs layout = CurrentLayout();

    Text(SettingsTitle, gPageTitleFormat, {n + 16, 16, w - 32 - n, 48});
    gAppearanceItemRect = ToD2D(DrawnRect(Region::AppearanceItem, layout));
    gAboutItemRect = ToD2D(DrawnRect(Region::AboutItem, layout));
    Text(AppearanceText, gBodyFormat, TextRectOf(gAppearanceItemRect));
    Text(AboutText, gBodyFormat, TextRectOf(gAboutItemRect));
    HoverFill(gAppearanceItemRect, gHoverAppearance, gPressedAppearance);
    HoverFill(gAboutItemRect, gHoverAbout, gPressedAbout);

    const float x = gAppearanceItemRect.right;
    if (gSettingsSection == AppearanceSection) DrawAppearanceSection(layout, x, w, h);
    if (gSettingsSection == AboutSection) DrawAboutSection(x, w, h);
}
