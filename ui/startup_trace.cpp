#include "ui/startup_trace.h"

#include <windows.h>

#include <cstdio>

void TraceStartup(const char* milestone) {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const unsigned long long elapsedMs = (ticks(now) - ticks(created)) / 10000;  // 100-ns units
    char line[128];
    std::snprintf(line, sizeof line, "tamber: %llu ms %s\n", elapsedMs, milestone);
    OutputDebugStringA(line);
}
