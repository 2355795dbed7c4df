#include "ui/colour.h"

ColourF MakeColour(uint32_t rgb, float alpha, bool alphaGiven) {
    return {
        static_cast<float>(rgb & 0xFF) / 255.0f,
        static_cast<float>((rgb & 0xFF00) >> 8) / 255.0f,
        static_cast<float>((rgb & 0xFF0000) >> 16) / 255.0f,
        alphaGiven ? alpha : 1.0f,
    };
}

uint32_t AccentFromColorization(uint32_t argb) {
    const uint32_t red = (argb >> 16) & 0xFF;
    const uint32_t green = (argb >> 8) & 0xFF;
    const uint32_t blue = argb & 0xFF;
    return red | (green << 8) | (blue << 16);
}
