#include "app/settings.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "app/globals.h"
#include "app/logic/frame_rules.h"
#include "app/logic/settings_rules.h"
#include "platform/text_codec.h"
#include "platform/win32/wide_text.h"
#include "ui/display_scale.h"
#include "ui/ui_state.h"

namespace {

constexpr const char* LocalAppDataId = "{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}";
constexpr const char* SettingsRelativePath = "Tamber\\Settings\\settings.ini";
constexpr DWORD ReadBufferChars = 256;

bool gStartMaximised = false;

// The profile functions and folders take the path as UTF-16, so that any
// profile folder name works whatever the ANSI code page.
class ProfileStore final : public IniStore {
public:
    std::string Read(const char* key, const char* defaultText) override {
        wchar_t buffer[ReadBufferChars] = {};
        GetPrivateProfileStringW(ProgramTextToWide(SettingsSection).c_str(), ProgramTextToWide(key).c_str(),
                                 ProgramTextToWide(defaultText).c_str(), buffer,
                                 ReadBufferChars, Path.c_str());
        return WideToProgramText(buffer);
    }
    void Write(const char* key, const std::string& value) override {
        // A failed write is not reported: the next run starts with defaults.
        WritePrivateProfileStringW(ProgramTextToWide(SettingsSection).c_str(), ProgramTextToWide(key).c_str(),
                                   ProgramTextToWide(value).c_str(), Path.c_str());
    }

private:
    const std::wstring Path = ProgramTextToWide(gSettingsPath);
};

// Creates the folders above the settings file (two levels: "Tamber" and
// "Settings"), so that settings persist on a machine that never ran the
// program. Existing folders and failures are fine.
void CreateSettingsFolders() {
    const size_t fileSlash = gSettingsPath.find_last_of('\\');
    if (fileSlash == std::string::npos || fileSlash == 0) return;
    const std::string settingsFolder = gSettingsPath.substr(0, fileSlash);
    const size_t parentSlash = settingsFolder.find_last_of('\\');
    if (parentSlash != std::string::npos && parentSlash > 0) {
        CreateDirectoryW(ProgramTextToWide(settingsFolder.substr(0, parentSlash)).c_str(), nullptr);
    }
    CreateDirectoryW(ProgramTextToWide(settingsFolder).c_str(), nullptr);
}

bool RectOnSomeMonitor(const RECT& rect) {
    return MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) != nullptr;
}

// Geometry of the window at closing. A minimised window reports -32000
// positions; its restored placement is written instead.
SavedGeometry CurrentGeometry(HWND window) {
    SavedGeometry g;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (IsIconic(window) && GetWindowPlacement(window, &placement)) {
        RECT r = placement.rcNormalPosition;
        // The normal position is in work-area coordinates; the settings hold screen ones.
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        if (GetMonitorInfoA(MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
            OffsetRect(&r, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
        }
        g.Width = r.right - r.left;
        g.Height = r.bottom - r.top;
        g.Left = r.left;
        g.Top = r.top;
        g.State = (placement.flags & WPF_RESTORETOMAXIMIZED) ? MaximisedState : 0;
        return g;
    }
    RECT r{};
    GetWindowRect(window, &r);
    g.Width = r.right - r.left;
    g.Height = r.bottom - r.top;
    g.Left = r.left;
    g.Top = r.top;
    g.State = IsZoomed(window) ? MaximisedState : 0;
    return g;
}

}  // namespace

std::string KnownFolderPath(const char* folderIdText) {
    const std::u16string idText = ProgramTextToUtf16(folderIdText);
    CLSID folderId{};
    if (FAILED(CLSIDFromString(reinterpret_cast<LPCOLESTR>(idText.c_str()), &folderId))) return {};
    PWSTR path = nullptr;
    if (FAILED(SHGetKnownFolderPath(folderId, 0, nullptr, &path))) {
        CoTaskMemFree(path);
        return {};
    }
    const std::string result = Utf16ToProgramText(std::u16string_view(reinterpret_cast<const char16_t*>(path), lstrlenW(path)));
    CoTaskMemFree(path);
    return result + "\\";
}

void BuildSettingsPath() {
    // An empty folder path leaves the bare relative text, which the profile
    // functions resolve as they do any path without a drive.
    gSettingsPath = KnownFolderPath(LocalAppDataId) + SettingsRelativePath;
}

void RestoreWindowSettings() {
    ProfileStore store;
    const RestorePlan plan = ReadRestorePlan(store);
    HWND window = gMainWindow;
    switch (plan.Kind) {
    case RestoreKind::DefaultSize: {
        const MinimumSize size = DefaultWindowSize(DpiScale());
        SetWindowPos(window, nullptr, 0, 0, size.Width, size.Height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    }
    case RestoreKind::Maximised:
        gStartMaximised = true;
        break;
    case RestoreKind::Explicit: {
        // A position on no monitor (a display since removed) would open the
        // window off-screen: keep the default position then, but the size.
        // An empty size (a missing key) still names a point to look for.
        const RECT saved{plan.Left, plan.Top, plan.Left + (plan.Width > 0 ? plan.Width : 1),
                         plan.Top + (plan.Height > 0 ? plan.Height : 1)};
        const bool placeable = RectOnSomeMonitor(saved);
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (!placeable) flags |= SWP_NOMOVE;
        SetWindowPos(window, nullptr, plan.Left, plan.Top, plan.Width, plan.Height, flags);
        break;
    }
    }
}

bool StartMaximised() {
    return gStartMaximised;
}

int ReadBackdropSetting() {
    ProfileStore store;
    return ReadBackdropKind(store);
}

void SaveWindowSettings() {
    CreateSettingsFolders();
    ProfileStore store;
    WriteGeometry(store, CurrentGeometry(gMainWindow));
}

void SaveBackdropSetting(int kind) {
    CreateSettingsFolders();
    ProfileStore store;
    WriteBackdropKind(store, kind);
}
