#include "ui/backdrop.h"

#include "platform/win32/dwm_functions.h"
#include "ui/colour.h"
#include "ui/ui_state.h"

namespace {

constexpr uint32_t LastBuildWithoutBackdrop = 21996;   // 0x55EC
constexpr uint32_t LastBuildWithAccentPolicy = 22523;  // 0x57FB
constexpr DWORD AttributeImmersiveDarkMode = 20;
constexpr DWORD AttributeSystemBackdropType = 38;
constexpr DWORD CompositionAccentPolicy = 19;
constexpr DWORD AccentAcrylicBlurBehind = 4;
constexpr DWORD AccentFlags = 1;
constexpr DWORD AccentGradientColour = 0x0AE6E6E6;  // alpha 10 over grey 230

struct AccentPolicy {
    DWORD AccentState;
    DWORD AccentFlags;
    DWORD GradientColour;
    DWORD AnimationId;
};
static_assert(sizeof(AccentPolicy) == 16);

}  // namespace

void ApplyBackdrop(int kind, int dark, HWND window) {
    if (gWindowsBuild > LastBuildWithAccentPolicy) {
        const DWORD darkValue = dark == 1 ? 1 : 0;
        const DWORD kindValue = static_cast<DWORD>(kind);
        CallDwmSetWindowAttribute(window, AttributeImmersiveDarkMode, &darkValue, sizeof darkValue);
        CallDwmSetWindowAttribute(window, AttributeSystemBackdropType, &kindValue, sizeof kindValue);
        gSystemBackdropApplied = true;
    } else if (gWindowsBuild > LastBuildWithoutBackdrop) {
        AccentPolicy policy{AccentAcrylicBlurBehind, AccentFlags, AccentGradientColour, 0};
        WindowCompositionAttributeData data{CompositionAccentPolicy, &policy, sizeof policy};
        CallSetWindowCompositionAttribute(window, &data);
        gSystemBackdropApplied = true;
    } else {
        gSystemBackdropApplied = false;
    }
}

uint32_t AccentColour() {
    // A failed read leaves 0: the accent is then opaque black.
    DWORD colour = 0;
    BOOL opaque = FALSE;
    CallDwmGetColorizationColor(&colour, &opaque);
    return AccentFromColorization(colour);
}
