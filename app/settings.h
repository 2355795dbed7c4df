#pragma once
// settings.ini under the local application data folder: window geometry and
// the backdrop choice, through the profile functions of the system.

#include <string>

// Path of a known folder given as "{GUID}" text, with a trailing "\"; empty
// text on failure.
std::string KnownFolderPath(const char* folderIdText);

// Sets gSettingsPath; without the known folder, the bare relative path.
void BuildSettingsPath();

// Saved geometry, maximised state or the default size, applied to the main
// window. Called once at window creation, before the window is shown.
void RestoreWindowSettings();

// "Window"/"Backdrop" as an integer, 2 when missing.
int ReadBackdropSetting();

// The five geometry keys, from the window as it is at closing.
void SaveWindowSettings();

// "2" or "3".
void SaveBackdropSetting(int kind);

// Whether the main window should be shown maximised (a saved state 3).
bool StartMaximised();
