#pragma once
// A Gaussian blur of premultiplied 8-bit BGRA pixels on the CPU, for systems
// whose Direct2D has no blur effect: the same two border rules as the effect,
// run once per cover rather than every frame. Portable.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Sides (input and output) beyond this, and deviations beyond the next, give
// an empty result: the output and the work buffer cost 12 bytes a pixel.
inline constexpr int MaxBlurSide = 4096;
inline constexpr float MaxBlurDeviation = 500.0f;

enum class BlurBorder {
    // The output keeps the input's rectangle; the edge pixels are repeated
    // outward, so an opaque picture stays opaque up to its edge.
    Hard,
    // Outside pixels are transparent; the output grows by BlurMargin on every
    // side so that the fade-out is kept.
    Soft,
};

struct BlurredPixels {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Bgra;  // premultiplied, rows of Width * 4 bytes
    bool Empty() const { return Bgra.empty(); }
};

// How far a soft border grows each side: the kernel's reach of three
// deviations, whole pixels.
int BlurMargin(float deviation);

// The pixels (rows strideBytes apart) blurred with a Gaussian of the given
// standard deviation in pixels. Zero size, a short buffer, a stride below
// width * 4, a side above MaxBlurSide or a deviation that is negative, not a
// number or above MaxBlurDeviation give an empty result; deviation 0 copies.
BlurredPixels BlurPixels(std::span<const uint8_t> bgra, int width, int height, size_t strideBytes, float deviation,
                         BlurBorder border);
