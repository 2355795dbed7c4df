#pragma once
// The program's error-report hook: graphics and image failures go here. It
// changes no state and shows nothing; it only writes a debugger line.
//   level   1 error, 2 warning
//   message fixed English identifier, e.g. "BitmapCreateFailed"
//   detail  the failing call's result as decimal text, or the failing step
//   source  a short area or image name, e.g. "Lyrics", "Settings"

inline constexpr int ReportLevelError = 1;
inline constexpr int ReportLevelWarning = 2;

void ReportError(int level, const char* message, const char* detail, const char* source);

// Counts calls since start; tests read it to see that a failure was reported.
unsigned ReportErrorCount();
