#pragma once
// The pictures built into the program (PNG resources of tamber_assets).

#include <cstdint>
#include <span>

enum class EmbeddedImage { Settings, Home, TamberLogo, ArrowLeft, ArrowRight, DefaultCover };

// The PNG bytes of a picture; empty if the resource is missing. The bytes
// live as long as the module.
std::span<const uint8_t> EmbeddedImageBytes(EmbeddedImage image);

// The built-in cover (1068 x 1068).
inline std::span<const uint8_t> DefaultCoverPng() { return EmbeddedImageBytes(EmbeddedImage::DefaultCover); }
