#include "ui/report_error.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace {
std::atomic<unsigned> gReportCount{0};
}

void ReportError(int level, const char* message, const char* detail, const char* source) {
    gReportCount.fetch_add(1, std::memory_order_relaxed);
    char line[512];
    std::snprintf(line, sizeof line, "tamber: [%d] %s: %s (%s)\n", level, message ? message : "",
                  detail ? detail : "", source ? source : "");
    OutputDebugStringA(line);
}

unsigned ReportErrorCount() { return gReportCount.load(std::memory_order_relaxed); }
