#pragma once
// What the window settings mean, apart from where they are stored. The
// Windows side reads and writes the INI file through IniStore; tests give a
// map instead.

#include <string>

inline constexpr const char* SettingsSection = "Window";
inline constexpr const char* NoValue = "none";  // default of the geometry keys
inline constexpr const char* DefaultBackdropText = "2";
inline constexpr int MaximisedState = 3;

// One section of an INI file.
class IniStore {
public:
    virtual ~IniStore() = default;
    // The stored text, or defaultText when the key is missing.
    virtual std::string Read(const char* key, const char* defaultText) = 0;
    virtual void Write(const char* key, const std::string& value) = 0;
};

// Integer value of a setting text as atoi reads it: optional blanks and
// sign, then leading digits; 0 when there are none. Saturates instead of
// overflowing.
int SettingToInt(const std::string& text);

enum class RestoreKind {
    DefaultSize,  // nothing saved: default size at the default position
    Maximised,    // closed maximised: open maximised, other keys unused
    Explicit,     // width, height, left, top as saved
};

struct RestorePlan {
    RestoreKind Kind = RestoreKind::DefaultSize;
    int Width = 0;
    int Height = 0;
    int Left = 0;
    int Top = 0;
};

// Reads the geometry keys in the order the window is restored from them.
RestorePlan ReadRestorePlan(IniStore& store);

// The "Backdrop" key, default 2; any integer is passed on unchanged.
int ReadBackdropKind(IniStore& store);

// Geometry as written at closing; State is 3 for maximised.
struct SavedGeometry {
    int Width = 0;
    int Height = 0;
    int State = 0;
    int Left = 0;
    int Top = 0;
};
void WriteGeometry(IniStore& store, const SavedGeometry& geometry);

// Writes "3" for kind 3 and "2" for anything else.
void WriteBackdropKind(IniStore& store, int kind);
