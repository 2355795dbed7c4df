// The navigation bar: two square buttons at the left edge with the selection
// pill; it has no background of its own and is drawn over the page.
#include "graphics/graphics_device.h"
#include "ui/backdrop.h"
#include "ui/cover_art.h"
#include "ui/frame.h"
#include "ui/input_regions.h"
#include "ui/startup_trace.h"
#include "ui/ui_state.h"

#include <cstdio>

namespace {

constexpr float IconInset = 5;  // each icon is its button less 5 DIPs all round
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

void DrawIcon(IconId id, const D2D1_RECT_F& button) {
    BitmapLayer& bitmap = IconBitmap(id);
    const D2D1_RECT_F rect{button.left + IconInset, button.top + IconInset, button.right - IconInset,
                           button.bottom - IconInset};
    if (bitmap) gDeviceContext.DrawBitmap(bitmap.Get(), rect);
}

}  // namespace

void DrawNavigationBar() {
    // Both squares and the pill, with their edges.
    if (!FrameReaches(FloatRect{0, 30, 50, 126})) return;
    const LayoutInputs layout = CurrentLayout();
    const D2D1_RECT_F homeButton = ToD2D(DrawnRect(Region::NavHome, layout));
    const D2D1_RECT_F settingsButton = ToD2D(DrawnRect(Region::NavSettings, layout));
    if (gHoverNavHome == 1) FillButton(homeButton, gPressedNavHome == 1 ? PressedAlpha : HoverAlpha);
    if (gHoverNavSettings == 1) FillButton(settingsButton, gPressedNavSettings == 1 ? PressedAlpha : HoverAlpha);
    if (gCurrentPage == HomePage) FillButton(homeButton, CurrentAlpha);
    if (gCurrentPage == SettingsPage) FillButton(settingsButton, CurrentAlpha);

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
    const auto atRest = [](float end, float home) { return end == home || end == home + NavSettingsOffset; };
    if (!atRest(top, PillTop) || !atRest(bottom, PillBottom)) {
        char line[48];
        std::snprintf(line, sizeof line, "nav pill %.0f..%.0f", top, bottom);
        TraceStartup(line);
    }
    gSharedBrush.SetColor(MakeD2DColour(AccentColour()));
    gDeviceContext.FillRoundedRectangle(D2D1_ROUNDED_RECT{{PillLeft, top, PillRight, bottom}, PillRadius, PillRadius},
                                        gSharedBrush.Get());

    DrawIcon(IconId::Home, homeButton);
    DrawIcon(IconId::Settings, settingsButton);
}
