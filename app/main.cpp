// tamber.exe: start-up and the message loop of the main window.
#include <windows.h>
#include <ole2.h>

#include "app/start_program.h"
#include "ui/startup_trace.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // OLE for the drop target; it also initialises COM for WIC and the dialogs.
    if (FAILED(OleInitialize(nullptr))) return 1;
    TraceStartup("started");
    // A graphics failure ends the program here (without a device, after saying so).
    if (!StartProgram()) {
        OleUninitialize();
        return 1;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    ReleaseGraphicsState();
    OleUninitialize();
    return static_cast<int>(message.wParam);
}
