#pragma once
// Start-up: the graphics factories, then the main window.

// Returns false when the graphics cannot be made: no window is created then.
bool StartProgram();
