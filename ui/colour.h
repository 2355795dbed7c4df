#pragma once
// Colours of the drawing: the program keeps 0x00BBGGRR integers (the
// Windows RGB layout) and draws with four floats.

#include <cstdint>

struct ColourF {
    float R = 0;
    float G = 0;
    float B = 0;
    float A = 0;
};

// rgb in 0x00BBGGRR; alpha is used only when alphaGiven, otherwise 1.
ColourF MakeColour(uint32_t rgb, float alpha = 1.0f, bool alphaGiven = false);

// The desktop colorization colour (0xAARRGGBB) as 0x00BBGGRR, alpha dropped.
uint32_t AccentFromColorization(uint32_t argb);
