// The song-list panel at the right of the home page: the toggle square, the
// two buttons, the card, the heading and the rows, all placed by the region
// table (ui/input_regions.h).
#include "playback/player_state.h"
#include "ui/backdrop.h"
#include "ui/cover_art.h"
#include "ui/drawing.h"
#include "ui/home_view.h"
#include "ui/pages.h"
#include "ui/text_formats.h"

#include <cmath>

namespace {

// Program text (UTF-8).
constexpr const char* OpenFileText = "\xE6\x89\x93\xE5\xBC\x80\xE6\x96\x87\xE4\xBB\xB6";            // 打开文件
constexpr const char* OpenFolderText = "\xE6\x89\x93\xE5\xBC\x80\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9";  // 打开文件夹
constexpr const char* HeadingText = "\xE6\xAD\x8C\xE6\x9B\xB2\xE5\x88\x97\xE8\xA1\xA8";             // 歌曲列表
constexpr const char* EmptyListText = "\xE5\x88\x97\xE8\xA1\xA8\xE4\xB8\xBA\xE7\xA9\xBA";           // 列表为空

void PanelToggle(const LayoutInputs& layout) {
    const FloatRect square = DrawnRect(Region::PanelToggle, layout);
    gPanelToggleRect = ToD2D(square);
    if (!FrameReaches(Grown(square, 1))) return;
    BitmapLayer& arrow =
        IconBitmap(std::fabs(layout.ListPanelWidth) > 1e-7 ? IconId::ArrowLeft : IconId::ArrowRight);
    if (arrow) gDeviceContext.DrawBitmap(arrow.Get(), gPanelToggleRect);
}

void PanelButton(const FloatRect& box, const FloatRect& outline, const char* text, int hovered) {
    if (!FrameReaches(Grown(box, 2))) return;
    FillRounded(box, 6, WhiteRgb, hovered == 1 ? 0.5f : 0.7f);
    OutlineRounded(outline, 7, BlackRgb, hovered == 1 ? 0.15f : 0.1f);
    DrawProgramText(text, gSmallFormat, box, BlackRgb, 1.0f);
}

void Row(int i, const PlaylistEntry& entry, const LayoutInputs& layout) {
    const FloatRect r = SongRowRect(i, layout);
    const bool hovered = entry.Hovered == 1;
    const uint32_t accent = AccentColour();
    FillRounded(r, 6, WhiteRgb, hovered ? 0.5f : 0.9f);
    if (entry.Selected == 1) {
        OutlineRounded(Grown(r, 0.5f), 7, accent, hovered ? 0.55f : 0.5f);
        FillRounded(r, 6, accent, 0.1f);
    } else {
        OutlineRounded(Grown(r, 0.5f), 7, BlackRgb, hovered ? 0.15f : 0.1f);
    }
    const float w = static_cast<float>(layout.ClientWidth);
    const float p = static_cast<float>(layout.ListPanelWidth);
    if (i == gCurrentIndex) FillRounded({w - p + 17, r.Top + 5, w - p + 20, r.Bottom - 5}, 1.5f, accent, 1.0f);
    const float split = w - (p - 32) / 2;
    DrawClippedText(entry.Title, gSmallFormat, {w - p + 24, r.Top, split, r.Bottom}, BlackRgb, 1.0f);
    DrawClippedText(entry.Artist, gSmallFormat, {split + 4, r.Top, w - 72, r.Bottom}, BlackRgb, 1.0f);
    DrawClippedText(entry.DurationText, gSmallFormat, {w - 68, r.Top, w - 24, r.Bottom}, BlackRgb, 1.0f);
}

}  // namespace

void DrawSongListPanel() {
    const LayoutInputs layout = CurrentLayout();
    const float w = static_cast<float>(layout.ClientWidth);
    const float h = static_cast<float>(layout.ClientHeight);
    const float p = static_cast<float>(layout.ListPanelWidth);

    PanelToggle(layout);

    gSmallFormat.SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
    const FloatRect openFile = DrawnRect(Region::OpenFile, layout);
    PanelButton(openFile, Grown(openFile, 0.5f), OpenFileText, gHoverOpenFile);
    // The folder box's outline keeps the box's left edge.
    const FloatRect openFolder = DrawnRect(Region::OpenFolder, layout);
    PanelButton(openFolder, {openFolder.Left, 35.5f, openFolder.Right + 0.5f, 68.5f}, OpenFolderText,
                gHoverOpenFolder);
    gSmallFormat.SetTextAlignment(DWRITE_TEXT_ALIGNMENT_LEADING);

    // Nearly clear while the pointer is over it.
    const FloatRect card = DrawnRect(Region::ListPanel, layout);
    if (!FrameReaches(Grown(card, 2))) return;  // the heading and the rows lie on it
    FillRounded(card, 7, WhiteRgb, gHoverListPanel == 1 ? 0.05f : 0.5f);
    OutlineRounded(Grown(card, 0.5f), 8, BlackRgb, gHoverListPanel == 1 ? 0.1f : 0.05f);
    DrawProgramText(HeadingText, gTitleFormat, {w - p + 32, 80, w, 112}, BlackRgb, 1.0f);

    gDeviceContext.PushAxisAlignedClip(D2D1_RECT_F{w - p, 124, w, h - 8}, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    if (gPlaylist.empty()) {
        gSmallFormat.SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
        DrawProgramText(EmptyListText, gSmallFormat, {w - p + 8, 117, w - 8, h - 8}, BlackRgb, 0.7f);
        gSmallFormat.SetTextAlignment(DWRITE_TEXT_ALIGNMENT_LEADING);
    }
    const RowRange rows = VisibleSongRows(static_cast<int>(gPlaylist.size()), layout);
    for (int i = rows.First; i <= rows.Last; ++i) {
        if (FrameReaches(Grown(SongRowRect(i, layout), 2))) Row(i, gPlaylist[static_cast<size_t>(i - 1)], layout);
    }
    gDeviceContext.PopAxisAlignedClip();
}
