#pragma once
// The drawing primitives of the pages: every fill, outline and text goes
// through the shared brush, whose colour is set right before each operation.

#include "graphics/graphics_device.h"
#include "ui/frame.h"
#include "ui/ui_state.h"

#include <cstdint>
#include <string_view>

inline constexpr uint32_t BlackRgb = 0x000000;
inline constexpr uint32_t WhiteRgb = 0xFFFFFF;

inline void SetBrush(uint32_t rgb, float alpha) { gSharedBrush.SetColor(MakeD2DColour(rgb, alpha, true)); }

inline void FillRounded(const FloatRect& rect, float radius, uint32_t rgb, float alpha) {
    SetBrush(rgb, alpha);
    gDeviceContext.FillRoundedRectangle(D2D1_ROUNDED_RECT{ToD2D(rect), radius, radius}, gSharedBrush.Get());
}

inline void OutlineRounded(const FloatRect& rect, float radius, uint32_t rgb, float alpha) {
    SetBrush(rgb, alpha);
    gDeviceContext.DrawRoundedRectangle(D2D1_ROUNDED_RECT{ToD2D(rect), radius, radius}, gSharedBrush.Get());
}

inline void FillBar(const FloatRect& rect, uint32_t rgb, float alpha) {
    SetBrush(rgb, alpha);
    gDeviceContext.FillRectangle(ToD2D(rect), gSharedBrush.Get());
}

inline void DrawProgramText(std::string_view text, TextFormatLayer& format, const FloatRect& rect, uint32_t rgb,
                            float alpha, D2D1_DRAW_TEXT_OPTIONS options = D2D1_DRAW_TEXT_OPTIONS_NONE) {
    SetBrush(rgb, alpha);
    gDeviceContext.DrawText(text, format.Get(), ToD2D(rect), gSharedBrush.Get(), options);
}

// Text cut at its rectangle's edges. The clip option alone is not honoured by
// every Direct2D (Wine draws past it), so the rectangle is also pushed as a
// clip; where the option works this changes no pixel.
inline void DrawClippedText(std::string_view text, TextFormatLayer& format, const FloatRect& rect, uint32_t rgb,
                            float alpha) {
    gDeviceContext.PushAxisAlignedClip(ToD2D(rect), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    DrawProgramText(text, format, rect, rgb, alpha, D2D1_DRAW_TEXT_OPTIONS_CLIP);
    gDeviceContext.PopAxisAlignedClip();
}
