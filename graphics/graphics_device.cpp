#include "graphics/graphics_device.h"

DxgiDeviceLayer gDxgiDevice;
D2DFactoryLayer gD2DFactory;
D2DDeviceLayer gD2DDevice;
DWriteFactoryLayer gDWriteFactory;
WicFactoryLayer gWicFactory;
SwapChainLayer gSwapChain;
DeviceContextLayer gDeviceContext;

namespace {

constexpr UINT DriverTypeHardware = D3D_DRIVER_TYPE_HARDWARE;  // 1
constexpr UINT DriverTypeWarp = D3D_DRIVER_TYPE_WARP;          // 5
constexpr HRESULT DriverRefused = DXGI_ERROR_UNSUPPORTED;     // what a machine without the driver answers
constexpr UINT CreateDeviceBgraSupport = D3D11_CREATE_DEVICE_BGRA_SUPPORT;  // 0x20
constexpr DWORD ClassContextInprocServer = CLSCTX_INPROC_SERVER;  // 1

// Lost-device results that are not declared by every header set.
constexpr HRESULT D2dErrRecreateTarget = static_cast<HRESULT>(0x8899000C);
constexpr HRESULT DxgiErrDeviceRemoved = static_cast<HRESULT>(0x887A0005);
constexpr HRESULT DxgiErrDeviceHung = static_cast<HRESULT>(0x887A0006);
constexpr HRESULT DxgiErrDeviceReset = static_cast<HRESULT>(0x887A0007);
constexpr HRESULT DxgiErrDriverInternalError = static_cast<HRESULT>(0x887A0020);

IID IidFromText(const wchar_t* text) {
    IID iid{};
    CLSIDFromString(const_cast<LPOLESTR>(text), &iid);
    return iid;
}

using RtlGetNtVersionNumbersFn = void(WINAPI*)(DWORD* major, DWORD* minor, DWORD* build);

}  // namespace

HRESULT CreateDeviceChain(DxgiDeviceLayer& dxgiDevice, D2DFactoryLayer& factory, D2DDeviceLayer& device,
                          DeviceDrivers drivers, bool* warp) {
    GraphicsLayer<ID3D11Device> d3dDevice;
    auto create = [&](UINT driverType) {
        D3D_FEATURE_LEVEL chosenLevel{};  // not used
        return D3D11CreateDevice(nullptr, static_cast<D3D_DRIVER_TYPE>(driverType), nullptr, CreateDeviceBgraSupport,
                                 nullptr, 0, D3D11SdkVersion, d3dDevice.Put(), &chosenLevel, nullptr);
    };
    HRESULT hr = drivers == DeviceDrivers::HardwareThenWarp ? create(DriverTypeHardware) : DriverRefused;
    const bool useWarp = hr != S_OK;
    if (useWarp) hr = drivers == DeviceDrivers::None ? DriverRefused : create(DriverTypeWarp);
    if (hr != S_OK) return hr;
    if (warp) *warp = useWarp;

    if (!d3dDevice.QueryInterface(IidFromText(IidDxgiDevice1Text), dxgiDevice)) return d3dDevice.LastResult();
    d3dDevice.Release();

    // The factory is only checked for here; each window target takes its own.
    {
        GraphicsLayer<IDXGIFactory2> dxgiFactory;
        if (!dxgiDevice.GetFactory(dxgiFactory)) return dxgiDevice.LastResult();
    }

    const IID factoryIid = IidFromText(IidD2DFactory1Text);
    hr = D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, factoryIid, nullptr, factory.PutVoid());
    if (hr != S_OK) return hr;

    if (!factory.CreateDevice(dxgiDevice.Get(), device)) return factory.LastResult();
    return S_OK;
}

HRESULT CreateDWriteFactory(DWriteFactoryLayer& factory) {
    return DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, IidFromText(IidDWriteFactoryText),
                               reinterpret_cast<IUnknown**>(factory.Put()));
}

HRESULT CreateWicFactory(WicFactoryLayer& factory) {
    return CoCreateInstance(IidFromText(ClsidWicFactory2Text), nullptr, ClassContextInprocServer,
                            IidFromText(IidWicFactory2Text), factory.PutVoid());
}

HRESULT CreateWindowTarget(HWND window, DxgiDeviceLayer& dxgiDevice, D2DFactoryLayer& factory,
                           D2DDeviceLayer& device, SwapChainLayer& swapChain, DeviceContextLayer& context,
                           SwapKind kind) {
    GraphicsLayer<IDXGIFactory2> dxgiFactory;
    if (!dxgiDevice.GetFactory(dxgiFactory)) return dxgiDevice.LastResult();

    RECT client{};
    GetClientRect(window, &client);

    DXGI_SWAP_CHAIN_DESC1 desc{};
    desc.Width = static_cast<UINT>(client.right - client.left);
    desc.Height = static_cast<UINT>(client.bottom - client.top);
    desc.Format = TargetFormat;
    desc.Stereo = FALSE;
    desc.SampleDesc = {1, 0};
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;  // 0x20
    const bool keep = kind == SwapKind::KeepContents;
    desc.BufferCount = keep ? 1 : SwapChainBufferCount;
    desc.Scaling = DXGI_SCALING_STRETCH;
    desc.SwapEffect = keep ? DXGI_SWAP_EFFECT_SEQUENTIAL : DXGI_SWAP_EFFECT_DISCARD;
    desc.AlphaMode = DXGI_ALPHA_MODE_UNSPECIFIED;
    desc.Flags = 0;

    swapChain.Release();
    if (!dxgiFactory.CreateSwapChainForHwnd(dxgiDevice.Get(), window, desc, nullptr, nullptr, swapChain)) {
        return dxgiFactory.LastResult();
    }

    context.Release();
    if (!device.CreateDeviceContext(D2D1_DEVICE_CONTEXT_OPTIONS_NONE, context)) return device.LastResult();

    GraphicsLayer<IDXGISurface> surface;
    if (!swapChain.GetBuffer(0, IidFromText(IidDxgiSurfaceText), surface)) return swapChain.LastResult();

    float dpiX = 96.0f, dpiY = 96.0f;
    factory.GetDesktopDpi(dpiX, dpiY);
    D2D1_BITMAP_PROPERTIES1 properties{};
    properties.pixelFormat = {TargetFormat, D2D1_ALPHA_MODE_PREMULTIPLIED};
    properties.dpiX = dpiX;
    properties.dpiY = dpiY;
    properties.bitmapOptions =
        static_cast<D2D1_BITMAP_OPTIONS>(D2D1_BITMAP_OPTIONS_TARGET | D2D1_BITMAP_OPTIONS_CANNOT_DRAW);
    properties.colorContext = nullptr;

    GraphicsLayer<ID2D1Bitmap1> target;
    if (!context.CreateBitmapFromDxgiSurface(surface.Get(), target, &properties)) return context.LastResult();
    context.SetTarget(target.Get());
    return S_OK;
}

void ResizeWindowTarget(SwapChainLayer& swapChain, DeviceContextLayer& context) {
    // The context's reference to the old target would keep the buffers busy.
    context.SetTarget(nullptr);
    swapChain.ResizeBuffers(0, 0, 0, DXGI_FORMAT_UNKNOWN, 0);
    GraphicsLayer<IDXGISurface> surface;
    swapChain.GetBuffer(0, IidFromText(IidDxgiSurfaceText), surface);
    GraphicsLayer<ID2D1Bitmap1> target;
    if (context.CreateBitmapFromDxgiSurface(surface.Get(), target)) context.SetTarget(target.Get());
}

uint32_t ReadWindowsBuild() {
    // Not in the import libraries; ntdll is in every process.
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return 0;
    auto getVersion =
        reinterpret_cast<RtlGetNtVersionNumbersFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
    if (!getVersion) return 0;
    DWORD major = 0, minor = 0, build = 0;
    getVersion(&major, &minor, &build);
    return build & 0xFFFF;
}

bool IsDeviceLost(HRESULT hr) {
    switch (hr) {
    case D2dErrRecreateTarget:
    case DxgiErrDeviceRemoved:
    case DxgiErrDeviceHung:
    case DxgiErrDeviceReset:
    case DxgiErrDriverInternalError:
        return true;
    default:
        return false;
    }
}

void DropDeviceObjects() {
    // Context before swap chain: the target bitmap holds a buffer of the chain.
    gDeviceContext.Release();
    gSwapChain.Release();
    gD2DDevice.Release();
    gD2DFactory.Release();
    gDxgiDevice.Release();
}

bool RecoverFromFrameResult(HRESULT endDrawResult, HRESULT presentResult) {
    if (!IsDeviceLost(endDrawResult) && !IsDeviceLost(presentResult)) return false;
    DropDeviceObjects();
    return true;
}

HRESULT EnsureWindowTarget(HWND window, SwapKind kind) {
    if (gDeviceContext) return S_OK;
    if (!gD2DDevice) {
        const HRESULT hr = CreateDeviceChain(gDxgiDevice, gD2DFactory, gD2DDevice);
        if (hr != S_OK) return hr;
    }
    const HRESULT hr =
        CreateWindowTarget(window, gDxgiDevice, gD2DFactory, gD2DDevice, gSwapChain, gDeviceContext, kind);
    if (hr != S_OK) {
        // A context left without a target would stop every later paint from
        // retrying; a lost device also takes the chain with it.
        if (IsDeviceLost(hr)) {
            DropDeviceObjects();
        } else {
            gDeviceContext.Release();
            gSwapChain.Release();
        }
    }
    return hr;
}
