#pragma once
// GraphicsLayer: the one owning wrapper through which the program reaches every
// Direct3D/DXGI, Direct2D, DirectWrite and WIC interface.
//
// A wrapper owns at most one interface pointer and remembers the HRESULT of the
// latest call made through it. Each operation passes its arguments through,
// stores the result in LastResult and returns true exactly on S_OK. On an empty
// wrapper an operation calls nothing, stores EmptyWrapperResult (1) and returns
// false, so drawing with a resource that failed to appear is a harmless no-op.
//
// The operations are members of the one template; a member is compiled only
// for the interface it is called on, so GraphicsLayer<IDWriteFactory> simply
// has no usable Present. Out-parameters that receive an interface are other
// wrappers, emptied first and then filled. Optional structure arguments are
// passed as null when left out, except the brush properties (opacity 1,
// identity) and the target-bitmap properties, which get the defaults named below.
//
// Main window thread only.

#include <windows.h>
#include <d2d1_1.h>
#include <d3d11.h>
#include <dwrite.h>
#include <dxgi1_2.h>
#include <wincodec.h>

#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

// LastResult of an operation called on an empty wrapper.
inline constexpr HRESULT EmptyWrapperResult = 1;

// Default cache option of the WIC operations: decode metadata on demand,
// keep no cache.
inline constexpr uint32_t WicCacheDefault = 0;

template <class T>
class GraphicsLayer {
public:
    GraphicsLayer() = default;
    explicit GraphicsLayer(T* adopted) : P(adopted) {}
    GraphicsLayer(const GraphicsLayer&) = delete;
    GraphicsLayer& operator=(const GraphicsLayer&) = delete;
    GraphicsLayer(GraphicsLayer&& other) noexcept : P(std::exchange(other.P, nullptr)), Result(other.Result) {}
    GraphicsLayer& operator=(GraphicsLayer&& other) noexcept {
        if (this != &other) {
            Attach(std::exchange(other.P, nullptr));
            Result = other.Result;
        }
        return *this;
    }
    ~GraphicsLayer() { Reset(); }

    // --- common operations --------------------------------------------------
    T* Get() const { return P; }
    T* operator->() const { return P; }
    bool Empty() const { return P == nullptr; }
    explicit operator bool() const { return P != nullptr; }
    HRESULT LastResult() const { return Result; }
    void SetLastResult(HRESULT hr) { Result = hr; }

    // Releases the interface; LastResult back to 0.
    void Release() {
        Reset();
        Result = S_OK;
    }
    // The pointer slot for a creating call; the held interface is released first.
    T** Put() {
        Reset();
        return &P;
    }
    // The slot as void** for QueryInterface-style calls.
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Takes over a pointer whose reference the caller already holds.
    void Attach(T* p) {
        if (p == P) return;
        Reset();
        P = p;
    }
    // Shares a pointer: takes a reference of its own.
    void AttachAddRef(T* p) {
        if (p) p->AddRef();
        Reset();
        P = p;
    }
    // Gives up the pointer without releasing it.
    T* Detach() { return std::exchange(P, nullptr); }

    // Runs call(P) when the wrapper holds an interface. A call returning an
    // HRESULT stores it; a void call stores S_OK. Returns true exactly on S_OK.
    template <class F>
    bool Invoke(F&& call) {
        if (!P) {
            Result = EmptyWrapperResult;
            return false;
        }
        if constexpr (std::is_void_v<decltype(call(P))>) {
            call(P);
            Result = S_OK;
        } else {
            Result = static_cast<HRESULT>(call(P));
        }
        return Result == S_OK;
    }

    // Asks the held interface for another one (QueryInterface).
    template <class U>
    bool QueryInterface(REFIID iid, GraphicsLayer<U>& out) {
        return Invoke([&](T* p) { return p->QueryInterface(iid, out.PutVoid()); });
    }

    // --- IDXGIDevice1 ---------------------------------------------------------
    // Compound: the DXGI factory of the device (GetAdapter, then the adapter's
    // parent as IDXGIFactory2). A failure is left in this wrapper's LastResult.
    bool GetFactory(GraphicsLayer<IDXGIFactory2>& out);

    // --- IDXGIAdapter ---------------------------------------------------------
    template <class U>
    bool GetParent(REFIID iid, GraphicsLayer<U>& out) {
        return Invoke([&](auto* p) { return p->GetParent(iid, out.PutVoid()); });
    }

    // --- IDXGIFactory2 --------------------------------------------------------
    bool CreateSwapChainForHwnd(IUnknown* device, HWND window, const DXGI_SWAP_CHAIN_DESC1& desc,
                                const DXGI_SWAP_CHAIN_FULLSCREEN_DESC* fullscreenDesc, IDXGIOutput* restrictToOutput,
                                GraphicsLayer<IDXGISwapChain1>& out) {
        return Invoke([&](auto* p) {
            return p->CreateSwapChainForHwnd(device, window, &desc, fullscreenDesc, restrictToOutput, out.Put());
        });
    }

    // --- IDXGISwapChain1 ------------------------------------------------------
    bool Present(UINT syncInterval, UINT flags) {
        return Invoke([&](auto* p) { return p->Present(syncInterval, flags); });
    }
    template <class U>
    bool GetBuffer(UINT index, REFIID iid, GraphicsLayer<U>& out) {
        return Invoke([&](auto* p) { return p->GetBuffer(index, iid, out.PutVoid()); });
    }
    // Only the dirty rectangles of the parameters need to reach the screen.
    bool Present1(UINT syncInterval, UINT flags, const DXGI_PRESENT_PARAMETERS& parameters) {
        return Invoke([&](auto* p) { return p->Present1(syncInterval, flags, &parameters); });
    }
    bool ResizeBuffers(UINT count, UINT width, UINT height, DXGI_FORMAT format, UINT flags) {
        return Invoke([&](auto* p) { return p->ResizeBuffers(count, width, height, format, flags); });
    }

    // --- ID2D1Factory1 --------------------------------------------------------
    bool CreateDevice(IDXGIDevice* dxgiDevice, GraphicsLayer<ID2D1Device>& out) {
        return Invoke([&](auto* p) { return p->CreateDevice(dxgiDevice, out.Put()); });
    }
    bool GetDesktopDpi(float& dpiX, float& dpiY) {
        return Invoke([&](auto* p) { p->GetDesktopDpi(&dpiX, &dpiY); });
    }

    // --- ID2D1Device ----------------------------------------------------------
    bool CreateDeviceContext(D2D1_DEVICE_CONTEXT_OPTIONS options, GraphicsLayer<ID2D1DeviceContext>& out) {
        return Invoke([&](auto* p) { return p->CreateDeviceContext(options, out.Put()); });
    }

    // --- ID2D1DeviceContext ---------------------------------------------------
    bool CreateBitmapFromWicBitmap(IWICBitmapSource* source, const D2D1_BITMAP_PROPERTIES* properties,
                                   GraphicsLayer<ID2D1Bitmap>& out) {
        return Invoke([&](auto* p) { return p->CreateBitmapFromWicBitmap(source, properties, out.Put()); });
    }
    bool CreateBitmapFromWicBitmap(IWICBitmapSource* source, GraphicsLayer<ID2D1Bitmap>& out) {
        return CreateBitmapFromWicBitmap(source, nullptr, out);
    }
    bool CreateSolidColorBrush(const D2D1_COLOR_F& colour, GraphicsLayer<ID2D1SolidColorBrush>& out,
                               const D2D1_BRUSH_PROPERTIES* properties = nullptr) {
        const D2D1_BRUSH_PROPERTIES props = properties ? *properties : DefaultBrushProperties();
        return Invoke([&](auto* p) { return p->CreateSolidColorBrush(&colour, &props, out.Put()); });
    }
    bool CreateBitmapBrush(ID2D1Bitmap* bitmap, GraphicsLayer<ID2D1BitmapBrush>& out,
                           const D2D1_BITMAP_BRUSH_PROPERTIES* bitmapBrushProperties = nullptr,
                           const D2D1_BRUSH_PROPERTIES* properties = nullptr) {
        const D2D1_BRUSH_PROPERTIES props = properties ? *properties : DefaultBrushProperties();
        return Invoke([&](auto* p) { return p->CreateBitmapBrush(bitmap, bitmapBrushProperties, &props, out.Put()); });
    }
    // Properties left out: B8G8R8A8 premultiplied, the desktop DPI of the
    // context's factory, options target | cannot-draw.
    bool CreateBitmapFromDxgiSurface(IDXGISurface* surface, GraphicsLayer<ID2D1Bitmap1>& out,
                                     const D2D1_BITMAP_PROPERTIES1* properties = nullptr);
    // The effect's class id as text, e.g. "{1feb6d69-2fe6-4ac9-8c58-1d7f93e7a6a5}".
    bool CreateEffect(const wchar_t* classIdText, GraphicsLayer<ID2D1Effect>& out);
    bool CreateBitmap(D2D1_SIZE_U size, const D2D1_BITMAP_PROPERTIES1& properties, GraphicsLayer<ID2D1Bitmap1>& out) {
        return Invoke([&](auto* p) { return p->CreateBitmap(size, nullptr, 0, &properties, out.Put()); });
    }
    // A drawable bitmap holding a copy of pixels in memory, rows pitch bytes apart.
    bool CreateBitmapFromPixels(D2D1_SIZE_U size, const void* pixels, UINT32 pitch,
                                const D2D1_BITMAP_PROPERTIES& properties, GraphicsLayer<ID2D1Bitmap>& out) {
        return Invoke([&](auto* p) {
            return static_cast<ID2D1RenderTarget*>(p)->CreateBitmap(size, pixels, pitch, &properties, out.Put());
        });
    }
    bool GetTarget(GraphicsLayer<ID2D1Image>& out) {
        return Invoke([&](auto* p) { p->GetTarget(out.Put()); });
    }
    bool SetTarget(ID2D1Image* image) {
        return Invoke([&](auto* p) { p->SetTarget(image); });
    }
    bool GetDevice(GraphicsLayer<ID2D1Device>& out) {
        return Invoke([&](auto* p) { p->GetDevice(out.Put()); });
    }
    bool BeginDraw() {
        return Invoke([&](auto* p) { p->BeginDraw(); });
    }
    bool EndDraw() {
        return Invoke([&](auto* p) { return p->EndDraw(nullptr, nullptr); });
    }
    bool Clear(const D2D1_COLOR_F& colour) {
        return Invoke([&](auto* p) { p->Clear(&colour); });
    }
    bool FillRectangle(const D2D1_RECT_F& rect, ID2D1Brush* brush) {
        return Invoke([&](auto* p) { p->FillRectangle(&rect, brush); });
    }
    bool DrawRoundedRectangle(const D2D1_ROUNDED_RECT& rect, ID2D1Brush* brush, float strokeWidth = 1.0f,
                              ID2D1StrokeStyle* strokeStyle = nullptr) {
        return Invoke([&](auto* p) { p->DrawRoundedRectangle(&rect, brush, strokeWidth, strokeStyle); });
    }
    bool FillRoundedRectangle(const D2D1_ROUNDED_RECT& rect, ID2D1Brush* brush) {
        return Invoke([&](auto* p) { p->FillRoundedRectangle(&rect, brush); });
    }
    bool DrawBitmap(ID2D1Bitmap* bitmap, const D2D1_RECT_F& destination, float opacity = 1.0f,
                    D2D1_BITMAP_INTERPOLATION_MODE mode = D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                    const D2D1_RECT_F* source = nullptr) {
        return Invoke([&](auto* p) { p->DrawBitmap(bitmap, &destination, opacity, mode, source); });
    }
    bool DrawText(const wchar_t* text, UINT32 length, IDWriteTextFormat* format, const D2D1_RECT_F& layoutRect,
                  ID2D1Brush* brush, D2D1_DRAW_TEXT_OPTIONS options = D2D1_DRAW_TEXT_OPTIONS_NONE,
                  DWRITE_MEASURING_MODE measuring = DWRITE_MEASURING_MODE_NATURAL) {
        return Invoke([&](auto* p) { p->DrawText(text, length, format, &layoutRect, brush, options, measuring); });
    }
    // Program text (UTF-8), converted to UTF-16 first.
    bool DrawText(std::string_view programText, IDWriteTextFormat* format, const D2D1_RECT_F& layoutRect,
                  ID2D1Brush* brush, D2D1_DRAW_TEXT_OPTIONS options = D2D1_DRAW_TEXT_OPTIONS_NONE);
    bool DrawTextLayout(D2D1_POINT_2F origin, IDWriteTextLayout* layout, ID2D1Brush* brush,
                        D2D1_DRAW_TEXT_OPTIONS options = D2D1_DRAW_TEXT_OPTIONS_NONE) {
        return Invoke([&](auto* p) { p->DrawTextLayout(origin, layout, brush, options); });
    }
    bool SetTransform(const D2D1_MATRIX_3X2_F& transform) {
        return Invoke([&](auto* p) { p->SetTransform(&transform); });
    }
    bool PushAxisAlignedClip(const D2D1_RECT_F& rect, D2D1_ANTIALIAS_MODE mode) {
        return Invoke([&](auto* p) { p->PushAxisAlignedClip(&rect, mode); });
    }
    bool PopAxisAlignedClip() {
        return Invoke([&](auto* p) { p->PopAxisAlignedClip(); });
    }
    void SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE mode) {
        Invoke([&](auto* p) { p->SetTextAntialiasMode(mode); });
    }
    bool SetDpi(float dpiX, float dpiY) {
        return Invoke([&](auto* p) { p->SetDpi(dpiX, dpiY); });
    }
    // Size of the target in DIPs; (0, 0) on an empty wrapper.
    D2D1_SIZE_F GetSize() {
        D2D1_SIZE_F size{0.0f, 0.0f};
        Invoke([&](auto* p) { size = p->GetSize(); });
        return size;
    }
    // Compound: GetOutput of the effect, DrawImage, release of the output.
    // Called on the device context; an empty effect draws nothing and fails
    // with LastResult 1 on the context.
    bool DrawEffect(GraphicsLayer<ID2D1Effect>& effect, const D2D1_POINT_2F* targetOffset = nullptr,
                    const D2D1_RECT_F* imageRect = nullptr,
                    D2D1_INTERPOLATION_MODE interpolation = D2D1_INTERPOLATION_MODE_NEAREST_NEIGHBOR,
                    D2D1_COMPOSITE_MODE composite = D2D1_COMPOSITE_MODE_SOURCE_OVER);

    // --- ID2D1Bitmap1 ---------------------------------------------------------
    bool CopyFromBitmap(const D2D1_POINT_2U& destination, ID2D1Bitmap* source, const D2D1_RECT_U& sourceRect) {
        return Invoke([&](auto* p) { return p->CopyFromBitmap(&destination, source, &sourceRect); });
    }

    // --- ID2D1SolidColorBrush -------------------------------------------------
    bool SetColor(const D2D1_COLOR_F& colour) {
        return Invoke([&](auto* p) { p->SetColor(&colour); });
    }

    // --- ID2D1Effect ----------------------------------------------------------
    // One setter per value type, each a 4-byte value at a property index.
    bool SetValueUInt32(UINT32 index, UINT32 value, D2D1_PROPERTY_TYPE type = D2D1_PROPERTY_TYPE_UINT32) {
        return SetValueBytes(index, type, &value);
    }
    bool SetValueEnum(UINT32 index, UINT32 value) { return SetValueBytes(index, D2D1_PROPERTY_TYPE_ENUM, &value); }
    bool SetValueFloat(UINT32 index, float value) { return SetValueBytes(index, D2D1_PROPERTY_TYPE_FLOAT, &value); }
    bool SetValueBool(UINT32 index, bool value) {
        const BOOL b = value ? TRUE : FALSE;
        return SetValueBytes(index, D2D1_PROPERTY_TYPE_BOOL, &b);
    }
    // The invalidate flag is true unless given.
    bool SetInput(UINT32 index, ID2D1Image* input, bool invalidate = true) {
        return Invoke([&](auto* p) { p->SetInput(index, input, invalidate ? TRUE : FALSE); });
    }
    bool GetOutput(GraphicsLayer<ID2D1Image>& out) {
        return Invoke([&](auto* p) { p->GetOutput(out.Put()); });
    }

    // --- IDWriteFactory -------------------------------------------------------
    // Family and locale are program text; an empty locale means the user's
    // default locale name. An empty collection wrapper means the system fonts.
    bool CreateTextFormat(std::string_view family, GraphicsLayer<IDWriteFontCollection>& collection,
                          DWRITE_FONT_WEIGHT weight, DWRITE_FONT_STYLE style, DWRITE_FONT_STRETCH stretch, float size,
                          std::string_view locale, GraphicsLayer<IDWriteTextFormat>& out);
    // Weight 400, normal style and stretch, system fonts, the user's locale.
    bool CreateTextFormat(std::string_view family, float size, GraphicsLayer<IDWriteTextFormat>& out,
                          DWRITE_FONT_WEIGHT weight = DWRITE_FONT_WEIGHT_NORMAL,
                          DWRITE_FONT_STYLE style = DWRITE_FONT_STYLE_NORMAL,
                          DWRITE_FONT_STRETCH stretch = DWRITE_FONT_STRETCH_NORMAL);
    // UTF-16 text with its terminator; the length passed is lstrlenW(text).
    bool CreateTextLayout(const wchar_t* text, IDWriteTextFormat* format, float maxWidth, float maxHeight,
                          GraphicsLayer<IDWriteTextLayout>& out);
    // Program text (UTF-8), converted first.
    bool CreateTextLayout(std::string_view programText, IDWriteTextFormat* format, float maxWidth, float maxHeight,
                          GraphicsLayer<IDWriteTextLayout>& out);

    // --- IDWriteTextFormat ----------------------------------------------------
    bool SetTextAlignment(DWRITE_TEXT_ALIGNMENT alignment) {
        return Invoke([&](auto* p) { return p->SetTextAlignment(alignment); });
    }
    bool SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT alignment) {
        return Invoke([&](auto* p) { return p->SetParagraphAlignment(alignment); });
    }
    bool SetWordWrapping(DWRITE_WORD_WRAPPING wrapping) {
        return Invoke([&](auto* p) { return p->SetWordWrapping(wrapping); });
    }

    // --- IDWriteTextLayout ----------------------------------------------------
    bool GetMetrics(DWRITE_TEXT_METRICS& metrics) {
        return Invoke([&](auto* p) { return p->GetMetrics(&metrics); });
    }

    // --- IWICBitmap --------------------------------------------------------------
    bool GetSize(UINT& width, UINT& height) {
        return Invoke([&](auto* p) { return p->GetSize(&width, &height); });
    }
    // All pixels, rows stride bytes apart, into buffer (which must hold them).
    bool CopyPixels(UINT stride, std::span<uint8_t> buffer) {
        return Invoke([&](auto* p) {
            return p->CopyPixels(nullptr, stride, static_cast<UINT>(buffer.size()), buffer.data());
        });
    }

    // --- IWICImagingFactory2 --------------------------------------------------
    // Compound: encoded picture bytes -> a WIC bitmap of the first frame in
    // 32-bit premultiplied BGRA. Fails (result emptied) on bytes no decoder
    // reads, an empty buffer included; the failing HRESULT stays here.
    bool DecodeFromMemory(std::span<const uint8_t> bytes, GraphicsLayer<IWICBitmap>& out,
                          uint32_t cacheOption = WicCacheDefault);

    static D2D1_BRUSH_PROPERTIES DefaultBrushProperties() {
        return D2D1_BRUSH_PROPERTIES{1.0f, D2D1_MATRIX_3X2_F{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}};
    }

private:
    bool SetValueBytes(UINT32 index, D2D1_PROPERTY_TYPE type, const void* fourBytes) {
        return Invoke([&](auto* p) {
            return p->SetValue(index, type, static_cast<const BYTE*>(fourBytes), 4);
        });
    }
    void Reset() {
        if (P) std::exchange(P, nullptr)->Release();
    }

    T* P = nullptr;
    HRESULT Result = S_OK;
};

// Compound operations, defined in graphics_layer.cpp for their one interface.
template <> bool GraphicsLayer<IDXGIDevice1>::GetFactory(GraphicsLayer<IDXGIFactory2>& out);
template <> bool GraphicsLayer<ID2D1DeviceContext>::CreateBitmapFromDxgiSurface(
    IDXGISurface* surface, GraphicsLayer<ID2D1Bitmap1>& out, const D2D1_BITMAP_PROPERTIES1* properties);
template <> bool GraphicsLayer<ID2D1DeviceContext>::CreateEffect(const wchar_t* classIdText,
                                                                  GraphicsLayer<ID2D1Effect>& out);
template <> bool GraphicsLayer<ID2D1DeviceContext>::DrawText(std::string_view programText, IDWriteTextFormat* format,
                                                              const D2D1_RECT_F& layoutRect, ID2D1Brush* brush,
                                                              D2D1_DRAW_TEXT_OPTIONS options);
template <> bool GraphicsLayer<ID2D1DeviceContext>::DrawEffect(GraphicsLayer<ID2D1Effect>& effect,
                                                                const D2D1_POINT_2F* targetOffset,
                                                                const D2D1_RECT_F* imageRect,
                                                                D2D1_INTERPOLATION_MODE interpolation,
                                                                D2D1_COMPOSITE_MODE composite);
template <> bool GraphicsLayer<IDWriteFactory>::CreateTextFormat(
    std::string_view family, GraphicsLayer<IDWriteFontCollection>& collection, DWRITE_FONT_WEIGHT weight,
    DWRITE_FONT_STYLE style, DWRITE_FONT_STRETCH stretch, float size, std::string_view locale,
    GraphicsLayer<IDWriteTextFormat>& out);
template <> bool GraphicsLayer<IDWriteFactory>::CreateTextFormat(std::string_view family, float size,
                                                                  GraphicsLayer<IDWriteTextFormat>& out,
                                                                  DWRITE_FONT_WEIGHT weight, DWRITE_FONT_STYLE style,
                                                                  DWRITE_FONT_STRETCH stretch);
template <> bool GraphicsLayer<IDWriteFactory>::CreateTextLayout(const wchar_t* text, IDWriteTextFormat* format,
                                                                  float maxWidth, float maxHeight,
                                                                  GraphicsLayer<IDWriteTextLayout>& out);
template <> bool GraphicsLayer<IDWriteFactory>::CreateTextLayout(std::string_view programText,
                                                                  IDWriteTextFormat* format, float maxWidth,
                                                                  float maxHeight,
                                                                  GraphicsLayer<IDWriteTextLayout>& out);
template <> bool GraphicsLayer<IWICImagingFactory2>::DecodeFromMemory(std::span<const uint8_t> bytes,
                                                                       GraphicsLayer<IWICBitmap>& out,
                                                                       uint32_t cacheOption);

// The wrapper kinds the program uses.
using DxgiDeviceLayer = GraphicsLayer<IDXGIDevice1>;
using DxgiFactoryLayer = GraphicsLayer<IDXGIFactory2>;
using DxgiAdapterLayer = GraphicsLayer<IDXGIAdapter>;
using SwapChainLayer = GraphicsLayer<IDXGISwapChain1>;
using DxgiSurfaceLayer = GraphicsLayer<IDXGISurface>;
using D2DFactoryLayer = GraphicsLayer<ID2D1Factory1>;
using D2DDeviceLayer = GraphicsLayer<ID2D1Device>;
using DeviceContextLayer = GraphicsLayer<ID2D1DeviceContext>;
using TargetBitmapLayer = GraphicsLayer<ID2D1Bitmap1>;
using ImageLayer = GraphicsLayer<ID2D1Image>;
using BitmapLayer = GraphicsLayer<ID2D1Bitmap>;
using SolidBrushLayer = GraphicsLayer<ID2D1SolidColorBrush>;
using BitmapBrushLayer = GraphicsLayer<ID2D1BitmapBrush>;
using EffectLayer = GraphicsLayer<ID2D1Effect>;
using DWriteFactoryLayer = GraphicsLayer<IDWriteFactory>;
using FontCollectionLayer = GraphicsLayer<IDWriteFontCollection>;
using TextFormatLayer = GraphicsLayer<IDWriteTextFormat>;
using TextLayoutLayer = GraphicsLayer<IDWriteTextLayout>;
using WicFactoryLayer = GraphicsLayer<IWICImagingFactory2>;
using WicBitmapLayer = GraphicsLayer<IWICBitmap>;
