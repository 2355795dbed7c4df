#include "app/window_proc.h"

#include <windowsx.h>

#include "app/globals.h"
#include "app/logic/frame_rules.h"
#include "graphics/graphics_device.h"
#include "platform/win32/dwm_functions.h"
#include "ui/display_scale.h"
#include "ui/frame.h"
#include "ui/pages.h"
#include "ui/ui_state.h"

int HitTest(const RECT& windowRect, POINT screenPoint) {
    const ScreenRect rect{windowRect.left, windowRect.top, windowRect.right - windowRect.left,
                          windowRect.bottom - windowRect.top};
    return HitTest(rect, screenPoint.x, screenPoint.y, gCaptionHeight);
}

namespace {

bool gTrackingLeave = false;

// The client area reaches the top of the window; the sizing frame stays on
// the other three sides.
void RemoveCaption(NCCALCSIZE_PARAMS& params) {
    RECT& r = params.rgrc[0];
    r.left += GetSystemMetrics(SM_CXSIZEFRAME);
    r.right -= GetSystemMetrics(SM_CXSIZEFRAME);
    r.bottom -= GetSystemMetrics(SM_CYSIZEFRAME);
}

void TrackSize(HWND window, LPARAM lParam) {
    const double scale = DpiScale();
    gCaptionHeight = CaptionHeightFor(scale, IsZoomed(window) != FALSE, GetSystemMetrics(SM_CYSIZEFRAME));
    const int clientWidthPixels = LOWORD(lParam);
    const int clientHeightPixels = HIWORD(lParam);
    // The backdrop shows behind the whole client area.
    const MARGINS margins{0, 0, clientHeightPixels, 0};
    CallDwmExtendFrameIntoClientArea(window, margins);
    ResizeWindowTarget(gSwapChain, gDeviceContext);
    gClientWidth = ToDips(clientWidthPixels, scale);
    gClientHeight = ToDips(clientHeightPixels, scale);
}

}  // namespace

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT dwmResult = 0;
    if (CallDwmDefWindowProc(window, message, wParam, lParam, &dwmResult)) return dwmResult;

    switch (message) {
    case WM_NCCALCSIZE:
        if (wParam != 0) {
            RemoveCaption(*reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam));
            return 0;
        }
        break;
    case WM_NCHITTEST:
        if (RECT rect{}; GetWindowRect(window, &rect)) {
            return HitTest(rect, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        }
        return HTCLIENT;
    case WM_PAINT:
        EnsureDeviceResources();
        NoteExposedArea(window);
        DrawFrame();
        ValidateRect(window, nullptr);
        break;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) TrackSize(window, lParam);
        break;
    case WM_MOUSEMOVE: {
        // Once per entry into the client area: the leave clears the hover looks.
        if (!gTrackingLeave) {
            TRACKMOUSEEVENT leave{sizeof leave, TME_LEAVE, window, 0};
            gTrackingLeave = TrackMouseEvent(&leave) != FALSE;
        }
        const double scale = DpiScale();
        gPointerX = static_cast<int>(GET_X_LPARAM(lParam) / scale);
        gPointerY = static_cast<int>(GET_Y_LPARAM(lParam) / scale);
        OnPointerMove();
        break;
    }
    case WM_MOUSELEAVE:
        gTrackingLeave = false;
        break;
    case WM_GETMINMAXINFO: {
        const MinimumSize minimum = MinimumTrackSize(DpiScale());
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = minimum.Width;
        info->ptMinTrackSize.y = minimum.Height;
        break;
    }
    default:
        break;
    }
    return CallWindowProcA(gPreviousWindowProc, window, message, wParam, lParam);
}
