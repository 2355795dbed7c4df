#include "ui/cover_art.h"

#include "assets/embedded_images.h"
#include "graphics/graphics_device.h"
#include "ui/cpu_blur.h"
#include "ui/report_error.h"

#include <windows.h>
#include <objidl.h>
// The GDI+ headers use min and max unqualified.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <cstdio>
#include <cstring>
#include <d2d1effects.h>

std::vector<uint8_t> gCoverBytes;
WicBitmapLayer gCoverSource;
BitmapLayer gCoverBitmap;
EffectLayer gBackgroundBlur;
EffectLayer gCoverShadowBlur;
BitmapBrushLayer gCoverBrush;
BitmapLayer gBackgroundBlurBitmap;
BitmapLayer gCoverShadowBitmap;
const int CoverShadowBlurMargin = BlurMargin(CoverShadowBlurDeviation);
IconImage gIcons[IconCount];

namespace {

using namespace Gdiplus::DllExports;

// {557CF406-1A04-11D3-9A73-0000F81EF32E}
constexpr CLSID PngEncoderClsid = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
constexpr UINT GlobalMoveableZeroInit = GMEM_MOVEABLE | GMEM_ZEROINIT;  // 0x42

constexpr UINT32 GaussianStandardDeviation = 0;  // D2D1_GAUSSIANBLUR_PROP_STANDARD_DEVIATION
constexpr UINT32 GaussianBorderMode = 2;         // D2D1_GAUSSIANBLUR_PROP_BORDER_MODE
constexpr UINT32 BorderModeHard = 1;             // D2D1_BORDER_MODE_HARD

constexpr EmbeddedImage IconImages[IconCount] = {EmbeddedImage::Settings, EmbeddedImage::Home,
                                                 EmbeddedImage::TamberLogo, EmbeddedImage::ArrowLeft,
                                                 EmbeddedImage::ArrowRight};
constexpr const char* IconNames[IconCount] = {"Settings", "Home", "TamberLogo", "ArrowLeft", "ArrowRight"};

// GDI+ for the length of one call.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input{};  // version 1, everything else zero
        input.GdiplusVersion = 1;
        input.DebugEventCallback = nullptr;
        input.SuppressBackgroundThread = FALSE;
        input.SuppressExternalCodecs = FALSE;
        Started = Gdiplus::GdiplusStartup(&Token, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (Started) Gdiplus::GdiplusShutdown(Token);
    }
    bool Ok() const { return Started; }

private:
    ULONG_PTR Token = 0;
    bool Started = false;
};

struct ImageHolder {
    ~ImageHolder() {
        if (Image) GdipDisposeImage(Image);
    }
    Gdiplus::GpImage* Image = nullptr;
};

std::string HresultText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(hr));
    return text;
}

// A bitmap brush over the cover: repeats across, stretches the edge down.
void MakeCoverBrush() {
    if (!gCoverBitmap) {
        gCoverBrush.Release();
        return;
    }
    const D2D1_BITMAP_BRUSH_PROPERTIES properties{D2D1_EXTEND_MODE_WRAP, D2D1_EXTEND_MODE_CLAMP,
                                                  D2D1_BITMAP_INTERPOLATION_MODE_LINEAR};
    if (!gDeviceContext.CreateBitmapBrush(gCoverBitmap.Get(), gCoverBrush, &properties)) {
        ReportError(ReportLevelError, "BrushCreateFailed", HresultText(gDeviceContext.LastResult()).c_str(), "Cover");
    }
}

void MakeBlur(EffectLayer& effect, float deviation, bool hardBorder, const char* name) {
    // Not every system registers the blur (Wine has none); the cover is then
    // blurred on the CPU (MakeCpuBlurs).
    if (!gDeviceContext.CreateEffect(ClsidGaussianBlurText, effect)) {
        ReportError(ReportLevelError, "EffectCreateFailed", HresultText(gDeviceContext.LastResult()).c_str(), name);
        return;
    }
    effect.SetInput(0, gCoverBitmap.Get());
    effect.SetValueFloat(GaussianStandardDeviation, deviation);
    if (hardBorder) effect.SetValueEnum(GaussianBorderMode, BorderModeHard);
}

constexpr UINT CoverBytesPerPixel = 4;  // the decoder's 32-bit premultiplied BGRA
constexpr float CpuBlurDpi = 96.0f;      // a pixel per DIP, as the cover bitmap

void MakeBlurredBitmap(std::span<const uint8_t> pixels, UINT width, UINT height, float deviation, BlurBorder border,
                       BitmapLayer& out, const char* name) {
    const BlurredPixels blurred = BlurPixels(pixels, static_cast<int>(width), static_cast<int>(height),
                                             static_cast<size_t>(width) * CoverBytesPerPixel, deviation, border);
    if (blurred.Empty()) {
        ReportError(ReportLevelError, "BitmapCreateFailed", "CpuBlur", name);
        return;
    }
    const D2D1_BITMAP_PROPERTIES properties{{DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED}, CpuBlurDpi,
                                            CpuBlurDpi};
    const D2D1_SIZE_U size{static_cast<UINT32>(blurred.Width), static_cast<UINT32>(blurred.Height)};
    if (!gDeviceContext.CreateBitmapFromPixels(size, blurred.Bgra.data(),
                                               static_cast<UINT32>(blurred.Width) * CoverBytesPerPixel, properties,
                                               out)) {
        ReportError(ReportLevelError, "BitmapCreateFailed", HresultText(gDeviceContext.LastResult()).c_str(), name);
    }
}

// Once per cover, where an effect is missing: its pixels from the decoded
// source (the bitmap on the device cannot be read back) blurred into a
// bitmap, so that the designed look shows without the effect.
void MakeCpuBlurs() {
    gBackgroundBlurBitmap.Release();
    gCoverShadowBitmap.Release();
    if ((gBackgroundBlur && gCoverShadowBlur) || !gCoverSource) return;
    UINT width = 0, height = 0;
    if (!gCoverSource.GetSize(width, height) || width < 1 || height < 1 || width > MaxBlurSide ||
        height > MaxBlurSide) {
        return;
    }
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * CoverBytesPerPixel);
    if (!gCoverSource.CopyPixels(width * CoverBytesPerPixel, pixels)) {
        ReportError(ReportLevelError, "BitmapCreateFailed", HresultText(gCoverSource.LastResult()).c_str(), "CpuBlur");
        return;
    }
    if (!gBackgroundBlur) {
        MakeBlurredBitmap(pixels, width, height, BackgroundBlurDeviation, BlurBorder::Hard, gBackgroundBlurBitmap,
                          "BackgroundBlur");
    }
    if (!gCoverShadowBlur) {
        MakeBlurredBitmap(pixels, width, height, CoverShadowBlurDeviation, BlurBorder::Soft, gCoverShadowBitmap,
                          "CoverShadowBlur");
    }
}

}  // namespace

const char* IconName(IconId id) {
    const int index = static_cast<int>(id);
    return index >= 0 && index < IconCount ? IconNames[index] : "";
}

std::vector<uint8_t> MakeThumbnailPng(std::span<const uint8_t> bytes, int width, int height) {
    std::vector<uint8_t> result;
    if (bytes.empty()) return result;
    GdiplusSession gdiplus;
    if (!gdiplus.Ok()) return result;

    // The input block outlives the stream over it; GDI+ reads the stream
    // lazily, so the stream outlives the source image.
    HGLOBAL input = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!input) return result;
    ImageHolder thumbnail;
    {
        GraphicsLayer<IStream> stream;
        ImageHolder source;
        if (CreateStreamOnHGlobal(input, FALSE, stream.Put()) == S_OK) {
            if (void* data = GlobalLock(input)) {
                std::memcpy(data, bytes.data(), bytes.size());
                GlobalUnlock(input);
                GdipLoadImageFromStream(stream.Get(), &source.Image);
            }
        }
        if (source.Image) {
            UINT ownWidth = 0, ownHeight = 0;
            if (width < 1 && GdipGetImageWidth(source.Image, &ownWidth) == Gdiplus::Ok) {
                width = static_cast<int>(ownWidth);
            }
            if (height < 1 && GdipGetImageHeight(source.Image, &ownHeight) == Gdiplus::Ok) {
                height = static_cast<int>(ownHeight);
            }
            if (width >= 1 && height >= 1) {
                GdipGetImageThumbnail(source.Image, static_cast<UINT>(width), static_cast<UINT>(height),
                                      &thumbnail.Image, nullptr, nullptr);
            }
        }
    }
    GlobalFree(input);
    if (!thumbnail.Image) return result;

    HGLOBAL output = GlobalAlloc(GlobalMoveableZeroInit, 0);
    if (!output) return result;
    {
        GraphicsLayer<IStream> stream;
        if (CreateStreamOnHGlobal(output, FALSE, stream.Put()) == S_OK &&
            GdipSaveImageToStream(thumbnail.Image, stream.Get(), &PngEncoderClsid, nullptr) == Gdiplus::Ok) {
            // The stream's own size: the block may have grown past it.
            STATSTG stat{};
            size_t size = GlobalSize(output);
            if (stream->Stat(&stat, STATFLAG_NONAME) == S_OK) {
                size = std::min<size_t>(size, static_cast<size_t>(stat.cbSize.QuadPart));
            }
            if (const void* data = GlobalLock(output)) {
                const auto* first = static_cast<const uint8_t*>(data);
                result.assign(first, first + size);
                GlobalUnlock(output);
            }
        }
    }
    GlobalFree(output);
    return result;
}

void RefreshCoverBitmap() {
    std::vector<uint8_t> png = MakeThumbnailPng(gCoverBytes, CoverThumbnailSize, CoverThumbnailSize);
    if (png.empty()) {
        // An unreadable picture shows the built-in cover, never the previous
        // track's.
        const auto cover = DefaultCoverPng();
        gCoverBytes.assign(cover.begin(), cover.end());
        png = MakeThumbnailPng(gCoverBytes, CoverThumbnailSize, CoverThumbnailSize);
    }
    if (!gWicFactory.DecodeFromMemory(png, gCoverSource)) {
        ReportError(ReportLevelError, "BitmapCreateFailed", "wicBitmap", "Cover");
        return;
    }
    if (!gDeviceContext.CreateBitmapFromWicBitmap(gCoverSource.Get(), gCoverBitmap)) {
        ReportError(ReportLevelError, "BitmapCreateFailed", "CreateBitmapFromWICBitmap", "Cover");
    }
}

void RebuildCoverObjects() {
    if (!gDeviceContext) return;  // the first paint builds them
    RefreshCoverBitmap();
    gBackgroundBlur.SetInput(0, gCoverBitmap.Get());
    gCoverShadowBlur.SetInput(0, gCoverBitmap.Get());
    MakeCpuBlurs();
    MakeCoverBrush();
}

void DecodeIcons() {
    for (int i = 0; i < IconCount; ++i) {
        IconImage& icon = gIcons[i];
        if (!gWicFactory.DecodeFromMemory(EmbeddedImageBytes(IconImages[i]), icon.Source)) {
            ReportError(ReportLevelError, "BitmapCreateFailed", "wicBitmap", IconNames[i]);
            icon.Bitmap.Release();
            continue;
        }
        if (!gDeviceContext.CreateBitmapFromWicBitmap(icon.Source.Get(), icon.Bitmap)) {
            ReportError(ReportLevelError, "BitmapCreateFailed", "CreateBitmapFromWICBitmap", IconNames[i]);
        }
    }
}

void CreateCoverObjects() {
    RefreshCoverBitmap();
    MakeBlur(gBackgroundBlur, BackgroundBlurDeviation, true, "BackgroundBlur");
    MakeBlur(gCoverShadowBlur, CoverShadowBlurDeviation, false, "CoverShadowBlur");
    MakeCpuBlurs();
    MakeCoverBrush();
}

void ReleaseCoverBrushAndEffects() {
    gCoverBrush.Release();
    gBackgroundBlur.Release();
    gCoverShadowBlur.Release();
    gBackgroundBlurBitmap.Release();
    gCoverShadowBitmap.Release();
}

void ReleaseDeviceImages() {
    ReleaseCoverBrushAndEffects();
    gCoverBitmap.Release();
    gCoverSource.Release();
    for (IconImage& icon : gIcons) {
        icon.Bitmap.Release();
        icon.Source.Release();
    }
}
