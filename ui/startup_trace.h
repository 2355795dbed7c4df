#pragma once
// Start-up milestones written to the debugger output with the milliseconds
// since the process started ("tamber: 123 ms first frame"). They change
// nothing; the GUI tests read them to time the start, the benchmarks to
// count the frames of a playing or paused stretch.

void TraceStartup(const char* milestone);
