#include "app/start_program.h"

#include <windows.h>

#include "app/main_window.h"
#include "graphics/graphics_device.h"
#include "ui/cover_art.h"
#include "ui/frame.h"
#include "ui/text_formats.h"
#include "ui/ui_state.h"

bool StartProgram() {
    // The process-wide state exists already with its initial values (static
    // storage, constructed before WinMain runs).
    if (CreateDeviceChain(gDxgiDevice, gD2DFactory, gD2DDevice) != S_OK) return false;
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

