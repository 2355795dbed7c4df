#pragma once
// Start-up: the graphics factories, then the main window.

// Returns false when the graphics cannot be made: no window is created then.
bool StartProgram();

// Releases the graphics objects, which must go before COM does; the rest of
// the state ends with the process.
void ReleaseGraphicsState();
