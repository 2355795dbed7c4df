// The compound operations of the wrapper: each makes several interface calls
// and keeps its temporaries in wrappers, so they are released on every path.
#include "graphics/graphics_layer.h"

#include "platform/text_codec.h"

#include <cstring>
#include <string>

namespace {

// {6FDDC324-4E03-4BFE-B185-3D77768DC910}
constexpr GUID PixelFormat32bppPbgra = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x10}};
// {F0E749CA-EDEF-4589-A73A-EE0E626A2A2B}
constexpr GUID VendorMicrosoft = {0xf0e749ca, 0xedef, 0x4589, {0xa7, 0x3a, 0xee, 0x0e, 0x62, 0x6a, 0x2a, 0x2b}};

constexpr UINT GlobalMoveableZeroInit = GMEM_MOVEABLE | GMEM_ZEROINIT;  // 0x42
constexpr UINT LocaleNameChars = 85;  // LOCALE_NAME_MAX_LENGTH

constexpr D2D1_BITMAP_OPTIONS TargetBitmapOptions =
    static_cast<D2D1_BITMAP_OPTIONS>(1 | 2);  // target | cannot-draw

const wchar_t* AsWide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// An IStream over a copy of the bytes; the global block goes with the stream.
HRESULT StreamOverCopy(std::span<const uint8_t> bytes, GraphicsLayer<IStream>& stream) {
    if (bytes.empty()) {
        return CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()) == S_OK ? S_OK : E_FAIL;
    }
    HGLOBAL block = GlobalAlloc(GlobalMoveableZeroInit, bytes.size());
    if (!block) return E_FAIL;
    if (CreateStreamOnHGlobal(block, TRUE, stream.Put()) != S_OK) {
        GlobalFree(block);
        return E_FAIL;
    }
    void* data = GlobalLock(block);
    if (!data) return E_FAIL;  // the stream owns the block now
    std::memcpy(data, bytes.data(), bytes.size());
    GlobalUnlock(block);
    return S_OK;
}

}  // namespace

template <>
bool GraphicsLayer<IDXGIDevice1>::GetFactory(GraphicsLayer<IDXGIFactory2>& out) {
    out.Release();
    GraphicsLayer<IDXGIAdapter> adapter;
    if (!Invoke([&](IDXGIDevice1* p) { return p->GetAdapter(adapter.Put()); })) return false;
    if (!adapter.GetParent(__uuidof(IDXGIFactory2), out)) {
        Result = adapter.LastResult();
        return false;
    }
    return true;
}

template <>
bool GraphicsLayer<ID2D1DeviceContext>::CreateBitmapFromDxgiSurface(IDXGISurface* surface,
                                                                     GraphicsLayer<ID2D1Bitmap1>& out,
                                                                     const D2D1_BITMAP_PROPERTIES1* properties) {
    D2D1_BITMAP_PROPERTIES1 defaults{};
    if (!properties && P) {
        // The DPI of the factory that made this context.
        float dpiX = 96.0f, dpiY = 96.0f;
        GraphicsLayer<ID2D1Factory> factory;
        P->GetFactory(factory.Put());
        if (factory) factory->GetDesktopDpi(&dpiX, &dpiY);
        defaults.pixelFormat = {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED};
        defaults.dpiX = dpiX;
        defaults.dpiY = dpiY;
        defaults.bitmapOptions = TargetBitmapOptions;
        defaults.colorContext = nullptr;
        properties = &defaults;
    }
    return Invoke([&](ID2D1DeviceContext* p) { return p->CreateBitmapFromDxgiSurface(surface, properties, out.Put()); });
}

template <>
bool GraphicsLayer<ID2D1DeviceContext>::CreateEffect(const wchar_t* classIdText, GraphicsLayer<ID2D1Effect>& out) {
    out.Release();
    if (!P) {
        Result = EmptyWrapperResult;
        return false;
    }
    CLSID classId{};
    const HRESULT parsed = CLSIDFromString(const_cast<LPOLESTR>(classIdText), &classId);
    if (parsed != S_OK) {
        Result = parsed;
        return false;
    }
    return Invoke([&](ID2D1DeviceContext* p) { return p->CreateEffect(classId, out.Put()); });
}

template <>
bool GraphicsLayer<ID2D1DeviceContext>::DrawText(std::string_view programText, IDWriteTextFormat* format,
                                                  const D2D1_RECT_F& layoutRect, ID2D1Brush* brush,
                                                  D2D1_DRAW_TEXT_OPTIONS options) {
    const std::u16string text = ProgramTextToUtf16(programText);
    return DrawText(AsWide(text), static_cast<UINT32>(lstrlenW(AsWide(text))), format, layoutRect, brush, options);
}

template <>
bool GraphicsLayer<ID2D1DeviceContext>::DrawEffect(GraphicsLayer<ID2D1Effect>& effect,
                                                    const D2D1_POINT_2F* targetOffset, const D2D1_RECT_F* imageRect,
                                                    D2D1_INTERPOLATION_MODE interpolation,
                                                    D2D1_COMPOSITE_MODE composite) {
    if (!P || !effect) {
        Result = EmptyWrapperResult;
        return false;
    }
    GraphicsLayer<ID2D1Image> output;
    if (!effect.GetOutput(output)) {
        Result = effect.LastResult();
        return false;
    }
    return Invoke([&](ID2D1DeviceContext* p) {
        p->DrawImage(output.Get(), targetOffset, imageRect, interpolation, composite);
    });
}

template <>
bool GraphicsLayer<IDWriteFactory>::CreateTextFormat(std::string_view family,
                                                      GraphicsLayer<IDWriteFontCollection>& collection,
                                                      DWRITE_FONT_WEIGHT weight, DWRITE_FONT_STYLE style,
                                                      DWRITE_FONT_STRETCH stretch, float size,
                                                      std::string_view locale,
                                                      GraphicsLayer<IDWriteTextFormat>& out) {
    const std::u16string familyText = ProgramTextToUtf16(family);
    std::u16string localeText;
    if (locale.empty()) {
        wchar_t buffer[LocaleNameChars] = {};
        if (GetUserDefaultLocaleName(buffer, LocaleNameChars) > 0) {
            localeText.assign(reinterpret_cast<const char16_t*>(buffer));
        }
    } else {
        localeText = ProgramTextToUtf16(locale);
    }
    return Invoke([&](IDWriteFactory* p) {
        return p->CreateTextFormat(AsWide(familyText), collection.Get(), weight, style, stretch, size,
                                   AsWide(localeText), out.Put());
    });
}

template <>
bool GraphicsLayer<IDWriteFactory>::CreateTextFormat(std::string_view family, float size,
                                                      GraphicsLayer<IDWriteTextFormat>& out,
                                                      DWRITE_FONT_WEIGHT weight, DWRITE_FONT_STYLE style,
                                                      DWRITE_FONT_STRETCH stretch) {
    GraphicsLayer<IDWriteFontCollection> systemFonts;
    return CreateTextFormat(family, systemFonts, weight, style, stretch, size, std::string_view(), out);
}

template <>
bool GraphicsLayer<IDWriteFactory>::CreateTextLayout(const wchar_t* text, IDWriteTextFormat* format, float maxWidth,
                                                      float maxHeight, GraphicsLayer<IDWriteTextLayout>& out) {
    const UINT32 length = text ? static_cast<UINT32>(lstrlenW(text)) : 0;
    return Invoke([&](IDWriteFactory* p) {
        return p->CreateTextLayout(text ? text : L"", length, format, maxWidth, maxHeight, out.Put());
    });
}

template <>
bool GraphicsLayer<IDWriteFactory>::CreateTextLayout(std::string_view programText, IDWriteTextFormat* format,
                                                      float maxWidth, float maxHeight,
                                                      GraphicsLayer<IDWriteTextLayout>& out) {
    const std::u16string text = ProgramTextToUtf16(programText);
    return CreateTextLayout(AsWide(text), format, maxWidth, maxHeight, out);
}

template <>
bool GraphicsLayer<IWICImagingFactory2>::DecodeFromMemory(std::span<const uint8_t> bytes,
                                                           GraphicsLayer<IWICBitmap>& out, uint32_t cacheOption) {
    out.Release();
    if (!P) {
        Result = EmptyWrapperResult;
        return false;
    }
    GraphicsLayer<IStream> stream;
    if (StreamOverCopy(bytes, stream) != S_OK) {
        Result = E_FAIL;
        return false;
    }
    GraphicsLayer<IWICBitmapDecoder> decoder;
    if (!Invoke([&](IWICImagingFactory2* p) {
            return p->CreateDecoderFromStream(stream.Get(), &VendorMicrosoft,
                                              static_cast<WICDecodeOptions>(cacheOption), decoder.Put());
        })) {
        return false;
    }
    // Only the first frame: animated and multi-page pictures show their first.
    GraphicsLayer<IWICBitmapFrameDecode> frame;
    if (!decoder.Invoke([&](IWICBitmapDecoder* p) { return p->GetFrame(0, frame.Put()); })) {
        Result = decoder.LastResult();
        return false;
    }
    GraphicsLayer<IWICFormatConverter> converter;
    if (!Invoke([&](IWICImagingFactory2* p) { return p->CreateFormatConverter(converter.Put()); })) return false;
    if (!converter.Invoke([&](IWICFormatConverter* p) {
            return p->Initialize(frame.Get(), PixelFormat32bppPbgra, WICBitmapDitherTypeNone, nullptr, 0.0,
                                 WICBitmapPaletteTypeCustom);
        })) {
        Result = converter.LastResult();
        return false;
    }
    return Invoke([&](IWICImagingFactory2* p) {
        return p->CreateBitmapFromSource(converter.Get(), static_cast<WICBitmapCreateCacheOption>(cacheOption),
                                         out.Put());
    });
}
