#include "app/start_program.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/main_window.h"
#include "graphics/graphics_device.h"
#include "ui/cover_art.h"
#include "ui/frame.h"
#include "ui/startup_trace.h"
#include "ui/text_formats.h"
#include "ui/ui_state.h"

namespace {

// The tests' switch: TAMBER_REFUSE_DEVICE=hardware makes the program start on
// WARP, =all with no device at all.
DeviceDrivers DriversAllowed() {
    const char* refused = std::getenv("TAMBER_REFUSE_DEVICE");
    if (!refused) return DeviceDrivers::HardwareThenWarp;
    if (std::strcmp(refused, "hardware") == 0) return DeviceDrivers::WarpOnly;
    return std::strcmp(refused, "all") == 0 ? DeviceDrivers::None : DeviceDrivers::HardwareThenWarp;
}

// Without a device nothing can be drawn: say so, in the way of the program's
// other fatal message, rather than end without a word.
void ShowNoDeviceBox(HRESULT result) {
    // "无法创建图形设备（Direct3D 11，错误 0x%08X）"
    wchar_t text[128];
    std::swprintf(text, 128, L"\u65E0\u6CD5\u521B\u5EFA\u56FE\u5F62\u8BBE\u5907\uFF08Direct3D 11\uFF0C\u9519\u8BEF 0x%08X\uFF09",
                  static_cast<unsigned>(result));
    MessageBoxW(nullptr, text, nullptr, MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
}

}  // namespace

bool StartProgram() {
    // The process-wide state exists already with its initial values (static
    // storage, constructed before WinMain runs).
    bool warp = false;
    const HRESULT device = CreateDeviceChain(gDxgiDevice, gD2DFactory, gD2DDevice, DriversAllowed(), &warp);
    if (device != S_OK) {
        TraceStartup("no graphics device");
        ShowNoDeviceBox(device);
        return false;
    }
    TraceStartup(warp ? "graphics device: WARP" : "graphics device: hardware");
    if (CreateDWriteFactory(gDWriteFactory) != S_OK) return false;
    if (CreateWicFactory(gWicFactory) != S_OK) return false;
    gGraphicsReady = 1;
    gWindowsBuild = ReadWindowsBuild();
    return CreateMainWindow(GetModuleHandleA(nullptr)) != nullptr;
}

void ReleaseGraphicsState() {
    for (TextFormatLayer* format : {&gRegular14Format, &gTitleFormat, &gBodyFormat, &gSmallFormat,
                                    &gLyricMainCurrentFormat, &gLyricMainFormat, &gLyricSecondCurrentFormat,
                                    &gLyricSecondFormat, &gPageTitleFormat, &gRegular20Format, &gSectionTitleFormat,
                                    &gCaptionFormat}) {
        format->Release();
    }
    gSharedBrush.Release();
    ReleaseDeviceImages();
    ReleaseRetainedFrame();
    DropDeviceObjects();
    gDWriteFactory.Release();
    gWicFactory.Release();
}

