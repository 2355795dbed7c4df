// The navigation bar: two square buttons at the left edge with the selection
// pill; it has no background of its own and is drawn over the page.
#include "app/backdrop.h"
#include "ui/cover_art.h"
#include "ui/frame.h"
#include "ui/ui_state.h"
#include "graphics/graphics_device.h"

namespace {

constexpr D2D1_RECT_F HomeButton{4, 36, 44, 76};
constexpr D2D1_RECT_F SettingsButton{4, 80, 44, 120};
constexpr D2D1_RECT_F HomeIcon{9, 41, 39, 71};
constexpr D2D1_RECT_F SettingsIcon{9, 85, 39, 115};
constexpr float ButtonRadius = 6;
constexpr float PillRadius = 2;
constexpr float PillLeft = 4;
constexpr float PillRight = 8;
constexpr float PillTop = 44;
constexpr float PillBottom = 68;
constexpr float HoverAlpha = 0.1f;
constexpr float PressedAlpha = 0.2f;
constexpr float CurrentAlpha = 0.1f;

void FillButton(const D2D1_RECT_F& rect, float alpha) {
    gSharedBrush.SetColor(MakeD2DColour(0, alpha, true));
    gDeviceContext.FillRoundedRectangle(D2D1_ROUNDED_RECT{rect, ButtonRadius, ButtonRadius}, gSharedBrush.Get());
}

void DrawIcon(IconId id, const D2D1_RECT_F& rect) {
    BitmapLayer& bitmap = IconBitmap(id);
    if (bitmap) gDeviceContext.DrawBitmap(bitmap.Get(), rect);
}

}  // namespace

void DrawNavigationBar() {
    if (gHoverNavHome == 1) FillButton(HomeButton, gPressedNavHome == 1 ? PressedAlpha : HoverAlpha);
    if (gHoverNavSettings == 1) FillButton(SettingsButton, gPressedNavSettings == 1 ? PressedAlpha : HoverAlpha);
    if (gCurrentPage == HomePage) FillButton(HomeButton, CurrentAlpha);
    if (gCurrentPage == SettingsPage) FillButton(SettingsButton, CurrentAlpha);

    // The lead end moves first, so the pill stretches toward the new button
    // and then contracts; which end leads depends on the direction.
    float top = 0;
    float bottom = 0;
    if (gPreviousPage > gCurrentPage) {
        top = static_cast<float>(gNavIndicatorLead) + PillTop;
        bottom = static_cast<float>(gNavIndicatorTrail) + PillBottom;
    } else {
        top = static_cast<float>(gNavIndicatorTrail) + PillTop;
        bottom = static_cast<float>(gNavIndicatorLead) + PillBottom;
    }
    gSharedBrush.SetColor(MakeD2DColour(AccentColour()));
    gDeviceContext.FillRoundedRectangle(D2D1_ROUNDED_RECT{{PillLeft, top, PillRight, bottom}, PillRadius, PillRadius},
                                        gSharedBrush.Get());

    DrawIcon(IconId::Home, HomeIcon);
    DrawIcon(IconId::Settings, SettingsIcon);
}
