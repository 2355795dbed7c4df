#pragma once
// Cover art and the embedded icons: the current cover reduced to a 500 x 500
// PNG with GDI+, decoded with WIC into a Direct2D bitmap, with two Gaussian
// blurs (effects, or bitmaps blurred on the CPU where the system has no such
// effect) and a bitmap brush built on it; the five icons decoded once per device.

#include "graphics/graphics_layer.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

inline constexpr int CoverThumbnailSize = 500;
inline constexpr float BackgroundBlurDeviation = 25.0f;
inline constexpr float CoverShadowBlurDeviation = 50.0f;

// Encoded picture of the current cover (any format GDI+ reads). Set at window
// creation to the built-in picture (DefaultCoverBytes); replaced by LoadTrack.
extern std::vector<uint8_t> gCoverBytes;

// Device objects of the cover, replaced per track (bitmap, source, brush) or
// made once per device and re-pointed (the effects).
extern WicBitmapLayer gCoverSource;
extern BitmapLayer gCoverBitmap;
extern EffectLayer gBackgroundBlur;   // std deviation 25, hard border
extern EffectLayer gCoverShadowBlur;  // std deviation 50, soft border
extern BitmapBrushLayer gCoverBrush;  // X wrap, Y clamp, linear
// Where the system has no blur effect, the cover blurred once on the CPU with
// the same deviation and border (ui/cpu_blur.h), made with the cover and
// drawn where the effect's output would lie; empty while the effect exists.
extern BitmapLayer gBackgroundBlurBitmap;  // the cover's size
extern BitmapLayer gCoverShadowBitmap;     // CoverShadowBlurMargin past each side
extern const int CoverShadowBlurMargin;

// The embedded icons, decoded once per device.
enum class IconId { Settings, Home, TamberLogo, ArrowLeft, ArrowRight };
inline constexpr int IconCount = 5;
struct IconImage {
    WicBitmapLayer Source;
    BitmapLayer Bitmap;
};
extern IconImage gIcons[IconCount];
inline BitmapLayer& IconBitmap(IconId id) { return gIcons[static_cast<int>(id)].Bitmap; }
const char* IconName(IconId id);  // "Settings", "Home", ...

// The picture scaled to exactly width x height (stretched, aspect not kept)
// and encoded as PNG; empty when the picture cannot be read. A width or height
// below 1 means the picture's own.
std::vector<uint8_t> MakeThumbnailPng(std::span<const uint8_t> bytes, int width, int height);

// gCoverBytes -> 500 x 500 PNG -> gCoverSource -> gCoverBitmap (on
// gDeviceContext). A failed step leaves the rest as it is.
void RefreshCoverBitmap();

// After gCoverBytes changed: RefreshCoverBitmap, both effects' input 0 on the
// new bitmap (or new CPU-blurred bitmaps where an effect is missing), a new
// gCoverBrush. Does nothing before the device context
// exists; the first paint builds the objects then.
void RebuildCoverObjects();

// At device creation, after the shared brush: the five icons (each failure
// reported, the others go on), then the cover bitmap, both blurs and the brush.
// A missing blur effect (not registered on the system) is reported and left
// empty; the cover is then blurred on the CPU instead.
void DecodeIcons();
void CreateCoverObjects();

// Releases the cover and icon device objects (lost device, failed EndDraw).
void ReleaseCoverBrushAndEffects();
void ReleaseDeviceImages();
